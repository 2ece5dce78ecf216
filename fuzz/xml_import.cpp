// The XML import of S-parameter devices. A failed import changes nothing; an
// import changes the device list and the default device only; and what was
// imported exports, imports into another data set and exports again to the
// same document.

#include "DataSetLoad.h"

#include <sstream>

namespace
{
std::string Exported(const CTamrix& set)
{
    std::ostringstream out;
    set.ExportSPara(out);
    return out.str();
}

// The data set with the device list and the default device of the load target,
// stored: equal for two sets that differ in nothing else.
std::string StoredOutsideDevices(const CTamrix& set)
{
    TamrixContent content = set.Content();
    content.devices = LoadTarget().Content().devices;
    content.sParaDefaultDevice = LoadTarget().Content().sParaDefaultDevice;
    CTamrix other;
    other.ReplaceContent(std::move(content));
    return Stored(other);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    static const std::string targetBytes = Stored(LoadTarget());
    CTamrix set = LoadTarget();
    try {
        std::istringstream in(Bytes(data, size));
        set.ImportSPara(in);
    } catch (const TvxKyyCalcDLLError&) {
        Check(Stored(set) == targetBytes, "a failed import changes nothing");
        return 0;
    }
    Check(StoredOutsideDevices(set) == targetBytes, "an import changes the devices only");

    const std::string document = Exported(set);
    CTamrix second = LoadTarget();
    std::istringstream in(document);
    second.ImportSPara(in);
    Check(Exported(second) == document, "an exported document imports and exports to itself", document);
    Check(second.GetSParaDefaultDevice() == set.GetSParaDefaultDevice(), "the default device survives the exchange");
    return 0;
}
