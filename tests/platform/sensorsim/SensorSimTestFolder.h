#pragma once

// A fresh folder for one test, removed with everything in it; HOME and
// XDG_DATA_HOME point into it meanwhile, so nothing reaches the user's folders.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace sensorsim_test
{

class TestFolder
{
public:
    TestFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sensorsim-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a test folder");
        m_path = pattern;
        for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
            m_saved[name] = ::getenv(name) ? ::getenv(name) : "";
            ::setenv(name, (m_path / name).c_str(), 1);
        }
    }
    ~TestFolder()
    {
        for (const auto& [name, value] : m_saved)
            value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
    std::map<std::string, std::string> m_saved;
};

// Every name below `folder`, hidden ones too, so that left-over temporary files show.
inline std::vector<std::string> AllNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (auto entry = std::filesystem::recursive_directory_iterator(folder, ignored);
         entry != std::filesystem::recursive_directory_iterator(); ++entry)
        names.push_back(std::filesystem::relative(entry->path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

// Rows are named after their scenario.
template <typename Row>
std::string ScenarioName(const testing::TestParamInfo<Row>& info)
{
    return info.param.scenario;
}

} // namespace sensorsim_test
