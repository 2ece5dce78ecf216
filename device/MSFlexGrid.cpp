#include "MSFlexGrid.h"

#include "GridCellDelegate.h"
#include "GridCellModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

namespace
{

constexpr long twipsPerInch = 1440;

// Virtual-key codes of the keys the grid's owners look at; 0 for the rest.
short VirtualKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
    {
        return static_cast<short>(65 + (key - Qt::Key_A));
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
    {
        return static_cast<short>(48 + (key - Qt::Key_0));
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
    {
        return static_cast<short>(112 + (key - Qt::Key_F1));
    }
    switch (key)
    {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

short ShiftState(Qt::KeyboardModifiers modifiers)
{
    short shift = 0;
    if (modifiers & Qt::ShiftModifier)
    {
        shift |= 1;
    }
    if (modifiers & Qt::ControlModifier)
    {
        shift |= 2;
    }
    if (modifiers & Qt::AltModifier)
    {
        shift |= 4;
    }
    return shift;
}

unsigned int ToColorRef(const QColor& color)
{
    return static_cast<unsigned int>(color.red()) | (static_cast<unsigned int>(color.green()) << 8) |
           (static_cast<unsigned int>(color.blue()) << 16);
}

} // namespace

CMSFlexGrid::CMSFlexGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(new CGridCellModel(this))
    , m_delegate(new CGridCellDelegate(this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { OnScroll(); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_keepingSideways)
        {
            OnScroll();
        }
    });
    ChangeStructure([this] { m_model->Resize(2, 2); });
    UpdateFixedHeaders();
}

CMSFlexGrid::~CMSFlexGrid() = default;

template <class Change>
void CMSFlexGrid::ChangeStructure(Change change)
{
    // The view moves its current cell itself while rows come and go; those moves
    // are not the user's and raise no LeaveCell.
    m_syncing = true;
    change();
    m_syncing = false;
    ClampSelection();
    NoteTextsChanged();
}

long CMSFlexGrid::GetRows() const
{
    return m_model->Rows();
}

void CMSFlexGrid::SetRows(long rows)
{
    ChangeStructure([this, rows] { m_model->Resize(rows, m_model->Cols()); });
}

long CMSFlexGrid::GetCols() const
{
    return m_model->Cols();
}

void CMSFlexGrid::SetCols(long cols)
{
    ChangeStructure([this, cols] { m_model->Resize(m_model->Rows(), cols); });
}

long CMSFlexGrid::GetFixedRows() const
{
    return m_model->FixedRows();
}

void CMSFlexGrid::SetFixedRows(long rows)
{
    ChangeStructure([this, rows] { m_model->SetFixed(rows, m_model->FixedCols()); });
    UpdateFixedHeaders();
}

long CMSFlexGrid::GetFixedCols() const
{
    return m_model->FixedCols();
}

void CMSFlexGrid::SetFixedCols(long cols)
{
    ChangeStructure([this, cols] { m_model->SetFixed(m_model->FixedRows(), cols); });
    UpdateFixedHeaders();
}

long CMSFlexGrid::GetFrozenCols() const
{
    return m_frozenCols;
}

void CMSFlexGrid::SetFrozenCols(long cols)
{
    m_frozenCols = std::clamp(cols, 0L, 1L);
    // Columns slide under the frozen one pixel by pixel, so that none hides
    // behind it whole.
    setHorizontalScrollMode(m_frozenCols > 0 ? QAbstractItemView::ScrollPerPixel : QAbstractItemView::ScrollPerItem);
    if (m_frozenCols == 0 || m_frozen != nullptr)
    {
        UpdateFrozenColumn();
        return;
    }
    m_frozen = new QTableView(this);
    m_frozen->setModel(m_model);
    m_frozen->setSelectionModel(selectionModel());
    m_frozen->setItemDelegate(m_delegate);
    // A click on it puts the focus into the grid, where the keys are handled.
    m_frozen->setFocusPolicy(Qt::ClickFocus);
    m_frozen->setFocusProxy(this);
    m_frozen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_frozen->setSelectionMode(selectionMode());
    m_frozen->setSelectionBehavior(selectionBehavior());
    m_frozen->setWordWrap(false);
    m_frozen->setCornerButtonEnabled(false);
    m_frozen->setFrameShape(QFrame::NoFrame);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->verticalHeader()->hide();
    m_frozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->verticalHeader()->setMinimumSectionSize(1);
    m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->horizontalHeader()->setHighlightSections(false);
    viewport()->stackUnder(m_frozen);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, m_frozen->verticalScrollBar(), &QScrollBar::setValue);
    connect(m_frozen->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(), &QScrollBar::setValue);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { UpdateFrozenColumn(); });
    connect(m_frozen, &QAbstractItemView::doubleClicked, this, [this] { OnDblClick(); });
    UpdateFrozenColumn();
}

long CMSFlexGrid::GetRow() const
{
    return m_row;
}

void CMSFlexGrid::SetRow(long row)
{
    m_row = row;
    m_rowSel = row;
    m_colSel = m_col;
    ClampSelection();
}

long CMSFlexGrid::GetCol() const
{
    return m_col;
}

void CMSFlexGrid::SetCol(long col)
{
    m_col = col;
    m_colSel = col;
    m_rowSel = m_row;
    ClampSelection();
}

long CMSFlexGrid::GetRowSel() const
{
    return m_rowSel;
}

void CMSFlexGrid::SetRowSel(long row)
{
    m_rowSel = row;
    ClampSelection();
}

long CMSFlexGrid::GetColSel() const
{
    return m_colSel;
}

void CMSFlexGrid::SetColSel(long col)
{
    m_colSel = col;
    ClampSelection();
}

long CMSFlexGrid::GetTopRow() const
{
    const int top = rowAt(0);
    return top < 0 ? m_model->FixedRows() : top + m_model->FixedRows();
}

void CMSFlexGrid::SetTopRow(long row)
{
    const QModelIndex index = ViewIndex(row, std::max(m_col, m_model->FixedCols()));
    if (index.isValid())
    {
        scrollTo(index, QAbstractItemView::PositionAtTop);
    }
}

short CMSFlexGrid::GetSelectionMode() const
{
    switch (selectionBehavior())
    {
    case QAbstractItemView::SelectRows:
        return 1;
    case QAbstractItemView::SelectColumns:
        return 2;
    default:
        return 0;
    }
}

void CMSFlexGrid::SetSelectionMode(short mode)
{
    setSelectionBehavior(mode == 1   ? QAbstractItemView::SelectRows
                         : mode == 2 ? QAbstractItemView::SelectColumns
                                     : QAbstractItemView::SelectItems);
    if (m_frozen != nullptr)
    {
        m_frozen->setSelectionBehavior(selectionBehavior());
    }
    PushSelection();
}

QString CMSFlexGrid::GetText() const
{
    return m_model->Text(m_row, m_col);
}

void CMSFlexGrid::SetText(const QString& text)
{
    SetTextMatrix(m_row, m_col, text);
}

QString CMSFlexGrid::GetTextMatrix(long row, long col) const
{
    return m_model->Text(row, col);
}

void CMSFlexGrid::SetTextMatrix(long row, long col, const QString& text)
{
    m_model->SetText(row, col, text);
    RequestRepaint();
    NoteTextsChanged();
}

QString CMSFlexGrid::GetTextMatrixExact(long row, long col) const
{
    return m_model->ExactText(row, col);
}

void CMSFlexGrid::AppendTextMatrixExact(std::string& latin1, long row, long col) const
{
    m_model->AppendExactText(latin1, row, col);
}

std::optional<double> CMSFlexGrid::GetValueMatrix(long row, long col) const
{
    return m_model->Value(row, col);
}

void CMSFlexGrid::SetValueMatrix(long row, long col, double value)
{
    m_model->SetValue(row, col, value);
    RequestRepaint();
    NoteTextsChanged();
}

void CMSFlexGrid::SetColFormat(long col, CellFormat format)
{
    m_model->SetColFormat(col, format);
    NoteTextsChanged();
}

CellFormat CMSFlexGrid::GetColFormat(long col) const
{
    return m_model->ColFormat(col);
}

CellBlock CMSFlexGrid::GetRowBlock(long first, long count) const
{
    return m_model->ReadRows(first, count);
}

CellBlock CMSFlexGrid::ReplaceRowBlock(long first, long count, CellBlock rows)
{
    CellBlock replaced;
    ChangeStructure([&] { replaced = m_model->ReplaceRows(first, count, std::move(rows)); });
    RequestRepaint();
    return replaced;
}

long CMSFlexGrid::GetCellLeft() const
{
    return PixelsToTwipsX(CurrentCellRect().left());
}

long CMSFlexGrid::GetCellTop() const
{
    return PixelsToTwipsY(CurrentCellRect().top());
}

long CMSFlexGrid::GetCellWidth() const
{
    return PixelsToTwipsX(CurrentCellRect().width());
}

long CMSFlexGrid::GetCellHeight() const
{
    return PixelsToTwipsY(CurrentCellRect().height());
}

unsigned int CMSFlexGrid::GetCellBackColor() const
{
    return 0;
}

unsigned int CMSFlexGrid::GetCellForeColor() const
{
    return 0;
}

unsigned int CMSFlexGrid::GetBackColor() const
{
    return ToColorRef(palette().color(QPalette::Base));
}

unsigned int CMSFlexGrid::GetForeColor() const
{
    return ToColorRef(palette().color(QPalette::Text));
}

void CMSFlexGrid::SetCellPicture(const QPixmap& picture)
{
    m_model->SetPicture(m_row, m_col, picture, m_model->PictureAlignment(m_row, m_col));
}

QPixmap CMSFlexGrid::GetCellPicture() const
{
    return m_model->Picture(m_row, m_col);
}

void CMSFlexGrid::SetCellPictureAlignment(short alignment)
{
    m_model->SetPictureAlignment(m_row, m_col, alignment);
}

short CMSFlexGrid::GetCellPictureAlignment() const
{
    return m_model->PictureAlignment(m_row, m_col);
}

void CMSFlexGrid::SetCellPictureAt(long row, long col, const QPixmap& picture, short alignment)
{
    m_model->SetPicture(row, col, picture, alignment);
}

QPixmap CMSFlexGrid::GetCellPictureAt(long row, long col) const
{
    return m_model->Picture(row, col);
}

short CMSFlexGrid::GetColAlignment(long col) const
{
    return m_model->ColAlignment(col);
}

void CMSFlexGrid::SetColAlignment(long col, short alignment)
{
    m_model->SetColAlignment(col, alignment);
}

long CMSFlexGrid::GetColWidth(long col) const
{
    if (col < 0 || col >= m_model->Cols())
    {
        return 0;
    }
    if (col < m_model->FixedCols())
    {
        return PixelsToTwipsX(verticalHeader()->width());
    }
    return PixelsToTwipsX(columnWidth(static_cast<int>(col - m_model->FixedCols())));
}

void CMSFlexGrid::SetColWidth(long col, long twips)
{
    if (col < 0 || col >= m_model->Cols() || twips < 0)
    {
        return;
    }
    const int pixels = static_cast<int>(static_cast<long long>(twips) * logicalDpiX() / twipsPerInch);
    if (col < m_model->FixedCols())
    {
        verticalHeader()->setFixedWidth(pixels);
    }
    else
    {
        setColumnWidth(static_cast<int>(col - m_model->FixedCols()), pixels);
    }
}

void CMSFlexGrid::AddItem(const QString& tabSeparated, long index)
{
    if (index < 0 || index > m_model->Rows())
    {
        index = m_model->Rows();
    }
    ChangeStructure([this, index] { m_model->InsertRows(index, 1); });
    const QStringList fields = tabSeparated.split(QLatin1Char('\t'));
    const long count = std::min(static_cast<long>(fields.size()), m_model->Cols());
    for (long col = 0; col < count; ++col)
    {
        m_model->SetText(index, col, fields[static_cast<int>(col)]);
    }
    RequestRepaint();
    NoteTextsChanged();
}

void CMSFlexGrid::RemoveItem(long index)
{
    RemoveRows(index, 1);
}

void CMSFlexGrid::InsertRows(long index, long count)
{
    ChangeStructure([this, index, count] { m_model->InsertRows(index, count); });
}

void CMSFlexGrid::RemoveRows(long index, long count)
{
    ChangeStructure([this, index, count] { m_model->RemoveRows(index, count); });
}

bool CMSFlexGrid::GetRedraw() const
{
    return m_redraw;
}

void CMSFlexGrid::SetRedraw(bool redraw)
{
    m_redraw = redraw;
    setUpdatesEnabled(redraw);
    if (redraw)
    {
        viewport()->update();
    }
}

void CMSFlexGrid::keyboardSearch(const QString&)
{
}

void CMSFlexGrid::OnDblClick()
{
}

void CMSFlexGrid::OnKeyDown(short*, short)
{
}

void CMSFlexGrid::OnKeyPress(QChar*)
{
}

void CMSFlexGrid::OnLeaveCell()
{
}

void CMSFlexGrid::OnScroll()
{
}

void CMSFlexGrid::keyPressEvent(QKeyEvent* event)
{
    short keyCode = VirtualKey(event->key());
    if (keyCode != 0)
    {
        OnKeyDown(&keyCode, ShiftState(event->modifiers()));
        if (keyCode == 0)
        {
            event->accept();
            return;
        }
    }
    const QString text = event->text();
    if (text.size() == 1 && text[0].isPrint() && !text[0].isSpace() &&
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0)
    {
        QChar character = text[0];
        OnKeyPress(&character);
        if (character.isNull())
        {
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void CMSFlexGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (indexAt(event->position().toPoint()).isValid())
    {
        OnDblClick();
    }
}

void CMSFlexGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid())
    {
        return;
    }
    // The selection may already have moved on; LeaveCell sees the cell being left.
    if (previous.isValid())
    {
        m_row = m_model->GridRow(previous);
        m_col = m_model->GridCol(previous);
    }
    OnLeaveCell();
    PullSelection();
}

void CMSFlexGrid::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTableView::selectionChanged(selected, deselected);
    if (!m_syncing)
    {
        PullSelection();
    }
}

void CMSFlexGrid::paintEvent(QPaintEvent* event)
{
    m_repaintPending = false;
    QTableView::paintEvent(event);
}

bool CMSFlexGrid::event(QEvent* event)
{
    // The grid's own keys must reach it even when a window's shortcut uses them.
    if (event->type() == QEvent::ShortcutOverride)
    {
        const auto* key = static_cast<QKeyEvent*>(event);
        const short code = VirtualKey(key->key());
        const bool ctrl = (key->modifiers() & Qt::ControlModifier) != 0;
        if (code == 13 || code == 27 || code == 45 || code == 46 || (ctrl && (code == 65 || code == 67 || code == 86)))
        {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

QRect CMSFlexGrid::CurrentCellRect() const
{
    return CellRect(m_row, m_col).translated(CellSurface(m_col)->mapTo(this, QPoint(0, 0)));
}

QWidget* CMSFlexGrid::CellSurface(long col) const
{
    return IsFrozenCol(col) ? m_frozen->viewport() : viewport();
}

QRect CMSFlexGrid::CellRect(long row, long col) const
{
    const QModelIndex index = m_model->IndexOf(row, col);
    if (!index.isValid())
    {
        return {};
    }
    return IsFrozenCol(col) ? m_frozen->visualRect(index) : visualRect(index);
}

void CMSFlexGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid() || m_frozen == nullptr || m_frozen->isHidden())
    {
        QTableView::scrollTo(index, hint);
        return;
    }
    QScrollBar* const sideways = horizontalScrollBar();
    if (index.column() == 0)
    {
        // Up or down only; the view's own scrolling would also bring the
        // column's hidden original back into view.
        const int kept = sideways->value();
        m_keepingSideways = true;
        QTableView::scrollTo(index, hint);
        sideways->setValue(kept);
        m_keepingSideways = false;
        return;
    }
    QTableView::scrollTo(index, hint);
    const int covered = columnWidth(0) - visualRect(index).left();
    if (covered > 0)
    {
        sideways->setValue(sideways->value() - covered);
    }
}

void CMSFlexGrid::updateGeometries()
{
    QTableView::updateGeometries();
    UpdateFrozenColumn();
}

QModelIndex CMSFlexGrid::ViewIndex(long row, long col) const
{
    return m_model->IndexOf(row, col);
}

void CMSFlexGrid::PushSelection()
{
    QItemSelectionModel* selection = selectionModel();
    const QModelIndex current = ViewIndex(m_row, m_col);
    const QItemSelection block(ViewIndex(std::min(m_row, m_rowSel), std::min(m_col, m_colSel)),
                               ViewIndex(std::max(m_row, m_rowSel), std::max(m_col, m_colSel)));
    // Rows appended one at a time (a paste past the end) leave the view as it was.
    if (current.isValid() && selection->currentIndex() == current &&
        selectionBehavior() == QAbstractItemView::SelectItems && selection->selection() == block)
    {
        return;
    }
    m_syncing = true;
    if (!current.isValid())
    {
        selection->clear();
    }
    else
    {
        QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
        if (selectionBehavior() == QAbstractItemView::SelectRows)
        {
            flags |= QItemSelectionModel::Rows;
        }
        else if (selectionBehavior() == QAbstractItemView::SelectColumns)
        {
            flags |= QItemSelectionModel::Columns;
        }
        selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        selection->select(block, flags);
    }
    m_syncing = false;
}

void CMSFlexGrid::PullSelection()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
    {
        return;
    }
    m_row = m_model->GridRow(current);
    m_col = m_model->GridCol(current);
    m_rowSel = m_row;
    m_colSel = m_col;
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty() || !selection.contains(current))
    {
        return;
    }
    int top = current.row();
    int bottom = top;
    int left = current.column();
    int right = left;
    for (const QItemSelectionRange& range : selection)
    {
        top = std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
        left = std::min(left, range.left());
        right = std::max(right, range.right());
    }
    // The current cell is one corner of the block; RowSel/ColSel the other.
    m_rowSel = m_model->FixedRows() + (current.row() == top ? bottom : top);
    m_colSel = m_model->FixedCols() + (current.column() == left ? right : left);
}

void CMSFlexGrid::ClampSelection()
{
    const long rows = m_model->Rows();
    const long cols = m_model->Cols();
    const long fixedRows = m_model->FixedRows();
    const long fixedCols = m_model->FixedCols();
    const auto clampRow = [rows, fixedRows](long row) { return rows > fixedRows ? std::clamp(row, fixedRows, rows - 1) : 0L; };
    const auto clampCol = [cols, fixedCols](long col) { return cols > fixedCols ? std::clamp(col, fixedCols, cols - 1) : 0L; };
    m_row = clampRow(m_row);
    m_rowSel = clampRow(m_rowSel);
    m_col = clampCol(m_col);
    m_colSel = clampCol(m_colSel);
    PushSelection();
}

void CMSFlexGrid::UpdateFixedHeaders()
{
    horizontalHeader()->setVisible(m_model->FixedRows() > 0);
    verticalHeader()->setVisible(m_model->FixedCols() > 0);
    UpdateFrozenColumn();
}

bool CMSFlexGrid::IsFrozenCol(long col) const
{
    return m_frozen != nullptr && !m_frozen->isHidden() && col == m_model->FixedCols();
}

void CMSFlexGrid::UpdateFrozenColumn()
{
    if (m_frozen == nullptr)
    {
        return;
    }
    const int columns = m_frozenCols > 0 ? m_model->columnCount() : 0;
    m_frozen->setVisible(columns > 0);
    if (columns == 0)
    {
        return;
    }
    for (int column = 0; column < columns; ++column)
    {
        m_frozen->setColumnHidden(column, column != 0);
    }
    m_frozen->setColumnWidth(0, columnWidth(0));
    const bool header = horizontalHeader()->isVisible();
    const int headerHeight = header ? horizontalHeader()->height() : 0;
    m_frozen->horizontalHeader()->setVisible(header);
    m_frozen->horizontalHeader()->setFixedHeight(headerHeight);
    m_frozen->setGeometry(viewport()->x(), viewport()->y() - headerHeight, std::min(columnWidth(0), viewport()->width()),
                          viewport()->height() + headerHeight);
    m_frozen->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

void CMSFlexGrid::RequestRepaint()
{
    if (m_redraw && !m_repaintPending && viewport()->isVisible())
    {
        m_repaintPending = true;
        viewport()->update();
        if (m_frozen != nullptr)
        {
            m_frozen->viewport()->update();
        }
    }
}

void CMSFlexGrid::NoteTextsChanged()
{
    if (!m_textsChangedPending)
    {
        m_textsChangedPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_textsChangedPending = false;
                emit TextsChanged();
            },
            Qt::QueuedConnection);
    }
}

long CMSFlexGrid::PixelsToTwipsX(int pixels) const
{
    return static_cast<long>(static_cast<long long>(pixels) * twipsPerInch / logicalDpiX());
}

long CMSFlexGrid::PixelsToTwipsY(int pixels) const
{
    return static_cast<long>(static_cast<long long>(pixels) * twipsPerInch / logicalDpiY());
}
