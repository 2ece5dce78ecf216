#include "VisaLoader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace
{

// A missing library and one that lacks a function are passed over quietly; with no library left the
// program hears that there is no VISA.
TEST(Loader, TakesTheFirstLibraryWithEveryFunction)
{
    ::testing::internal::CaptureStderr();
    const auto functions =
        VisaLoader::Load({"/nonexistent/libvisa.so.7", OSTREL_BROKEN_VISA_LIBRARY, OSTREL_VISA_LIBRARY});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(functions, nullptr);
    EXPECT_EQ(functions->path, OSTREL_VISA_LIBRARY);
    ViSession manager = 0;
    EXPECT_EQ(functions->viOpenDefaultRM(&manager), VI_SUCCESS);
    EXPECT_EQ(functions->viClose(manager), VI_SUCCESS);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(VisaLoader::Load({OSTREL_BROKEN_VISA_LIBRARY}), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "VISA not available.\n");
}

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
