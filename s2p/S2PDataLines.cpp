#include "S2PDataLines.h"

#include "S2PNumber.h"

#include <algorithm>

namespace
{

// One line end as the grammar's eol reads it.
S2P_ALWAYS_INLINE bool SkipLineEnd(const char*& p, const char* last)
{
    if (p == last || (*p != '\r' && *p != '\n'))
        return false;
    if (*p++ == '\r' && p != last && *p == '\n')
        ++p;
    return true;
}

// Room for as many more rows as lines of the size of the first would fill the
// rest of the text, so that a table is not moved while it grows; but not for
// millions on the word of one short line that a long comment may follow.
void ReserveRows(s2p_table_t& table, std::size_t rowBytes, std::size_t bytesLeft)
{
    constexpr std::size_t mostRows = std::size_t{1} << 20;
    const std::size_t rows = table.rows() + std::min(bytesLeft / rowBytes + 1, mostRows);
    table.values.reserve(rows * table.columns);
    table.frequencies.reserve(rows);
    table.lines.reserve(rows);
}

} // namespace

void s2p_line_counter::Start(const char* text)
{
    m_text = m_position = text;
    m_line = 1;
}

unsigned s2p_line_counter::LineOf(const char* position)
{
    if (position < m_position)
        Start(m_text);
    for (const char* p = m_position; p != position; ++p) {
        if (*p == '\r' || (*p == '\n' && (p == m_text || p[-1] != '\r')))
            ++m_line;
    }
    m_position = position;
    return m_line;
}

void s2p_line_counter::Skip(const char* position, unsigned line)
{
    m_position = position;
    m_line = line;
}

void s2p_data_state::Start(const char* text, const char* end)
{
    values_per_line = 9;
    frequency_unit = &CFreqUnit::GHz;
    text_end = end;
    lines.Start(text);
}

void AppendRow(s2p_table_t& table, s2p_data_state& state, const char* start, const std::vector<double>& values)
{
    // The frequency is read again, scaled to Hz: the grammar keeps only values.
    double asWritten, frequency;
    s2p_number::Read(start, state.text_end, asWritten, state.frequency_unit->exponent, frequency);
    table.columns = state.values_per_line;
    table.values.insert(table.values.end(), values.begin(), values.end());
    table.frequencies.push_back(frequency);
    table.lines.push_back(state.lines.LineOf(start));
}

std::size_t ReadDataLines(const char*& first, const char* last, s2p_data_state& state, s2p_table_t& table)
{
    const unsigned columns = state.values_per_line;
    const int shift = state.frequency_unit->exponent;
    table.columns = columns;
    const char* p = first;
    // Lines are counted by the line ends read after each row, so NaN, whose
    // brackets may hold line ends of their own, is left to the grammar (and
    // infinity with it).
    unsigned line = state.lines.LineOf(p);
    std::size_t rows = 0;
    for (;;) {
        const std::size_t size = table.values.size();
        const char* q = s2p_skip_blanks(p, last);
        double value, frequency, unscaled;
        if (!s2p_number::Read(q, last, value, shift, frequency, false))
            break;
        table.values.push_back(value);
        unsigned column = 1;
        for (; column < columns; ++column) {
            q = s2p_skip_blanks(q, last);
            if (!s2p_number::Read(q, last, value, 0, unscaled, false))
                break;
            table.values.push_back(value);
        }
        q = s2p_skip_blanks(q, last);
        if (column < columns || !SkipLineEnd(q, last)) {
            table.values.resize(size);
            break;
        }
        unsigned lineEnds = 1;
        for (q = s2p_skip_blanks(q, last); SkipLineEnd(q, last); q = s2p_skip_blanks(q, last))
            ++lineEnds;
        table.frequencies.push_back(frequency);
        table.lines.push_back(line);
        if (table.rows() == 1)
            ReserveRows(table, static_cast<std::size_t>(q - p), static_cast<std::size_t>(last - q));
        ++rows;
        line += lineEnds;
        p = q;
    }
    if (rows > 0) {
        first = p;
        state.lines.Skip(p, line);
    }
    return rows;
}
