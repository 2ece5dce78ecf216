#pragma once

// The settings file: six user settings, read once at start-up and written once
// on exit. It follows the configuration-file syntax of Boost.Program_options:
// "[cal]" and "[rc]" sections, "key = value" lines, "#" comments; whitespace
// around keys and values (CR included) is trimmed, and a key the program does
// not know is an error.

#include <boost/program_options/options_description.hpp>

#include <QString>

#include <iosfwd>
#include <string>

// What an option that is missing from the file becomes.
constexpr int DefaultTimeout = 1000; // ms
constexpr int DefaultCalDataTimeout = 60000; // ms
// The laboratory and engineer stamped until the user gives theirs.
inline constexpr char DefaultCalLab[] = "user lab";
inline constexpr char DefaultCalEng[] = "user";

// Where the program keeps the six settings. The options are bound to them: a
// successful read writes all six, a failed one none.
struct SettingsBinding
{
    std::string& calLab; // UTF-8, stamped into a changed data set
    std::string& calEng; // UTF-8
    int& timeout; // ms, ordinary sensor commands
    int& calDataTimeout; // ms, data set transfers
    bool& includeNetworkResources;
    bool& alwaysUseFactoryDataSet;
};

// "Ostrel.cfg" in the folder "Trobe-Lindvar" of the user's configuration folder
// ($XDG_CONFIG_HOME when it is set and not empty, else ~/.config). The folders
// are created when missing; whether that worked shows only when the file is
// opened.
QString SettingsFilePath();

// The option description "Allowed options": the six keys with their defaults,
// bound to `settings`.
boost::program_options::options_description SettingsOptions(const SettingsBinding& settings);

// Parses a settings text and commits it: every setting is written, a key that
// is missing gets its default. On any error (a syntax error, an unknown key, a
// value that does not convert, a key given twice) nothing is written and the
// result is false.
bool ReadSettings(std::istream& in, const SettingsBinding& settings);

// ReadSettings on the file. A file that cannot be opened reads as an empty one,
// which gives every setting its default.
bool ReadSettingsFile(const QString& path, const SettingsBinding& settings);

// The file's text, byte for byte: eight lines, texts neither quoted nor escaped.
std::string SettingsText(const SettingsBinding& settings);

// Replaces the file with SettingsText. The text goes to a temporary file beside
// it that then takes its place, so a failure leaves the old file as it was.
// False when the file could not be written.
bool WriteSettingsFile(const QString& path, const SettingsBinding& settings);
