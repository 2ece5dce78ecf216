// Writes the sample data sets into a folder, or shows a stored data set as text.

#include "SampleDataSets.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

namespace
{

constexpr int exitError = 1;
constexpr int exitUsage = 2;

int Usage()
{
    std::cerr << "usage: make_samples <folder>        write every sample data set into <folder>\n"
                 "       make_samples --show <file>   print a stored data set as text\n";
    return exitUsage;
}

int Fail(const TvxKyyCalcDLLError& error)
{
    std::cerr << "error " << error.code;
    if (error.context)
        std::cerr << ": " << error.context;
    std::cerr << '\n';
    return exitError;
}

int WriteSamples(const std::filesystem::path& folder)
{
    for (const SampleDataSet& sample : BuildSampleDataSets()) {
        const std::string path = (folder / sample.fileName).string();
        CTamrixUtil::StoreTMXToFile2(sample.dataSet, path.c_str(), sample.version, sample.revision);
        std::cout << path << '\n';
    }
    return 0;
}

int Show(const std::string& path)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    CTamrixUtil::LoadTMXFromFile2(set, path.c_str());
    const std::string text = set.Visualize();
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::cout.flush();
    return std::cout ? 0 : exitError;
}

int Run(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) != "--show")
        return WriteSamples(argv[1]);
    if (argc == 3 && std::string(argv[1]) == "--show")
        return Show(argv[2]);
    return Usage();
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const TvxKyyCalcDLLError& error) {
        return Fail(error);
    } catch (const std::exception& error) {
        std::cerr << "error: " << error.what() << '\n';
        return exitError;
    } catch (...) {
        std::cerr << "error: unexpected failure\n";
        return exitError;
    }
}
