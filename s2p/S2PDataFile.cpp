#include "S2PDataFile.h"

#include "RegularFile.h"

#include <boost/spirit/include/qi_parse.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

namespace
{

// Frequencies within this relative distance of a grid frequency take that
// point's uncertainties.
constexpr double gridTolerance = 1e-6;
constexpr double belowFactor = 0.999999;
constexpr double aboveFactor = 1.000001;

const CParamType* ExpectedType(char type)
{
    switch (type) {
    case 'S':
    case 's':
        return &CParamType::SParameter;
    case 'U':
    case 'u':
        return &CParamType::Uncertainty;
    default:
        return &CParamType::Other;
    }
}

bool StartsWithByteOrderMark(std::string_view content)
{
    for (const char* mark : {"\xEF\xBB\xBF", "\xFE\xFF", "\xFF\xFE"}) {
        if (content.compare(0, std::char_traits<char>::length(mark), mark) == 0)
            return true;
    }
    return false;
}

// The first of the two file columns of an S-parameter in Touchstone order
// (S11, S21, S12, S22), or 0 for anything else.
unsigned FirstColumnOf(const SParaType<1>* which)
{
    if (which == &SParaType<1>::S11)
        return 1;
    if (which == &SParaType<1>::S21)
        return 3;
    if (which == &SParaType<1>::S12)
        return 5;
    if (which == &SParaType<1>::S22)
        return 7;
    return 0;
}

const char* LineStart(const char* position, const char* begin)
{
    while (position != begin && position[-1] != '\n' && position[-1] != '\r')
        --position;
    return position;
}

// "line L, column C:\n" of where reading stopped: where the expectation
// failed or, on a line of numbers that ends short of a data line, behind
// its last number (a pair that misses a number fails where its line begins).
std::string PlaceText(std::string_view text, const char* failedAt, unsigned valuesPerLine)
{
    const char* const begin = text.data();
    const char* const last = begin + text.size();
    const char* place = failedAt;
    const char* q = s2p_skip_blanks(LineStart(failedAt, begin), last);
    if (q != last && *q != '#') {
        unsigned count = 0;
        double value, scaled;
        while (count < valuesPerLine && s2p_number::Read(q, last, value, 0, scaled, true)) {
            ++count;
            q = s2p_skip_blanks(q, last);
        }
        const bool dataLine = count == valuesPerLine && (q == last || *q == '\r' || *q == '\n');
        if (!dataLine && q > place)
            place = q;
    }
    s2p_line_counter lines;
    lines.Start(begin);
    return "line " + std::to_string(lines.LineOf(place)) + ", column " +
           std::to_string(place - LineStart(place, begin) + 1) + ":\n";
}

// The line end the parser wants after the last line; the file is read with
// room for it.
constexpr std::string_view lineEnd = "\r\n";

} // namespace

CS2PDataFile::CS2PDataFile(char type, const std::string& fileName, ParserErrorCallback onParserError)
    : m_expectedType(ExpectedType(type))
{
    RefuseByItsStart(fileName, onParserError);
    std::optional<FileBytes> content = ReadRegularFile(fileName, maxTouchstoneFileSize, lineEnd.size());
    if (!content)
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead, fileName);
    // The last line may lack its line end; every line can then end the same way.
    content->Append(lineEnd);
    Parse(content->View(), fileName, onParserError);
}

CS2PDataFile::CS2PDataFile(char type, std::string content, const std::string& sourceName,
                           ParserErrorCallback onParserError)
    : m_expectedType(ExpectedType(type))
{
    content += lineEnd;
    Parse(content, sourceName, onParserError);
}

// A large file whose start already shows it is no Touchstone file (a byte
// order mark, or a first line with content that is no option line) is
// refused from its first kilobytes, with the errors reading it whole gives.
void CS2PDataFile::RefuseByItsStart(const std::string& fileName, const ParserErrorCallback& onParserError)
{
    constexpr std::size_t probeSize = 4096;
    const std::optional<FileStart> start = ReadRegularFileStart(fileName, probeSize);
    // Small files are read whole anyway; too large ones are refused as such.
    if (!start || start->size <= start->bytes.size() || start->size > maxTouchstoneFileSize)
        return;
    const std::string_view text = start->bytes;
    if (StartsWithByteOrderMark(text))
        throw TvxKyyCalcDLLError(315, fileName);
    const char* p = text.data();
    const char* const last = p + text.size();
    while ((p = s2p_skip_blanks(p, last)) != last && (*p == '\r' || *p == '\n'))
        ++p;
    // The parse stops where the option line should begin; what it reports
    // (the place and the text after it) lies inside the start.
    if (last - p >= static_cast<std::ptrdiff_t>(tvx_error_handler_impl::snippetLength) && *p != '#')
        Parse(text, fileName, onParserError);
}

void CS2PDataFile::Parse(std::string_view text, const std::string& sourceName, const ParserErrorCallback& onParserError)
{
    m_data = s2p_data_t{};

    if (StartsWithByteOrderMark(text))
        throw TvxKyyCalcDLLError(315, sourceName);

    std::string report;
    const s2p_grammar<const char*> grammar([&report](const std::string& message) { report = message; });
    const s2p_skipper skipper;
    const char* first = text.data();
    const char* const last = first + text.size();
    if (!boost::spirit::qi::phrase_parse(first, last, grammar, skipper, boost::spirit::qi::skip_flag::postskip,
                                         m_data)) {
        if (onParserError && !report.empty() && grammar.failed_at)
            onParserError(PlaceText(text, grammar.failed_at, grammar.state.values_per_line) + report);
        throw TvxKyyCalcDLLError(m_data.option_line.option_line_missing ? 401 : 301, sourceName);
    }

    if (m_data.option_line.param_type != m_expectedType)
        throw TvxKyyCalcDLLError(402);

    const std::vector<double>& frequencies = m_data.table.frequencies;
    const auto falling = std::adjacent_find(frequencies.begin(), frequencies.end(),
                                            [](double previous, double next) { return !(next >= previous); });
    if (falling != frequencies.end())
        m_firstFallingRow = static_cast<unsigned>(falling - frequencies.begin()) + 1;
    m_ascending = !m_firstFallingRow && (frequencies.empty() || !std::isnan(frequencies[0]));
}

CS2PDataFile::~CS2PDataFile() = default;

unsigned CS2PDataFile::GetNumPoints() const
{
    return static_cast<unsigned>(m_data.table.rows());
}

double CS2PDataFile::GetValue(unsigned row, unsigned column) const
{
    const s2p_table_t& table = m_data.table;
    if (row >= table.rows() || column >= table.columns)
        throw std::out_of_range("no value at row " + std::to_string(row) + ", column " + std::to_string(column));
    return table.values[std::size_t{row} * table.columns + column];
}

double CS2PDataFile::GetFrequency(unsigned row) const
{
    if (row >= m_data.table.rows())
        throw TvxKyyCalcDLLError(TamrixErrorCode::InvalidTableAccess);
    return m_data.table.frequencies[row];
}

unsigned CS2PDataFile::GetLine(unsigned row) const
{
    return m_data.table.lines.at(row);
}

std::optional<unsigned> CS2PDataFile::GetFirstFallingRow() const
{
    return m_firstFallingRow;
}

SParaValue CS2PDataFile::GetSPara(unsigned row, const SParaType<1>* which) const
{
    const s2p_table_t& table = m_data.table;
    const unsigned column = FirstColumnOf(which);
    if (row >= table.rows() || column == 0 || column + 1 >= table.columns)
        throw TvxKyyCalcDLLError(TamrixErrorCode::InvalidTableAccess);
    const double* values = &table.values[std::size_t{row} * table.columns];
    return m_data.option_line.data_format->convert(values[column], values[column + 1]);
}

float CS2PDataFile::GetMaxS21Gain() const
{
    float maximum = -std::numeric_limits<float>::infinity();
    for (unsigned row = 0; row < GetNumPoints(); ++row) {
        const SParaValue s21 = GetSPara(row, &SParaType<1>::S21);
        const double gain = std::get<0>(s21) * std::get<0>(s21) + std::get<1>(s21) * std::get<1>(s21);
        maximum = std::max(maximum, static_cast<float>(gain));
    }
    return maximum;
}

std::array<double, 4> CS2PDataFile::GetUncertainty(double frequency) const
{
    std::array<double, 4> result{};
    if (m_expectedType != &CParamType::Uncertainty)
        return result;
    const unsigned count = GetNumPoints();
    if (count == 0)
        throw TvxKyyCalcDLLError(TamrixErrorCode::InvalidTableAccess);

    const auto rowValues = [this](unsigned row) {
        const double* values = &m_data.table.values[std::size_t{row} * m_data.table.columns];
        return std::array<double, 4>{values[1], values[2], values[3], values[4]};
    };
    const double below = frequency * belowFactor;
    const double above = frequency * aboveFactor;
    if (GetFrequency(0) >= below)
        return rowValues(0);
    if (GetFrequency(count - 1) <= above || count == 1)
        return rowValues(count - 1);

    // The last row among 0 .. count-2 whose frequency does not exceed `above`.
    unsigned k = 0;
    if (m_ascending) {
        // The same row as the scan below finds, in logarithmic time: a grid of
        // many points asks once per point.
        const std::vector<double>& frequencies = m_data.table.frequencies;
        const auto firstAbove = std::upper_bound(frequencies.begin() + 1, frequencies.begin() + (count - 1), above);
        k = static_cast<unsigned>(firstAbove - frequencies.begin()) - 1;
    } else {
        for (unsigned j = 1; k + 2 < count; ++j) {
            if (GetFrequency(j) > above)
                break;
            k = j;
        }
    }
    if (std::fabs(frequency / GetFrequency(k) - 1.0) <= gridTolerance)
        return rowValues(k);

    // No interpolation: between two points the larger value of each column
    // applies, which never understates the uncertainty.
    const std::array<double, 4> lower = rowValues(k);
    const std::array<double, 4> upper = rowValues(k + 1);
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] = std::max(lower[i], upper[i]);
    return result;
}
