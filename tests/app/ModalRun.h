#pragma once

// Runs a dialog modally with `action` inside its loop, as a user acts on the open
// dialog; a dialog the action left open is ended with LeftOpen.

#include "Dialog.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

constexpr int LeftOpen = -100;

template <class Dialog>
int RunModal(Dialog& dialog, const std::function<void(Dialog&)>& action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        action(dialog);
        QCoreApplication::processEvents();
        if (dialog.isVisible())
        {
            dialog.EndDialog(LeftOpen);
        }
    });
    return dialog.DoModal();
}

// A left click in the middle of the dialog's control.
inline void ClickControl(const CDialog& dialog, int id)
{
    QWidget* control = dialog.GetDlgItem(id);
    ASSERT_NE(control, nullptr) << id;
    QTest::mouseClick(control, Qt::LeftButton);
}
