#include "SimSensor.h"

#include "ServedSensors.h"
#include "Tamrix.h"

#include <gtest/gtest.h>

#include <boost/algorithm/string/replace.hpp>

namespace
{

// A factory data set of the sensor with new calibration dates.
std::string RedatedFactory()
{
    CTamrix set;
    set.EnableUtf8Support(true);
    const auto format = CTamrixUtil::LoadTMXFromBuffer2(set, SampleDataFor("factory_v3.cal", "TVX-18G", "100001"));
    set.SetCalDate(CMeasurement::Misc, "2026-11-30");
    std::string data;
    CTamrixUtil::StoreTMXToBuffer2(set, data, std::get<0>(format), std::get<1>(format));
    return data;
}

struct ScpiCase
{
    const char* name;
    bool hasUserData;
    std::vector<std::string> messages; // "{user}" and "{factory}" stand for blocks of data sets
    std::string output;                // what waits after the last message
    std::string fault = "";
    bool within = false; // `output` is a part of what waits
};

void PrintTo(const ScpiCase& row, std::ostream* out) { *out << row.name; }

using Scpi = ::testing::TestWithParam<ScpiCase>;

TEST_P(Scpi, AnswersLikeASensor)
{
    const ScpiCase& c = GetParam();
    SensorIdentity identity{"100001", "TVX-18G", "", "2.14", 0x0118, c.hasUserData, true, ""};
    SimSensor sensor(identity, SampleDataFor("factory_v3.cal", "TVX-18G", "100001"), "", {});
    SensorFaults faults;
    std::string error;
    ASSERT_TRUE(c.fault.empty() || faults.Apply(c.fault, error)) << error;
    sensor.SetFaults(faults);
    for (std::string message : c.messages) {
        boost::algorithm::replace_all(message, "{user}", Block(SampleDataFor("user_v3.cal", "TVX-18G", "100001")));
        boost::algorithm::replace_all(message, "{factory}", Block(RedatedFactory()));
        sensor.Execute(message);
    }
    std::string output;
    while (sensor.HasOutput()) {
        const OutputChunk chunk = sensor.TakeOutput(7); // small pieces on purpose
        for (const OutputPiece& piece : chunk.pieces)
            output.append(*piece.storage, piece.offset, piece.size);
        EXPECT_EQ(chunk.end, !sensor.HasOutput());
    }
    EXPECT_TRUE(c.within ? output.find(c.output) != std::string::npos : output == c.output) << output;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, Scpi,
    ::testing::Values(
        ScpiCase{"UnitsRunInOrderLongFormsInAnyCase", true, {"*cls;*idn?;:SYSTem:ErRoR:NEXT?\n"},
                 "Trobe&Lindvar,TVX-18G,100001,2.14;0,\"No error\"\n"},
        ScpiCase{"EmptyUserAreaIsTheEmptyBlock", true, {"cal:user:data?\n"}, "#10\n"},
        ScpiCase{"NoUserAreaNoUserCommand", false, {"cal:user:data?;syst:err?\n"}, "-113,\"Undefined header\"\n"},
        // In the help's order the user data commands come between these two.
        ScpiCase{"HelpListsTheUserCommand", true, {"*cls;syst:help:head?\n"},
                 ":CALibration:DATA:LENGth?/qonly/\n:CALibration:USER:DATA\n", "", true},
        ScpiCase{"HelpWithoutUserArea", false, {"syst:help:head?\n"},
                 ":CALibration:DATA:LENGth?/qonly/\n:CALibration:ZERO:AUTO\n", "", true},
        ScpiCase{"DatesInDoubleOrSingleQuotes", true, {"syst:info? \"cal. abs.\";syst:info? 'cal. lin.'\n"},
                 "2024-03-12;2024-03-14\n"},
        // The error queue gives the oldest error first.
        ScpiCase{"UnknownHeaderAndInformation", true,
                 {"meas:pow?\n", "syst:info? 'cal. foo.'\n", "syst:err?;syst:err?\n"},
                 "-113,\"Undefined header\";-224,\"Illegal parameter value;no information 'cal. foo.'\"\n"},
        ScpiCase{"NewCommandInterruptsAnUnreadReply", true, {"*idn?\n", "syst:err?\n"}, "-410,\"Query INTERRUPTED\"\n"},
        // The data set's bytes hold semicolons and quotation marks.
        ScpiCase{"BlockBytesAreNoSeparators", true, {"cal:user:data {user};syst:err?\n"}, "0,\"No error\"\n"},
        ScpiCase{"EmptyAndShortBlocksRefused", true,
                 {"cal:user:data #10\n", "cal:data #15abc\n", "syst:err?;syst:err?\n"},
                 "-161,\"Invalid block data;the block holds no data set\";"
                 "-161,\"Invalid block data;the block does not match its header\"\n"},
        // A factory write brings its dates.
        ScpiCase{"OnlyTheUserAreaRefusesWrites", true,
                 {"cal:user:data {user};syst:err?;cal:data {factory};syst:err?;syst:info? 'cal. misc.'\n"},
                 "-200,\"Execution error;write refused\";0,\"No error\";2026-11-30\n", "refuse-user-write=-200"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
