#include "SParaXmlFile.h"

#include "Tamrix.h"
#include "TextConversion.h"
#include "WholeFile.h"

#include <QFileInfo>

#include <fstream>
#include <sstream>

void ExportSParaToFile(const CTamrix& dataSet, const QString& path)
{
    const std::string filePath = WideToPath(path);
    std::ostringstream document;
    try
    {
        dataSet.ExportSPara(document);
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        throw TvxKyyCalcDLLError(error.code, filePath);
    }
    const std::string text = std::move(document).str();

    // No direct-write fallback: a target that cannot be replaced as a whole is
    // refused rather than overwritten in place.
    if (!WriteWholeFile(path, text))
    {
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileWrite, filePath);
    }
}

void ImportSParaFromFile(CTamrix& dataSet, const QString& path)
{
    const std::string filePath = WideToPath(path);
    // A named pipe or a device would block the open or never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
    {
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead, filePath);
    }
    // A stream that failed to open reaches the library, which refuses it.
    std::ifstream in(filePath, std::ios::in | std::ios::binary);
    try
    {
        dataSet.ImportSPara(in);
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        // The library names the device and point it refused, if any.
        throw TvxKyyCalcDLLError(error.code, error.context ? filePath + ", " + error.context : filePath);
    }
}
