#pragma once

// Shared by the simulated sensor's tests: a fresh folder for one test, removed
// with everything in it, with HOME and XDG_DATA_HOME pointing into it meanwhile
// so that nothing reaches the user's folders; and the naming of table rows.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
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
            const char* value = ::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::setenv(name, (m_path / name).c_str(), 1);
        }
    }
    ~TestFolder()
    {
        for (const auto& [name, value] : m_saved)
            value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
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

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Rows are named and print as their scenario; a test file brings the operator
// in with a using-declaration where its rows are declared.
template <typename Row>
std::string ScenarioName(const testing::TestParamInfo<Row>& info)
{
    return info.param.scenario;
}
template <typename Row, typename = decltype(std::declval<const Row&>().scenario)>
std::ostream& operator<<(std::ostream& out, const Row& row)
{
    return out << row.scenario;
}

} // namespace sensorsim_test
