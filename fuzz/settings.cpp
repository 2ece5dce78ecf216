// The settings reader on a file's text. A failed read writes no setting; what
// reads is written by SettingsText to a text that reads back to the same
// settings, and that text is the same again.

#include "FuzzCheck.h"
#include "Settings.h"

#include <sstream>
#include <tuple>

namespace
{
struct Values
{
    std::string calLab = "unchanged lab";
    std::string calEng = "unchanged engineer";
    int timeout = -7;
    int calDataTimeout = -8;
    bool includeNetworkResources = true;
    bool alwaysUseFactoryDataSet = true;

    SettingsBinding Binding()
    {
        return {calLab, calEng, timeout, calDataTimeout, includeNetworkResources, alwaysUseFactoryDataSet};
    }
    auto Tied() const
    {
        return std::tie(calLab, calEng, timeout, calDataTimeout, includeNetworkResources, alwaysUseFactoryDataSet);
    }
};

bool Read(const std::string& text, Values& values)
{
    std::istringstream in(text);
    return ReadSettings(in, values.Binding());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string text = Bytes(data, size);
    Values values;
    if (!Read(text, values)) {
        Check(values.Tied() == Values().Tied(), "a failed read writes no setting");
        return 0;
    }
    const std::string written = SettingsText(values.Binding());
    Values again;
    Check(Read(written, again), "the written settings read back", Printable(written));
    Check(again.Tied() == values.Tied(), "the written settings read back unchanged", Printable(written));
    Check(SettingsText(again.Binding()) == written, "the settings write to the same text");
    return 0;
}
