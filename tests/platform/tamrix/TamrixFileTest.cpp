// Data sets in files: loaded only from regular files that hold one, stored whole or not at all.

#include "BytesRead.h"
#include "TamrixTestSupport.h"

#include "ScopedFileSizeLimit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

namespace
{
namespace fs = std::filesystem;

// A fresh folder holding a large file that is no data set (mode 0604), rich_v3 with one byte changed, a folder with a file, a link to that file and
// a FIFO; removed with everything in it.
struct Folder
{
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "tamrix-file-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("cannot create a test folder");
        std::ofstream(path / "old.cal") << std::string(100000, 'o');
        ::chmod((path / "old.cal").c_str(), 0604);
        const std::string good = ReadFile(DataFile("rich_v3.cal"));
        std::ofstream(path / "broken.cal") << good.substr(0, 30) + static_cast<char>(good[30] ^ 0x04) + good.substr(31);
        fs::create_directory(path / "folder");
        std::ofstream(path / "folder" / "inner.cal") << "inner";
        fs::create_symlink("folder/inner.cal", path / "link.cal");
        ::mkfifo((path / "fifo").c_str(), 0600);
    }
    ~Folder() { fs::remove_all(path); }
    // Every name below the folder with its permissions and, for a file, its content, so that a temporary file left behind or a changed file shows.
    std::set<std::string> Listing() const
    {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path)) {
            struct stat status {};
            ::lstat(entry.path().c_str(), &status);
            names.insert(entry.path().lexically_relative(path).string() + " " + std::to_string(status.st_mode & 07777) + " "
                         + (S_ISREG(status.st_mode) ? ReadFile(entry.path()) : ""));
        }
        return names;
    }
    fs::path path;
};
using Prepare = std::function<std::string(const fs::path&)>;
const auto In = [](const char* name) { return [name](const fs::path& f) { return (f / name).string(); }; };

// A path that `prepare` gives (null when empty): loading from it refuses with `loadCode` (no prepared file holds a data set), the path as context and
// the set unchanged. Then rich_v3 without its internal serial number (or an empty set) stored there, under the umask 027 and a file size limit: the
// file `written` with the stored bytes and the permissions `mode`, loaded back from the path; or the code, the path as context, and nothing in the
// folder changed, no temporary file left behind.
struct PathRow : Row { Prepare prepare; std::int32_t loadCode; char version; bool empty; std::size_t sizeLimit; std::int32_t code; const char* written = nullptr; mode_t mode = 0; };
using FilePath = ::testing::TestWithParam<PathRow>;
TEST_P(FilePath, LoadsOnlyDataSetsAndReplacesTheFileWholeOrLeavesEverythingAsItWas)
{
    const PathRow& row = GetParam();
    const mode_t previousMask = ::umask(027);
    const Folder folder;
    const std::string path = row.prepare(folder.path), context = path.empty() ? "(none)" : path;
    const std::set<std::string> before = folder.Listing();
    const char* const name = path.empty() ? nullptr : path.c_str();
    CTamrix set = row.empty ? CTamrix() : Rich();
    set.SetSerialNumberInternal("");
    const std::string held = Bytes(set.Content());
    const std::uint64_t readBefore = BytesReadSoFar();
    const Failure loadFailure = FailureOf([&] { CTamrixUtil::LoadTMXFromFile2(set, name); });
    EXPECT_LT(BytesReadSoFar() - readBefore, 16384u) << "a file that is no data set is refused after its first bytes";
    EXPECT_EQ(std::make_tuple(loadFailure.code, loadFailure.context, Bytes(set.Content())), std::make_tuple(row.loadCode, context, held));
    const Failure failure = FailureOf([&] {
        const ScopedFileSizeLimit limit(row.sizeLimit ? row.sizeLimit : RLIM_INFINITY);
        CTamrixUtil::StoreTMXToFile2(set, name, row.version, '0');
    });
    ::umask(previousMask);
    EXPECT_EQ(std::make_pair(failure.code, failure.context), std::make_pair(row.code, row.code ? context : ""));
    if (row.code != 0) {
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
    for (const std::string& name : folder.Listing())
        EXPECT_EQ(name.find("partial"), std::string::npos) << name;
}
const PathRow pathRows[] = {
    {"NewFileTakesTheUmask", In("new.cal"), 1, '3', false, 0, 0, "new.cal", 0640},
    {"ExistingFileKeepsItsPermissions", In("old.cal"), 204, '4', false, 0, 0, "old.cal", 0604},
    {"LinkedFileIsReplacedAndTheLinkStays", In("link.cal"), 201, '3', false, 0, 0, "folder/inner.cal", 0640},
    {"FileWithBrokenData", In("broken.cal"), 208, '3', false, 0, 0, "broken.cal", 0640},
    {"LargerThanTheLargestDataSet",
     [](const fs::path& f) {
         std::ofstream(f / "huge.cal").close();
         fs::resize_file(f / "huge.cal", maxDataSetSize + 1); // sparse: costs no disk space
         return (f / "huge.cal").string();
     },
     1, '3', false, 0, 0, "huge.cal", 0640},
    {"FolderDoesNotExist", In("missing/x.cal"), 1, '3', false, 0, 2}, {"PathThroughARegularFile", In("old.cal/x.cal"), 1, '3', false, 0, 2},
    {"TargetIsAFolder", In("folder"), 1, '3', false, 0, 2}, {"TargetIsAFolderWrittenWithASlash", In("folder/"), 1, '3', false, 0, 2},
    {"TargetIsAFifoWithoutWriter", In("fifo"), 1, '3', false, 0, 2}, {"DiskFullWhileWriting", In("old.cal"), 204, '3', false, 1000, 2},
    {"DataSetRefused", In("old.cal"), 204, '3', true, 0, 211},
    {"NullPath", [](const fs::path&) { return std::string(); }, 104, '3', false, 0, 104},
};
INSTANTIATE_TEST_SUITE_P(Tamrix, FilePath, ::testing::ValuesIn(pathRows), RowName);
} // namespace
