#include "Settings.h"

#include "TextConversion.h"
#include "WholeFile.h"

#include <boost/program_options/errors.hpp>
#include <boost/program_options/parsers.hpp>
#include <boost/program_options/value_semantic.hpp>
#include <boost/program_options/variables_map.hpp>

#include <QDir>

#include <fstream>
#include <sstream>

namespace po = boost::program_options;

namespace
{

const QString CompanyFolder = QStringLiteral("Trobe-Lindvar");
const QString SettingsFileName = QStringLiteral("Ostrel.cfg");

const char* TrueFalse(bool value)
{
    return value ? "true" : "false";
}

} // namespace

QString SettingsFilePath()
{
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty())
    {
        folder = QDir::homePath() + QStringLiteral("/.config");
    }
    folder += QLatin1Char('/') + CompanyFolder;
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + SettingsFileName;
}

po::options_description SettingsOptions(const SettingsBinding& settings)
{
    po::options_description options("Allowed options");
    options.add_options()
        ("cal.lab", po::value<std::string>(&settings.calLab)->default_value(DefaultCalLab), "Calibration laboratory")
        ("cal.eng", po::value<std::string>(&settings.calEng)->default_value(DefaultCalEng), "Calibration engineer")
        ("rc.timeout", po::value<int>(&settings.timeout)->default_value(DefaultTimeout), "Command Timeout")
        ("rc.calDataTimeout", po::value<int>(&settings.calDataTimeout)->default_value(DefaultCalDataTimeout),
         "Upload/Download Timeout")
        ("rc.includeNetworkResources", po::value<bool>(&settings.includeNetworkResources)->default_value(false),
         "Scan Network for Devices")
        ("rc.alwaysUseFactoryDataSet", po::value<bool>(&settings.alwaysUseFactoryDataSet)->default_value(false),
         "Always use factory data set, even if user data set is supported");
    return options;
}

bool ReadSettings(std::istream& in, const SettingsBinding& settings)
{
    const po::options_description options = SettingsOptions(settings);
    try
    {
        po::variables_map values;
        po::store(po::parse_config_file(in, options, false), values);
        // Only now are the bound settings written, all of them at once.
        po::notify(values);
        return true;
    }
    catch (const po::error&)
    {
        return false;
    }
}

bool ReadSettingsFile(const QString& path, const SettingsBinding& settings)
{
    std::ifstream file(WideToPath(path));
    if (file.is_open())
    {
        return ReadSettings(file, settings);
    }
    std::istringstream empty;
    return ReadSettings(empty, settings);
}

std::string SettingsText(const SettingsBinding& settings)
{
    // Seven lines end in CR LF and the last in LF alone, as the file has always
    // been written; the reader trims the CR away.
    std::string text;
    text += "[cal]\r\n";
    text += "lab = " + settings.calLab + "\r\n";
    text += "eng = " + settings.calEng + "\r\n";
    text += "[rc]\r\n";
    text += "timeout = " + std::to_string(settings.timeout) + "\r\n";
    text += "calDataTimeout = " + std::to_string(settings.calDataTimeout) + "\r\n";
    text += std::string("includeNetworkResources = ") + TrueFalse(settings.includeNetworkResources) + "\r\n";
    text += std::string("alwaysUseFactoryDataSet = ") + TrueFalse(settings.alwaysUseFactoryDataSet) + "\n";
    return text;
}

bool WriteSettingsFile(const QString& path, const SettingsBinding& settings)
{
    return WriteWholeFile(path, SettingsText(settings));
}
