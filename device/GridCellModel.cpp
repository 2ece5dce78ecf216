#include "GridCellModel.h"

#include "GridCellDelegate.h"
#include "NumberText.h"
#include "TextConversion.h"

#include <algorithm>

namespace
{

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

bool LooksNumeric(const QString& text)
{
    if (text.isEmpty())
    {
        return false;
    }
    const QChar first = text.front();
    return first.isDigit() || first == QLatin1Char('-') || first == QLatin1Char('+') || first == QLatin1Char('.');
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsNumberFormat(CellFormat format)
{
    return format == CellFormat::Value || format == CellFormat::Engineering;
}

QString Shown(CellFormat format, double value)
{
    return format == CellFormat::Engineering ? FormatEngineering(value) : FormatValue(value);
}

void AppendExact(std::string& out, CellFormat format, double value)
{
    format == CellFormat::Engineering ? AppendEngineeringExact(out, value) : AppendValueExact(out, value);
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

CGridCellModel::CGridCellModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

long CGridCellModel::Rows() const
{
    return m_header.Rows() + m_data.Rows();
}

long CGridCellModel::Cols() const
{
    return m_data.Cols();
}

const CellBlock& CGridCellModel::BlockOf(long& row) const
{
    if (row < m_header.Rows())
    {
        return m_header;
    }
    row -= m_header.Rows();
    return m_data;
}

CellBlock& CGridCellModel::BlockOf(long& row)
{
    return const_cast<CellBlock&>(static_cast<const CGridCellModel*>(this)->BlockOf(row));
}

template <class Change>
void CGridCellModel::ChangeAllRows(Change change)
{
    CellBlock all = std::move(m_header);
    all.Append(m_data);
    change(all);
    const long fixed = std::min(m_fixedRows, all.Rows());
    m_header = all.Slice(0, fixed);
    all.RemoveRows(0, fixed);
    m_data = std::move(all);
}

long CGridCellModel::FixedRows() const
{
    return m_fixedRows;
}

long CGridCellModel::FixedCols() const
{
    return m_fixedCols;
}

void CGridCellModel::SetFixed(long fixedRows, long fixedCols)
{
    beginResetModel();
    m_fixedRows = std::clamp(fixedRows, 0L, 1L);
    m_fixedCols = std::clamp(fixedCols, 0L, 1L);
    ChangeAllRows([](CellBlock&) {});
    endResetModel();
}

void CGridCellModel::Resize(long rows, long cols)
{
    rows = std::max(rows, 0L);
    cols = std::max(cols, 0L);
    if (cols != Cols())
    {
        beginResetModel();
        ChangeAllRows([rows, cols](CellBlock& all) { all.Reshape(rows, cols); });
        m_formats.resize(static_cast<std::size_t>(cols), CellFormat::Text);
        m_colAlignment.resize(static_cast<std::size_t>(cols), generalAlignment);
        for (auto it = m_pictures.begin(); it != m_pictures.end();)
        {
            it = (it->first.first >= rows || it->first.second >= cols) ? m_pictures.erase(it) : std::next(it);
        }
        endResetModel();
        return;
    }
    if (rows > Rows())
    {
        InsertRows(Rows(), rows - Rows());
    }
    else if (rows < Rows())
    {
        RemoveRows(rows, Rows() - rows);
    }
}

void CGridCellModel::BeginRowChange(bool insert, long index, long count)
{
    // A row inserted above the header, or the header removed, changes what
    // the fixed row is.
    if (index < m_fixedRows)
    {
        beginResetModel();
    }
    else if (insert)
    {
        beginInsertRows(QModelIndex(), static_cast<int>(index - m_fixedRows),
                        static_cast<int>(index - m_fixedRows + count - 1));
    }
    else
    {
        beginRemoveRows(QModelIndex(), static_cast<int>(index - m_fixedRows),
                        static_cast<int>(index - m_fixedRows + count - 1));
    }
}

void CGridCellModel::EndRowChange(bool insert, long index)
{
    if (index < m_fixedRows)
    {
        endResetModel();
    }
    else if (insert)
    {
        endInsertRows();
    }
    else
    {
        endRemoveRows();
    }
}

void CGridCellModel::InsertRows(long index, long count)
{
    if (count <= 0 || index < 0 || index > Rows())
    {
        return;
    }
    BeginRowChange(true, index, count);
    if (index >= m_fixedRows && index >= m_header.Rows())
    {
        m_data.InsertRows(index - m_header.Rows(), count);
    }
    else
    {
        ChangeAllRows([index, count](CellBlock& all) { all.InsertRows(index, count); });
    }
    ShiftPictures(index, count);
    EndRowChange(true, index);
}

void CGridCellModel::RemoveRows(long index, long count)
{
    if (index < 0 || index >= Rows() || count <= 0)
    {
        return;
    }
    count = std::min(count, Rows() - index);
    BeginRowChange(false, index, count);
    if (index >= m_header.Rows())
    {
        m_data.RemoveRows(index - m_header.Rows(), count);
    }
    else
    {
        ChangeAllRows([index, count](CellBlock& all) { all.RemoveRows(index, count); });
    }
    for (auto it = m_pictures.begin(); it != m_pictures.end();)
    {
        const long row = it->first.first;
        it = (row >= index && row < index + count) ? m_pictures.erase(it) : std::next(it);
    }
    ShiftPictures(index + count, -count);
    EndRowChange(false, index);
}

void CGridCellModel::SetColFormat(long col, CellFormat format)
{
    if (col < 0 || col >= Cols() || ColFormat(col) == format)
    {
        return;
    }
    std::vector<QString> texts;
    for (long row = m_fixedRows; row < Rows(); ++row)
    {
        texts.push_back(ExactText(row, col));
    }
    m_formats[static_cast<std::size_t>(col)] = format;
    for (long row = m_fixedRows; row < Rows(); ++row)
    {
        SetText(row, col, texts[static_cast<std::size_t>(row - m_fixedRows)]);
    }
    if (rowCount() > 0 && col >= m_fixedCols)
    {
        emit dataChanged(IndexOf(m_fixedRows, col), IndexOf(Rows() - 1, col));
    }
}

CellFormat CGridCellModel::ColFormat(long col) const
{
    return col >= 0 && col < Cols() ? m_formats[static_cast<std::size_t>(col)] : CellFormat::Text;
}

CellFormat CGridCellModel::FormatOf(long row, long col) const
{
    return row < m_fixedRows ? CellFormat::Text : ColFormat(col);
}

QString CGridCellModel::Text(long row, long col) const
{
    if (!InRange(row, col))
    {
        return {};
    }
    const CellFormat format = FormatOf(row, col);
    if (format == CellFormat::RowNumber)
    {
        return QString::number(row);
    }
    const CellBlock& cells = BlockOf(row);
    if (cells.IsText(row, col))
    {
        return FromUtf8(cells.Text(row, col));
    }
    return Shown(format, cells.Number(row, col));
}

QString CGridCellModel::ExactText(long row, long col) const
{
    if (!HoldsNumber(row, col))
    {
        return Text(row, col);
    }
    std::string text;
    AppendExactText(text, row, col);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool CGridCellModel::HoldsNumber(long row, long col) const
{
    if (!InRange(row, col) || FormatOf(row, col) == CellFormat::RowNumber)
    {
        return false;
    }
    return !BlockOf(row).IsText(row, col);
}

void CGridCellModel::AppendExactText(std::string& latin1, long row, long col) const
{
    if (HoldsNumber(row, col))
    {
        const CellFormat format = FormatOf(row, col);
        AppendExact(latin1, format, BlockOf(row).Number(row, col));
        return;
    }
    const std::string noText;
    long at = row;
    const std::string& utf8 = InRange(row, col) ? BlockOf(at).Text(at, col) : noText;
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }) &&
        FormatOf(row, col) != CellFormat::RowNumber)
    {
        latin1 += utf8;
        return;
    }
    latin1 += WideToLatin1(Text(row, col));
}

void CGridCellModel::SetText(long row, long col, const QString& text)
{
    if (!InRange(row, col))
    {
        return;
    }
    const CellFormat format = FormatOf(row, col);
    if (format == CellFormat::RowNumber)
    {
        return;
    }
    if (IsNumberFormat(format))
    {
        const std::optional<double> value = TextToNumber(text);
        if (value && (text == Shown(format, *value) ||
                      text == (format == CellFormat::Engineering ? FormatEngineeringExact(*value)
                                                                  : FormatValueExact(*value))))
        {
            long at = row;
            BlockOf(at).SetNumber(at, col, *value);
            return;
        }
    }
    long at = row;
    BlockOf(at).SetText(at, col, ToUtf8(text));
    TellFixedCell(row, col);
}

std::optional<double> CGridCellModel::Value(long row, long col) const
{
    if (!InRange(row, col))
    {
        return std::nullopt;
    }
    if (FormatOf(row, col) == CellFormat::RowNumber)
    {
        return static_cast<double>(row);
    }
    const CellBlock& cells = BlockOf(row);
    if (!cells.IsText(row, col))
    {
        return cells.Number(row, col);
    }
    return ReadDouble(cells.Text(row, col));
}

void CGridCellModel::SetValue(long row, long col, double value)
{
    if (!InRange(row, col))
    {
        return;
    }
    const CellFormat format = FormatOf(row, col);
    long at = row;
    if (IsNumberFormat(format))
    {
        BlockOf(at).SetNumber(at, col, value);
    }
    else if (format == CellFormat::Text)
    {
        std::string text;
        AppendValueExact(text, value);
        BlockOf(at).SetText(at, col, std::move(text));
        TellFixedCell(row, col);
    }
}

CellBlock CGridCellModel::ReadRows(long first, long count) const
{
    first = std::clamp(first, m_header.Rows(), Rows());
    count = std::clamp(count, 0L, Rows() - first);
    return m_data.Slice(first - m_header.Rows(), count);
}

CellBlock CGridCellModel::ReplaceRows(long first, long count, CellBlock rows)
{
    if (first < m_fixedRows || first < m_header.Rows() || first > Rows() || rows.Cols() != Cols())
    {
        return CellBlock(0, Cols());
    }
    count = std::clamp(count, 0L, Rows() - first);
    const long at = first - m_header.Rows();
    const long kept = std::min(count, rows.Rows());
    CellBlock replaced;
    if (at == 0 && count == m_data.Rows())
    {
        // The whole table: the rows change places, nothing is copied.
        if (count > kept)
        {
            beginRemoveRows(QModelIndex(), static_cast<int>(kept), static_cast<int>(count - 1));
        }
        else if (rows.Rows() > kept)
        {
            beginInsertRows(QModelIndex(), static_cast<int>(kept), static_cast<int>(rows.Rows() - 1));
        }
        replaced = std::exchange(m_data, std::move(rows));
        ShiftPictures(first + kept, m_data.Rows() - count);
        count > kept ? endRemoveRows() : m_data.Rows() > kept ? endInsertRows() : void();
    }
    else
    {
        replaced = m_data.Slice(at, count);
        if (count > kept)
        {
            RemoveRows(first + kept, count - kept);
        }
        if (rows.Rows() > kept)
        {
            InsertRows(first + kept, rows.Rows() - kept);
        }
        m_data.Overwrite(at, rows);
    }
    if (kept > 0 && Cols() > m_fixedCols)
    {
        emit dataChanged(IndexOf(first, m_fixedCols), IndexOf(first + kept - 1, Cols() - 1));
    }
    return replaced;
}

QPixmap CGridCellModel::Picture(long row, long col) const
{
    const auto found = m_pictures.find({row, col});
    return found == m_pictures.end() ? QPixmap() : found->second.picture;
}

short CGridCellModel::PictureAlignment(long row, long col) const
{
    const auto found = m_pictures.find({row, col});
    return found == m_pictures.end() ? short(0) : found->second.alignment;
}

void CGridCellModel::SetPicture(long row, long col, const QPixmap& picture, short alignment)
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

void CGridCellModel::SetPictureAlignment(long row, long col, short alignment)
{
    const auto found = m_pictures.find({row, col});
    if (found != m_pictures.end())
    {
        found->second.alignment = alignment;
        SetPicture(row, col, found->second.picture, alignment);
    }
}

short CGridCellModel::ColAlignment(long col) const
{
    return col >= 0 && col < Cols() ? m_colAlignment[static_cast<std::size_t>(col)] : generalAlignment;
}

void CGridCellModel::SetColAlignment(long col, short alignment)
{
    if (col < 0 || col >= Cols())
    {
        return;
    }
    m_colAlignment[static_cast<std::size_t>(col)] = alignment;
    if (col >= m_fixedCols && rowCount() > 0)
    {
        emit dataChanged(IndexOf(m_fixedRows, col), IndexOf(Rows() - 1, col), {Qt::TextAlignmentRole});
    }
}

int CGridCellModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(std::max(Rows() - m_fixedRows, 0L));
}

int CGridCellModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(std::max(Cols() - m_fixedCols, 0L));
}

QVariant CGridCellModel::data(const QModelIndex& index, int role) const
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
        return Text(row, col);
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

QVariant CGridCellModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
    {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (orientation == Qt::Horizontal)
    {
        return m_fixedRows > 0 ? Text(0, section + m_fixedCols) : QString();
    }
    return m_fixedCols > 0 ? Text(section + m_fixedRows, 0) : QString();
}

Qt::ItemFlags CGridCellModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QModelIndex CGridCellModel::IndexOf(long row, long col) const
{
    if (row < m_fixedRows || col < m_fixedCols || row >= Rows() || col >= Cols())
    {
        return {};
    }
    return index(static_cast<int>(row - m_fixedRows), static_cast<int>(col - m_fixedCols));
}

long CGridCellModel::GridRow(const QModelIndex& index) const
{
    return index.row() + m_fixedRows;
}

long CGridCellModel::GridCol(const QModelIndex& index) const
{
    return index.column() + m_fixedCols;
}

bool CGridCellModel::InRange(long row, long col) const
{
    return row >= 0 && col >= 0 && row < Rows() && col < Cols();
}

void CGridCellModel::TellFixedCell(long row, long col)
{
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
}

QVariant CGridCellModel::Alignment(long row, long col) const
{
    const short alignment = ColAlignment(col);
    const bool numeric = alignment == generalAlignment && LooksNumeric(Text(row, col));
    return QVariant::fromValue(FlexAlignment(alignment, numeric));
}

void CGridCellModel::ShiftPictures(long fromRow, long delta)
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
