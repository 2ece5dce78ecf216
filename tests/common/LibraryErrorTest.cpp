#include "LibraryError.h"

#include "LibraryErrorTable.h"
#include "QStringPrinting.h"
#include "TamrixError.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

TEST(LibraryErrorTable, HoldsAscendingUniqueCodesWithAsciiTexts)
{
    ASSERT_EQ(LibraryErrorMessages.size(), 65U);
    for (std::size_t i = 0; i < LibraryErrorMessages.size(); ++i) {
        const LibraryErrorMessage& entry = LibraryErrorMessages[i];
        SCOPED_TRACE(entry.code);
        if (i > 0) {
            EXPECT_LT(LibraryErrorMessages[i - 1].code, entry.code);
        }
        ASSERT_NE(entry.text, nullptr);
        EXPECT_GT(std::strlen(entry.text), 0U);
        for (const char* c = entry.text; *c; ++c) {
            EXPECT_TRUE(*c >= 0x20 && *c < 0x7F) << entry.text;
        }
    }
}

TEST(LibraryError, MessageForCode)
{
    const char* const unknown = "An unknown error occured!";
    const struct
    {
        std::int32_t code;
        const char* message;
    } rows[] = {
        {0, "No error occurred."},
        {2, "File write access failed!"},
        {101, "Memory allocation failed!"},
        {102, "You can't mix measurement data files for different sensors!"},
        {103, "Measurement frequencies for absolute calibration and reflection don't match!"},
        {104, "Missing or wrong argument(s)!"},
        {115, "Illegal property name!"},
        {201, "Calibration data set could not be parsed!"},
        {207, "Calibration data set contains inconsistent file length information."},
        {211, "You must add at least one s-parameter device and one calibration point per device! "
              "Storing was cancelled!"},
        {215, "Conversion from double-precision to single-precision floating-point format failed."},
        {216, "Sensor has been sanitized, missing indispensable data. Contact backup service!"},
        {305, "Number of elements in value table does not match (DataPoints * ValuesPerPoint)!"},
        {312, "Uncertainties associated with linearization levels must be non-negative!"},
        {315, "Wrong encoding, UTF-8 or UTF-16 format is not supported."},
        {401, "S2P file option line corrupt or not found!"},
        {504, "Sensor database contains inconsistent data!"},
        {601, "Frequency/temperature/level calibration factor for level = 0 is undefined!"},
        {603, "No calibration data is available for a particular frequency/temperature/channel "
              "combination!"},
        {702, "Interpolation failed!"},
        {803, "Error in user script error handler!"},
        {902, "Regular expression matching caused stack exhaustion!"},
        {3, unknown},
        {100, unknown},
        {116, unknown},
        {217, unknown},
        {903, unknown},
        {-1, unknown},
        {std::numeric_limits<std::int32_t>::min(), unknown},
        {std::numeric_limits<std::int32_t>::max(), unknown},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(FormatLibraryError(TvxKyyCalcDLLError(row.code)), QString::fromLatin1(row.message));
    }
}

TEST(LibraryError, EveryCodeTheLibraryRaisesHasAMessage)
{
    namespace code = TamrixErrorCode;
    for (const std::int32_t raised :
         {code::FileRead, code::FileWrite, code::WrongArgument, code::InvalidTableAccess, code::XmlError,
          code::FrequenciesNotAscending, code::NotParsable, code::TooLarge, code::Invalid,
          code::WrongSignature, code::UnsupportedVersion, code::UnsupportedRevision,
          code::InconsistentLength, code::ChecksumFailed, code::NoSParaDevice, code::IncompatibleVersion,
          code::SinglePrecisionOverflow}) {
        EXPECT_NE(FormatLibraryError(TvxKyyCalcDLLError(raised)),
                  QStringLiteral("An unknown error occured!"))
            << raised;
    }
}

TEST(LibraryError, ContextIsQuotedBeforeTheMessage)
{
    const struct
    {
        const char* name;
        TvxKyyCalcDLLError error;
        QString expected;
    } rows[] = {
        {"null context", TvxKyyCalcDLLError(208, static_cast<const char*>(nullptr)),
         QStringLiteral("Calibration data set checksum test failed!")},
        {"empty context", TvxKyyCalcDLLError(1, ""), QStringLiteral("\"\": File read access failed!")},
        {"unknown code", TvxKyyCalcDLLError(4711, "/data/x.cal"),
         QStringLiteral("\"/data/x.cal\": An unknown error occured!")},
        {"utf-8 path", TvxKyyCalcDLLError(204, "/home/m\xC3\xBCller/\xCE\xA9.cal"),
         QString::fromUtf8("\"/home/m\xC3\xBCller/\xCE\xA9.cal\": Calibration data set has wrong signature!")},
        {"latin-1 bytes", TvxKyyCalcDLLError(1, "M\xFCller\xB5"),
         QStringLiteral(u"\"M\u00FCller\u00B5\": File read access failed!")},
        {"utf-8 lead byte without continuation", TvxKyyCalcDLLError(2, "a\xC3"),
         QStringLiteral(u"\"a\u00C3\": File write access failed!")},
        {"context with quotes", TvxKyyCalcDLLError(107, std::string("<a b=\"1\">")),
         QStringLiteral("\"<a b=\"1\">\": Generic XML error!")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FormatLibraryError(row.error), row.expected);
    }
}
