#include "VisaLoader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace
{

struct LoaderCase
{
    const char* name;
    std::vector<std::string> candidates;
    const char* loaded; // null: none
};

void PrintTo(const LoaderCase& row, std::ostream* out) { *out << row.name; }

class Loader : public ::testing::TestWithParam<LoaderCase>
{
};

TEST_P(Loader, TakesTheFirstLibraryWithEveryFunction)
{
    ::testing::internal::CaptureStderr();
    const auto functions = VisaLoader::Load(GetParam().candidates);
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    if (!GetParam().loaded) {
        EXPECT_EQ(functions, nullptr);
        EXPECT_EQ(diagnostics, "VISA not available.\n");
        return;
    }
    ASSERT_NE(functions, nullptr);
    EXPECT_EQ(functions->path, GetParam().loaded);
    EXPECT_EQ(diagnostics, "");
    ViSession manager = 0;
    EXPECT_EQ(functions->viOpenDefaultRM(&manager), VI_SUCCESS);
    EXPECT_EQ(functions->viClose(manager), VI_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(
    Candidates, Loader,
    ::testing::Values(LoaderCase{"MissingThenLackingThenOurs",
                                 {"/nonexistent/libvisa.so.7", OSTREL_BROKEN_VISA_LIBRARY, OSTREL_VISA_LIBRARY},
                                 OSTREL_VISA_LIBRARY},
                      LoaderCase{"OnlyALibraryLackingAFunction", {OSTREL_BROKEN_VISA_LIBRARY}, nullptr},
                      LoaderCase{"None", {}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Our library is looked for beside the program, whatever the working folder.
TEST(Loader, LooksForOurLibraryBesideTheProgram)
{
    const auto candidates = VisaLoader::DefaultCandidates();
    std::string self(4096, '\0');
    self.resize(static_cast<std::size_t>(::readlink("/proc/self/exe", self.data(), self.size())));
    const std::string beside = (std::filesystem::path(self).parent_path() / "libostrel-visa.so").string();
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), beside), candidates.end());
}

} // namespace
