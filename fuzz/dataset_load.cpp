// The data set loader on raw bytes: mostly the header checks.

#include "DataSetLoad.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    CheckLoad(Bytes(data, size));
    return 0;
}
