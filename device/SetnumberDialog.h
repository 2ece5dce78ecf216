#pragma once

// "Frequency grid points": asks for the number of points of the device editor's
// table. The caller sets m_number before DoModal and reads it after OK.

#include "Dialog.h"

class QLineEdit;

class CSetnumberDialog : public CDialog
{
    Q_OBJECT

public:
    explicit CSetnumberDialog(QWidget* parent = nullptr);

    QLineEdit* m_edit = nullptr;
    // The number shown when the dialog opens; after OK the number typed, 0 for an
    // empty field.
    int m_number = 0;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
};
