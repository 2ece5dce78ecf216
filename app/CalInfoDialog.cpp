#include "CalInfoDialog.h"

#include "Resource.h"
#include "Tamrix.h"
#include "TextConversion.h"

#include <QLineEdit>

#include <stdexcept>

CCalInfoDialog::CCalInfoDialog(QWidget* parent)
    : CDialog(IDD_CAL_INFO, parent)
{
}

void CCalInfoDialog::SetLab(const std::string& lab)
{
    m_lab = Utf8ToWide(lab);
}

void CCalInfoDialog::SetEng(const std::string& eng)
{
    m_eng = Utf8ToWide(eng);
}

std::string CCalInfoDialog::GetLab() const
{
    return WideToUtf8(m_lab);
}

std::string CCalInfoDialog::GetEng() const
{
    return WideToUtf8(m_eng);
}

bool CCalInfoDialog::OnInitDialog()
{
    m_labEdit = GetDlgItemAs<QLineEdit>(IDC_CAL_LAB);
    m_engEdit = GetDlgItemAs<QLineEdit>(IDC_CAL_ENG);
    if (m_labEdit == nullptr || m_engEdit == nullptr)
    {
        // DoModal then reports the dialog as not made.
        throw std::logic_error("The user data dialog lacks an edit field.");
    }
    // The limit counts UTF-16 units, as the edit control's own limit does; a
    // longer text (from a hand-edited settings file) shows cut to it, and only
    // OK makes the cut stick.
    for (QLineEdit* edit : {m_labEdit, m_engEdit})
    {
        edit->setMaxLength(static_cast<int>(maxInfoStringLength));
    }
    m_labEdit->setText(m_lab);
    m_engEdit->setText(m_eng);
    return true;
}

void CCalInfoDialog::OnOK()
{
    m_lab = m_labEdit->text();
    m_eng = m_engEdit->text();
    CDialog::OnOK();
}
