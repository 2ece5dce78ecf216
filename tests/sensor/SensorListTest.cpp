#include "ScpiHelpers.h"
#include "SensorList.h"

#include "ServedSensors.h"
#include "TvxControl2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

namespace
{

// Model or serial "?": cannot be read; model "-": viOpen fails. `pending`: what is left of the reply to read.
struct FakeResource
{
    std::string descriptor, model, serial, reply, pending;
};

// A VISA library of the test's making: the resources it finds, and for each the
// message it answers every write with. Reads take that message in the pieces
// asked for; the one that reaches its last byte gets END (VI_SUCCESS), the
// others VI_SUCCESS_MAX_CNT, as VISA gives them.
struct FakeVisa
{
    static inline FakeVisa* the = nullptr;
    std::vector<FakeResource> resources; // session i + 1 is resource i
    std::vector<std::string> writes, found;
    std::vector<ViUInt32> reads; // the counts asked for
    int open = 0;                // sessions and find lists not closed

    FakeVisa() { the = this; }
    ~FakeVisa() { the = nullptr; }
    static ViStatus Next(ViFindList, ViChar desc[])
    {
        if (the->found.empty())
            return VI_ERROR_RSRC_NFOUND;
        std::strcpy(desc, the->found.front().c_str());
        return the->found.erase(the->found.begin()), VI_SUCCESS;
    }
    std::shared_ptr<const VisaFunctions> Table() const
    {
        auto f = std::make_shared<VisaFunctions>();
        f->viOpenDefaultRM = [](ViPSession vi) { return *vi = 100, ++the->open, VI_SUCCESS; };
        f->viFindRsrc = [](ViSession, ViConstString expr, ViPFindList list, ViPUInt32 count, ViChar desc[]) {
            const std::string kind = std::strcmp(expr, "USB?::0x1B7E?*INSTR") == 0 ? "USB"
                                     : std::strcmp(expr, "TCPIP?*INSTR") == 0      ? "TCPIP" : "-";
            the->found.clear();
            for (const FakeResource& resource : the->resources)
                if (resource.descriptor.rfind(kind, 0) == 0)
                    the->found.push_back(resource.descriptor);
            *count = static_cast<ViUInt32>(the->found.size());
            return *count == 0 ? VI_ERROR_RSRC_NFOUND : (*list = 200, ++the->open, Next(*list, desc));
        };
        f->viFindNext = Next;
        f->viOpen = [](ViSession, ViConstRsrc name, ViAccessMode, ViUInt32, ViPSession vi) {
            for (std::size_t i = 0; i < the->resources.size(); ++i)
                if (the->resources[i].descriptor == name && the->resources[i].model != "-")
                    return *vi = static_cast<ViSession>(i + 1), ++the->open, VI_SUCCESS;
            return VI_ERROR_RSRC_NFOUND;
        };
        f->viClose = [](ViObject) { return --the->open, VI_SUCCESS; };
        f->viGetAttribute = [](ViObject vi, ViAttr attribute, void* out) {
            const FakeResource& resource = the->resources.at(vi - 1);
            const std::string& text = attribute == VI_ATTR_MODEL_NAME ? resource.model : resource.serial;
            return text == "?" ? VI_ERROR_NSUP_ATTR : (std::strcpy(static_cast<char*>(out), text.c_str()), VI_SUCCESS);
        };
        f->viWrite = [](ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
            the->writes.emplace_back(reinterpret_cast<const char*>(buf), cnt);
            the->resources.at(vi - 1).pending = the->resources.at(vi - 1).reply;
            return *retCnt = cnt, VI_SUCCESS;
        };
        f->viRead = [](ViSession vi, ViBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
            the->reads.push_back(cnt);
            std::string& pending = the->resources.at(vi - 1).pending;
            *retCnt = static_cast<ViUInt32>(std::min<std::size_t>(cnt, pending.size()));
            std::memcpy(buf, pending.data(), *retCnt);
            pending.erase(0, *retCnt);
            return *retCnt == 0 ? VI_ERROR_TMO : pending.empty() ? VI_SUCCESS : VI_SUCCESS_MAX_CNT;
        };
        return f;
    }
};

struct RecordingList : SensorList
{
    using SensorList::SensorList;
    void ReportMessage(const char* text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

enum Helper { Block, String, Error };

struct Exchange
{
    const char* name;
    Helper helper;
    std::string reply; // of session 1
    ViStatus status;
    std::string answer; // untouched when the call fails; of the error queue: the code, "|" and the text
    std::vector<ViUInt32> reads;
};

std::ostream& operator<<(std::ostream& out, const Exchange& row) { return out << row.name; }

using Scpi = ::testing::TestWithParam<Exchange>;

TEST_P(Scpi, WritesOnceAndReadsTheReplyInItsPieces)
{
    const Exchange& c = GetParam();
    FakeVisa fake;
    fake.resources = {{"", "", "", c.reply}};
    std::string answer;
    std::int32_t code = 0;
    const std::shared_ptr<const VisaFunctions> visa = fake.Table();
    const ViStatus status = c.helper == Block    ? VisaQueryBlock(*visa, 1, "cal:data?", answer)
                            : c.helper == String ? VisaQueryString(*visa, 1, "syst:info?", answer)
                                                 : VisaQueryError(*visa, 1, code, answer);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(c.helper == Error ? std::to_string(code) + "|" + answer : answer, c.answer);
    const char* const queries[] = {"cal:data?\n", "syst:info?\n", "syst:err?\n"};
    EXPECT_EQ(fake.writes, std::vector<std::string>{queries[c.helper]});
    EXPECT_EQ(fake.reads, c.reads);
}

const ViStatus FMT = VI_ERROR_INV_FMT;
const std::vector<ViUInt32> once{4096};

INSTANTIATE_TEST_SUITE_P(
    Replies, Scpi,
    ::testing::ValuesIn(std::vector<Exchange>{
        {"BlockEmpty", Block, "#10\n", VI_SUCCESS, "", {1, 1, 1, 1}},
        {"BlockWithoutHash", Block, "15hello\n", FMT, "", {1}},
        {"BlockDigitCountNotADigit", Block, "#x5hello\n", FMT, "", {1, 1}},
        {"BlockOfIndefiniteLength", Block, "#0hello\n", FMT, "", {1, 1}},
        {"BlockLengthNotDecimal", Block, "#2+5hello\n", FMT, "", {1, 1, 2}},
        {"BlockBeyondTheLimit", Block, "#9134217729x", FMT, "", {1, 1, 9}},
        {"BlockAtTheLimit", Block, "#9134217728x", FMT, "", {1, 1, 9, 134217728}},
        {"BlockOtherFinalByte", Block, "#15hellox", FMT, "", {1, 1, 1, 5, 1}},
        {"BlockGoesOnBehindItsLineFeed", Block, "#15hello\n\n", FMT, "", {1, 1, 1, 5, 1}},
        {"StringOuterQuotesAndLineFeedsGo", String, "\"\"a\"b\n\"\n", 0, "a\"b", once},
        {"StringOfTheLimit", String, std::string(4096, 'x'), 0, std::string(4096, 'x'), once},
        {"StringBeyondTheLimit", String, std::string(4097, 'x'), VI_SUCCESS_MAX_CNT, "", once},
        {"ErrorLowestCodeCommaInQuotedText", Error, "-2147483648,\"a,b\"\n", 0, "-2147483648|a,b", once},
        {"ErrorWithoutText", Error, "+0", 0, "0|", once},
        {"ErrorCodeOverflows", Error, "2147483648,\"x\"", FMT, "0|", once}}),
    [](const auto& info) { return std::string(info.param.name); });

FakeResource Usb(const std::string& model, const std::string& serial) { return {"USB0::" + serial, model, serial, ""}; }
FakeResource Lan(const std::string& identity, int host = 9)
{
    return {"TCPIP0::10.0.0." + std::to_string(host) + "::inst0::INSTR", "", "", identity};
}

// The type is matched whatever its case; the VISA and the driver record of a sensor are one only as spelled alike.
// (A scan without any VISA library or network is that of the transfer tests.) Then one listed sensor's results
// in turn: the next of the kind asked for, the others dropped; none when none of that kind is left, none comes
// within the timeout or the sensor is closed.
TEST(SensorList, ListsEachSensorOnceUsbThenTheMakersTvxOnTheLanThenDriverAndGivesItsResultsByKind)
{
    ServedSensors sensors; // the driver's, on USB
    for (const char* serial : {"2", "1", "3"})
        sensors.Add(serial);
    sensors.Start();
    FakeVisa fake;
    fake.resources = {Lan("Trobe&Lindvar,TVX-18G,100003,2.14\n"), Lan(" trobe&lindvar, tvx-18g ,7,1\n", 2),
                      Lan("Trobe Lindvar,TVX-18G,7,1", 3), Lan("Trobe&Lindvar Inc,TVX-18G,7,1", 4),
                      Lan("ATrobe&Lindvar,TVX-18G,7,1", 5), Lan("Trobe&Lindvar,PS-18,7,1", 6),
                      Lan("Trobe&Lindvar,TVX-18G,7", 7), Lan("Trobe&Lindvar,TVX-18G,7,1,1", 8), Usb("TVX-18G", "1"),
                      Usb("tvx-18g", "3"), Usb("TV", "4"), Usb("TVX-6G", "?"), Usb("-", "5"), Usb("TVX-6G", "6")};
    RecordingList list(600, fake.Table());
    list.Scan(true);
    list.Scan(true); // each one afresh
    std::vector<std::string> listed;
    for (const SensorRecord& r : list.records)
        listed.push_back(std::string(ConnectionText(r.connection)) + " " + r.resourceDescriptor + " " + r.type + " " +
                         r.serialNumber);
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "VISA USB0::1 TVX-18G 1", "VISA USB0::3 tvx-18g 3", "VISA USB0::? TVX-6G error",
                          "VISA USB0::6 TVX-6G 6", "VISA TCPIP0::10.0.0.9::inst0::INSTR TVX-18G 100003",
                          "VISA TCPIP0::10.0.0.2::inst0::INSTR tvx-18g 7", "TvxControl2.dll TVXUSB::2 TVX-18G 2",
                          "TvxControl2.dll TVXUSB::3 TVX-18G 3"}));
    EXPECT_EQ(fake.open, 0) << "sessions, find lists or resource manager left open";

    std::int32_t sensor = 0;
    ASSERT_EQ(TvxOpenSensor("TVXUSB::1", &sensor), 0);
    for (const char* command : {"*idn?", "cal:data?", "*idn?"})
        ASSERT_EQ(TvxSendCommand(sensor, command, 2000), 0);
    EXPECT_TRUE(list.ReadDriverBlock(sensor, 200) == SampleDataFor("factory_v3.cal", "TVX-18G", "1")); // text dropped
    EXPECT_EQ(list.ReadDriverBlock(sensor, 200), ""); // only a text left, dropped
    EXPECT_EQ(list.ReadDriverBlock(sensor, 200), ""); // nothing within the timeout
    ASSERT_EQ(TvxSendCommand(sensor, "cal:data?", 2000), 0);
    EXPECT_EQ(list.ReadDriverText(sensor), ""); // only a block, dropped
    ASSERT_EQ(TvxCloseSensor(sensor), 0);
    EXPECT_EQ(list.ReadDriverText(sensor), "");
    EXPECT_EQ(list.messages, std::vector<std::string>{"The sensor is not open (invalid sensor handle)."});
}

} // namespace
