#pragma once

// A main window on the screen, with every message box recorded (and answered
// OK), the sample data sets at hand and a configuration folder of its own, in
// which no settings file has been written yet.

#include "Bitmaps.h"
#include "CellEdit.h"
#include "EditFlexGrid.h"
#include "FileDialogPresenter.h"
#include "MessageBoxPresenter.h"
#include "OstrelDlg.h"
#include "Resource.h"
#include "ScopedEnvironment.h"
#include "Tamrix.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

inline std::string SamplePath(const std::string& name)
{
    return std::string(OSTREL_SOURCE_DIR) + "/samples/" + name;
}

// The data set as the library reads it, independent of the window.
inline CTamrix LoadSample(const std::string& name, FormatPair* format = nullptr)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    const FormatPair pair = CTamrixUtil::LoadTMXFromFile2(set, SamplePath(name).c_str());
    if (format != nullptr)
    {
        *format = pair;
    }
    return set;
}

class MainWindowFixture : public testing::Test
{
public:
    void SetUp() override
    {
        m_presenter = std::make_unique<ScopedMessageBoxPresenter>([this](const MessageBoxRequest& request) {
            m_boxes.push_back(request);
            return request.buttons == MessageBoxButtons::YesNo ? m_yesNoAnswer : IDOK;
        });
        m_filePresenter = std::make_unique<ScopedFileDialogPresenter>([this](const FileDialogRequest& request) {
            m_fileRequests.push_back(request);
            std::optional<QString> answer;
            if (!m_fileAnswers.empty())
            {
                answer = m_fileAnswers.front();
                m_fileAnswers.pop_front();
            }
            return answer;
        });
        m_configHome = std::make_unique<ScopedEnvironmentVariable>("XDG_CONFIG_HOME", m_configFolder.path());
        m_dialog = std::make_unique<COstrelDlg>();
        ASSERT_TRUE(m_dialog->Create());
        m_dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
        m_grid = m_dialog->GetDlgItemAs<CEditFlexGrid>(IDC_DEVICE_GRID);
        ASSERT_NE(m_grid, nullptr);
    }

    void TearDown() override
    {
        m_dialog.reset();
        m_configHome.reset();
        m_filePresenter.reset();
        m_presenter.reset();
    }

    void LoadIntoWindow(const std::string& sample)
    {
        FormatPair format{};
        CTamrix set = LoadSample(sample, &format);
        m_dialog->AcceptLoadedDataSet(std::move(set), format);
    }

    // A copy of a sample in the test's own folder, under `fileName`.
    QString CopySample(const std::string& sample, const QString& fileName) const
    {
        const QString target = m_folder.filePath(fileName);
        QFile::remove(target);
        EXPECT_TRUE(QFile::copy(QString::fromStdString(SamplePath(sample)), target));
        QFile(target).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return target;
    }

    // Runs `action` on the next modal dialog once it is open, then, should it
    // still be open, cancels it.
    static void WhenModal(const std::function<void(QWidget*)>& action, int attempts = 50)
    {
        QTimer::singleShot(attempts == 50 ? 0 : 10, [action, attempts] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr && attempts > 0)
            {
                WhenModal(action, attempts - 1);
                return;
            }
            ASSERT_NE(modal, nullptr) << "no dialog opened";
            EXPECT_TRUE(QTest::qWaitForWindowExposed(modal));
            action(modal);
            if (modal->isVisible())
            {
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        });
    }

    QString Status() const { return m_dialog->GetDlgItemText(IDC_STATUS_LINE); }

    QCheckBox* Box(int id) const { return m_dialog->GetDlgItemAs<QCheckBox>(id); }

    // Lets posted messages reach the window.
    static void DeliverPosted()
    {
        for (int i = 0; i < 3; ++i)
        {
            QApplication::processEvents();
        }
    }

    // Enter on a data cell, as a user presses it.
    void EnterOnCell(long row, long col)
    {
        m_grid->setFocus(Qt::OtherFocusReason);
        m_grid->SetRow(row);
        m_grid->SetCol(col);
        QTest::keyClick(m_grid, Qt::Key_Return);
        DeliverPosted();
    }

    // A double-click in the middle of a data cell: the press first, as a real
    // mouse sends it.
    void DoubleClickCell(long row, long col)
    {
        m_grid->SetRow(row);
        m_grid->SetCol(col);
        const double dpiX = m_grid->logicalDpiX();
        const double dpiY = m_grid->logicalDpiY();
        const QPoint centre(static_cast<int>((m_grid->GetCellLeft() + m_grid->GetCellWidth() / 2) * dpiX / 1440),
                            static_cast<int>((m_grid->GetCellTop() + m_grid->GetCellHeight() / 2) * dpiY / 1440));
        QWidget* viewport = m_grid->viewport();
        const QPoint at = viewport->mapFrom(m_grid, centre);
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
        DeliverPosted();
    }

    // The picture of a cell, comparable with the pictures of res/.
    QImage CellPicture(long row, long col)
    {
        const long savedRow = m_grid->GetRow();
        const long savedCol = m_grid->GetCol();
        m_grid->SetRow(row);
        m_grid->SetCol(col);
        const QPixmap picture = m_grid->GetCellPicture();
        m_grid->SetRow(savedRow);
        m_grid->SetCol(savedCol);
        return picture.toImage().convertToFormat(QImage::Format_ARGB32);
    }

    QTemporaryDir m_folder;
    QTemporaryDir m_configFolder;
    std::unique_ptr<ScopedEnvironmentVariable> m_configHome;
    std::vector<MessageBoxRequest> m_boxes;
    int m_yesNoAnswer = IDYES;
    std::unique_ptr<ScopedMessageBoxPresenter> m_presenter;
    // File dialogs are answered in turn from m_fileAnswers (nothing left: Cancel).
    std::vector<FileDialogRequest> m_fileRequests;
    std::deque<std::optional<QString>> m_fileAnswers;
    std::unique_ptr<ScopedFileDialogPresenter> m_filePresenter;
    std::unique_ptr<COstrelDlg> m_dialog;
    CEditFlexGrid* m_grid = nullptr;
};

inline void Settle()
{
    for (int i = 0; i < 3; ++i)
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

inline void DoubleClickGridCell(CEditFlexGrid* grid, long row, long col)
{
    grid->SetRow(row);
    grid->SetCol(col);
    const double dpiX = grid->logicalDpiX();
    const double dpiY = grid->logicalDpiY();
    const QPoint centre(static_cast<int>((grid->GetCellLeft() + grid->GetCellWidth() / 2) * dpiX / 1440),
                        static_cast<int>((grid->GetCellTop() + grid->GetCellHeight() / 2) * dpiY / 1440));
    QWidget* viewport = grid->viewport();
    const QPoint at = viewport->mapFrom(grid, centre);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
    Settle();
}

// Types `text` into a cell of the editor's grid and confirms it with Enter.
inline void TypeIntoCell(CEditFlexGrid* grid, long row, long col, const QString& text)
{
    DoubleClickGridCell(grid, row, col);
    ASSERT_TRUE(grid->IsEditing());
    QLineEdit& edit = grid->GetCellEdit();
    edit.selectAll();
    QTest::keyClicks(&edit, text);
    QTest::keyClick(&edit, Qt::Key_Return);
    Settle();
    if (grid->IsEditing())
    {
        QTest::keyClick(&grid->GetCellEdit(), Qt::Key_Escape);
        Settle();
    }
}

inline QImage Picture(int id)
{
    return LoadBitmapImage(id).convertToFormat(QImage::Format_ARGB32);
}
