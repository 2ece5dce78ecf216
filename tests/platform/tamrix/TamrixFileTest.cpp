// Data sets in files: stored whole or not at all, loaded only from regular files.

#include "TamrixTestSupport.h"

#include "ScopedFileSizeLimit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace
{
namespace fs = std::filesystem;

// A fresh folder holding an old data set, a folder with a file, a FIFO and a
// link to the folder; removed with everything in it.
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
    // Every name below the folder with the permissions of files, so that a
    // temporary file left behind or a changed file shows.
    std::string Listing() const
    {
        std::string listing;
        for (auto it = fs::recursive_directory_iterator(path); it != fs::recursive_directory_iterator(); ++it) {
            struct stat status {};
            ::lstat(it->path().c_str(), &status);
            listing += it->path().lexically_relative(path).string() + " " + std::to_string(status.st_mode & 0777) + " "
                + (S_ISREG(status.st_mode) ? ReadFile(it->path()) : "") + "\n";
        }
        return listing;
    }
    fs::path path;
};

CTamrix Storable() // without an internal serial number, so that every version holds it
{
    CTamrix set = Rich();
    set.SetSerialNumberInternal("");
    return set;
}

// Stored to the path `prepare` gives, into the file `written` with the
// permissions `mode`; loaded back from the path.
struct StoreRow : Row { std::function<std::string(const fs::path&)> prepare; const char* written; mode_t mode; char version; };
using FileStore = ::testing::TestWithParam<StoreRow>;
TEST_P(FileStore, ReplacesTheFileWholeAndLoadsBack)
{
    const mode_t previous = ::umask(027);
    const Folder folder;
    const std::string path = GetParam().prepare(folder.path);
    const CTamrix set = Storable();
    CTamrixUtil::StoreTMXToFile2(set, path.c_str(), GetParam().version, '0');
    ::umask(previous);
    const fs::path written = folder.path / GetParam().written;
    EXPECT_EQ(ReadFile(written), Stored(set, GetParam().version));
    EXPECT_EQ(fs::canonical(path), fs::canonical(written)); // a link stays a link
    struct stat status {};
    EXPECT_EQ(::stat(written.c_str(), &status) == 0 ? status.st_mode & 07777 : 0, GetParam().mode);
    CTamrix loaded;
    EXPECT_EQ(CTamrixUtil::LoadTMXFromFile2(loaded, path.c_str()), FormatPair(GetParam().version, '0'));
    EXPECT_EQ(Bytes(loaded.Content()), Bytes(set.Content()));
    EXPECT_EQ(fs::directory_iterator(folder.path / "folder")->path().filename(), "inner.cal");
    const std::string rest = folder.Listing();
    EXPECT_EQ(rest.find("partial"), std::string::npos) << rest;
}
const StoreRow storedRows[] = {
    {"NewFileTakesTheUmask", [](const fs::path& f) { return (f / "new.cal").string(); }, "new.cal", 0640, '3'},
    {"ExistingFileKeepsItsPermissions",
     [](const fs::path& f) {
         std::ofstream(f / "existing.cal") << std::string(100000, 'o');
         ::chmod((f / "existing.cal").c_str(), 0604);
         return (f / "existing.cal").string();
     },
     "existing.cal", 0604, '4'},
    {"LinkedFileIsReplacedAndTheLinkStays",
     [](const fs::path& f) {
         fs::create_symlink("folder/inner.cal", f / "link.cal");
         return (f / "link.cal").string();
     },
     "folder/inner.cal", 0640, '3'},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, FileStore, ::testing::ValuesIn(storedRows), RowName);

// A store that fails: the code, the path as context, and nothing in the
// folder changed, no temporary file left behind.
struct StoreFailureRow : Row { const char* target; std::size_t sizeLimit; bool empty; char version; std::int32_t code; };
using FileStoreFailure = ::testing::TestWithParam<StoreFailureRow>;
TEST_P(FileStoreFailure, KeepsTheOldFileAndLeavesNothingBehind)
{
    const Folder folder;
    const std::string before = folder.Listing();
    const std::string path = GetParam().target ? (folder.path / GetParam().target).string() : "";
    const CTamrix set = GetParam().empty ? CTamrix() : Storable();
    Failure failure;
    {
        const ScopedFileSizeLimit limit(GetParam().sizeLimit ? GetParam().sizeLimit : RLIM_INFINITY);
        failure = FailureOf([&] {
            CTamrixUtil::StoreTMXToFile2(set, GetParam().target ? path.c_str() : nullptr, GetParam().version, '0');
        });
    }
    EXPECT_EQ(failure.code, GetParam().code);
    EXPECT_EQ(failure.context, GetParam().target ? path : "(none)");
    EXPECT_EQ(folder.Listing(), before);
}
const StoreFailureRow storeFailureRows[] = {
    {"FolderDoesNotExist", "missing/x.cal", 0, false, '3', 2}, {"PathThroughARegularFile", "old.cal/x.cal", 0, false, '3', 2},
    {"TargetIsAFolder", "folder", 0, false, '3', 2}, {"TargetIsAFolderWrittenWithASlash", "folder/", 0, false, '3', 2}, {"TargetIsAFifo", "fifo", 0, false, '3', 2},
    {"LinkToAFolder", "folder-link", 0, false, '3', 2}, {"DiskFullWhileWriting", "old.cal", 1000, false, '3', 2}, {"DataSetRefused", "old.cal", 0, true, '3', 211},
    {"VersionRefused", "old.cal", 0, false, '5', 205}, {"NullPath", nullptr, 0, false, '3', 104},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, FileStoreFailure, ::testing::ValuesIn(storeFailureRows), RowName);

// A load that fails: the code, the path as context, and the set unchanged.
struct LoadFailureRow : Row { std::function<std::string(const fs::path&)> prepare; std::int32_t code; };
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
const auto In = [](const char* name) { return [name](const fs::path& f) { return (f / name).string(); }; };
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
