#include "RemoteDialog.h"

#include "GridNumbers.h"
#include "Resource.h"
#include "Settings.h"

#include <QLineEdit>

#include <stdexcept>

CRemoteDialog::CRemoteDialog(QWidget* parent)
    : CDialog(IDD_REMOTE, parent)
{
    MapCommand(IDC_RESET_TIMEOUTS, &CRemoteDialog::OnResetTimeouts);
}

void CRemoteDialog::SetTimeout(int milliseconds)
{
    m_timeout = milliseconds;
}

void CRemoteDialog::SetCalDataTimeout(int milliseconds)
{
    m_calDataTimeout = milliseconds;
}

int CRemoteDialog::GetTimeout() const
{
    return m_timeout;
}

int CRemoteDialog::GetCalDataTimeout() const
{
    return m_calDataTimeout;
}

bool CRemoteDialog::OnInitDialog()
{
    m_timeoutEdit = GetDlgItemAs<QLineEdit>(IDC_COMMAND_TIMEOUT);
    m_calDataTimeoutEdit = GetDlgItemAs<QLineEdit>(IDC_CAL_DATA_TIMEOUT);
    if (m_timeoutEdit == nullptr || m_calDataTimeoutEdit == nullptr)
    {
        // DoModal then reports the dialog as not made.
        throw std::logic_error("The remote control settings dialog lacks an edit field.");
    }
    ShowTimeouts();
    return true;
}

void CRemoteDialog::OnOK()
{
    m_timeout = ParseIntOrDefault(m_timeoutEdit, DefaultTimeout);
    m_calDataTimeout = ParseIntOrDefault(m_calDataTimeoutEdit, DefaultCalDataTimeout);
    CDialog::OnOK();
}

void CRemoteDialog::OnResetTimeouts()
{
    m_timeout = DefaultTimeout;
    m_calDataTimeout = DefaultCalDataTimeout;
    ShowTimeouts();
}

void CRemoteDialog::ShowTimeouts()
{
    m_timeoutEdit->setText(QString::number(m_timeout));
    m_calDataTimeoutEdit->setText(QString::number(m_calDataTimeout));
}
