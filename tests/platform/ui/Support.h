#pragma once

// What the window tests share: a dialog that records what the framework calls it
// for, the message boxes shown meanwhile, and a way to act inside a modal loop.

#include "Dialog.h"
#include "MessageBoxPresenter.h"
#include "Rows.h"

#include <QApplication>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

using Strings = std::vector<std::string>;

class RecordingDialog : public CDialog
{
public:
    using CDialog::CDialog;
    using CDialog::MapCommand;
    using CDialog::MapKillFocus;
    using CDialog::MapMessage;
    using CDialog::MapNotify;
    ~RecordingDialog() override { DestroyWindow(); }

    Strings calls; // OnInitDialog, OnOK, OnCancel and "command <id>", in order
    std::vector<QStringList> drops;
    QSize lastSize;
    std::vector<int> popups;
    std::function<bool()> initDialog; // replaces OnInitDialog's own work when set
    bool cancelEnds = true;
    int* destroyed = nullptr; // counts the OnDestroy calls, beyond the dialog's life

protected:
    bool OnInitDialog() override
    {
        calls.push_back("OnInitDialog");
        return initDialog ? initDialog() : CDialog::OnInitDialog();
    }
    void OnOK() override { calls.push_back("OnOK"); CDialog::OnOK(); }
    void OnCancel() override
    {
        calls.push_back("OnCancel");
        if (cancelEnds)
            CDialog::OnCancel();
    }
    void OnCommand(int id) override { calls.push_back("command " + std::to_string(id)); CDialog::OnCommand(id); }
    void OnDropFiles(const QStringList& paths) override { drops.push_back(paths); }
    void OnSize(int cx, int cy) override { lastSize = QSize(cx, cy); }
    void OnInitMenuPopup(CMenu, int position) override { popups.push_back(position); }
    void OnDestroy() override { destroyed ? ++*destroyed : 0; }
};

// Answers every message box with OK and keeps each as "caption (stop): text".
struct ShownBoxes
{
    Strings boxes;
    ScopedMessageBoxPresenter scope{[this](const MessageBoxRequest& box) {
        const char* icon = box.icon == MessageBoxIcon::Stop ? " (stop)" : "";
        boxes.push_back((box.caption + icon + ": " + box.text).toStdString());
        return IDOK;
    }};
};

// Runs `action` on the modal widget that `open` brings up; returns what `open` returned.
template <class Result>
Result WithModalWidget(const std::function<Result()>& open, std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, qApp, [action] { action(QApplication::activeModalWidget()); });
    return open();
}
