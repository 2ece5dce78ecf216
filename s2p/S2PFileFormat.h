#pragma once

// What the device editor's import and export commands need besides the reader:
// the texts of the two export formats, the default power limits of the sensor
// models, the rounding of derived limits and the writing of a whole file.

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Sensor models by stock number (dddd.ddddKdd), in lists that share the lower
// and upper end of their measurement range in W.
struct StockNumberList
{
    double lower;
    double upper;
    std::vector<std::string_view> stockNumbers;
};

// The lists in the order they are searched.
const std::array<StockNumberList, 4>& GetStockNumberLists();

// (lower, upper) in W of the first list that holds `stockNumber` exactly;
// (0.0, 0.1) when none does.
std::pair<double, double> GetDefaultPowerLimits(const std::string& stockNumber);

// `value` rounded half up to `digits` significant digits (at least one). A value
// that is not positive and finite is returned unchanged.
double RoundToSignificantDigits(double value, int digits);

// A copy of `text` with every byte below 0x20 or from 0x80 on replaced by "_",
// so that it can stand in a comment line of any reader.
std::string SanitizeCommentText(const std::string& text);

// Writes `content` to a new file beside `path` (file-system encoding) and then
// puts it in the place of `path`, keeping an existing file's permissions and
// following links. Returns false on any failure; the file at `path` is then as
// it was and no temporary file remains.
bool WriteStringToFile(const std::string& path, const std::string& content);

// The texts of one table row as an export writes them (ISO-8859-1 bytes); the
// reader fills them for a row index from 0. The views must stay valid until
// the next row is asked for.
using S2PRowFields = std::array<std::string_view, 9>;
using UncertaintyRowFields = std::array<std::string_view, 5>;
using S2PRowReader = std::function<void(std::size_t row, S2PRowFields& fields)>;
using UncertaintyRowReader = std::function<void(std::size_t row, UncertaintyRowFields& fields)>;

// A two-port file: "! " + comment line when a comment is given (sanitized),
// "# HZ S RI R 50", then one line per row of frequency in Hz and real and
// imaginary parts of S11, S21, S12 and S22. Every field is right-aligned in 12
// characters (a longer one is written whole), fields are separated by one
// space and lines end with CR LF.
std::string MakeS2PFileText(const std::optional<std::string>& comment, std::size_t rows, const S2PRowReader& rowFields);

// An uncertainty file in the same layout: "# HZ U", then per row the frequency
// in Hz and the uncertainties of S11, S21, S12 and S22.
std::string MakeUncertaintyFileText(const std::optional<std::string>& comment, std::size_t rows,
                                    const UncertaintyRowReader& rowFields);
