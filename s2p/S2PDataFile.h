#pragma once

// A Touchstone (version 1) two-port file, or an uncertainty file (the same
// syntax with parameter type U and five numbers per line), read and parsed in
// the constructor. Once constructed the object is a read-only view of the file.
//
// Every failure is thrown as TvxKyyCalcDLLError:
//   1   the file cannot be opened or read, is not a regular file or is too large
//   315 the content starts with a UTF-8 or UTF-16 byte order mark
//   401 the parse failed before the option line's "#"
//   301 the parse failed after it
//   402 the file's parameter type is not the one asked for (no context)
//   105 an accessor was given a row beyond the data or an unknown tag
// Codes 1, 315, 401 and 301 carry the file name as context. A syntax error is
// first described to `onParserError` ("line L, column C:\nExpecting <...>
// here:\n\"snippet\"", the place being where reading stopped).

#include "S2PGrammar.h"
#include "Tamrix.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The largest file the Touchstone reader takes (256 MiB).
constexpr std::size_t maxTouchstoneFileSize = std::size_t{256} * 1024 * 1024;

class CS2PDataFile
{
public:
    using ParserErrorCallback = std::function<void(const std::string& message)>;

    // `type`: 'S'/'s' expects S-parameters, 'U'/'u' uncertainties, anything
    // else Z, Y, H or G parameters. `fileName` is in the file-system encoding.
    CS2PDataFile(char type, const std::string& fileName, ParserErrorCallback onParserError);
    // The same for a file's bytes already in memory: `content` is parsed as the
    // file would be (code 1 cannot occur), `sourceName` is the errors' context.
    // A line end is appended to `content`; with room for two more bytes it is
    // not copied.
    CS2PDataFile(char type, std::string content, const std::string& sourceName, ParserErrorCallback onParserError);
    virtual ~CS2PDataFile();

    CS2PDataFile(const CS2PDataFile&) = delete;
    CS2PDataFile& operator=(const CS2PDataFile&) = delete;

    unsigned GetNumPoints() const;
    // The number as written (the correctly rounded double of its text);
    // std::out_of_range outside the table.
    double GetValue(unsigned row, unsigned column) const;
    // In Hz: the correctly rounded double of the number written times the
    // unit, not the number times the unit rounded once more.
    double GetFrequency(unsigned row) const;
    // The 1-based line of the file on which `row` starts; a line ends with
    // CR LF, a lone CR or a lone LF. std::out_of_range outside the table.
    unsigned GetLine(unsigned row) const;
    // The first row whose frequency is lower than the one before it, or where
    // either is NaN; nothing when the frequencies never fall.
    std::optional<unsigned> GetFirstFallingRow() const;
    // (real, imaginary, 0) of S11, S21, S12 or S22.
    SParaValue GetSPara(unsigned row, const SParaType<1>* which) const;
    // The largest |S21|^2 over all points; minus infinity without points.
    float GetMaxS21Gain() const;
    // The uncertainties of S11, S21, S12 and S22 that apply at `frequency` (Hz);
    // all 0 unless the file is an uncertainty file.
    std::array<double, 4> GetUncertainty(double frequency) const;

    const s2p_option_line_t& GetOptionLine() const { return m_data.option_line; }

private:
    // `text` is the content followed by a line end.
    void Parse(std::string_view text, const std::string& sourceName, const ParserErrorCallback& onParserError);
    void RefuseByItsStart(const std::string& fileName, const ParserErrorCallback& onParserError);

    const CParamType* m_expectedType;
    s2p_data_t m_data;
    std::optional<unsigned> m_firstFallingRow;
    // Frequencies never fall from one row to the next (and none is NaN).
    bool m_ascending = false;
};
