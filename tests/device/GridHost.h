#pragma once

// The device editor's window with a small frequency table in its grid: fixed
// column 0 (row numbers), a Frequency column and two Value columns, three data
// rows. Records the grid's messages.

#include "Dialog.h"
#include "EditFlexGrid.h"
#include "GridMessages.h"
#include "Resource.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>

#include <vector>

class GridHost : public CDialog
{
public:
    GridHost()
        : CDialog(IDD_DEVICE)
    {
        Create();
        grid = new CEditFlexGrid;
        ReplaceDlgItem(IDC_POINT_GRID, grid);
        grid->m_hNotifyWnd = GetSafeHwnd();
        for (UINT message = WM_GRID_ACTIVATE; message <= WM_GRID_PASTE; ++message)
        {
            MapMessage(message, [this, message](WPARAM, LPARAM) { messages.push_back(message); });
        }
        const int types[] = {Locked, Frequency, Value, Value};
        const QString headers[] = {"No.", "Frequency", "S11", "S21"};
        grid->SetFixedCols(1);
        grid->SetupColumns(4, types, headers);
        grid->SetRows(4);
        const char* cells[3][4] = {{"1", "1e9", "0.5", "0.25"}, {"2", "2e9", "0.6", "0.35"}, {"3", "3e9", "0.7", "0.45"}};
        for (int row = 0; row < 3; ++row)
        {
            for (int col = 0; col < 4; ++col)
            {
                grid->SetTextMatrix(row + 1, col, QString::fromLatin1(cells[row][col]));
            }
        }
        resize(700, 500);
        show();
        activateWindow();
        (void)QTest::qWaitForWindowActive(this);
        grid->setFocus(Qt::OtherFocusReason);
        Settle();
    }

    // Delivers posted keys and messages.
    static void Settle()
    {
        for (int i = 0; i < 3; ++i)
        {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    QWidget* Viewport() const { return grid->viewport(); }

    // The centre of a cell, in viewport coordinates.
    QPoint CellCentre(long row, long col) const
    {
        return grid->visualRect(grid->model()->index(static_cast<int>(row - 1), static_cast<int>(col - 1))).center();
    }

    void Click(long row, long col)
    {
        QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, CellCentre(row, col));
        Settle();
    }

    void DoubleClick(long row, long col)
    {
        const QPoint at = CellCentre(row, col);
        QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, at);
        Settle();
    }

    void KeyToGrid(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(grid, key, modifiers);
        Settle();
    }

    void KeyToEditor(Qt::Key key)
    {
        QTest::keyClick(&grid->GetCellEdit(), key);
        Settle();
    }

    void Type(const QString& text)
    {
        QLineEdit& edit = grid->GetCellEdit();
        edit.selectAll();
        QTest::keyClicks(&edit, text);
    }

    CEditFlexGrid* grid = nullptr;
    std::vector<UINT> messages;
};
