#include "Tamrix.h"
#include "TamrixTestSupport.h"

#include "ScopedFileSizeLimit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace tamrix_core_test;
namespace fs = std::filesystem;

namespace
{

// A fresh folder for one test, removed with everything in it.
class TestFolder
{
public:
    TestFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tamrix-file-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a test folder");
        m_path = pattern;
    }
    ~TestFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    fs::path operator/(const std::string& name) const { return m_path / name; }
    const fs::path& Path() const { return m_path; }

    // Everything in the folder, so that left-over temporary files show.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path m_path;
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary) << data;
}

mode_t PermissionBits(const fs::path& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// The error a call throws, or a failure when it throws none.
TvxKyyCalcDLLError ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TvxKyyCalcDLLError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return TvxKyyCalcDLLError(0);
}

// Sets the umask for the lifetime of the object.
class ScopedUmask
{
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t m_old;
};

} // namespace

TEST(TamrixFile, StoresANewFileAndLoadsItBack)
{
    TestFolder folder;
    const ScopedUmask umask(027);
    const fs::path path = folder / "new.cal";
    const CTamrix set = RichSet('3');

    CTamrixUtil::StoreTMXToFile2(set, path.c_str(), '3', '0');
    EXPECT_EQ(ReadFile(path), Stored(set, '3'));
    EXPECT_EQ(PermissionBits(path), 0640u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"new.cal"});

    CTamrix loaded;
    EXPECT_EQ(CTamrixUtil::LoadTMXFromFile2(loaded, path.c_str()), FormatPair('3', '0'));
    EXPECT_EQ(Fingerprint(loaded.Content()), Fingerprint(set.Content()));
}

TEST(TamrixFile, ReplacesAnExistingFileKeepingItsPermissions)
{
    TestFolder folder;
    const fs::path path = folder / "existing.cal";
    WriteFile(path, std::string(100000, 'o'));
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);

    CTamrixUtil::StoreTMXToFile2(SmallSet(), path.c_str(), '4', '0');
    EXPECT_EQ(ReadFile(path), Stored(SmallSet(), '4'));
    EXPECT_EQ(PermissionBits(path), 0604u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"existing.cal"});
}

TEST(TamrixFile, ReplacesTheFileALinkNames)
{
    TestFolder folder;
    fs::create_directory(folder / "real");
    WriteFile(folder / "real" / "target.cal", "old");
    fs::create_symlink("real/target.cal", folder / "link.cal");

    CTamrixUtil::StoreTMXToFile2(SmallSet(), (folder / "link.cal").c_str(), '3', '0');
    EXPECT_TRUE(fs::is_symlink(folder / "link.cal"));
    EXPECT_EQ(ReadFile(folder / "real" / "target.cal"), Stored(SmallSet()));
}

TEST(TamrixFile, FailedStoreKeepsTheOldFileAndLeavesNothingBehind)
{
    struct Row
    {
        const char* scenario;
        std::string target; // inside the test folder
    };
    const Row rows[] = {
        {"folder does not exist", "missing/x.cal"},
        {"path through a regular file", "old.cal/x.cal"},
        {"target is a folder", "folder"},
        {"target is a folder, written with a slash", "folder/"},
        {"target is a FIFO", "fifo"},
        {"link to a folder", "folder-link"},
    };
    for (const Row& row : rows) {
        TestFolder folder;
        WriteFile(folder / "old.cal", "old content");
        fs::create_directory(folder / "folder");
        WriteFile(folder / "folder" / "inner.cal", "inner");
        ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
        fs::create_directory_symlink("folder", folder / "folder-link");
        const std::vector<std::string> namesBefore = folder.Names();

        const std::string path = (folder.Path() / row.target).string();
        const TvxKyyCalcDLLError error = ErrorOf([&] { CTamrixUtil::StoreTMXToFile2(SmallSet(), path.c_str(), '3', '0'); });
        EXPECT_EQ(error.code, TamrixErrorCode::FileWrite) << row.scenario;
        EXPECT_STREQ(error.context, path.c_str()) << row.scenario;
        EXPECT_EQ(ReadFile(folder / "old.cal"), "old content") << row.scenario;
        EXPECT_EQ(folder.Names(), namesBefore) << row.scenario;
        EXPECT_EQ(fs::directory_iterator(folder / "folder")->path().filename(), "inner.cal") << row.scenario;
    }
}

TEST(TamrixFile, FailedWriteKeepsTheOldFileAndRemovesTheTemporaryFile)
{
    TestFolder folder;
    const fs::path path = folder / "old.cal";
    WriteFile(path, "old content");
    const std::string stored = Stored(RichSet('3'));
    {
        const ScopedFileSizeLimit limit(stored.size() / 2);
        const TvxKyyCalcDLLError error =
            ErrorOf([&] { CTamrixUtil::StoreTMXToFile2(RichSet('3'), path.c_str(), '3', '0'); });
        EXPECT_EQ(error.code, TamrixErrorCode::FileWrite);
        EXPECT_STREQ(error.context, path.c_str());
    }
    EXPECT_EQ(ReadFile(path), "old content");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"old.cal"});
}

TEST(TamrixFile, RefusedDataSetNeverTouchesTheFile)
{
    TestFolder folder;
    const fs::path path = folder / "old.cal";
    WriteFile(path, "old content");
    CTamrix empty;
    const TvxKyyCalcDLLError error = ErrorOf([&] { CTamrixUtil::StoreTMXToFile2(empty, path.c_str(), '3', '0'); });
    EXPECT_EQ(error.code, TamrixErrorCode::NoSParaDevice);
    EXPECT_EQ(ErrorOf([&] { CTamrixUtil::StoreTMXToFile2(SmallSet(), path.c_str(), '5', '0'); }).code,
              TamrixErrorCode::UnsupportedVersion);
    EXPECT_EQ(ReadFile(path), "old content");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"old.cal"});
}

TEST(TamrixFile, LoadRefusesWhatIsNotARegularFileOfAcceptableSize)
{
    struct Row
    {
        const char* scenario;
        std::function<fs::path(const TestFolder&)> make;
    };
    const Row rows[] = {
        {"missing file", [](const TestFolder& f) { return f / "missing.cal"; }},
        {"folder", [](const TestFolder& f) { return f.Path(); }},
        {"FIFO without writer",
         [](const TestFolder& f) {
             const fs::path path = f / "fifo";
             EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
             return path;
         }},
        {"device", [](const TestFolder&) { return fs::path("/dev/zero"); }},
        {"larger than the largest data set",
         [](const TestFolder& f) {
             const fs::path path = f / "huge.cal";
             WriteFile(path, "");
             fs::resize_file(path, maxDataSetSize + 1); // sparse: costs no disk space
             return path;
         }},
        {"path through a regular file",
         [](const TestFolder& f) {
             WriteFile(f / "file", "x");
             return f / "file" / "x.cal";
         }},
    };
    for (const Row& row : rows) {
        TestFolder folder;
        const fs::path path = row.make(folder);
        CTamrix set = SmallSet();
        const std::string before = Fingerprint(set.Content());
        const TvxKyyCalcDLLError error = ErrorOf([&] { CTamrixUtil::LoadTMXFromFile2(set, path.c_str()); });
        EXPECT_EQ(error.code, TamrixErrorCode::FileRead) << row.scenario;
        EXPECT_STREQ(error.context, path.c_str()) << row.scenario;
        EXPECT_EQ(Fingerprint(set.Content()), before) << row.scenario;
    }
}

TEST(TamrixFile, LoadReportsBrokenDataWithThePath)
{
    TestFolder folder;
    const fs::path path = folder / "broken.cal";
    std::string data = Stored(SmallSet());
    data[30] = static_cast<char>(data[30] ^ 0x04);
    WriteFile(path, data);
    CTamrix set = RichSet('3');
    const std::string before = Fingerprint(set.Content());
    const TvxKyyCalcDLLError error = ErrorOf([&] { CTamrixUtil::LoadTMXFromFile2(set, path.c_str()); });
    EXPECT_EQ(error.code, TamrixErrorCode::ChecksumFailed);
    EXPECT_STREQ(error.context, path.c_str());
    EXPECT_EQ(Fingerprint(set.Content()), before);

    WriteFile(path, "");
    EXPECT_EQ(ErrorOf([&] { CTamrixUtil::LoadTMXFromFile2(set, path.c_str()); }).code, TamrixErrorCode::NotParsable);
}

TEST(TamrixFile, NullPathIsAWrongArgument)
{
    CTamrix set = SmallSet();
    EXPECT_EQ(CodeOf([&] { CTamrixUtil::LoadTMXFromFile2(set, nullptr); }), TamrixErrorCode::WrongArgument);
    EXPECT_EQ(CodeOf([&] { CTamrixUtil::StoreTMXToFile2(set, nullptr, '3', '0'); }), TamrixErrorCode::WrongArgument);
}
