#include "EditFlexGrid.h"

#include "Bitmaps.h"
#include "CellEdit.h"
#include "GridMessages.h"
#include "GridUndo.h"
#include "MessageBeep.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "PostMessage.h"
#include "Resource.h"

#include <QApplication>
#include <QHeaderView>
#include <QToolTip>

namespace
{

constexpr short keyEnter = 13;
constexpr short keyEscape = 27;
constexpr short keyInsert = 45;
constexpr short keyDelete = 46;
constexpr short keyA = 65;
constexpr short keyC = 67;
constexpr short keyV = 86;
constexpr short shiftCtrl = 2;
constexpr short pictureCentred = 4;

QColor FromColorRef(unsigned int color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

} // namespace

CEditFlexGrid::CEditFlexGrid(QWidget* parent)
    : CMSFlexGrid(parent)
    , m_edit(new CCellEdit(this, viewport()))
{
    m_edit->setFont(font());
}

CEditFlexGrid::~CEditFlexGrid()
{
    // The editor goes first, while the grid it reports to is still whole.
    delete m_edit;
}

bool CEditFlexGrid::SetupColumns(long count, const int* types, const QString* headers)
{
    m_columnTypes.assign(static_cast<std::size_t>(std::max(count, 0L)), Locked);
    SetCols(count);
    SetRows(2);
    for (long col = 0; col < count; ++col)
    {
        m_columnTypes[static_cast<std::size_t>(col)] = types[col];
        SetTextMatrix(0, col, headers[col]);
    }
    m_checkTicked = LoadBitmap(IDB_CHECK_TICKED);
    m_checkEmpty = LoadBitmap(IDB_CHECK_EMPTY);
    m_radioSet = LoadBitmap(IDB_RADIO_SET);
    m_radioClear = LoadBitmap(IDB_RADIO_CLEAR);
    m_greyBox = LoadBitmap(IDB_GREY_BOX);
    return true;
}

void CEditFlexGrid::SetColumnType(long col, int type)
{
    if (col < 0 || col >= GetCols())
    {
        MessageBox(this, QStringLiteral("Error: Column index is not valid"), QString(), MB_OK | MB_ICONERROR);
        return;
    }
    if (static_cast<std::size_t>(col) >= m_columnTypes.size())
    {
        m_columnTypes.resize(static_cast<std::size_t>(col) + 1, Locked);
    }
    m_columnTypes[static_cast<std::size_t>(col)] = type;
}

int CEditFlexGrid::GetColumnType(long col) const
{
    if (col < 0 || static_cast<std::size_t>(col) >= m_columnTypes.size())
    {
        return Locked;
    }
    return m_columnTypes[static_cast<std::size_t>(col)];
}

void CEditFlexGrid::SetRadioColumn(long selectedRow, long col)
{
    if (GetRows() < 2)
    {
        return;
    }
    for (long row = 1; row < GetRows(); ++row)
    {
        SetPictureCell(row, col, row == selectedRow ? m_radioSet : m_radioClear);
    }
}

void CEditFlexGrid::SetRadioCell(long row, long col, bool set)
{
    SetPictureCell(row, col, set ? m_radioSet : m_radioClear);
}

void CEditFlexGrid::SetCheckCell(long row, long col, bool ticked)
{
    SetPictureCell(row, col, ticked ? m_checkTicked : m_checkEmpty);
}

void CEditFlexGrid::SetGreyCell(long row, long col)
{
    SetPictureCell(row, col, m_greyBox);
}

void CEditFlexGrid::StartEdit()
{
    const long row = GetRow();
    const long col = GetCol();
    const QModelIndex index = model()->index(static_cast<int>(row - GetFixedRows()), static_cast<int>(col - GetFixedCols()));
    if (!index.isValid())
    {
        return;
    }
    scrollTo(index);
    // The editor lies on the widget that shows the cell: a frozen cell is
    // drawn over the viewport.
    if (m_edit->parentWidget() != CellSurface(col))
    {
        m_edit->setParent(CellSurface(col));
    }
    m_edit->setGeometry(CellRect(row, col));

    const unsigned int cellFore = GetCellForeColor();
    const unsigned int cellBack = GetCellBackColor();
    m_edit->SetColors(FromColorRef(cellFore != 0 ? cellFore : GetForeColor()),
                      FromColorRef(cellBack != 0 ? cellBack : GetBackColor()));
    m_edit->setFont(font());
    m_edit->setToolTip(QString());
    m_edit->show();
    // Every digit of the cell's number, so that Enter without a change keeps it.
    m_edit->setText(GetTextMatrixExact(row, col));

    const short alignment = GetColAlignment(col);
    Qt::Alignment horizontal = Qt::AlignRight;
    if (alignment >= 0 && alignment <= 2)
    {
        horizontal = Qt::AlignLeft;
    }
    else if (alignment >= 3 && alignment <= 5)
    {
        horizontal = Qt::AlignHCenter;
    }
    m_edit->setAlignment(horizontal | Qt::AlignVCenter);

    m_edit->selectAll();
    m_edit->setFocus(Qt::OtherFocusReason);
    m_edit->SetCell(row, col);
}

bool CEditFlexGrid::ValidateEdit(bool frequency)
{
    QString text = m_edit->text();
    const bool isNumber = NormalizeNumber(text, frequency);
    m_edit->setText(text);
    // Why the text stays in the editor, shown at the cell and kept as the
    // editor's tool tip until a number is written.
    const QString why = isNumber ? QString()
                                 : QStringLiteral("\"%1\" is not a number. Write it as 1500, 1.5e3, 1.5k or 1.5 kHz "
                                                  "(prefixes T, G, M, k, m, u or \u00B5, n, p, f).")
                                       .arg(text);
    m_edit->setToolTip(why);
    if (!isNumber)
    {
        MessageBeep(MB_DEFAULT_BEEP);
        m_edit->setFocus(Qt::OtherFocusReason);
        m_edit->selectAll();
        QToolTip::showText(m_edit->mapToGlobal(QPoint(0, m_edit->height())), why, m_edit);
    }
    return isNumber;
}

void CEditFlexGrid::EndEdit()
{
    const long row = m_edit->GetRow();
    if (m_undoStack != nullptr)
    {
        TableChange change(*this, row, 1);
        SetTextMatrix(row, m_edit->GetCol(), m_edit->text());
        change.Finish(*m_undoStack, 1, QStringLiteral("Edit cell"));
    }
    else
    {
        SetTextMatrix(row, m_edit->GetCol(), m_edit->text());
    }
    // Hiding the focused editor would hand the focus on and move the current cell.
    if (m_edit->hasFocus())
    {
        setFocus(Qt::OtherFocusReason);
    }
    m_edit->hide();
}

bool CEditFlexGrid::CommitEdit()
{
    if (!IsEditing())
    {
        return true;
    }
    if (!ValidateEdit(GetColumnType(m_edit->GetCol()) == Frequency))
    {
        return false;
    }
    EndEdit();
    return true;
}

bool CEditFlexGrid::IsEditing() const
{
    return !m_edit->isHidden();
}

void CEditFlexGrid::SetUndoStack(QUndoStack* stack)
{
    m_undoStack = stack;
}

CCellEdit& CEditFlexGrid::GetCellEdit() const
{
    return *m_edit;
}

void CEditFlexGrid::OnDblClick()
{
    Activate();
}

void CEditFlexGrid::OnKeyDown(short* keyCode, short shift)
{
    const bool ctrl = (shift & shiftCtrl) != 0;
    switch (*keyCode)
    {
    case keyEnter:
        *keyCode = 0;
        // An Enter posted by the editor when it lost the focus to another
        // control: commit there and leave the focus where the user put it.
        if (!hasFocus() && !isAncestorOf(QApplication::focusWidget()))
        {
            CommitForFocusLoss();
            return;
        }
        Activate();
        return;
    case keyEscape:
        *keyCode = 0;
        if (IsEditing())
        {
            if (m_edit->hasFocus())
            {
                setFocus(Qt::OtherFocusReason);
            }
            m_edit->hide();
        }
        return;
    case keyInsert:
        *keyCode = 0;
        Post(WM_GRID_INSERT);
        return;
    case keyDelete:
        *keyCode = 0;
        Post(WM_GRID_DELETE);
        return;
    case keyA:
    case keyC:
    case keyV:
        if (ctrl)
        {
            const UINT message = *keyCode == keyA ? WM_GRID_SELECTALL : *keyCode == keyC ? WM_GRID_COPY : WM_GRID_PASTE;
            *keyCode = 0;
            Post(message);
        }
        return;
    default:
        return;
    }
}

void CEditFlexGrid::OnKeyPress(QChar* character)
{
    if (IsEditing() || !IsEditableCell(GetRow(), GetCol()))
    {
        return;
    }
    StartEdit();
    // Replaces the cell's text; the cursor stands after the character.
    m_edit->setText(QString(*character));
    *character = QChar();
}

void CEditFlexGrid::OnLeaveCell()
{
    if (IsEditableType(GetCol()) && IsEditing() && ValidateEdit(GetColumnType(GetCol()) == Frequency))
    {
        EndEdit();
    }
}

void CEditFlexGrid::OnScroll()
{
    if (IsEditing())
    {
        EndEdit();
    }
}

bool CEditFlexGrid::IsEditableType(long col) const
{
    const int type = GetColumnType(col);
    return type == Value || type == Frequency;
}

bool CEditFlexGrid::IsEditableCell(long row, long col) const
{
    // The fixed column is never edited.
    return row >= GetFixedRows() && row != 0 && col >= GetFixedCols() && IsEditableType(col);
}

void CEditFlexGrid::Activate()
{
    const long row = GetRow();
    const long col = GetCol();
    if (row < GetFixedRows() || row == 0)
    {
        return;
    }
    // Reaching the fixed column (a wrap from the last column) behaves as a
    // Locked column.
    if (!IsEditableCell(row, col))
    {
        Post(WM_GRID_ACTIVATE);
        return;
    }
    if (!IsEditing())
    {
        StartEdit();
    }
    else if (ValidateEdit(GetColumnType(col) == Frequency))
    {
        EndEdit();
        if (row < GetRows() - 1)
        {
            SetRow(row + 1);
            Activate();
        }
        else
        {
            const long next = (col + 1) % GetCols();
            if (next < GetFixedCols())
            {
                // The fixed column acts as a Locked cell: its message, no editor.
                Post(WM_GRID_ACTIVATE);
            }
            else
            {
                SetCol(next);
                Activate();
            }
        }
    }
    Post(WM_GRID_ACTIVATE);
}

void CEditFlexGrid::CommitForFocusLoss()
{
    if (IsEditing() && CommitEdit())
    {
        Post(WM_GRID_ACTIVATE);
    }
}

void CEditFlexGrid::Post(UINT message) const
{
    PostMessage(m_hNotifyWnd, message, 0, 0);
}

void CEditFlexGrid::SetPictureCell(long row, long col, const QPixmap& picture)
{
    if (row <= 0)
    {
        return;
    }
    SetCellPictureAt(row, col, picture, pictureCentred);
}
