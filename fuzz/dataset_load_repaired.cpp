// The data set loader with the length and checksum fields made right first, so
// that the content parser and the data set rules see the fuzzer's bytes.

#include "DataSetLoad.h"

#include <zlib.h>

namespace
{
constexpr std::size_t lengthOffset = 10;
constexpr std::size_t checksumOffset = 14;
constexpr std::size_t headerSize = 18;

void PutLittleEndian(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Repair(std::string& bytes)
{
    if (bytes.size() < headerSize)
        return;
    PutLittleEndian(bytes, lengthOffset, static_cast<std::uint32_t>(bytes.size()));
    const auto* raw = reinterpret_cast<const Bytef*>(bytes.data());
    const uLong head = crc32_z(0, raw, checksumOffset);
    PutLittleEndian(bytes, checksumOffset,
                    static_cast<std::uint32_t>(crc32_z(head, raw + headerSize, bytes.size() - headerSize)));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    std::string bytes = Bytes(data, size);
    Repair(bytes);
    CheckLoad(bytes);
    return 0;
}
