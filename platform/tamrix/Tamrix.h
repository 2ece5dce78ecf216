#pragma once

// The calibration data set library: one sensor's calibration data set in memory,
// its binary file format (see FORMAT.md beside this file), the XML exchange of
// S-parameter devices and a text rendering of the whole set.
//
// Every failure is a TvxKyyCalcDLLError (TamrixError.h). An operation that fails
// leaves the data set exactly as it was.

#include "TamrixError.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

// Whose calibration date, laboratory and engineer is meant. Compared by address.
class CMeasurement
{
public:
    static const CMeasurement* const Misc;
    static const CMeasurement* const Abso;
    static const CMeasurement* const Refl;
    static const CMeasurement* const Temp;
    static const CMeasurement* const Lin;
    static const CMeasurement* const SPara;

    // The six measurements in the order above; Index() is the position.
    static const std::array<const CMeasurement*, 6>& All();

    const char* Name() const { return m_name; }
    int Index() const { return m_index; }

    constexpr CMeasurement(const char* name, int index) : m_name(name), m_index(index) {}
    CMeasurement(const CMeasurement&) = delete;
    CMeasurement& operator=(const CMeasurement&) = delete;

private:
    const char* m_name;
    int m_index;
};

// S-parameter tags, passed by address: S11 (0) -> S12 (1) -> S21 (2) -> S22 (3)
// -> "unknown s-parameter" (-1), which ends the chain (its next is null).
template <int Version>
struct SParaType
{
    const char* name;
    int index;
    const SParaType* next;

    static const SParaType S11;
    static const SParaType S12;
    static const SParaType S21;
    static const SParaType S22;
    static const SParaType Unknown;

    static const SParaType* First() { return &S11; }
};

template <int Version>
const SParaType<Version> SParaType<Version>::S11{"S11", 0, &SParaType<Version>::S12};
template <int Version>
const SParaType<Version> SParaType<Version>::S12{"S12", 1, &SParaType<Version>::S21};
template <int Version>
const SParaType<Version> SParaType<Version>::S21{"S21", 2, &SParaType<Version>::S22};
template <int Version>
const SParaType<Version> SParaType<Version>::S22{"S22", 3, &SParaType<Version>::Unknown};
template <int Version>
const SParaType<Version> SParaType<Version>::Unknown{"unknown s-parameter", -1, nullptr};

// (real, imaginary, uncertainty)
using SParaValue = std::tuple<double, double, double>;

// The sensor's own figures, in single precision; NaN means "not given".
struct MiscNum
{
    float referenceFrequency = std::numeric_limits<float>::quiet_NaN(); // Hz
    float referencePower = std::numeric_limits<float>::quiet_NaN();     // W
    float startFrequency = std::numeric_limits<float>::quiet_NaN();     // Hz
    float minPower = std::numeric_limits<float>::quiet_NaN();           // W, lower power limit
    float maxPower = std::numeric_limits<float>::quiet_NaN();           // W, upper power limit
    float stopFrequency = std::numeric_limits<float>::quiet_NaN();      // Hz
    float minTemperature = std::numeric_limits<float>::quiet_NaN();     // degrees Celsius
    float maxTemperature = std::numeric_limits<float>::quiet_NaN();     // degrees Celsius
};

// Global S-parameter correction flags (GetSParaCorrDef).
constexpr std::uint32_t sParaCorr_activeAfterReset = 0x01;
constexpr std::uint32_t sParaCorr_stateLocked = 0x02;
constexpr std::uint32_t sParaCorr_deviceLocked = 0x04;
constexpr std::uint32_t sParaCorr_useFactoryFlags = 0x08;

// Device flags (GetSParaDeviceFlags).
constexpr std::uint32_t sParaDevice_writeProtected = 0x01;

// Longest identity text, laboratory, engineer or date, in characters.
constexpr long maxInfoStringLength = 32;
// Longest device mnemonic, in characters (a file's base name fits).
constexpr long maxMnemonicLength = 255;
// Most S-parameter devices in one data set, and most points in one device.
constexpr long maxSParaDeviceNumber = 64;
constexpr long maxSParaFreqNumber = 99999;
// Largest stored data set in bytes; larger data sets are neither stored nor loaded.
constexpr std::size_t maxDataSetSize = 128u * 1024u * 1024u;

// One frequency point: the frequency in Hz and, for each S-parameter in tag
// index order (S11, S12, S21, S22), real part, imaginary part and uncertainty.
struct SParaPoint
{
    double frequency = 0.0;
    std::array<float, 12> values{};
};

struct SParaDevice
{
    std::string mnemonic;
    float minPower = 0.0f; // W
    float maxPower = 0.1f; // W
    std::uint32_t flags = 0;
    std::vector<SParaPoint> points;
};

struct CalInfo
{
    std::string date;
    std::string laboratory;
    std::string engineer;
};

// A calibration table of the other measurement sections: an ascending axis
// (frequency in Hz, temperature in degrees Celsius or level in W) and
// valuesPerPoint single-precision values for each axis point, row by row.
struct CalTable
{
    std::vector<double> axis;
    std::uint32_t valuesPerPoint = 0;
    std::vector<float> values;
};

// The whole data set as plain values. CTamrix keeps it consistent: every
// operation that could break one of the rules in CTamrix::Validate refuses.
struct TamrixContent
{
    std::string sensorName;
    std::string stockNumber;
    std::string attribute;
    std::string serialNumber;
    std::string serialNumberInternal;
    std::int32_t channelNumber = 0;
    MiscNum miscNum;
    std::array<CalInfo, 6> calInfo; // by CMeasurement::Index()
    std::uint32_t sParaCorrDef = 0;
    std::int32_t sParaDefaultDevice = -1;
    std::vector<SParaDevice> devices;
    // Absolute, reflection, temperature and linearity calibration.
    CalTable abso;
    CalTable refl;
    CalTable temp;
    CalTable lin;
};

// The number a user sees for the device at `index` (from 0): from 1001 in a
// user data set (channel 0), from 1 in a factory data set.
inline long SParaDeviceDisplayNumber(long channelNumber, long index)
{
    return (channelNumber == 0 ? 1001 : 1) + index;
}

class CTamrix
{
public:
    CTamrix();
    virtual ~CTamrix();

    CTamrix(const CTamrix&) = default;
    CTamrix& operator=(const CTamrix&) = default;
    // Moving hands over the data (tens of megabytes) without copying it and
    // leaves an empty data set behind.
    CTamrix(CTamrix&& other) noexcept;
    CTamrix& operator=(CTamrix&& other) noexcept;

    // Texts are UTF-8 when enabled, ISO-8859-1 when not (the start state);
    // inside the data set they are always UTF-8.
    void EnableUtf8Support(bool enable);
    bool IsUtf8SupportEnabled() const;

    std::string GetSensorName() const;
    void SetSensorName(const std::string& text);
    std::string GetStockNumber() const;
    void SetStockNumber(const std::string& text);
    std::string GetAttribute() const;
    void SetAttribute(const std::string& text);
    std::string GetSerialNumber() const;
    void SetSerialNumber(const std::string& text);
    std::string GetSerialNumberInternal() const;
    void SetSerialNumberInternal(const std::string& text);

    // 0: user data set; anything else: a factory data set of that channel.
    long GetChannelNumber() const;
    void SetChannelNumber(long channel);

    const MiscNum& GetMiscNum() const;
    void SetMiscNum(const MiscNum& misc);

    std::string GetCalDate(const CMeasurement* measurement) const;
    std::string GetCalLab(const CMeasurement* measurement) const;
    std::string GetCalEng(const CMeasurement* measurement) const;
    void SetCalDate(const CMeasurement* measurement, const std::string& text);
    void SetCalLab(const CMeasurement* measurement, const std::string& text);
    void SetCalEng(const CMeasurement* measurement, const std::string& text);

    // The calibration tables of Abso, Refl, Temp and Lin (the editor never
    // changes them; Misc and SPara have none).
    const CalTable& GetCalTable(const CMeasurement* measurement) const;
    void SetCalTable(const CMeasurement* measurement, const CalTable& table);

    unsigned long GetSParaCorrDef() const;
    void SetSParaCorrDef(unsigned long mask);

    long GetSParaDeviceNumber() const;
    // Grows with new devices at the end (see NewSParaDevice) or drops devices
    // from the end.
    void SetSParaDeviceNumber(long count);
    long GetSParaDefaultDevice() const;
    void SetSParaDefaultDevice(long device);
    unsigned long GetSParaDeviceFlags(long device) const;
    void SetSParaDeviceFlags(long device, unsigned long flags);
    // Each keeps the default device index on the device it names.
    void InsertSParaDeviceBefore(long device);
    void SwapSParaDevices(long first, long second);
    void DeleteSParaDevice(long device);

    std::string GetSPDMnemonic(long device) const;
    void SetSPDMnemonic(long device, const std::string& mnemonic);
    double GetSParaMinPower(long device) const;
    void SetSParaMinPower(long device, double watts);
    double GetSParaMaxPower(long device) const;
    void SetSParaMaxPower(long device, double watts);
    long GetSParaFreqNumber(long device) const;
    void SetSParaFreqNumber(long device, long count);
    double GetSParaFreq(long device, long point) const;
    void SetSParaFreq(long device, long point, double hertz);
    SParaValue GetSParaValue(long device, long point, const SParaType<1>* which) const;
    void SetSParaValue(long device, long point, const SParaType<1>* which, const SParaValue& value);

    // All devices as XML. Export: code 2 when the stream is or becomes bad.
    // Import replaces the whole device list, or changes nothing on failure
    // (code 1 for a bad stream, 107 for XML that is not such a document, the
    // setters' codes for values out of range).
    void ExportSPara(std::ostream& out) const;
    void ImportSPara(std::istream& in);

    // A readable text rendering of the whole data set.
    std::string Visualize() const;

    const TamrixContent& Content() const;
    // Replaces everything after checking it with Validate.
    void ReplaceContent(TamrixContent content);

    // Throws the code of the first rule the content breaks: texts too long or
    // holding NUL (104), device count or point count out of range (104), a
    // default device index that names no device (105), values that are not
    // finite (104), a calibration table axis out of order (109). The
    // frequencies of a device may be in any order while it is edited (and a
    // device may have no points); storing refuses both.
    static void Validate(const TamrixContent& content);

    // The device that SetSParaDeviceNumber and InsertSParaDeviceBefore add:
    // one point at 0 Hz, S11 = S22 = 0, S21 = S12 = 1, uncertainties 0,
    // limits 0 W and 0.1 W, no mnemonic, no flags.
    static SParaDevice NewSParaDevice();

private:
    TamrixContent m_content;
    bool m_utf8 = false;
};

using FormatPair = std::tuple<char, char>;

class CTamrixUtil
{
public:
    // Fill `set` from a stored data set and return its format pair. On failure
    // the set is unchanged. File: code 1 when the path is not a readable
    // regular file or is larger than maxDataSetSize (context: the path; the
    // codes of broken data carry the path as context, too).
    static FormatPair LoadTMXFromFile2(CTamrix& set, const char* path);
    static FormatPair LoadTMXFromBuffer2(CTamrix& set, const std::string& data);

    // Store `set` in the format (version, revision). The file is written to a
    // temporary file in the same folder and then replaces `path`, so a failure
    // leaves an existing file as it was (code 2, context: the path).
    static void StoreTMXToFile2(const CTamrix& set, const char* path, char version, char revision);
    static void StoreTMXToBuffer2(const CTamrix& set, std::string& out, char version, char revision);
};
