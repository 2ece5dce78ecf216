#pragma once

// Shared helpers of the Touchstone reader's tests.

#include "S2PDataFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace s2p_test
{

// A new empty folder under the system's temporary folder, removed with
// everything in it when it goes out of scope.
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();

    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string PathOf(const std::string& name) const { return m_path + "/" + name; }
    // Writes `bytes` to a file `name` in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string m_path;
};

// What came of constructing a CS2PDataFile.
struct LoadOutcome
{
    std::int32_t code = 0; // 0 when the file loaded
    bool hasContext = false;
    std::string context;
    std::vector<std::string> reports; // every parser report, in order
    unsigned points = 0;
};

LoadOutcome LoadFile(char type, const std::string& path);
// Writes `content` to a fresh file and loads it; `path` receives the file's path.
LoadOutcome LoadText(char type, const std::string& content, std::string* path = nullptr);

// The reader for `content`, which must load; the test fails otherwise.
std::unique_ptr<CS2PDataFile> Open(char type, const std::string& content);

} // namespace s2p_test
