#pragma once

// "User Data": the calibration laboratory and engineer that are stamped into a
// changed data set. The dialog works on copies (UTF-8 in and out); the caller
// takes the getters' results only after IDOK.

#include "Dialog.h"

#include <QString>

#include <string>

class QLineEdit;

class CCalInfoDialog : public CDialog
{
    Q_OBJECT

public:
    explicit CCalInfoDialog(QWidget* parent = nullptr);

    void SetLab(const std::string& lab);
    void SetEng(const std::string& eng);
    // As given, or as typed once the dialog was confirmed.
    std::string GetLab() const;
    std::string GetEng() const;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    QLineEdit* m_labEdit = nullptr;
    QLineEdit* m_engEdit = nullptr;
    QString m_lab;
    QString m_eng;
};
