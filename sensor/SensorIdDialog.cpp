#include "SensorIdDialog.h"

#include "Resource.h"
#include "Tamrix.h"
#include "TextConversion.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <stdexcept>

namespace
{

const QString NotRequired = QStringLiteral("(Not required)");

// The data set takes at most maxInfoStringLength characters per text. The edit's
// own limit counts UTF-16 units, so it is set to two units a character, which
// lets a text of characters outside the BMP reach the full length; the validator
// counts characters (the expression matches code points) and refuses any change,
// typed or pasted, that would make the text longer.
void LimitLength(QLineEdit* edit)
{
    if (edit->validator() != nullptr)
    {
        return;
    }
    edit->setMaxLength(static_cast<int>(2 * maxInfoStringLength));
    const QRegularExpression upToLimit(QStringLiteral(".{0,%1}").arg(maxInfoStringLength),
                                       QRegularExpression::DotMatchesEverythingOption);
    edit->setValidator(new QRegularExpressionValidator(upToLimit, edit));
}

} // namespace

CSensorIdDialog::CSensorIdDialog(QWidget* parent)
    : CDialog(IDD_SENSOR_ID, parent)
    , m_fields{{{IDC_SENSOR_NAME, {}},
                {IDC_STOCK_NUMBER, {}},
                {IDC_ATTRIBUTE, {}},
                {IDC_SERIAL_NUMBER, {}},
                {IDC_SERIAL_NUMBER_INTERNAL, {}}}}
{
}

CSensorIdDialog::~CSensorIdDialog() = default;

void CSensorIdDialog::SetSensorName(const std::string& text)
{
    m_fields[SensorNameField].text = text;
}

void CSensorIdDialog::SetStockNumber(const std::string& text)
{
    m_fields[StockNumberField].text = text;
}

void CSensorIdDialog::SetAttribute(const std::string& text)
{
    m_fields[AttributeField].text = text;
}

void CSensorIdDialog::SetSerialNumber(const std::string& text)
{
    m_fields[SerialNumberField].text = text;
}

void CSensorIdDialog::SetSerialNumberInternal(const std::string& text)
{
    m_fields[SerialNumberInternalField].text = text;
}

std::string CSensorIdDialog::GetSensorName() const
{
    return m_fields[SensorNameField].text;
}

std::string CSensorIdDialog::GetStockNumber() const
{
    return m_fields[StockNumberField].text;
}

std::string CSensorIdDialog::GetAttribute() const
{
    return m_fields[AttributeField].text;
}

std::string CSensorIdDialog::GetSerialNumber() const
{
    return m_fields[SerialNumberField].text;
}

std::string CSensorIdDialog::GetSerialNumberInternal() const
{
    return m_fields[SerialNumberInternalField].text;
}

void CSensorIdDialog::SetOptions(bool userDataSet, char version, char revision)
{
    m_userDataSet = userDataSet;
    m_version = version;
    m_revision = revision;
}

bool CSensorIdDialog::OnInitDialog()
{
    DoDataExchange();
    for (std::size_t i = 0; i < m_fields.size(); ++i)
    {
        IdentityField& field = m_fields[i];
        LimitLength(field.edit);
        if (!IsRequired(static_cast<FieldIndex>(i)))
        {
            field.typeable = false;
            field.edit->setText(NotRequired);
        }
        else
        {
            // Emptiness is judged on the bytes: a text whose bytes are not UTF-8
            // may show as nothing, yet the data set has it and keeps it.
            field.typeable = field.text.empty();
            field.edit->setText(Utf8ToWide(field.text));
        }
        field.edit->setEnabled(field.typeable);
    }
    return true;
}

void CSensorIdDialog::OnOK()
{
    // Only what the user could type goes through the window text; a greyed text
    // would lose every byte that is not UTF-8 on that round trip.
    for (IdentityField& field : m_fields)
    {
        if (field.typeable)
        {
            field.text = WideToUtf8(field.edit->text());
        }
    }
    CDialog::OnOK();
}

void CSensorIdDialog::DoDataExchange()
{
    for (IdentityField& field : m_fields)
    {
        field.edit = GetDlgItemAs<QLineEdit>(field.controlId);
        if (field.edit == nullptr)
        {
            // DoModal then reports the dialog as not made.
            throw std::logic_error("The sensor identity dialog lacks an edit field.");
        }
    }
}

bool CSensorIdDialog::IsRequired(FieldIndex index) const
{
    switch (index)
    {
    case AttributeField:
        return !m_userDataSet;
    case SerialNumberInternalField:
        return !m_userDataSet && m_version == '3';
    default:
        return true;
    }
}
