#include "Tamrix.h"

#include "RegularFile.h"
#include "TamrixBinary.h"
#include "TemporaryFile.h"

#include <optional>

FormatPair CTamrixUtil::LoadTMXFromFile2(CTamrix& set, const char* path)
{
    if (!path)
        throw TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument);
    try {
        // A file that is no data set, or not of the length its header
        // declares, is refused after its first bytes.
        const std::optional<FileStart> start = ReadRegularFileStart(path, tamrix_binary::headerSize);
        if (!start || start->size > maxDataSetSize)
            throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead, path);
        tamrix_binary::CheckHeader(start->bytes, start->size);
        const std::optional<FileBytes> data = ReadRegularFile(path, maxDataSetSize);
        if (!data)
            throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead, path);
        return tamrix_binary::Load(data->View(), set);
    } catch (const TvxKyyCalcDLLError& error) {
        throw TvxKyyCalcDLLError(error.code, path);
    }
}

FormatPair CTamrixUtil::LoadTMXFromBuffer2(CTamrix& set, const std::string& data)
{
    return tamrix_binary::Load(data, set);
}

void CTamrixUtil::StoreTMXToFile2(const CTamrix& set, const char* path, char version, char revision)
{
    if (!path)
        throw TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument);
    std::string data;
    try {
        StoreTMXToBuffer2(set, data, version, revision);
    } catch (const TvxKyyCalcDLLError& error) {
        throw TvxKyyCalcDLLError(error.code, path);
    }
    try {
        ReplaceFileWhole(path, data);
    } catch (const std::exception&) {
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileWrite, path);
    }
}

void CTamrixUtil::StoreTMXToBuffer2(const CTamrix& set, std::string& out, char version, char revision)
{
    tamrix_binary::Store(set.Content(), version, revision, out);
}
