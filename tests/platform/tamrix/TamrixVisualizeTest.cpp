// The text rendering of a whole data set, compared with the renderings kept
// beside the tests: every field with its label, numbers exactly, columns
// aligned also after multibyte characters, control characters as pictures.

#include "TamrixTestSupport.h"

namespace
{
struct ShownRow : Row { std::function<CTamrix()> set; };
using Visualize = ::testing::TestWithParam<ShownRow>;
TEST_P(Visualize, AsKeptBesideTheTests)
{
    const std::string shown = GetParam().set().Visualize();
    EXPECT_EQ(shown, ReadFile(DataFile(std::string("visualize/") + GetParam().name + ".txt")));
}
CTamrix Edited(const std::function<void(TamrixContent&)>& edit)
{
    TamrixContent content = Rich().Content();
    edit(content);
    CTamrix set;
    set.ReplaceContent(content);
    return set;
}
std::vector<ShownRow> ShownRows()
{
    std::vector<ShownRow> rows;
    for (const SampleRow& sample : sampleRows)
        rows.push_back({sample.name, [path = sample.path] { return Loaded(path); }});
    rows.push_back({"control_characters", [] {
                        return Edited([](TamrixContent& c) {
                            c.devices[0].mnemonic = "line\nbreak\r\x01\x7F", c.calInfo[0].engineer = "tab\there";
                        });
                    }});
    rows.push_back({"user_without_default_device", [] {
                        return Edited([](TamrixContent& c) {
                            c.channelNumber = 0, c.sParaDefaultDevice = -1, c.sParaCorrDef = 0, c.devices[1].points.clear();
                        });
                    }});
    rows.push_back({"empty", [] { return CTamrix(); }});
    return rows;
}
INSTANTIATE_TEST_SUITE_P(Tamrix, Visualize, ::testing::ValuesIn(ShownRows()), RowName);
} // namespace
