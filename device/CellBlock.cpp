#include "CellBlock.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstdint>
#include <cstring>
#include <limits>

namespace
{

double FromBits(std::uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

const std::string noText;

} // namespace

CellBlock::CellBlock(long rows, long cols)
    : m_rows(rows)
    , m_cols(cols)
    , m_cells(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), EmptyMarker())
{
}

double CellBlock::EmptyMarker()
{
    return FromBits(emptyBits);
}

double CellBlock::TextMarker()
{
    return FromBits(textBits);
}

double CellBlock::QuietNaN()
{
    return std::numeric_limits<double>::quiet_NaN();
}

const std::string& CellBlock::Text(long row, long col) const
{
    const auto found = m_texts.find({row, col});
    return found == m_texts.end() ? noText : found->second;
}

void CellBlock::SetText(long row, long col, std::string text)
{
    if (text.empty())
    {
        m_texts.erase({row, col});
        m_cells[Offset(row, col)] = EmptyMarker();
        return;
    }
    m_cells[Offset(row, col)] = TextMarker();
    m_texts[{row, col}] = std::move(text);
}

void CellBlock::Append(const CellBlock& other)
{
    for (const auto& [key, text] : other.m_texts)
    {
        m_texts[{key.first + m_rows, key.second}] = text;
    }
    m_cells.insert(m_cells.end(), other.m_cells.begin(), other.m_cells.end());
    m_rows += other.m_rows;
}

bool CellBlock::operator==(const CellBlock& other) const
{
    return m_rows == other.m_rows && m_cols == other.m_cols && m_texts == other.m_texts &&
           (m_cells.empty() || std::memcmp(m_cells.data(), other.m_cells.data(), m_cells.size() * sizeof(double)) == 0);
}

CellBlock CellBlock::Slice(long first, long count) const
{
    CellBlock slice;
    slice.m_rows = count;
    slice.m_cols = m_cols;
    const auto begin = m_cells.begin() + static_cast<std::ptrdiff_t>(Offset(first, 0));
    slice.m_cells.assign(begin, begin + static_cast<std::ptrdiff_t>(count * m_cols));
    for (auto it = m_texts.lower_bound({first, 0}); it != m_texts.end() && it->first.first < first + count; ++it)
    {
        slice.m_texts.emplace(std::pair{it->first.first - first, it->first.second}, it->second);
    }
    return slice;
}

void CellBlock::InsertRows(long index, long count)
{
    m_cells.insert(m_cells.begin() + static_cast<std::ptrdiff_t>(Offset(index, 0)),
                   static_cast<std::size_t>(count) * static_cast<std::size_t>(m_cols), EmptyMarker());
    m_rows += count;
    if (m_texts.empty() || std::prev(m_texts.end())->first.first < index)
    {
        return;
    }
    std::map<std::pair<long, long>, std::string> shifted;
    for (auto& [key, text] : m_texts)
    {
        shifted.emplace(std::pair{key.first >= index ? key.first + count : key.first, key.second}, std::move(text));
    }
    m_texts = std::move(shifted);
}

void CellBlock::RemoveRows(long index, long count)
{
    const auto begin = m_cells.begin() + static_cast<std::ptrdiff_t>(Offset(index, 0));
    m_cells.erase(begin, begin + static_cast<std::ptrdiff_t>(count * m_cols));
    m_rows -= count;
    if (m_texts.empty() || std::prev(m_texts.end())->first.first < index)
    {
        return;
    }
    std::map<std::pair<long, long>, std::string> shifted;
    for (auto& [key, text] : m_texts)
    {
        if (key.first < index)
        {
            shifted.emplace(key, std::move(text));
        }
        else if (key.first >= index + count)
        {
            shifted.emplace(std::pair{key.first - count, key.second}, std::move(text));
        }
    }
    m_texts = std::move(shifted);
}

void CellBlock::Overwrite(long first, const CellBlock& rows)
{
    std::copy(rows.m_cells.begin(), rows.m_cells.end(), m_cells.begin() + static_cast<std::ptrdiff_t>(Offset(first, 0)));
    m_texts.erase(m_texts.lower_bound({first, 0}), m_texts.lower_bound({first + rows.m_rows, 0}));
    for (const auto& [key, text] : rows.m_texts)
    {
        m_texts.emplace(std::pair{key.first + first, key.second}, text);
    }
}

void CellBlock::Reshape(long rows, long cols)
{
    CellBlock reshaped(rows, cols);
    for (long row = 0; row < std::min(rows, m_rows); ++row)
    {
        for (long col = 0; col < std::min(cols, m_cols); ++col)
        {
            reshaped.m_cells[reshaped.Offset(row, col)] = m_cells[Offset(row, col)];
        }
    }
    for (auto& [key, text] : m_texts)
    {
        if (key.first < rows && key.second < cols)
        {
            reshaped.m_texts.emplace(key, std::move(text));
        }
    }
    *this = std::move(reshaped);
}
