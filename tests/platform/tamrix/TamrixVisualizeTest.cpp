// Every data set of the suite end to end: its text rendering compared with the renderings kept beside the tests (every field with its label, numbers
// exactly, columns aligned also after multibyte characters, control characters as pictures), its getters, a move, and the XML round trip of its
// devices.

#include "TamrixTestSupport.h"

#include <cfloat>
#include <cmath>
#include <tuple>

namespace
{
const SParaType<1>* const sParas[] = {&SParaType<1>::S11, &SParaType<1>::S12, &SParaType<1>::S21, &SParaType<1>::S22};

// The content as the getters give it (texts as they are with UTF-8 enabled), to be compared with the model bit for bit.
TamrixContent ThroughGetters(const CTamrix& set)
{
    TamrixContent c{set.GetSensorName(), set.GetStockNumber(), set.GetAttribute(), set.GetSerialNumber(), set.GetSerialNumberInternal(),
                    static_cast<std::int32_t>(set.GetChannelNumber()), set.GetMiscNum(), {}, static_cast<std::uint32_t>(set.GetSParaCorrDef()),
                    static_cast<std::int32_t>(set.GetSParaDefaultDevice()), {}, set.GetCalTable(CMeasurement::Abso), set.GetCalTable(CMeasurement::Refl),
                    set.GetCalTable(CMeasurement::Temp), set.GetCalTable(CMeasurement::Lin)};
    for (const CMeasurement* m : CMeasurement::All())
        c.calInfo[m->Index()] = {set.GetCalDate(m), set.GetCalLab(m), set.GetCalEng(m)};
    for (long d = 0; d < set.GetSParaDeviceNumber(); ++d) {
        c.devices.push_back({set.GetSPDMnemonic(d), float(set.GetSParaMinPower(d)), float(set.GetSParaMaxPower(d)),
                             static_cast<std::uint32_t>(set.GetSParaDeviceFlags(d)), std::vector<SParaPoint>(set.GetSParaFreqNumber(d))});
        for (long p = 0; p < set.GetSParaFreqNumber(d); ++p) {
            SParaPoint& point = c.devices.back().points[p];
            point.frequency = set.GetSParaFreq(d, p);
            for (const SParaType<1>* which : sParas) {
                float* const v = &point.values[3 * which->index];
                std::tie(v[0], v[1], v[2]) = set.GetSParaValue(d, p, which);
            }
        }
    }
    return c;
}

// Sets loaded, read from XML or edited, moved into another set (UTF-8 support enabled, which is off in a new set; the set moved from left empty): shown
// as kept beside the tests (unless too large to keep), with getters that read what the set holds; exported (to the byte as `exported` when given)
// and imported into rich_v3 (without a default device), the device list is the set's, bit for bit, and nothing else changes.
struct ShownRow : Row { std::function<CTamrix()> set; bool kept = true; std::string exported = ""; };
using Visualize = ::testing::TestWithParam<ShownRow>;
TEST_P(Visualize, ShowsTheSetAsKeptAndItsDevicesComeBackFromXml)
{
    CTamrix source = GetParam().set();
    EXPECT_FALSE(source.IsUtf8SupportEnabled());
    source.EnableUtf8Support(true);
    const CTamrix set(std::move(source));
    EXPECT_EQ(Bytes(source.Content()), Bytes(TamrixContent())); // NOLINT(bugprone-use-after-move)
    EXPECT_TRUE(set.IsUtf8SupportEnabled());
    if (GetParam().kept) {
        EXPECT_EQ(set.Visualize(), ReadFile(DataFile(std::string("visualize/") + GetParam().name + ".txt")));
    }
    EXPECT_NO_THROW(CTamrix::Validate(set.Content()));
    EXPECT_EQ(Bytes(ThroughGetters(set)), Bytes(set.Content()));
    CTamrix target = Rich();
    target.SetSParaDefaultDevice(-1);
    TamrixContent expected = target.Content();
    expected.devices = set.Content().devices;
    const std::string exported = Export(set);
    Import(target, exported);
    EXPECT_EQ(Bytes(target.Content()), Bytes(expected));
    EXPECT_TRUE(GetParam().exported.empty() || exported == GetParam().exported) << exported;
}
// Values whose shortest text needs every digit, beside the extremes rich_v3 holds.
SParaDevice ExtremeValues()
{
    const float floats[] = {-FLT_TRUE_MIN, FLT_MAX, std::nextafter(FLT_MIN, 0.0f), 0.1f, 1.0f / 3.0f, 16777216.0f, std::nextafter(1.0f, 2.0f)};
    const double frequencies[] = {-0.0, DBL_TRUE_MIN, 0.1 + 0.2, 1e7 + 1e-2, 123456789.123456789, DBL_MAX};
    SParaDevice device = Device("extremes", std::size(frequencies));
    device.minPower = FLT_TRUE_MIN, device.maxPower = FLT_MAX;
    for (std::size_t p = 0; p < std::size(frequencies); ++p) {
        device.points[p].frequency = frequencies[p];
        for (std::size_t i = 0; i < 12; ++i)
            device.points[p].values[i] = floats[(i + p) % std::size(floats)];
    }
    return device;
}
// A new data set, or rich_v3, after `edit`.
std::function<CTamrix()> New(const std::function<void(CTamrix&)>& edit, bool rich = false)
{
    return [=] { CTamrix set = rich ? Rich() : CTamrix(); edit(set); return set; };
}
std::vector<ShownRow> ShownRows()
{
    std::vector<ShownRow> rows;
    for (const SampleRow& sample : sampleRows)
        rows.push_back({sample.name, [path = sample.path] { return Loaded(path); }});
    rows.push_back({"control_characters", New(EDIT(s.SetSPDMnemonic(0, "line\nbreak\r\x01\x7F"), s.SetCalEng(CMeasurement::Misc, "tab\there")), true)});
    rows.push_back({"user_without_default_device",
                    New(EDIT(s.SetChannelNumber(0), s.SetSParaDefaultDevice(-1), s.SetSParaCorrDef(0), s.SetSParaFreqNumber(1, 0)), true)});
    rows.push_back({"empty", [] { return CTamrix(); }});
    rows.push_back({"mnemonics_to_escape_and_extreme_values", [] {
                        std::vector<SParaDevice> devices{ExtremeValues()};
                        for (const char* mnemonic : {"<&>\"' markup", "tab\there", "cr\rlf\ncrlf\r\n", "  leading and trailing  ", "   ", "\t", "\x01\x1F\x7F controls",
                                                     "]]> and <![CDATA[", "not UTF-8 \xFF\xFE\xC3", "&amp; already escaped &#13;", "J\xC3\xB6rg Wei\xC3\x9F \xE2\x84\xA6"})
                            devices.push_back(Device(mnemonic));
                        return WithDevices(devices);
                    }});
    rows.push_back({"most_devices", [] { return WithDevices(std::vector<SParaDevice>(64, Device("d"))); }, false});
    rows.push_back({"most_points", [] { return WithDevices({Device("d", maxSParaFreqNumber)}); }, false});
    // Every setter of a new set once: the identity texts, figures and flags, a calibration record and table per measurement, three devices (the
    // first new but for a mnemonic, the default one write protected with each S-parameter in its place, one with values in single precision and
    // points added at 0 Hz after its first).
    rows.push_back({"every_setter", New([](CTamrix& s) {
                        s.SetSensorName("n"), s.SetStockNumber("s"), s.SetAttribute("a"), s.SetSerialNumber("r"), s.SetSerialNumberInternal("i");
                        s.SetChannelNumber(0x7FFFFFFF), s.SetSParaCorrDef(0xF), s.SetMiscNum({5e7f, 1e-3f});
                        for (const CMeasurement* m : CMeasurement::All())
                            s.SetCalDate(m, std::string("d") + m->Name()), s.SetCalLab(m, std::string("l") + m->Name()), s.SetCalEng(m, std::string("e") + m->Name());
                        const CMeasurement* const tables[] = {CMeasurement::Abso, CMeasurement::Refl, CMeasurement::Temp, CMeasurement::Lin};
                        for (std::uint32_t i = 0; i < 4; ++i)
                            s.SetCalTable(tables[i], CalTable{{double(i), 10.0}, i + 1, std::vector<float>(2 * (i + 1), float(i))});
                        s.SetCalTable(CMeasurement::Refl, CalTable{{-1.0, -1.0}, 0, {}});
                        s.SetSParaDeviceNumber(3), s.SetSPDMnemonic(0, "\xB5W"), s.SetSParaDeviceFlags(1, 1), s.SetSParaDefaultDevice(1);
                        for (int i = 0; i < 4; ++i)
                            s.SetSParaValue(1, 0, sParas[i], {i + 0.25, i + 0.5, i + 0.75});
                        s.SetSParaMinPower(2, 1.0e-6), s.SetSParaMaxPower(2, 0.3), s.SetSParaFreq(2, 0, 3.000000000123e9);
                        s.SetSParaValue(2, 0, sParas[1], {0.1, -1.0e-40, 3.0e38}), s.SetSParaValue(2, 0, sParas[2], {0.10000000000000001, 1.0 / 3.0, 16777217.0});
                        s.SetSParaFreqNumber(2, 3);
                    })});
    // Documents read: the documented layout and one written by hand (byte order mark, CRLF lines, comments, CDATA, other element and attribute
    // orders, single quotes, spaces around numbers, other notations, a value below single precision, an empty point list).
    rows.push_back({"xml_documented", New(EDIT(Import(s, documented))), true, documented});
    rows.push_back({"xml_hand_written", New(EDIT(Import(s, ReadFile(DataFile("xml/hand_written.xml")))))});
    return rows;
}
INSTANTIATE_TEST_SUITE_P(Tamrix, Visualize, ::testing::ValuesIn(ShownRows()), RowName);
} // namespace
