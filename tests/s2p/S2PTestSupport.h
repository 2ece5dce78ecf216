#pragma once

// Shared helpers of the Touchstone reader's tests.

#include "S2PDataFile.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// A table's row, named after its case: the test's name and what a failure shows.
struct Row { const char* name; };
inline std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }
inline constexpr auto RowName = [](const auto& info) { return std::string(info.param.name); };

// A fresh folder for a test's files, removed with them.
struct Folder : QTemporaryDir
{
    ~Folder() { std::filesystem::remove_all(path().toStdString()); } // also names that are not UTF-8
    std::string PathOf(const std::string& name) const { return path().toStdString() + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }
};

// What came of reading a file (with a callback, or an empty one): the code (0 when it loaded), the context,
// every parser report.
struct Outcome { std::int32_t code = 0; bool hasContext = false; std::string context; std::vector<std::string> reports; unsigned points = 0; };

inline Outcome LoadFile(char type, const std::string& path, bool withCallback = true)
{
    Outcome outcome;
    const auto report = [&](const std::string& text) { outcome.reports.push_back(text); };
    try {
        outcome.points = CS2PDataFile(type, path, withCallback ? report : CS2PDataFile::ParserErrorCallback()).GetNumPoints();
    } catch (const TvxKyyCalcDLLError& error) {
        outcome = {error.code, error.context != nullptr, error.context ? error.context : "", outcome.reports};
    }
    return outcome;
}

// The reader for bytes that must load.
inline std::unique_ptr<CS2PDataFile> Open(char type, const std::string& content)
{
    return std::make_unique<CS2PDataFile>(type, content, "test.s2p", nullptr);
}
