#include "ListCtrl.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

#include <algorithm>

namespace
{

class HotItemDelegate : public QStyledItemDelegate
{
public:
    explicit HotItemDelegate(CListCtrl* list)
        : QStyledItemDelegate(list)
        , m_list(list)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if ((m_list->GetExtendedStyle() & LVS_EX_UNDERLINEHOT) != 0 && index.row() == m_list->GetHotItem())
        {
            option->font.setUnderline(true);
        }
    }

private:
    const CListCtrl* m_list;
};

} // namespace

CListCtrl::CListCtrl(unsigned style, QWidget* parent)
    : QTableView(parent)
    , m_model(new QStandardItemModel(this))
{
    setModel(m_model);
    setItemDelegate(new HotItemDelegate(this));
    setEditTriggers(NoEditTriggers);
    // Tab leaves the list for the next control, as in any dialog.
    setTabKeyNavigation(false);
    setSelectionMode((style & LVS_SINGLESEL) != 0 ? SingleSelection : ExtendedSelection);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setSectionsClickable((style & LVS_NOSORTHEADER) == 0);
    // The hot item follows the mouse without a button held.
    viewport()->setMouseTracking(true);
    SetExtendedStyle(0);
}

CListCtrl::~CListCtrl() = default;

unsigned CListCtrl::GetExtendedStyle() const
{
    return m_extendedStyle;
}

void CListCtrl::SetExtendedStyle(unsigned extendedStyle)
{
    m_extendedStyle = extendedStyle;
    setShowGrid((extendedStyle & LVS_EX_GRIDLINES) != 0);
    setSelectionBehavior((extendedStyle & LVS_EX_FULLROWSELECT) != 0 ? SelectRows : SelectItems);
    if ((extendedStyle & LVS_EX_ONECLICKACTIVATE) == 0)
    {
        SetHotItem(-1);
    }
    viewport()->update();
}

int CListCtrl::InsertColumn(int column, const QString& heading, int width)
{
    if (column < 0)
    {
        return -1;
    }
    column = std::min(column, m_model->columnCount());
    m_model->insertColumn(column);
    m_model->setHeaderData(column, Qt::Horizontal, heading);
    horizontalHeader()->resizeSection(column, width);
    return column;
}

int CListCtrl::GetColumnWidth(int column) const
{
    return column >= 0 && column < m_model->columnCount() ? columnWidth(column) : 0;
}

int CListCtrl::InsertItem(int item, const QString& text)
{
    if (item < 0 || m_model->columnCount() == 0)
    {
        return -1;
    }
    item = std::min(item, m_model->rowCount());
    m_model->insertRow(item);
    m_model->setData(m_model->index(item, 0), text);
    return item;
}

bool CListCtrl::SetItemText(int item, int subItem, const QString& text)
{
    const QModelIndex index = m_model->index(item, subItem);
    return index.isValid() && m_model->setData(index, text);
}

QString CListCtrl::GetItemText(int item, int subItem) const
{
    return m_model->index(item, subItem).data().toString();
}

int CListCtrl::GetItemCount() const
{
    return m_model->rowCount();
}

bool CListCtrl::DeleteAllItems()
{
    m_model->removeRows(0, m_model->rowCount());
    SetHotItem(-1);
    return true;
}

int CListCtrl::GetFirstSelectedItem() const
{
    int first = -1;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
    {
        if (first < 0 || index.row() < first)
        {
            first = index.row();
        }
    }
    return first;
}

bool CListCtrl::SetItemSelected(int item, bool selected)
{
    const QModelIndex index = m_model->index(item, 0);
    if (!index.isValid())
    {
        return false;
    }
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::Deselect;
    if (selected)
    {
        flags = selectionMode() == SingleSelection ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select;
    }
    if (selectionBehavior() == SelectRows)
    {
        flags |= QItemSelectionModel::Rows;
    }
    selectionModel()->select(index, flags);
    return true;
}

int CListCtrl::GetHotItem() const
{
    return m_hotItem;
}

void CListCtrl::mousePressEvent(QMouseEvent* event)
{
    QTableView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
    {
        m_clickPending = true;
        m_pressedItem = RowAt(event->position().toPoint());
    }
}

void CListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && m_clickPending)
    {
        m_clickPending = false;
        emit Notified(NM_CLICK, m_pressedItem);
    }
}

void CListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int item = RowAt(event->position().toPoint());
    // Off a row, the view takes the double click for a press.
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
    {
        // Its release is no click of its own.
        m_clickPending = false;
        emit Notified(NM_DBLCLK, item);
    }
}

void CListCtrl::mouseMoveEvent(QMouseEvent* event)
{
    QTableView::mouseMoveEvent(event);
    if ((m_extendedStyle & LVS_EX_ONECLICKACTIVATE) != 0)
    {
        SetHotItem(RowAt(event->position().toPoint()));
    }
}

bool CListCtrl::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
    {
        SetHotItem(-1);
    }
    return QTableView::viewportEvent(event);
}

int CListCtrl::RowAt(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    return index.isValid() ? index.row() : -1;
}

void CListCtrl::SetHotItem(int item)
{
    if (item == m_hotItem)
    {
        return;
    }
    m_hotItem = item;
    if (item >= 0)
    {
        viewport()->setCursor(Qt::PointingHandCursor);
    }
    else
    {
        viewport()->unsetCursor();
    }
    viewport()->update();
}
