#pragma once

// A dialog that records what the framework calls, for the tests.

#include "Dialog.h"

#include <QStringList>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class RecordingDialog : public CDialog
{
public:
    using CDialog::CDialog;
    using CDialog::MapCommand;
    using CDialog::MapKillFocus;
    using CDialog::MapMessage;
    using CDialog::MapNotify;

    std::vector<std::string> calls;
    std::vector<QStringList> drops;
    std::vector<std::pair<int, int>> sizes;
    std::vector<int> popups;
    std::function<bool()> initDialog; // replaces OnInitDialog's own work when set
    bool cancelEnds = true;
    int* destroyed = nullptr; // counts the OnDestroy calls, beyond the dialog's life

    ~RecordingDialog() override { DestroyWindow(); }

protected:
    bool OnInitDialog() override
    {
        calls.push_back("OnInitDialog");
        return initDialog ? initDialog() : CDialog::OnInitDialog();
    }

    void OnOK() override
    {
        calls.push_back("OnOK");
        CDialog::OnOK();
    }

    void OnCancel() override
    {
        calls.push_back("OnCancel");
        if (cancelEnds)
        {
            CDialog::OnCancel();
        }
    }

    void OnCommand(int id) override
    {
        calls.push_back("command " + std::to_string(id));
        CDialog::OnCommand(id);
    }

    void OnDropFiles(const QStringList& paths) override { drops.push_back(paths); }

    void OnSize(int cx, int cy) override { sizes.emplace_back(cx, cy); }

    void OnInitMenuPopup(CMenu, int position) override { popups.push_back(position); }

    void OnDestroy() override
    {
        if (destroyed)
        {
            ++*destroyed;
        }
    }
};
