// The Touchstone reader on a file's bytes (first byte: the parameter type the
// editor asks for). What reads has at least one row, every row exactly the
// numbers its type has, rows on lines further and further down the file, and
// uncertainties that are values of the file; what does not read fails with one
// of the reader's codes.

#include "FuzzCheck.h"
#include "S2PDataFile.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace
{
bool ThrowsOutOfRange(const CS2PDataFile& file, unsigned row, unsigned column)
{
    try {
        file.GetValue(row, column);
    } catch (const std::out_of_range&) {
        return true;
    }
    return false;
}

void CheckUncertainty(const CS2PDataFile& file, double frequency)
{
    const std::array<double, 4> found = file.GetUncertainty(frequency);
    for (unsigned i = 0; i < found.size(); ++i) {
        bool inFile = false;
        for (unsigned row = 0; row < file.GetNumPoints() && !inFile; ++row) {
            const double value = file.GetValue(row, i + 1);
            inFile = value == found[i] || (value != value && found[i] != found[i]);
        }
        Check(inFile, "an uncertainty is one of the file's values");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const char type = "SUZ"[data[0] % 3];
    const unsigned columns = type == 'U' ? 5 : 9;
    try {
        const CS2PDataFile file(type, Bytes(data + 1, size - 1), "fuzz.s2p",
                                [](const std::string& message) {
                                    Check(!message.empty(), "a parser error has a description");
                                });
        Check(file.GetNumPoints() > 0, "a file that reads has a data line");
        // A row's line is at most one past the CRs and LFs before it.
        const auto lineEnds =
            static_cast<unsigned>(std::count(data, data + size, '\r') + std::count(data, data + size, '\n'));
        unsigned line = 0;
        for (unsigned row = 0; row < file.GetNumPoints(); ++row) {
            Check(!ThrowsOutOfRange(file, row, columns - 1) && ThrowsOutOfRange(file, row, columns),
                  "every row holds the numbers of its type");
            Check(file.GetLine(row) > line && file.GetLine(row) <= lineEnds + 1, "each row starts on a later line");
            line = file.GetLine(row);
        }
        const std::optional<unsigned> falling = file.GetFirstFallingRow();
        Check(!falling || (*falling > 0 && *falling < file.GetNumPoints() &&
                           !(file.GetFrequency(*falling) >= file.GetFrequency(*falling - 1))),
              "the first falling row does not rise");
        if (type == 'S')
            file.GetMaxS21Gain();
        if (type == 'U') {
            for (unsigned row = 0; row < file.GetNumPoints(); ++row) {
                CheckUncertainty(file, file.GetFrequency(row));
                CheckUncertainty(file, file.GetFrequency(row) * 1.5);
            }
            CheckUncertainty(file, 0.0);
        }
    } catch (const TvxKyyCalcDLLError& error) {
        const std::int32_t code = error.code;
        Check(code == 315 || code == 401 || code == 301 || code == 402, "a file that does not read gives a reader code");
    }
    return 0;
}
