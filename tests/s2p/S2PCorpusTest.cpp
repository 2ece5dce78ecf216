// Real Touchstone files from public repositories (data/corpus, SOURCES.tsv):
// each loads, or fails the way the grammar implies; the values of those that
// load agree with a second reader (data/reference, written by
// data/make_reference.py).

#include "S2PTestSupport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using s2p_test::LoadFile;
using s2p_test::LoadOutcome;

namespace
{

const std::string corpusFolder = std::string(OSTREL_TEST_DATA_DIR) + "/corpus/";
const std::string referenceFolder = std::string(OSTREL_TEST_DATA_DIR) + "/reference/";

struct CorpusFile
{
    const char* name;
    char type;
    std::int32_t code;     // 0: loads
    unsigned points;       // when it loads
    const char* firstLine; // of the parser report, when there is one
};

const CorpusFile corpus[] = {
    {"190ghz_tx_measured.S2P", 'S', 0, 801, ""},
    {"BFU520_05V0_010mA_NF_SP.s2p", 'S', 0, 37, ""}, // noise block dropped
    {"CABLE_3_5MM_1N_TYPE_CONNECTORS.S2P", 'S', 0, 95, ""},
    {"CPWG100.s2p", 'S', 0, 10000, ""},
    {"Clarity_example.S2P", 'S', 0, 40, ""},
    {"LFCN-2352+_Plus25degC.s2p", 'S', 0, 2006, ""},
    {"MMG3005N_SP.s2p", 'S', 0, 56, ""},
    {"RS_ZVR_1.20_beta_f.s2p", 'S', 0, 1, ""},
    {"Spar_BFR540_commonemitter8V30mA.s2p", 'S', 0, 21, ""},
    // Its first record lacks the last number.
    {"broken_pair.s2p", 'S', 301, 0, "Expecting <data_line_list> here:"},
    {"capacitor_q.s2p", 'S', 0, 7001, ""},
    {"designer_capacitor_30_80MHz_adv.s2p", 'S', 0, 501, ""},
    // A complex reference impedance "R (10+10j)" is no number.
    {"double_option_line.s2p", 'S', 301, 0, "Expecting <eol> here:"},
    {"dut_raw_12.s2p", 'S', 0, 4400, ""},
    {"ex_11.s2p", 'H', 0, 1, ""},
    {"ex_13.s2p", 'S', 0, 3, ""},
    {"ex_18.s2p", 'S', 0, 2, ""},
    {"fet.s2p", 'S', 0, 101, ""},
    {"hfss_twoport.s2p", 'S', 0, 101, ""},
    {"ind.s2p", 'S', 0, 10, ""},
    {"line.s2p", 'S', 0, 201, ""},
    {"ntwk1.s2p", 'S', 0, 91, ""},
    {"ntwk4_n.s2p", 'S', 0, 301, ""},
    {"ntwk_arbitrary_frequency.s2p", 'S', 0, 4, ""},
    {"ntwk_noise.s2p", 'S', 0, 11, ""},
    {"scikit_unordered.s2p", 'S', 0, 101, ""},
    {"simple_touchstone.s2p", 'S', 301, 0, "Expecting <eol> here:"},
    {"test_encoding_ISO-8859-1.s2p", 'S', 0, 1, ""},
    {"test_encoding_UTF-8-SIG.s2p", 'S', 315, 0, ""},
    {"thru.s2p", 'S', 0, 4, ""},
    {"tlinp.s2p", 'S', 0, 201, ""},
    {"wr1p5_1in_swg_Al_0rough.s2p", 'S', 0, 401, ""},
};

// The second reader gives up on these, so they have no reference values.
const std::set<std::string> withoutReference = {
    // It takes the out-of-order last frequency for the start of a noise block.
    "scikit_unordered.s2p",
};

std::vector<std::vector<double>> ReadReference(const std::string& path)
{
    std::vector<std::vector<double>> rows;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        std::vector<double> row;
        const char* next = line.data();
        const char* const end = line.data() + line.size();
        while (next < end) {
            if (*next == ' ') {
                ++next;
                continue;
            }
            double value = 0;
            const auto [stop, error] = std::from_chars(next, end, value);
            if (error != std::errc())
                throw std::runtime_error("bad number in " + path);
            row.push_back(value);
            next = stop;
        }
        rows.push_back(row);
    }
    return rows;
}

bool Agree(double actual, double reference)
{
    const double difference = std::abs(actual - reference);
    return difference <= std::max(1e-15, 1e-12 * std::max(std::abs(actual), std::abs(reference)));
}

} // namespace

TEST(S2PCorpus, EveryFileLoadsOrFailsAsTheGrammarImplies)
{
    std::set<std::string> listed;
    for (const CorpusFile& file : corpus) {
        SCOPED_TRACE(file.name);
        listed.insert(file.name);
        const std::string path = corpusFolder + file.name;
        const LoadOutcome outcome = LoadFile(file.type, path);
        EXPECT_EQ(outcome.code, file.code);
        if (file.code == 0) {
            EXPECT_EQ(outcome.points, file.points);
            EXPECT_TRUE(outcome.reports.empty());
            continue;
        }
        EXPECT_EQ(outcome.context, path);
        if (*file.firstLine == '\0') {
            EXPECT_TRUE(outcome.reports.empty());
        } else {
            ASSERT_EQ(outcome.reports.size(), 1u);
            EXPECT_EQ(outcome.reports[0].substr(0, outcome.reports[0].find('\n')), file.firstLine);
        }
    }
    for (const auto& entry : std::filesystem::directory_iterator(corpusFolder)) {
        const std::string name = entry.path().filename().string();
        if (name != "SOURCES.tsv") {
            EXPECT_EQ(listed.count(name), 1u) << name << " has no row in the table";
        }
    }
}

TEST(S2PCorpus, ValuesAgreeWithASecondReader)
{
    const SParaType<1>* const inFileOrder[] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12,
                                               &SParaType<1>::S22};
    int compared = 0;
    for (const CorpusFile& entry : corpus) {
        if (entry.code != 0 || withoutReference.count(entry.name))
            continue;
        SCOPED_TRACE(entry.name);
        const std::string referencePath = referenceFolder + entry.name + ".txt";
        ASSERT_TRUE(std::filesystem::exists(referencePath));
        const std::vector<std::vector<double>> reference = ReadReference(referencePath);
        const CS2PDataFile file(entry.type, corpusFolder + entry.name, nullptr);
        ASSERT_EQ(file.GetNumPoints(), reference.size());
        int mismatches = 0;
        for (unsigned row = 0; row < file.GetNumPoints() && mismatches < 5; ++row) {
            const std::vector<double>& expected = reference[row];
            ASSERT_EQ(expected.size(), 9u);
            std::vector<double> actual = {file.GetFrequency(row)};
            for (const SParaType<1>* which : inFileOrder) {
                const SParaValue value = file.GetSPara(row, which);
                actual.push_back(std::get<0>(value));
                actual.push_back(std::get<1>(value));
            }
            for (std::size_t i = 0; i < actual.size(); ++i) {
                if (!Agree(actual[i], expected[i])) {
                    ++mismatches;
                    ADD_FAILURE() << "point " << row << ", value " << i << ": " << actual[i] << " against "
                                  << expected[i];
                }
            }
        }
        ++compared;
    }
    EXPECT_EQ(compared, 27);
}

TEST(S2PCorpus, AnOutOfOrderLastFrequencyIsAPointLikeAnyOther)
{
    // The second reader cannot say; the values are those written in the file.
    const CS2PDataFile file('S', corpusFolder + "scikit_unordered.s2p", nullptr);
    ASSERT_EQ(file.GetNumPoints(), 101u);
    EXPECT_EQ(file.GetFrequency(0), 10000.0);
    EXPECT_EQ(file.GetFrequency(99), 1485000100.0);
    EXPECT_EQ(file.GetFrequency(100), 15000000.0);
    EXPECT_EQ(file.GetSPara(100, &SParaType<1>::S11), SParaValue(0.849810063, -0.4147357, 0.0));
    EXPECT_EQ(file.GetSPara(100, &SParaType<1>::S21), SParaValue(-0.000306106, 0.0041482, 0.0));
    EXPECT_EQ(file.GetSPara(100, &SParaType<1>::S22), SParaValue(0.0, 0.0, 0.0));
}

TEST(S2PCorpus, AnHParameterFileIsNoSParameterFile)
{
    EXPECT_EQ(LoadFile('S', corpusFolder + "ex_11.s2p").code, 402);
}
