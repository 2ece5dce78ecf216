#pragma once

// "Remote Control Settings": the timeout of ordinary sensor commands and that of
// the data set transfers, in milliseconds. The dialog works on copies; the
// caller takes the getters' results only after IDOK.

#include "Dialog.h"

class QLineEdit;

class CRemoteDialog : public CDialog
{
    Q_OBJECT

public:
    explicit CRemoteDialog(QWidget* parent = nullptr);

    void SetTimeout(int milliseconds);
    void SetCalDataTimeout(int milliseconds);
    // As given, or after OK as typed; a field that holds no number gives the
    // default (1000 and 60000 ms).
    int GetTimeout() const;
    int GetCalDataTimeout() const;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    void OnResetTimeouts();
    void ShowTimeouts();

    int m_timeout = 0;
    int m_calDataTimeout = 0;
    QLineEdit* m_timeoutEdit = nullptr;
    QLineEdit* m_calDataTimeoutEdit = nullptr;
};
