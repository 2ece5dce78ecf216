#include "S2PFileFormat.h"

#include "TextConversion.h"
#include "WholeFile.h"

#include <algorithm>
#include <cmath>

namespace
{

const std::array<StockNumberList, 4> stockNumberLists{{
    {1e-10,
     0.2,
     {"1172.0405K02", "1172.0405K03", "1172.0405K04", "1172.0405K05", "1172.0405K06", "1184.3316K02", "1184.3316K03",
      "1184.3316K04", "1203.7780K02", "1203.7780K03", "1203.7780K04", "1203.7780K05", "1219.5542K02", "1219.5542K03",
      "1219.5542K04"}},
    // Four models of this list were sold in both ranges; the first list decides for them.
    {1e-10,
     0.1,
     {"1184.3316K02", "1184.3316K03", "1203.7780K04", "1219.5542K03", "1230.9901K02", "1230.9901K03", "1230.9901K04",
      "1246.2058K02", "1246.2058K03", "1246.2058K04"}},
    {3e-7,
     0.1,
     {"1305.6127K02", "1305.6127K03", "1305.6127K04", "1305.6127K05", "1311.0834K02", "1311.0834K03", "1311.0834K04",
      "1311.0834K05", "1327.4419K02", "1327.4419K03", "1327.4419K04", "1327.4419K05", "1338.8862K02", "1338.8862K03",
      "1338.8862K04", "1338.8862K05"}},
    {1e-9, 0.1, {"1402.5531K02", "1402.5531K03", "1402.5531K04"}},
}};

constexpr std::pair<double, double> unknownModelLimits{0.0, 0.1};

constexpr std::size_t fieldWidth = 12;
constexpr std::string_view lineEnd = "\r\n";

void AppendCommentLine(std::string& text, const std::optional<std::string>& comment)
{
    if (comment)
    {
        text += "! ";
        text += SanitizeCommentText(*comment);
        text += lineEnd;
    }
}

template <std::size_t Count>
void AppendRow(std::string& text, const std::array<std::string_view, Count>& fields)
{
    for (std::size_t i = 0; i < Count; ++i)
    {
        if (i > 0)
        {
            text += ' ';
        }
        const std::string_view field = fields[i];
        if (field.size() < fieldWidth)
        {
            text.append(fieldWidth - field.size(), ' ');
        }
        text += field;
    }
    text += lineEnd;
}

template <std::size_t Count>
std::string MakeFileText(const std::optional<std::string>& comment, std::string_view optionLine, std::size_t rows,
                         const std::function<void(std::size_t, std::array<std::string_view, Count>&)>& rowFields)
{
    std::string text;
    // Number texts fit their fields, so this is the whole size in the usual case.
    text.reserve((comment ? comment->size() + 4 : 0) + optionLine.size() + rows * (Count * (fieldWidth + 1) + 1));
    AppendCommentLine(text, comment);
    text += optionLine;
    std::array<std::string_view, Count> fields;
    for (std::size_t row = 0; row < rows; ++row)
    {
        fields.fill(std::string_view());
        rowFields(row, fields);
        AppendRow(text, fields);
    }
    return text;
}

} // namespace

const std::array<StockNumberList, 4>& GetStockNumberLists()
{
    return stockNumberLists;
}

std::pair<double, double> GetDefaultPowerLimits(const std::string& stockNumber)
{
    for (const StockNumberList& list : stockNumberLists)
    {
        if (std::find(list.stockNumbers.begin(), list.stockNumbers.end(), stockNumber) != list.stockNumbers.end())
        {
            return {list.lower, list.upper};
        }
    }
    return unknownModelLimits;
}

double RoundToSignificantDigits(double value, int digits)
{
    // The logarithm below needs a positive number.
    if (!(value > 0) || !std::isfinite(value))
    {
        return value;
    }
    const double scale = std::pow(10.0, std::floor(std::log10(value)));
    const double digitScale = std::pow(10.0, std::max(digits, 1) - 1);
    return std::floor(value / scale * digitScale + 0.5) / digitScale * scale;
}

std::string SanitizeCommentText(const std::string& text)
{
    std::string sanitized = text;
    for (char& c : sanitized)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x80)
        {
            c = '_';
        }
    }
    return sanitized;
}

bool WriteStringToFile(const std::string& path, const std::string& content)
{
    return !path.empty() && WriteWholeFile(PathToWide(path), content);
}

std::string MakeS2PFileText(const std::optional<std::string>& comment, std::size_t rows, const S2PRowReader& rowFields)
{
    // Touchstone option line: frequencies in Hz, S-parameters as real and
    // imaginary parts, reference impedance 50 ohm.
    return MakeFileText<9>(comment, "# HZ S RI R 50\r\n", rows, rowFields);
}

std::string MakeUncertaintyFileText(const std::optional<std::string>& comment, std::size_t rows,
                                    const UncertaintyRowReader& rowFields)
{
    return MakeFileText<5>(comment, "# HZ U\r\n", rows, rowFields);
}
