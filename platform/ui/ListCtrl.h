#pragma once

// A list control in report view: rows of texts under column headings, in the
// framework's terms. Rows ("items") and columns ("subitems") count from 0; an
// out-of-range row or column reads as an empty text and ignores writes.
//
// Notifications go to the dialog that owns the control (CDialog::MapNotify),
// with the row they hit, or -1 when they hit no row:
//   NM_CLICK   a left click, sent when the button is released; a click in empty
//              space clears the selection first.
//   NM_DBLCLK  a left double click (it follows the NM_CLICK of its first click).
// A disabled list sends nothing.

#include "WinDefs.h"

#include <QTableView>

class QStandardItemModel;

// List styles, fixed when the control is made
constexpr unsigned LVS_SINGLESEL = 0x0004;
constexpr unsigned LVS_NOSORTHEADER = 0x8000; // the headings are no buttons

// Extended list styles
constexpr unsigned LVS_EX_GRIDLINES = 0x0001;
constexpr unsigned LVS_EX_FULLROWSELECT = 0x0020;
// The row under the mouse is the hot item, shown with a pointing hand.
constexpr unsigned LVS_EX_ONECLICKACTIVATE = 0x0040;
// With LVS_EX_ONECLICKACTIVATE: the hot item is underlined.
constexpr unsigned LVS_EX_UNDERLINEHOT = 0x0800;

class CListCtrl : public QTableView
{
    Q_OBJECT

public:
    explicit CListCtrl(unsigned style = 0, QWidget* parent = nullptr);
    ~CListCtrl() override;

    unsigned GetExtendedStyle() const;
    void SetExtendedStyle(unsigned extendedStyle);

    // Inserts a left-aligned column of `width` pixels before `column` (at the end
    // when `column` is past it). Returns its index, -1 for a negative index.
    int InsertColumn(int column, const QString& heading, int width);
    int GetColumnWidth(int column) const;

    // Inserts a row with `text` in column 0 before `item` (at the end when `item`
    // is past it). Returns its index; -1 for a negative index or a list without
    // columns.
    int InsertItem(int item, const QString& text);
    bool SetItemText(int item, int subItem, const QString& text);
    QString GetItemText(int item, int subItem) const;
    int GetItemCount() const;
    bool DeleteAllItems();

    // The lowest selected row, -1 when none is.
    int GetFirstSelectedItem() const;
    // With LVS_SINGLESEL, selecting a row deselects the others.
    bool SetItemSelected(int item, bool selected);
    // The row under the mouse (LVS_EX_ONECLICKACTIVATE), -1 when none is.
    int GetHotItem() const;

signals:
    void Notified(UINT code, int item);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    int RowAt(const QPoint& position) const;
    void SetHotItem(int item);

    QStandardItemModel* m_model;
    unsigned m_extendedStyle = 0;
    int m_hotItem = -1;
    bool m_clickPending = false;
    int m_pressedItem = -1;
};
