#include "GridTextModel.h"

#include "GridCellDelegate.h"

#include <algorithm>

namespace
{

const std::string emptyText;

constexpr short generalAlignment = 9;

// Number texts are plain ASCII and short; they skip the UTF-8 encoder and stay
// inside the string object.
std::string ToUtf8(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text)
    {
        if (c.unicode() >= 0x80)
        {
            return text.toStdString();
        }
        bytes.push_back(static_cast<char>(c.unicode()));
    }
    return bytes;
}

bool LooksNumeric(const std::string& text)
{
    if (text.empty())
    {
        return false;
    }
    const char first = text.front();
    return (first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.';
}

Qt::Alignment FlexAlignment(short alignment, bool numeric)
{
    switch (alignment)
    {
    case 0:
        return Qt::AlignLeft | Qt::AlignTop;
    case 1:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case 2:
        return Qt::AlignLeft | Qt::AlignBottom;
    case 3:
        return Qt::AlignHCenter | Qt::AlignTop;
    case 4:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case 5:
        return Qt::AlignHCenter | Qt::AlignBottom;
    case 6:
        return Qt::AlignRight | Qt::AlignTop;
    case 7:
        return Qt::AlignRight | Qt::AlignVCenter;
    case 8:
        return Qt::AlignRight | Qt::AlignBottom;
    default:
        return (numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
}

} // namespace

CGridTextModel::CGridTextModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

long CGridTextModel::Rows() const
{
    return m_rows;
}

long CGridTextModel::Cols() const
{
    return m_cols;
}

long CGridTextModel::FixedRows() const
{
    return m_fixedRows;
}

long CGridTextModel::FixedCols() const
{
    return m_fixedCols;
}

void CGridTextModel::SetFixed(long fixedRows, long fixedCols)
{
    beginResetModel();
    m_fixedRows = std::clamp(fixedRows, 0L, 1L);
    m_fixedCols = std::clamp(fixedCols, 0L, 1L);
    endResetModel();
}

void CGridTextModel::Resize(long rows, long cols)
{
    rows = std::max(rows, 0L);
    cols = std::max(cols, 0L);
    if (cols != m_cols)
    {
        beginResetModel();
        std::vector<std::string> cells(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
        const long keptRows = std::min(rows, m_rows);
        const long keptCols = std::min(cols, m_cols);
        for (long r = 0; r < keptRows; ++r)
        {
            for (long c = 0; c < keptCols; ++c)
            {
                cells[static_cast<std::size_t>(r) * cols + c] = std::move(m_cells[Offset(r, c)]);
            }
        }
        m_cells = std::move(cells);
        m_rowData.resize(static_cast<std::size_t>(rows), 0);
        m_rows = rows;
        m_cols = cols;
        m_colAlignment.resize(static_cast<std::size_t>(cols), generalAlignment);
        for (auto it = m_pictures.begin(); it != m_pictures.end();)
        {
            it = (it->first.first >= rows || it->first.second >= cols) ? m_pictures.erase(it) : std::next(it);
        }
        endResetModel();
        return;
    }
    if (rows > m_rows)
    {
        InsertRows(m_rows, rows - m_rows);
    }
    else if (rows < m_rows)
    {
        RemoveRows(rows, m_rows - rows);
    }
}

void CGridTextModel::InsertRows(long index, long count)
{
    if (count <= 0 || index < 0 || index > m_rows)
    {
        return;
    }
    // A row inserted above the header turns the old header into a data row.
    const bool fixedTouched = index < m_fixedRows;
    if (fixedTouched)
    {
        beginResetModel();
    }
    else
    {
        beginInsertRows(QModelIndex(), static_cast<int>(index - m_fixedRows),
                        static_cast<int>(index - m_fixedRows + count - 1));
    }
    m_cells.insert(m_cells.begin() + static_cast<std::ptrdiff_t>(Offset(index, 0)),
                   static_cast<std::size_t>(count) * static_cast<std::size_t>(m_cols), std::string());
    m_rowData.insert(m_rowData.begin() + index, static_cast<std::size_t>(count), 0);
    m_rows += count;
    ShiftPictures(index, count);
    if (fixedTouched)
    {
        endResetModel();
    }
    else
    {
        endInsertRows();
    }
}

void CGridTextModel::RemoveRows(long index, long count)
{
    if (index < 0 || index >= m_rows || count <= 0)
    {
        return;
    }
    count = std::min(count, m_rows - index);
    const bool fixedTouched = index < m_fixedRows;
    if (fixedTouched)
    {
        beginResetModel();
    }
    else
    {
        beginRemoveRows(QModelIndex(), static_cast<int>(index - m_fixedRows),
                        static_cast<int>(index - m_fixedRows + count - 1));
    }
    const auto begin = m_cells.begin() + static_cast<std::ptrdiff_t>(Offset(index, 0));
    m_cells.erase(begin, begin + static_cast<std::ptrdiff_t>(count * m_cols));
    m_rowData.erase(m_rowData.begin() + index, m_rowData.begin() + index + count);
    m_rows -= count;
    for (auto it = m_pictures.begin(); it != m_pictures.end();)
    {
        const long row = it->first.first;
        it = (row >= index && row < index + count) ? m_pictures.erase(it) : std::next(it);
    }
    ShiftPictures(index + count, -count);
    if (fixedTouched)
    {
        endResetModel();
    }
    else
    {
        endRemoveRows();
    }
}

const std::string& CGridTextModel::Text(long row, long col) const
{
    return InRange(row, col) ? m_cells[Offset(row, col)] : emptyText;
}

void CGridTextModel::SetText(long row, long col, std::string text)
{
    if (!InRange(row, col))
    {
        return;
    }
    m_cells[Offset(row, col)] = std::move(text);
    if (row < m_fixedRows)
    {
        if (col >= m_fixedCols)
        {
            emit headerDataChanged(Qt::Horizontal, static_cast<int>(col - m_fixedCols), static_cast<int>(col - m_fixedCols));
        }
    }
    else if (col < m_fixedCols)
    {
        emit headerDataChanged(Qt::Vertical, static_cast<int>(row - m_fixedRows), static_cast<int>(row - m_fixedRows));
    }
    else
    {
        const QModelIndex index = IndexOf(row, col);
        emit dataChanged(index, index);
    }
}

QString CGridTextModel::TextQ(long row, long col) const
{
    const std::string& text = Text(row, col);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void CGridTextModel::SetTextQuietly(long row, long col, const QString& text)
{
    if (!InRange(row, col))
    {
        return;
    }
    if (row < m_fixedRows || col < m_fixedCols)
    {
        SetText(row, col, ToUtf8(text));
        return;
    }
    m_cells[Offset(row, col)] = ToUtf8(text);
}

long CGridTextModel::RowData(long row) const
{
    return row >= 0 && row < m_rows ? m_rowData[static_cast<std::size_t>(row)] : 0;
}

void CGridTextModel::SetRowData(long row, long value)
{
    if (row >= 0 && row < m_rows)
    {
        m_rowData[static_cast<std::size_t>(row)] = value;
    }
}

QPixmap CGridTextModel::Picture(long row, long col) const
{
    const auto found = m_pictures.find({row, col});
    return found == m_pictures.end() ? QPixmap() : found->second.picture;
}

short CGridTextModel::PictureAlignment(long row, long col) const
{
    const auto found = m_pictures.find({row, col});
    return found == m_pictures.end() ? short(0) : found->second.alignment;
}

void CGridTextModel::SetPicture(long row, long col, const QPixmap& picture, short alignment)
{
    if (!InRange(row, col))
    {
        return;
    }
    if (picture.isNull())
    {
        m_pictures.erase({row, col});
    }
    else
    {
        m_pictures[{row, col}] = CellPicture{picture, alignment};
    }
    if (row >= m_fixedRows && col >= m_fixedCols)
    {
        const QModelIndex index = IndexOf(row, col);
        emit dataChanged(index, index);
    }
}

void CGridTextModel::SetPictureAlignment(long row, long col, short alignment)
{
    const auto found = m_pictures.find({row, col});
    if (found != m_pictures.end())
    {
        found->second.alignment = alignment;
        SetPicture(row, col, found->second.picture, alignment);
    }
}

short CGridTextModel::ColAlignment(long col) const
{
    return col >= 0 && col < m_cols ? m_colAlignment[static_cast<std::size_t>(col)] : generalAlignment;
}

void CGridTextModel::SetColAlignment(long col, short alignment)
{
    if (col < 0 || col >= m_cols)
    {
        return;
    }
    m_colAlignment[static_cast<std::size_t>(col)] = alignment;
    if (col >= m_fixedCols && rowCount() > 0)
    {
        emit dataChanged(IndexOf(m_fixedRows, col), IndexOf(m_rows - 1, col), {Qt::TextAlignmentRole});
    }
}

int CGridTextModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(std::max(m_rows - m_fixedRows, 0L));
}

int CGridTextModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(std::max(m_cols - m_fixedCols, 0L));
}

QVariant CGridTextModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
    {
        return {};
    }
    const long row = GridRow(index);
    const long col = GridCol(index);
    switch (role)
    {
    case Qt::DisplayRole:
        return TextQ(row, col);
    case Qt::TextAlignmentRole:
        return Alignment(row, col);
    case Qt::UserRole:
    {
        const auto found = m_pictures.find({row, col});
        return found == m_pictures.end() ? QVariant() : QVariant(found->second.picture);
    }
    case CGridCellDelegate::PictureAlignmentRole:
        return PictureAlignment(row, col);
    default:
        return {};
    }
}

QVariant CGridTextModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
    {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (orientation == Qt::Horizontal)
    {
        return m_fixedRows > 0 ? TextQ(0, section + m_fixedCols) : QString();
    }
    return m_fixedCols > 0 ? TextQ(section + m_fixedRows, 0) : QString();
}

Qt::ItemFlags CGridTextModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QModelIndex CGridTextModel::IndexOf(long row, long col) const
{
    if (row < m_fixedRows || col < m_fixedCols || row >= m_rows || col >= m_cols)
    {
        return {};
    }
    return index(static_cast<int>(row - m_fixedRows), static_cast<int>(col - m_fixedCols));
}

long CGridTextModel::GridRow(const QModelIndex& index) const
{
    return index.row() + m_fixedRows;
}

long CGridTextModel::GridCol(const QModelIndex& index) const
{
    return index.column() + m_fixedCols;
}

bool CGridTextModel::InRange(long row, long col) const
{
    return row >= 0 && col >= 0 && row < m_rows && col < m_cols;
}

std::size_t CGridTextModel::Offset(long row, long col) const
{
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_cols) + static_cast<std::size_t>(col);
}

QVariant CGridTextModel::Alignment(long row, long col) const
{
    const short alignment = ColAlignment(col);
    const bool numeric = alignment == generalAlignment && LooksNumeric(Text(row, col));
    return QVariant::fromValue(FlexAlignment(alignment, numeric));
}

void CGridTextModel::ShiftPictures(long fromRow, long delta)
{
    if (m_pictures.empty() || delta == 0)
    {
        return;
    }
    std::map<PictureKey, CellPicture> shifted;
    for (auto& [key, picture] : m_pictures)
    {
        const long row = key.first >= fromRow ? key.first + delta : key.first;
        shifted.emplace(PictureKey{row, key.second}, std::move(picture));
    }
    m_pictures = std::move(shifted);
}
