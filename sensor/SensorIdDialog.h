#pragma once

// The modal dialog in which the user fills in the identity texts a calibration
// data set lacks: sensor name, stock number, attribute (internal stock number),
// serial number and internal serial number. It works on copies of the data
// set's texts (UTF-8) and never touches the data set; after IDOK the caller
// stores all five getters' results.
//
// Only an empty text that the data set needs can be typed. Every other text,
// shown greyed or as "(Not required)", comes back byte for byte as it was given,
// even when its bytes are not UTF-8.

#include "Dialog.h"

#include <array>
#include <string>

class QLineEdit;

class CSensorIdDialog : public CDialog
{
    Q_OBJECT

public:
    explicit CSensorIdDialog(QWidget* parent = nullptr);
    ~CSensorIdDialog() override;

    void SetSensorName(const std::string& text);
    void SetStockNumber(const std::string& text);
    void SetAttribute(const std::string& text);
    void SetSerialNumber(const std::string& text);
    void SetSerialNumberInternal(const std::string& text);

    std::string GetSensorName() const;
    std::string GetStockNumber() const;
    std::string GetAttribute() const;
    std::string GetSerialNumber() const;
    std::string GetSerialNumberInternal() const;

    // userDataSet: the data set's channel number is 0. version and revision: the
    // format pair of its load; only the version decides anything here.
    void SetOptions(bool userDataSet, char version, char revision);

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    enum FieldIndex
    {
        SensorNameField,
        StockNumberField,
        AttributeField,
        SerialNumberField,
        SerialNumberInternalField,
        FieldCount
    };

    struct IdentityField
    {
        int controlId;
        std::string text; // as given, or as typed once the dialog was confirmed
        QLineEdit* edit = nullptr;
        bool typeable = false; // shown empty and enabled by the last opening
    };

    void DoDataExchange();
    bool IsRequired(FieldIndex index) const;

    std::array<IdentityField, FieldCount> m_fields;
    bool m_userDataSet = false;
    char m_version = 'x';
    char m_revision = 'x';
};
