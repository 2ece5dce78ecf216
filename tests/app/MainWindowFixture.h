#pragma once

// A main window on the screen, with every message box recorded (Yes/No boxes
// answered with m_yesNoAnswer, the others OK), file dialogs answered in turn from
// m_fileAnswers (none left: Cancel) and a configuration folder of its own.

#include "CellEdit.h"
#include "EditFlexGrid.h"
#include "FileDialogPresenter.h"
#include "MessageBoxPresenter.h"
#include "OstrelDlg.h"
#include "Resource.h"
#include "ScopedEnvironment.h"
#include "Tamrix.h"

#include <QApplication>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

inline std::string SamplePath(const std::string& name) { return std::string(OSTREL_SOURCE_DIR) + "/samples/" + name; }

inline void Settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(), QCoreApplication::processEvents();
}

// A double-click in the middle of a cell, the press first as a real mouse sends it.
inline void DoubleClickGridCell(CEditFlexGrid* grid, long row, long col)
{
    grid->SetRow(row);
    grid->SetCol(col);
    const QPoint at = grid->viewport()->mapFrom(
        grid, QPoint(int((grid->GetCellLeft() + grid->GetCellWidth() / 2) * grid->logicalDpiX() / 1440),
                     int((grid->GetCellTop() + grid->GetCellHeight() / 2) * grid->logicalDpiY() / 1440)));
    QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    Settle();
}

// Types `text` into a cell of an editor's grid and confirms it with Enter.
inline void TypeIntoCell(CEditFlexGrid* grid, long row, long col, const QString& text)
{
    DoubleClickGridCell(grid, row, col);
    ASSERT_TRUE(grid->IsEditing());
    grid->GetCellEdit().selectAll();
    QTest::keyClicks(&grid->GetCellEdit(), text);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) // Escape when Enter moved on to the next cell
        if (grid->IsEditing())
            QTest::keyClick(&grid->GetCellEdit(), key), Settle();
}

class MainWindowFixture : public testing::Test
{
public:
    void SetUp() override { Start(); }
    void TearDown() override { m_dialog.reset(); }

    // A new window in place of the old one, which goes without closing.
    void Start()
    {
        m_dialog = std::make_unique<COstrelDlg>();
        ASSERT_TRUE(m_dialog->Create());
        m_dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
        m_grid = m_dialog->GetDlgItemAs<CEditFlexGrid>(IDC_DEVICE_GRID);
    }

    // The sample as the library reads it, taken as a sensor's upload is.
    void LoadIntoWindow(const std::string& sample)
    {
        CTamrix set;
        set.EnableUtf8Support(true);
        const FormatPair format = CTamrixUtil::LoadTMXFromFile2(set, SamplePath(sample).c_str());
        m_dialog->AcceptLoadedDataSet(std::move(set), format);
    }

    // Runs `action` on the next modal dialog once it is open, then cancels it should it still be open.
    static void WhenModal(const std::function<void(QWidget*)>& action, int attempts = 50)
    {
        QTimer::singleShot(attempts == 50 ? 0 : 10, [action, attempts] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr && attempts > 0)
                return WhenModal(action, attempts - 1);
            ASSERT_NE(modal, nullptr) << "no dialog opened";
            EXPECT_TRUE(QTest::qWaitForWindowExposed(modal));
            action(modal);
            if (modal->isVisible())
                QTest::keyClick(modal, Qt::Key_Escape);
        });
    }

    void DoubleClickCell(long row, long col) { DoubleClickGridCell(m_grid, row, col); }

    QTemporaryDir m_folder;
    QTemporaryDir m_configFolder;
    ScopedEnvironmentVariable m_configHome{"XDG_CONFIG_HOME", m_configFolder.path()};
    std::vector<MessageBoxRequest> m_boxes;
    int m_yesNoAnswer = IDYES;
    ScopedMessageBoxPresenter m_presenter{[this](const MessageBoxRequest& request) {
        m_boxes.push_back(request);
        return request.buttons == MessageBoxButtons::YesNo ? m_yesNoAnswer : IDOK;
    }};
    std::deque<std::optional<QString>> m_fileAnswers;
    std::vector<FileDialogRequest> m_fileRequests;
    ScopedFileDialogPresenter m_filePresenter{[this](const FileDialogRequest& request) {
        m_fileRequests.push_back(request);
        const std::optional<QString> answer = m_fileAnswers.empty() ? std::nullopt : m_fileAnswers.front();
        if (!m_fileAnswers.empty())
            m_fileAnswers.pop_front();
        return answer;
    }};
    std::unique_ptr<COstrelDlg> m_dialog;
    CEditFlexGrid* m_grid = nullptr;
};
