#include "TamrixBinary.h"

#include "MemoryAdvice.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>

namespace
{

// Header: signature (8), version (1), revision (1), total length (4),
// checksum (4); the checksum covers every other byte of the data set.
constexpr std::size_t versionOffset = 8;
constexpr std::size_t revisionOffset = 9;
constexpr std::size_t lengthOffset = 10;
constexpr std::size_t checksumOffset = 14;

constexpr std::size_t pointSize = 8 + 12 * 4;

// Global correction bits that version '2' holds.
constexpr std::uint32_t version2CorrBits = sParaCorr_activeAfterReset | sParaCorr_stateLocked;

[[noreturn]] void Refuse(std::int32_t code)
{
    throw TvxKyyCalcDLLError(code);
}

bool HasDeviceFlags(char version)
{
    return version != '2';
}

bool HasInternalSerialNumber(char version)
{
    return version != '4';
}

// Little-endian by shifts, written out: the compiler turns each into one
// plain move on a little-endian machine, and they stay right on any other.
inline void PutU32(char*& out, std::uint32_t value)
{
    out[0] = static_cast<char>(value);
    out[1] = static_cast<char>(value >> 8);
    out[2] = static_cast<char>(value >> 16);
    out[3] = static_cast<char>(value >> 24);
    out += 4;
}

inline void PutU64(char*& out, std::uint64_t value)
{
    out[0] = static_cast<char>(value);
    out[1] = static_cast<char>(value >> 8);
    out[2] = static_cast<char>(value >> 16);
    out[3] = static_cast<char>(value >> 24);
    out[4] = static_cast<char>(value >> 32);
    out[5] = static_cast<char>(value >> 40);
    out[6] = static_cast<char>(value >> 48);
    out[7] = static_cast<char>(value >> 56);
    out += 8;
}

void PutI32(char*& out, std::int32_t value)
{
    PutU32(out, static_cast<std::uint32_t>(value));
}

inline void PutF32(char*& out, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutU32(out, bits);
}

inline void PutF64(char*& out, double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutU64(out, bits);
}

void PutText(char*& out, const std::string& text)
{
    PutU32(out, static_cast<std::uint32_t>(text.size()));
    std::memcpy(out, text.data(), text.size());
    out += text.size();
}

inline std::uint32_t GetU32(const char* in)
{
    const auto* b = reinterpret_cast<const unsigned char*>(in);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8
        | static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

inline std::uint64_t GetU64(const char* in)
{
    return static_cast<std::uint64_t>(GetU32(in)) | static_cast<std::uint64_t>(GetU32(in + 4)) << 32;
}

inline float GetF32(const char* in)
{
    const std::uint32_t bits = GetU32(in);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline double GetF64(const char* in)
{
    const std::uint64_t bits = GetU64(in);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The unread rest of the stored bytes. Every read first makes sure that what
// it reads is there: counts that run past the end are refused as unparsable.
struct Cursor
{
    const char* at;
    const char* end;
};

void Need(const Cursor& in, std::uint64_t bytes)
{
    if (bytes > static_cast<std::uint64_t>(in.end - in.at))
        Refuse(TamrixErrorCode::NotParsable);
}

std::uint32_t ReadU32(Cursor& in)
{
    Need(in, 4);
    const std::uint32_t value = GetU32(in.at);
    in.at += 4;
    return value;
}

std::int32_t ReadI32(Cursor& in)
{
    return static_cast<std::int32_t>(ReadU32(in));
}

float ReadF32(Cursor& in)
{
    Need(in, 4);
    const float value = GetF32(in.at);
    in.at += 4;
    return value;
}

std::string ReadText(Cursor& in)
{
    const std::uint32_t size = ReadU32(in);
    Need(in, size);
    std::string text(in.at, size);
    in.at += size;
    return text;
}

std::uint64_t TextSize(const std::string& text)
{
    return 4 + static_cast<std::uint64_t>(text.size());
}

std::uint64_t CalTableSize(const CalTable& table)
{
    return 4 + 8 * static_cast<std::uint64_t>(table.axis.size()) + 4
        + 4 * static_cast<std::uint64_t>(table.values.size());
}

std::uint64_t StoredSize(const TamrixContent& content, char version)
{
    std::uint64_t size = tamrix_binary::headerSize;
    size += TextSize(content.sensorName) + TextSize(content.stockNumber) + TextSize(content.attribute)
        + TextSize(content.serialNumber);
    if (HasInternalSerialNumber(version))
        size += TextSize(content.serialNumberInternal);
    size += 4 + 8 * 4;
    for (const CalInfo& info : content.calInfo)
        size += TextSize(info.date) + TextSize(info.laboratory) + TextSize(info.engineer);
    size += 4 + 4 + 4;
    for (const SParaDevice& device : content.devices) {
        size += TextSize(device.mnemonic) + 4 + 4 + (HasDeviceFlags(version) ? 4 : 0) + 4;
        size += pointSize * static_cast<std::uint64_t>(device.points.size());
    }
    for (const CalTable* table : {&content.abso, &content.refl, &content.temp, &content.lin})
        size += CalTableSize(*table);
    return size;
}

void PutPoints(char*& out, const std::vector<SParaPoint>& points)
{
    for (const SParaPoint& point : points) {
        PutF64(out, point.frequency);
        for (const float value : point.values)
            PutF32(out, value);
    }
}

void ReadPoints(Cursor& in, std::vector<SParaPoint>& points)
{
    const std::uint32_t count = ReadU32(in);
    Need(in, pointSize * static_cast<std::uint64_t>(count));
    points.reserve(tamrix_memory::HugePageCapacity(count, sizeof(SParaPoint)));
    tamrix_memory::PrepareForWriting(points.data(), points.capacity() * sizeof(SParaPoint),
                                     count * sizeof(SParaPoint));
    // Filled point by point: a resize would first write every byte once more.
    const char* at = in.at;
    for (std::uint32_t i = 0; i < count; ++i) {
        SParaPoint& point = points.emplace_back();
        point.frequency = GetF64(at);
        at += 8;
        for (float& value : point.values) {
            value = GetF32(at);
            at += 4;
        }
    }
    in.at = at;
}

void PutCalTable(char*& out, const CalTable& table)
{
    PutU32(out, static_cast<std::uint32_t>(table.axis.size()));
    for (const double value : table.axis)
        PutF64(out, value);
    PutU32(out, table.valuesPerPoint);
    for (const float value : table.values)
        PutF32(out, value);
}

void ReadCalTable(Cursor& in, CalTable& table)
{
    const std::uint32_t axisCount = ReadU32(in);
    Need(in, 8 * static_cast<std::uint64_t>(axisCount));
    table.axis.resize(axisCount);
    for (double& value : table.axis) {
        value = GetF64(in.at);
        in.at += 8;
    }
    table.valuesPerPoint = ReadU32(in);
    const std::uint64_t valueCount = static_cast<std::uint64_t>(axisCount) * table.valuesPerPoint;
    if (valueCount > static_cast<std::uint64_t>(in.end - in.at) / 4)
        Refuse(TamrixErrorCode::NotParsable);
    table.values.resize(static_cast<std::size_t>(valueCount));
    for (float& value : table.values) {
        value = GetF32(in.at);
        in.at += 4;
    }
}

void ReadContent(Cursor& in, char version, TamrixContent& content)
{
    content.sensorName = ReadText(in);
    content.stockNumber = ReadText(in);
    content.attribute = ReadText(in);
    content.serialNumber = ReadText(in);
    if (HasInternalSerialNumber(version))
        content.serialNumberInternal = ReadText(in);
    content.channelNumber = ReadI32(in);
    MiscNum& misc = content.miscNum;
    for (float* value : {&misc.referenceFrequency, &misc.referencePower, &misc.startFrequency, &misc.minPower,
                         &misc.maxPower, &misc.stopFrequency, &misc.minTemperature, &misc.maxTemperature})
        *value = ReadF32(in);
    for (CalInfo& info : content.calInfo) {
        info.date = ReadText(in);
        info.laboratory = ReadText(in);
        info.engineer = ReadText(in);
    }
    content.sParaCorrDef = ReadU32(in);
    content.sParaDefaultDevice = ReadI32(in);
    const std::uint32_t deviceCount = ReadU32(in);
    // Grows with what is actually there, so a damaged count cannot demand
    // memory that the stored bytes do not back. Devices beyond one more than
    // the most are parsed but not kept: the one more is enough for Validate
    // to refuse the count.
    for (std::uint32_t i = 0; i < deviceCount; ++i) {
        SParaDevice device;
        device.mnemonic = ReadText(in);
        device.minPower = ReadF32(in);
        device.maxPower = ReadF32(in);
        if (HasDeviceFlags(version))
            device.flags = ReadU32(in);
        ReadPoints(in, device.points);
        if (content.devices.size() <= static_cast<std::size_t>(maxSParaDeviceNumber))
            content.devices.push_back(std::move(device));
    }
    for (CalTable* table : {&content.abso, &content.refl, &content.temp, &content.lin})
        ReadCalTable(in, *table);
    if (in.at != in.end)
        Refuse(TamrixErrorCode::NotParsable);
}

} // namespace

namespace tamrix_binary
{

std::uint32_t Checksum(std::string_view data)
{
    const auto* bytes = reinterpret_cast<const Bytef*>(data.data());
    const uLong header = crc32_z(0, bytes, checksumOffset);
    const std::size_t bodySize = data.size() - headerSize;
    return static_cast<std::uint32_t>(crc32_z(header, bytes + headerSize, bodySize));
}

bool IsSupportedVersion(char version)
{
    return version == '2' || version == '3' || version == '4';
}

bool IsSupportedRevision(char revision)
{
    return revision == '0';
}

void CheckStorable(const TamrixContent& content, char version)
{
    if (content.devices.empty())
        Refuse(TamrixErrorCode::NoSParaDevice);
    if (version == '2' && content.devices.size() > 1)
        Refuse(TamrixErrorCode::IncompatibleVersion);
    if (!HasInternalSerialNumber(version) && !content.serialNumberInternal.empty())
        Refuse(TamrixErrorCode::IncompatibleVersion);
    for (const SParaDevice& device : content.devices) {
        if (device.points.empty())
            Refuse(TamrixErrorCode::NoSParaDevice);
        for (std::size_t i = 1; i < device.points.size(); ++i) {
            if (device.points[i].frequency < device.points[i - 1].frequency)
                Refuse(TamrixErrorCode::FrequenciesNotAscending);
        }
    }
}

void Store(const TamrixContent& content, char version, char revision, std::string& out)
{
    if (!IsSupportedVersion(version))
        Refuse(TamrixErrorCode::UnsupportedVersion);
    if (!IsSupportedRevision(revision))
        Refuse(TamrixErrorCode::UnsupportedRevision);
    CheckStorable(content, version);
    const std::uint64_t size = StoredSize(content, version);
    if (size > maxDataSetSize)
        Refuse(TamrixErrorCode::TooLarge);

    if (out.capacity() < size) {
        std::string fresh;
        fresh.reserve(tamrix_memory::HugePageCapacity(static_cast<std::size_t>(size) + 1, 1) - 1);
        tamrix_memory::PrepareForWriting(fresh.data(), fresh.capacity(), static_cast<std::size_t>(size));
        out.swap(fresh);
    }
    // Nothing below can fail.
    out.resize(static_cast<std::size_t>(size));
    char* at = out.data();
    std::memcpy(at, signature, sizeof signature);
    at[versionOffset] = version;
    at[revisionOffset] = revision;
    at += lengthOffset;
    PutU32(at, static_cast<std::uint32_t>(size));
    at += 4; // the checksum, written last

    PutText(at, content.sensorName);
    PutText(at, content.stockNumber);
    PutText(at, content.attribute);
    PutText(at, content.serialNumber);
    if (HasInternalSerialNumber(version))
        PutText(at, content.serialNumberInternal);
    PutI32(at, content.channelNumber);
    const MiscNum& misc = content.miscNum;
    for (const float value : {misc.referenceFrequency, misc.referencePower, misc.startFrequency, misc.minPower,
                              misc.maxPower, misc.stopFrequency, misc.minTemperature, misc.maxTemperature})
        PutF32(at, value);
    for (const CalInfo& info : content.calInfo) {
        PutText(at, info.date);
        PutText(at, info.laboratory);
        PutText(at, info.engineer);
    }
    PutU32(at, version == '2' ? (content.sParaCorrDef & version2CorrBits) : content.sParaCorrDef);
    PutI32(at, content.sParaDefaultDevice);
    PutU32(at, static_cast<std::uint32_t>(content.devices.size()));
    for (const SParaDevice& device : content.devices) {
        PutText(at, device.mnemonic);
        PutF32(at, device.minPower);
        PutF32(at, device.maxPower);
        if (HasDeviceFlags(version))
            PutU32(at, device.flags);
        PutU32(at, static_cast<std::uint32_t>(device.points.size()));
        PutPoints(at, device.points);
    }
    for (const CalTable* table : {&content.abso, &content.refl, &content.temp, &content.lin})
        PutCalTable(at, *table);

    char* checksum = out.data() + checksumOffset;
    PutU32(checksum, Checksum(out));
}

void CheckHeader(std::string_view start, std::uint64_t size)
{
    if (start.size() < headerSize || size < headerSize)
        Refuse(TamrixErrorCode::NotParsable);
    if (std::memcmp(start.data(), signature, sizeof signature) != 0)
        Refuse(TamrixErrorCode::WrongSignature);
    if (!IsSupportedVersion(start[versionOffset]))
        Refuse(TamrixErrorCode::UnsupportedVersion);
    if (!IsSupportedRevision(start[revisionOffset]))
        Refuse(TamrixErrorCode::UnsupportedRevision);
    if (GetU32(start.data() + lengthOffset) != size)
        Refuse(TamrixErrorCode::InconsistentLength);
    if (size > maxDataSetSize)
        Refuse(TamrixErrorCode::TooLarge);
}

FormatPair Load(std::string_view data, CTamrix& set)
{
    CheckHeader(data.substr(0, headerSize), data.size());
    const char version = data[versionOffset];
    const char revision = data[revisionOffset];
    if (GetU32(data.data() + checksumOffset) != Checksum(data))
        Refuse(TamrixErrorCode::ChecksumFailed);

    TamrixContent content;
    Cursor in{data.data() + headerSize, data.data() + data.size()};
    ReadContent(in, version, content);
    CTamrix loaded;
    loaded.ReplaceContent(std::move(content));
    // Storing in version '2' drops these bits, so stored data cannot hold them.
    if (version == '2' && (loaded.Content().sParaCorrDef & ~version2CorrBits) != 0)
        Refuse(TamrixErrorCode::Invalid);
    CheckStorable(loaded.Content(), version);
    loaded.EnableUtf8Support(set.IsUtf8SupportEnabled());
    set = std::move(loaded);
    return {version, revision};
}

} // namespace tamrix_binary
