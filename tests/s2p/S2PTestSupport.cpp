#include "S2PTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace s2p_test
{

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "s2p-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TemporaryFolder::Write(const std::string& name, const std::string& bytes) const
{
    const std::string path = PathOf(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        throw std::runtime_error("cannot write " + path);
    return path;
}

LoadOutcome LoadFile(char type, const std::string& path)
{
    LoadOutcome outcome;
    try {
        const CS2PDataFile file(type, path, [&outcome](const std::string& message) {
            outcome.reports.push_back(message);
        });
        outcome.points = file.GetNumPoints();
    } catch (const TvxKyyCalcDLLError& error) {
        outcome.code = error.code;
        outcome.hasContext = error.context != nullptr;
        if (error.context)
            outcome.context = error.context;
    }
    return outcome;
}

LoadOutcome LoadText(char type, const std::string& content, std::string* path)
{
    const TemporaryFolder folder;
    const std::string file = folder.Write("test.s2p", content);
    if (path)
        *path = file;
    return LoadFile(type, file);
}

std::unique_ptr<CS2PDataFile> Open(char type, const std::string& content)
{
    const TemporaryFolder folder;
    const std::string file = folder.Write("test.s2p", content);
    try {
        return std::make_unique<CS2PDataFile>(type, file, nullptr);
    } catch (const TvxKyyCalcDLLError& error) {
        ADD_FAILURE() << "the file does not load: code " << error.code << "\n" << content;
        throw;
    }
}

} // namespace s2p_test
