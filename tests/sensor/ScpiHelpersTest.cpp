#include "ScpiHelpers.h"

#include "FakeVisa.h"

#include <gtest/gtest.h>

namespace
{

// A helper's call on session 1 with its outputs joined by "|", and the message it writes.
struct Helper
{
    const char* name;
    ViStatus (*call)(const VisaFunctions& visa, std::string& answer);
    const char* query;
};

const Helper Block{"Block", [](auto& visa, auto& answer) { return VisaQueryBlock(visa, 1, "cal:data?", answer); },
                   "cal:data?\n"};
const Helper String{"String", [](auto& visa, auto& answer) { return VisaQueryString(visa, 1, "syst:info?", answer); },
                  "syst:info?\n"};
const Helper Error{"Error",
                   [](auto& visa, auto& answer) {
                       std::int32_t code = 0;
                       const ViStatus status = VisaQueryError(visa, 1, code, answer);
                       return answer = std::to_string(code) + "|" + answer, status;
                   },
                   "syst:err?\n"};
const Helper Identity{"Identity",
                      [](auto& visa, auto& answer) {
                          std::string model, serial, firmware;
                          const ViStatus status = VisaQueryIdentity(visa, 1, answer, model, serial, firmware);
                          return answer += "|" + model + "|" + serial + "|" + firmware, status;
                      },
                      "*idn?\n"};

std::string Bytes(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7); // '\n', '#' and zeros among them
    return bytes;
}

struct Exchange
{
    const char* name;
    const Helper& helper;
    std::string reply;
    ViStatus cut; // see FakeVisa
    ViStatus status;
    std::string answer; // untouched when the call fails
    std::vector<ViUInt32> reads;
};

// Session 1 answers every write with the row's reply.
template <typename Row>
class Scpi : public ::testing::TestWithParam<Row>
{
protected:
    Scpi() { Reply(""); }
    void Reply(const std::string& reply, ViStatus cut = VI_SUCCESS)
    {
        fake.resources = {{"", "", "", reply}};
        fake.cut = cut;
    }
    FakeVisa fake;
    const std::shared_ptr<const VisaFunctions> visa = fake.Table();
};

using Query = Scpi<Exchange>;

TEST_P(Query, WritesOnceAndReadsTheReplyInItsPieces)
{
    const Exchange& c = GetParam();
    Reply(c.reply, c.cut);
    std::string answer;
    EXPECT_EQ(c.helper.call(*visa, answer), c.status);
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(fake.writes, std::vector<std::string>{c.helper.query});
    EXPECT_EQ(fake.reads, c.reads);
}

const ViStatus FMT = VI_ERROR_INV_FMT;
const std::vector<ViUInt32> once{4096};

INSTANTIATE_TEST_SUITE_P(
    Replies, Query,
    ::testing::Values(Exchange{"BlockOfFive", Block, "#15hello\n", 0, VI_SUCCESS, "hello", {1, 1, 1, 5, 1}},
                      Exchange{"BlockEmpty", Block, "#10\n", 0, VI_SUCCESS, "", {1, 1, 1, 1}},
                      Exchange{"BlockWithoutHash", Block, "15hello\n", 0, FMT, "", {1}},
                      Exchange{"BlockDigitCountNotADigit", Block, "#x5hello\n", 0, FMT, "", {1, 1}},
                      Exchange{"BlockOfIndefiniteLength", Block, "#0hello\n", 0, FMT, "", {1, 1}},
                      Exchange{"BlockLengthNotDecimal", Block, "#2+5hello\n", 0, FMT, "", {1, 1, 2}},
                      Exchange{"BlockBeyondTheLimit", Block, "#9134217729", VI_ERROR_TMO, FMT, "", {1, 1, 9}},
                      Exchange{"BlockAtTheLimit", Block, "#9134217728", VI_ERROR_TMO, VI_ERROR_TMO, "",
                               {1, 1, 9, 134217728}},
                      Exchange{"BlockOneByteShort", Block, "#15hell\n", 0, FMT, "", {1, 1, 1, 5}},
                      Exchange{"BlockWithoutFinalLineFeed", Block, "#15hello", 0, FMT, "", {1, 1, 1, 5}},
                      Exchange{"BlockOtherFinalByte", Block, "#15hellox", 0, FMT, "", {1, 1, 1, 5, 1}},
                      Exchange{"BlockLostInTheData", Block, "#15hel", VI_ERROR_CONN_LOST, VI_ERROR_CONN_LOST, "",
                               {1, 1, 1, 5}},
                      Exchange{"StringQuotesAndLineFeedsGo", String, "\"\"2024-03-12\n\"\n", 0, 0, "2024-03-12", once},
                      Exchange{"StringInnerQuotesStay", String, "\"a\"b\"\n", 0, 0, "a\"b", once},
                      Exchange{"StringOfTheLimit", String, std::string(4096, 'x'), 0, 0, std::string(4096, 'x'), once},
                      Exchange{"StringBeyondTheLimit", String, std::string(4097, 'x'), 0, VI_SUCCESS_MAX_CNT, "", once},
                      Exchange{"StringNoReply", String, "", 0, VI_ERROR_TMO, "", once},
                      Exchange{"ErrorQuotedText", Error, "-113,\"No header\"\n", 0, 0, "-113|No header", once},
                      Exchange{"ErrorPlainText", Error, "+0,No error\n", 0, 0, "0|No error", once},
                      Exchange{"ErrorCommaInText", Error, "-222,\"a,b\"\n", 0, 0, "-222|a,b", once},
                      Exchange{"ErrorWithoutText", Error, "-100", 0, 0, "-100|", once},
                      Exchange{"ErrorLowestCode", Error, "-2147483648,\"x\"", 0, 0, "-2147483648|x", once},
                      Exchange{"ErrorCodeOverflows", Error, "2147483648,\"x\"", 0, FMT, "0|", once},
                      Exchange{"ErrorCodeNotANumber", Error, "-1x,\"x\"\n", 0, FMT, "0|", once},
                      Exchange{"IdentityTrimmed", Identity, " Trobe&Lindvar , TVX-18G,100001 ,\t2.14 \r\n", 0, 0,
                               "Trobe&Lindvar|TVX-18G|100001|2.14", once},
                      Exchange{"IdentityEmptyFields", Identity, ",,,\n", 0, 0, "|||", once},
                      Exchange{"IdentityThreeFields", Identity, "a,b,c\n", 0, FMT, "|||", once},
                      Exchange{"IdentityFiveFields", Identity, "a,b,c,d,e\n", 0, FMT, "|||", once}),
    [](const auto& info) { return std::string(info.param.name); });

using RefusedWrite = Scpi<Helper>;

TEST_P(RefusedWrite, GivesItsStatusWithoutReading)
{
    fake.writeStatus = VI_ERROR_CONN_LOST;
    std::string answer;
    EXPECT_EQ(GetParam().call(*visa, answer), VI_ERROR_CONN_LOST);
    EXPECT_TRUE(fake.reads.empty());
}

INSTANTIATE_TEST_SUITE_P(Helpers, RefusedWrite, ::testing::Values(Block, String, Error, Identity),
                         [](const auto& info) { return std::string(info.param.name); });

using BlockWrite = Scpi<std::pair<std::size_t, std::string>>;

// One message, which the block reader takes back whole at every length up to the row's.
TEST_P(BlockWrite, AnnouncesTheLengthAndEndsWithALineFeed)
{
    const auto& [length, header] = GetParam();
    for (std::size_t size = 0; size <= length; ++size) {
        fake.writes.clear();
        ASSERT_EQ(VisaWriteBlock(*visa, 1, "cal:user:data", Bytes(size)), VI_SUCCESS);
        ASSERT_EQ(fake.writes.size(), 1u);
        Reply(fake.writes[0].substr(fake.writes[0].find(' ') + 1));
        std::string block;
        ASSERT_EQ(VisaQueryBlock(*visa, 1, "cal:user:data?", block), VI_SUCCESS) << size;
        ASSERT_EQ(block, Bytes(size));
    }
    EXPECT_EQ(fake.writes[0], "cal:user:data" + header + Bytes(length) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Lengths, BlockWrite,
                         ::testing::Values(std::pair{0, " #10"}, std::pair{9, " #19"}, std::pair{10, " #210"},
                                           std::pair{1234, " #41234"}),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param.first); });

using UserData = ::testing::TestWithParam<std::tuple<const char*, std::string, bool>>;

TEST_P(UserData, IsFoundInTheHelpHeaders)
{
    EXPECT_EQ(HasUserDataCommand(std::get<1>(GetParam())), std::get<2>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Headers, UserData,
    ::testing::Values(std::tuple{"InTheList", "*IDN?/qonly/\n:CALibration:USER:DATA\n", true},
                      std::tuple{"WithNodesBetween", ":CALibration:SENSe1:USER:DATA?", true},
                      std::tuple{"FactoryDataOnly", ":CALibration:DATA\n:CALibration:DATA:LENGth?", false},
                      std::tuple{"SpaceBetween", ":CALibration :USER:DATA", false},
                      std::tuple{"LineBetween", ":CALibration\n:USER:DATA", false},
                      std::tuple{"LowerCase", ":calibration:user:data", false},
                      std::tuple{"ShortForm", ":CAL:USER:DATA", false}, std::tuple{"Empty", "", false}),
    [](const auto& info) { return std::string(std::get<0>(info.param)); });

} // namespace
