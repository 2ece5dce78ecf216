#pragma once

// The data lines of a Touchstone file: the table they make, the line numbers
// of its rows, and the loop that reads them in bulk for the grammar.

#include "FreqUnit.h"
#include "S2PNumber.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What the grammar's skipper passes over at `p`: blanks (space, tab) and a
// comment, "!" and every byte after it up to the line end.
S2P_ALWAYS_INLINE const char* s2p_skip_blanks(const char* p, const char* last)
{
    while (p != last) {
        if (*p == ' ' || *p == '\t') {
            ++p;
        } else if (*p == '!') {
            while (p != last && *p != '\r' && *p != '\n')
                ++p;
        } else {
            break;
        }
    }
    return p;
}

// One row per data line: its numbers in file order (column 0 is the frequency
// in file units), the frequency in Hz and the line the row starts on.
struct s2p_table_t
{
    unsigned columns = 0;
    std::vector<double> values; // row after row
    std::vector<double> frequencies;
    std::vector<std::uint32_t> lines;

    std::size_t rows() const { return lines.size(); }
};

// The 1-based line numbers of positions in a text, counting a line end where the
// grammar's eol reads one: CR LF, a lone CR or a lone LF. Positions asked for
// in ascending order cost one pass over the text in all.
class s2p_line_counter
{
public:
    void Start(const char* text);
    unsigned LineOf(const char* position);
    // Records that `position` is on `line`, so that counting goes on from there.
    void Skip(const char* position, unsigned line);

private:
    const char* m_text = nullptr;
    const char* m_position = nullptr;
    unsigned m_line = 1;
};

// What the data lines depend on, learnt while the text is parsed.
struct s2p_data_state
{
    unsigned values_per_line = 9; // 9 for S, Z, Y, H and G files, 5 for U files
    const CFreqUnit* frequency_unit = &CFreqUnit::GHz;
    const char* text_end = nullptr;
    s2p_line_counter lines;

    // Back to the option line's defaults at the start of `text`.
    void Start(const char* text, const char* end);
};

// Appends the row of numbers `values` that starts at `start`.
void AppendRow(s2p_table_t& table, s2p_data_state& state, const char* start, const std::vector<double>& values);

// Reads the data lines at `first` one after another, as the grammar's
// data_line reads them, into `table`, and stops before the first line that it
// would not read or that holds NaN or infinity, for the grammar to take up.
// Returns the number of rows read; `first` is then behind the last one.
std::size_t ReadDataLines(const char*& first, const char* last, s2p_data_state& state, s2p_table_t& table);
