#include "ServedSensors.h"
#include "StoreSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace
{

const std::string Samples = OSTREL_SOURCE_DIR "/samples/";

// One run of the tool; "@" at the start of an argument stands for the test's folder.
struct Step
{
    std::vector<std::string> arguments;
    int status;
    std::string fragment; // of stdout after success, of stderr else
};

// The test's folder is that of ServedSensors, whose store is never served here.
class ToolTest : public testing::Test
{
protected:
    // Runs the tool with --store after the command word; HOME and XDG_DATA_HOME name folders of the test,
    // so that nothing reaches the user's folders.
    void Run(const Step& step)
    {
        std::vector<std::string> words = step.arguments;
        words.insert(words.begin() + std::min<std::size_t>(1, words.size()), {"--store", store.string()});
        std::string line = "HOME='" + At("home") + "' XDG_DATA_HOME='" + At("data") + "' " OSTREL_SENSORSIM_TOOL;
        for (const std::string& word : words)
            line += " '" + (word[0] == '@' ? At(word.substr(1)) : word) + "'";
        line += " >" + At("out") + " 2>" + At("err");
        const int status = std::system(line.c_str());
        const std::string out = ReadFileIfPresent(At("out")).value_or("");
        const std::string err = ReadFileIfPresent(At("err")).value_or("");
        SCOPED_TRACE(line + "\n-> " + out + err);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), step.status);
        EXPECT_NE((step.status == 0 ? out : err).find(step.fragment), std::string::npos);
        // A failure says one line; a command line not taken adds the usage.
        EXPECT_TRUE(step.status != 1 || std::count(err.begin(), err.end(), '\n') == 1);
        EXPECT_TRUE(step.status != 2 ||
                    err.find("\nusage: ostrel-sensorsim [--store DIR] add|list|show|export|fault|remove|serve") !=
                        std::string::npos);
    }

    std::string At(const std::string& name) const { return (sensors.Root() / name).string(); }

    ServedSensors sensors;
    const fs::path store = sensors.Store().Folder();
};

struct ToolRow
{
    const char* scenario;
    std::vector<Step> steps;
};

void PrintTo(const ToolRow& row, std::ostream* out) { *out << row.scenario; }

class ToolCommandTest : public ToolTest, public testing::WithParamInterface<ToolRow>
{
};

TEST_P(ToolCommandTest, ExitsAndSaysAsExpected)
{
    for (const Step& step : GetParam().steps)
        Run(step);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ToolCommandTest,
    testing::Values(
        ToolRow{"no_command", {{{}, 2, "no command given"}}},
        ToolRow{"unknown_command", {{{"frobnicate"}, 2, "unknown command 'frobnicate'"}}},
        ToolRow{"unknown_option_shows_synopsis", {{{"add", "1", "--colour"}, 2, "\n       ostrel-sensorsim [--store "
                                                                                 "DIR] add SERIAL [--model M]"}}},
        ToolRow{"option_without_value", {{{"add", "1", "--model"}, 2, "option --model needs a value"}}},
        ToolRow{"store_twice", {{{"list", "--store", "x"}, 2, "option --store given twice"}}},
        ToolRow{"too_many_arguments", {{{"serve", "now"}, 2, "too many arguments for serve"}}},
        ToolRow{"bad_serial", {{{"add", "a/b"}, 2, "Bad serial number 'a/b'"}}},
        ToolRow{"model_not_tvx", {{{"add", "1", "--model", "XYZ-1"}, 2, "Bad model 'XYZ-1'"}}},
        ToolRow{"both_user_data_options", {{{"add", "1", "--user-data", "--no-user-data"}, 2, "not both"}}},
        ToolRow{"lan_host_name", {{{"add", "1", "--lan", "host-a"}, 2, "Bad LAN address 'host-a': use a dotted IPv4"}}},
        ToolRow{"lan_octet_too_large", {{{"add", "1", "--lan", "10.0.0.256"}, 2, "Bad LAN address '10.0.0.256'"}}},
        ToolRow{"bad_area", {{{"export", "1", "both", "@f"}, 2, "Bad data area 'both'"}}},
        // A bad fault changes nothing; good ones join those set before.
        ToolRow{"faults_set_refused_added_and_cleared",
                {{{"add", "1"}, 0, ""},
                 {{"fault", "1", "garbage"}, 0, "Faults of simulated sensor 1: garbage"},
                 {{"fault", "1", "delay=5", "bogus"}, 2, "Unknown fault 'bogus' (known: delay=MS"},
                 {{"list"}, 0, "1  TVX-18G  usb  faults: garbage\n"},
                 {{"fault", "1", "locked", "delay=9"}, 0, "Faults of simulated sensor 1: delay=9, garbage, locked\n"},
                 {{"fault", "1", "--clear", "locked"}, 2, "either"},
                 {{"fault", "1", "--clear"}, 0, ": none"},
                 {{"list"}, 0, "1  TVX-18G  usb\n"}}},
        // The user data area goes with the model unless an option says otherwise.
        ToolRow{"places_and_user_data_area",
                {{{"add", "1", "--lan", "10.0.0.7"}, 0, "(TVX-18G, lan 10.0.0.7)"},
                 {{"add", "2", "--usb", "--lan", "127.0.0.3"}, 0, "(TVX-18G, usb, lan 127.0.0.3)"},
                 {{"add", "6", "--model", "TVX-6G", "--stock", "S 6"}, 0, ""},
                 {{"show", "6"}, 0, "Stock number:       S 6\nUSB product id:     0x0106\nUser data area:     no"},
                 {{"show", "6"}, 0, "User area:          none"},
                 {{"export", "6", "user", "@f"}, 1, "ostrel-sensorsim: Simulated sensor 6 (TVX-6G) has no user data"},
                 {{"add", "5", "--model", "TVX-6G", "--user-data"}, 0, ""},
                 {{"show", "5"}, 0, "User data area:     yes"},
                 {{"add", "7", "--model", "TVX-99X", "--no-user-data"}, 0, ""},
                 {{"show", "7"}, 0, "USB product id:     0x00FF\nUser data area:     no"}}},
        ToolRow{"factory_file_of_other_model",
                {{{"add", "104233", "--factory", Samples + "factory_v3.cal"}, 1, "Bad model 'TLS-18G'"}}},
        ToolRow{"factory_file_of_user_data",
                {{{"add", "104233", "--model", "TVX-18G", "--factory", Samples + "user_v3.cal"}, 1, "user data set"}}},
        ToolRow{"factory_file_no_data_set",
                {{{"add", "1", "--factory", OSTREL_SOURCE_DIR "/README.md"}, 1, "README.md: Calibration data set has wrong signature!"}}},
        ToolRow{"factory_file_missing", {{{"add", "1", "--factory", "@none"}, 1, "none: not a readable data set"}}}),
    [](const auto& info) { return std::string(info.param.scenario); });

// A sensor's whole life: added, given faults, listed, shown, exported and removed; then added again from its
// exported factory data set, which fits it alone.
TEST_F(ToolTest, AddsFaultsListsShowsExportsRemovesAndAddsASensorAgainFromItsDataSet)
{
    for (const Step& step : std::vector<Step>{
             {{"add", "100001", "--model", "TVX-33G", "--stock", "S1"}, 0, "Added simulated sensor 100001 (TVX-33G, usb) to"},
             {{"fault", "100001", "delay=250", "drop-after=64"}, 0, ""},
             {{"list"}, 0, "100001  TVX-33G  usb  faults: delay=250, drop-after=64\n"},
             {{"show", "100001"}, 0, "Manufacturer:       Trobe&Lindvar\nModel:              TVX-33G\n"
                                     "Serial number:      100001\nFirmware:           2.14\nStock number:       S1\n"
                                     "USB product id:     0x0133\nUser data area:     yes\n"},
             {{"show", "100001"}, 0, "  Linearity:        2024-03-14\nFactory area:       factory data set (channel 1), "
                                     "sensor TVX-33G, serial 100001, 4 devices\n  1. ATT 3dB 18G: 38 points\n  2. ATT"},
             {{"show", "100001"}, 0, "\nUser area:          empty\nFaults:             delay=250, drop-after=64\n"},
             {{"export", "100001", "user", "@u.cal"}, 1, "user data area of simulated sensor 100001 is empty"},
             {{"export", "100001", "factory", "@f.cal"}, 0, "Exported"},
             {{"remove", "100001"}, 0, "Removed simulated sensor 100001 from"},
             {{"list"}, 0, "No simulated sensors in"},
             // What the exported file holds shows in what the tool reads of it: the factory data set of this sensor.
             {{"add", "100002", "--factory", "@f.cal"}, 1, "f.cal is for TVX-33G serial 100001 stock S1, not for"},
             {{"add", "100001", "--factory", "@f.cal", "--stock", "S2"}, 1, "not for TVX-33G serial 100001 stock S2"},
             {{"add", "100001", "--factory", "@f.cal"}, 0, "Added simulated sensor 100001 (TVX-33G, usb)"},
             {{"show", "100001"}, 0, "Stock number:       S1\nUSB product id:     0x0133"}})
        Run(step);
    EXPECT_FALSE(fs::exists(At("u.cal")));
}

} // namespace
