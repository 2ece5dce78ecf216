#include "SetnumberDialog.h"

#include "GridNumbers.h"
#include "Resource.h"

#include <QLineEdit>

namespace
{

// Five digits: at most 99999 points, one below the data set's limit.
constexpr int maxDigits = 5;

} // namespace

CSetnumberDialog::CSetnumberDialog(QWidget* parent)
    : CDialog(IDD_SETNUMBER, parent)
{
}

bool CSetnumberDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_edit = GetDlgItemAs<QLineEdit>(IDC_POINT_NUMBER);
    m_edit->setMaxLength(maxDigits);
    m_edit->setText(QString::number(m_number));
    return true;
}

void CSetnumberDialog::OnOK()
{
    m_number = ParseIntOrDefault(m_edit, 0);
    EndDialog(IDOK);
}
