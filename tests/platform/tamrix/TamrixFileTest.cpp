// Data sets in files: stored whole or not at all, loaded only from regular files.

#include "TamrixTestSupport.h"

#include "ScopedFileSizeLimit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

namespace
{
namespace fs = std::filesystem;

// A fresh folder holding an old data set, a folder with a file, a FIFO and a link to the folder; removed with everything in it.
struct Folder
{
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "tamrix-file-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("cannot create a test folder");
        std::ofstream(path / "old.cal") << "old content";
        fs::create_directory(path / "folder");
        std::ofstream(path / "folder" / "inner.cal") << "inner";
        ::mkfifo((path / "fifo").c_str(), 0600);
        fs::create_directory_symlink("folder", path / "folder-link");
    }
    ~Folder() { fs::remove_all(path); }
    // Every name below the folder with its permissions and, for a file, its content, so that a temporary file left behind or a changed file shows.
    std::string Listing() const
    {
        std::set<std::string> names;
        for (auto it = fs::recursive_directory_iterator(path); it != fs::recursive_directory_iterator(); ++it) {
            struct stat status {};
            ::lstat(it->path().c_str(), &status);
            names.insert(it->path().lexically_relative(path).string() + " " + std::to_string(status.st_mode & 07777) + " "
                         + (S_ISREG(status.st_mode) ? ReadFile(it->path()) : ""));
        }
        std::string listing;
        for (const std::string& name : names)
            listing += name + "\n";
        return listing;
    }
    fs::path path;
};
using Prepare = std::function<std::string(const fs::path&)>;
const auto In = [](const char* name) { return [name](const fs::path& f) { return (f / name).string(); }; };

// Rich_v3 without its internal serial number (or an empty set) stored to the path `prepare` gives (null when empty), under the umask 027 and a file
// size limit: the file `written` with the stored bytes and the permissions `mode`, loaded back from the path; or the code, the path as context, and
// nothing in the folder changed, no temporary file left behind.
struct StoreRow : Row { Prepare prepare; char version; bool empty; std::size_t sizeLimit; std::int32_t code; const char* written = nullptr; mode_t mode = 0; };
using FileStore = ::testing::TestWithParam<StoreRow>;
TEST_P(FileStore, ReplacesTheFileWholeOrLeavesEverythingAsItWas)
{
    const StoreRow& row = GetParam();
    const mode_t previousMask = ::umask(027);
    const Folder folder;
    const std::string path = row.prepare(folder.path), before = folder.Listing();
    CTamrix set = row.empty ? CTamrix() : Rich();
    set.SetSerialNumberInternal("");
    Failure failure;
    {
        const ScopedFileSizeLimit limit(row.sizeLimit ? row.sizeLimit : RLIM_INFINITY);
        failure = FailureOf([&] { CTamrixUtil::StoreTMXToFile2(set, path.empty() ? nullptr : path.c_str(), row.version, '0'); });
    }
    ::umask(previousMask);
    EXPECT_EQ(failure.code, row.code);
    if (row.code != 0) {
        EXPECT_EQ(failure.context, path.empty() ? "(none)" : path);
        EXPECT_EQ(folder.Listing(), before);
        return;
    }
    const fs::path written = folder.path / row.written;
    EXPECT_EQ(ReadFile(written), Stored(set, row.version));
    EXPECT_EQ(fs::canonical(path), fs::canonical(written)); // a link stays a link
    struct stat status {};
    EXPECT_EQ(::stat(written.c_str(), &status) == 0 ? status.st_mode & 07777 : 0, row.mode);
    CTamrix loaded;
    EXPECT_EQ(CTamrixUtil::LoadTMXFromFile2(loaded, path.c_str()), FormatPair(row.version, '0'));
    EXPECT_EQ(Bytes(loaded.Content()), Bytes(set.Content()));
    const std::string after = folder.Listing();
    EXPECT_EQ(after.find("partial"), std::string::npos) << after;
}
const StoreRow storeRows[] = {
    {"NewFileTakesTheUmask", In("new.cal"), '3', false, 0, 0, "new.cal", 0640},
    {"ExistingFileKeepsItsPermissions",
     [](const fs::path& f) { std::ofstream(f / "old.cal") << std::string(100000, 'o'); ::chmod((f / "old.cal").c_str(), 0604); return (f / "old.cal").string(); },
     '4', false, 0, 0, "old.cal", 0604},
    {"LinkedFileIsReplacedAndTheLinkStays",
     [](const fs::path& f) { fs::create_symlink("folder/inner.cal", f / "link.cal"); return (f / "link.cal").string(); }, '3', false, 0, 0,
     "folder/inner.cal", 0640},
    {"FolderDoesNotExist", In("missing/x.cal"), '3', false, 0, 2}, {"PathThroughARegularFile", In("old.cal/x.cal"), '3', false, 0, 2},
    {"TargetIsAFolder", In("folder"), '3', false, 0, 2}, {"TargetIsAFolderWrittenWithASlash", In("folder/"), '3', false, 0, 2},
    {"TargetIsAFifo", In("fifo"), '3', false, 0, 2}, {"LinkToAFolder", In("folder-link"), '3', false, 0, 2}, {"DiskFullWhileWriting", In("old.cal"), '3', false, 1000, 2},
    {"DataSetRefused", In("old.cal"), '3', true, 0, 211}, {"VersionRefused", In("old.cal"), '5', false, 0, 205},
    {"NullPath", [](const fs::path&) { return std::string(); }, '3', false, 0, 104},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, FileStore, ::testing::ValuesIn(storeRows), RowName);

// A load that fails: the code, the path as context, and the set unchanged.
struct LoadFailureRow : Row { Prepare prepare; std::int32_t code; };
using FileLoadFailure = ::testing::TestWithParam<LoadFailureRow>;
TEST_P(FileLoadFailure, ReportsThePathAndKeepsTheSet)
{
    const Folder folder;
    const std::string path = GetParam().prepare(folder.path);
    CTamrix set = Rich();
    const std::string before = Bytes(set.Content());
    const Failure failure = FailureOf([&] { CTamrixUtil::LoadTMXFromFile2(set, path.empty() ? nullptr : path.c_str()); });
    EXPECT_EQ(failure.code, GetParam().code);
    EXPECT_EQ(failure.context, path.empty() ? "(none)" : path);
    EXPECT_EQ(Bytes(set.Content()), before);
}
const std::string good = ReadFile(DataFile("rich_v3.cal"));
const auto Written = [](std::string data) {
    return [data](const fs::path& f) { std::ofstream(f / "written.cal") << data; return (f / "written.cal").string(); };
};
const LoadFailureRow loadFailureRows[] = {
    {"MissingFile", In("missing.cal"), 1}, {"Folder", In("folder"), 1}, {"FifoWithoutWriter", In("fifo"), 1},
    {"Device", [](const fs::path&) { return std::string("/dev/zero"); }, 1}, {"PathThroughARegularFile", In("old.cal/x.cal"), 1},
    {"LargerThanTheLargestDataSet",
     [](const fs::path& f) {
         std::ofstream(f / "huge.cal").close();
         fs::resize_file(f / "huge.cal", maxDataSetSize + 1); // sparse: costs no disk space
         return (f / "huge.cal").string();
     },
     1},
    {"BrokenData", Written(good.substr(0, 30) + static_cast<char>(good[30] ^ 0x04) + good.substr(31)), 208}, {"EmptyFile", Written(""), 201},
    {"NullPath", [](const fs::path&) { return std::string(); }, 104},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, FileLoadFailure, ::testing::ValuesIn(loadFailureRows), RowName);
} // namespace
