#include "Tamrix.h"

#include "TamrixDetail.h"
#include "TamrixText.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace
{

constexpr CMeasurement miscMeasurement{"Misc", 0};
constexpr CMeasurement absoMeasurement{"Abso", 1};
constexpr CMeasurement reflMeasurement{"Refl", 2};
constexpr CMeasurement tempMeasurement{"Temp", 3};
constexpr CMeasurement linMeasurement{"Lin", 4};
constexpr CMeasurement sParaMeasurement{"SPara", 5};

constexpr std::uint32_t allSParaCorrBits =
    sParaCorr_activeAfterReset | sParaCorr_stateLocked | sParaCorr_deviceLocked | sParaCorr_useFactoryFlags;
constexpr std::uint32_t allDeviceFlags = sParaDevice_writeProtected;

[[noreturn]] void Refuse(std::int32_t code)
{
    throw TvxKyyCalcDLLError(code);
}

void CheckText(const std::string& text, long maxCharacters)
{
    if (text.find('\0') != std::string::npos)
        Refuse(TamrixErrorCode::WrongArgument);
    // A character takes at least one byte, so short texts need no counting.
    if (text.size() > static_cast<std::size_t>(maxCharacters)
        && tamrix_text::CountCharacters(text) > static_cast<std::size_t>(maxCharacters))
        Refuse(TamrixErrorCode::WrongArgument);
}

bool IsFiniteFloat(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x7F800000u) != 0x7F800000u;
}

// Finite and not negative; NaN fails both comparisons.
bool IsFiniteNonNegative(double value)
{
    return value >= 0.0 && value <= std::numeric_limits<double>::max();
}

float ToStoredValue(double value)
{
    if (!std::isfinite(value))
        Refuse(TamrixErrorCode::WrongArgument);
    return tamrix_detail::ToSinglePrecision(value);
}

float ToStoredNonNegative(double value)
{
    if (!IsFiniteNonNegative(value))
        Refuse(TamrixErrorCode::WrongArgument);
    return tamrix_detail::ToSinglePrecision(value);
}

bool IsStorable(const SParaPoint& point)
{
    bool good = IsFiniteNonNegative(point.frequency);
    for (const float value : point.values)
        good &= IsFiniteFloat(value);
    return good;
}

void CheckPoints(const std::vector<SParaPoint>& points)
{
    // One pass without early exit so that the compiler can vectorise it; the
    // frequency point count is up to 99999 per device.
    bool allGood = true;
    for (const SParaPoint& point : points)
        allGood &= IsStorable(point);
    if (!allGood)
        Refuse(TamrixErrorCode::WrongArgument);
}

void CheckDevice(const SParaDevice& device)
{
    CheckText(device.mnemonic, maxMnemonicLength);
    if (!IsFiniteFloat(device.minPower) || !IsFiniteFloat(device.maxPower) || !(device.minPower >= 0.0f)
        || !(device.maxPower >= 0.0f))
        Refuse(TamrixErrorCode::WrongArgument);
    if ((device.flags & ~allDeviceFlags) != 0)
        Refuse(TamrixErrorCode::WrongArgument);
    if (device.points.size() > static_cast<std::size_t>(maxSParaFreqNumber))
        Refuse(TamrixErrorCode::WrongArgument);
    CheckPoints(device.points);
}

void CheckCalTable(const CalTable& table)
{
    for (const double value : table.axis) {
        if (!std::isfinite(value))
            Refuse(TamrixErrorCode::WrongArgument);
    }
    if (table.valuesPerPoint == 0) {
        if (!table.values.empty())
            Refuse(TamrixErrorCode::WrongArgument);
    } else if (table.values.size() % table.valuesPerPoint != 0
               || table.values.size() / table.valuesPerPoint != table.axis.size()) {
        Refuse(TamrixErrorCode::WrongArgument);
    }
    for (const float value : table.values) {
        if (!IsFiniteFloat(value))
            Refuse(TamrixErrorCode::WrongArgument);
    }
    for (std::size_t i = 1; i < table.axis.size(); ++i) {
        if (table.axis[i] < table.axis[i - 1])
            Refuse(TamrixErrorCode::FrequenciesNotAscending);
    }
}

int MeasurementIndex(const CMeasurement* measurement)
{
    for (const CMeasurement* known : CMeasurement::All()) {
        if (measurement == known)
            return known->Index();
    }
    Refuse(TamrixErrorCode::WrongArgument);
}

int SParaIndex(const SParaType<1>* which)
{
    if (which == &SParaType<1>::S11 || which == &SParaType<1>::S12 || which == &SParaType<1>::S21
        || which == &SParaType<1>::S22)
        return which->index;
    Refuse(TamrixErrorCode::WrongArgument);
}

std::string TextOut(bool utf8, const std::string& stored)
{
    return utf8 ? stored : tamrix_text::Utf8ToLatin1(stored);
}

std::string TextIn(bool utf8, const std::string& given, long maxCharacters)
{
    std::string stored = utf8 ? given : tamrix_text::Latin1ToUtf8(given);
    CheckText(stored, maxCharacters);
    return stored;
}

void CheckDeviceIndex(const TamrixContent& content, long device)
{
    if (device < 0 || static_cast<std::size_t>(device) >= content.devices.size())
        Refuse(TamrixErrorCode::InvalidTableAccess);
}

template <typename Content>
auto& DeviceAt(Content& content, long device)
{
    CheckDeviceIndex(content, device);
    return content.devices[static_cast<std::size_t>(device)];
}

template <typename Content>
auto& PointAt(Content& content, long device, long point)
{
    auto& source = DeviceAt(content, device);
    if (point < 0 || static_cast<std::size_t>(point) >= source.points.size())
        Refuse(TamrixErrorCode::InvalidTableAccess);
    return source.points[static_cast<std::size_t>(point)];
}

template <typename Content>
auto& CalTableOf(Content& content, const CMeasurement* measurement)
{
    switch (MeasurementIndex(measurement)) {
    case 1:
        return content.abso;
    case 2:
        return content.refl;
    case 3:
        return content.temp;
    case 4:
        return content.lin;
    default:
        Refuse(TamrixErrorCode::WrongArgument);
    }
}

SParaPoint NewSParaPoint()
{
    SParaPoint point;
    point.values[3 * SParaType<1>::S12.index] = 1.0f;
    point.values[3 * SParaType<1>::S21.index] = 1.0f;
    return point;
}

} // namespace

void tamrix_detail::CheckSParaDevice(const SParaDevice& device)
{
    CheckDevice(device);
}

void tamrix_detail::CheckSParaPoint(const SParaPoint& point)
{
    if (!IsStorable(point))
        Refuse(TamrixErrorCode::WrongArgument);
}

const CMeasurement* const CMeasurement::Misc = &miscMeasurement;
const CMeasurement* const CMeasurement::Abso = &absoMeasurement;
const CMeasurement* const CMeasurement::Refl = &reflMeasurement;
const CMeasurement* const CMeasurement::Temp = &tempMeasurement;
const CMeasurement* const CMeasurement::Lin = &linMeasurement;
const CMeasurement* const CMeasurement::SPara = &sParaMeasurement;

const std::array<const CMeasurement*, 6>& CMeasurement::All()
{
    static constexpr std::array<const CMeasurement*, 6> all{&miscMeasurement, &absoMeasurement, &reflMeasurement,
                                                            &tempMeasurement, &linMeasurement, &sParaMeasurement};
    return all;
}

CTamrix::CTamrix() = default;

CTamrix::~CTamrix() = default;

CTamrix::CTamrix(CTamrix&& other) noexcept
    : m_content(std::exchange(other.m_content, TamrixContent())), m_utf8(other.m_utf8)
{
}

CTamrix& CTamrix::operator=(CTamrix&& other) noexcept
{
    if (this != &other) {
        m_content = std::exchange(other.m_content, TamrixContent());
        m_utf8 = other.m_utf8;
    }
    return *this;
}

void CTamrix::EnableUtf8Support(bool enable)
{
    m_utf8 = enable;
}

bool CTamrix::IsUtf8SupportEnabled() const
{
    return m_utf8;
}

std::string CTamrix::GetSensorName() const
{
    return TextOut(m_utf8, m_content.sensorName);
}

void CTamrix::SetSensorName(const std::string& text)
{
    m_content.sensorName = TextIn(m_utf8, text, maxInfoStringLength);
}

std::string CTamrix::GetStockNumber() const
{
    return TextOut(m_utf8, m_content.stockNumber);
}

void CTamrix::SetStockNumber(const std::string& text)
{
    m_content.stockNumber = TextIn(m_utf8, text, maxInfoStringLength);
}

std::string CTamrix::GetAttribute() const
{
    return TextOut(m_utf8, m_content.attribute);
}

void CTamrix::SetAttribute(const std::string& text)
{
    m_content.attribute = TextIn(m_utf8, text, maxInfoStringLength);
}

std::string CTamrix::GetSerialNumber() const
{
    return TextOut(m_utf8, m_content.serialNumber);
}

void CTamrix::SetSerialNumber(const std::string& text)
{
    m_content.serialNumber = TextIn(m_utf8, text, maxInfoStringLength);
}

std::string CTamrix::GetSerialNumberInternal() const
{
    return TextOut(m_utf8, m_content.serialNumberInternal);
}

void CTamrix::SetSerialNumberInternal(const std::string& text)
{
    m_content.serialNumberInternal = TextIn(m_utf8, text, maxInfoStringLength);
}

long CTamrix::GetChannelNumber() const
{
    return m_content.channelNumber;
}

void CTamrix::SetChannelNumber(long channel)
{
    if (channel < 0 || channel > std::numeric_limits<std::int32_t>::max())
        Refuse(TamrixErrorCode::WrongArgument);
    m_content.channelNumber = static_cast<std::int32_t>(channel);
}

const MiscNum& CTamrix::GetMiscNum() const
{
    return m_content.miscNum;
}

void CTamrix::SetMiscNum(const MiscNum& misc)
{
    m_content.miscNum = misc;
}

std::string CTamrix::GetCalDate(const CMeasurement* measurement) const
{
    return TextOut(m_utf8, m_content.calInfo[MeasurementIndex(measurement)].date);
}

std::string CTamrix::GetCalLab(const CMeasurement* measurement) const
{
    return TextOut(m_utf8, m_content.calInfo[MeasurementIndex(measurement)].laboratory);
}

std::string CTamrix::GetCalEng(const CMeasurement* measurement) const
{
    return TextOut(m_utf8, m_content.calInfo[MeasurementIndex(measurement)].engineer);
}

void CTamrix::SetCalDate(const CMeasurement* measurement, const std::string& text)
{
    const int index = MeasurementIndex(measurement);
    m_content.calInfo[index].date = TextIn(m_utf8, text, maxInfoStringLength);
}

void CTamrix::SetCalLab(const CMeasurement* measurement, const std::string& text)
{
    const int index = MeasurementIndex(measurement);
    m_content.calInfo[index].laboratory = TextIn(m_utf8, text, maxInfoStringLength);
}

void CTamrix::SetCalEng(const CMeasurement* measurement, const std::string& text)
{
    const int index = MeasurementIndex(measurement);
    m_content.calInfo[index].engineer = TextIn(m_utf8, text, maxInfoStringLength);
}

const CalTable& CTamrix::GetCalTable(const CMeasurement* measurement) const
{
    return CalTableOf(m_content, measurement);
}

void CTamrix::SetCalTable(const CMeasurement* measurement, const CalTable& table)
{
    CalTable& target = CalTableOf(m_content, measurement);
    CheckCalTable(table);
    CalTable copy = table;
    target = std::move(copy);
}

unsigned long CTamrix::GetSParaCorrDef() const
{
    return m_content.sParaCorrDef;
}

void CTamrix::SetSParaCorrDef(unsigned long mask)
{
    if ((mask & ~static_cast<unsigned long>(allSParaCorrBits)) != 0)
        Refuse(TamrixErrorCode::WrongArgument);
    m_content.sParaCorrDef = static_cast<std::uint32_t>(mask);
}

long CTamrix::GetSParaDeviceNumber() const
{
    return static_cast<long>(m_content.devices.size());
}

void CTamrix::SetSParaDeviceNumber(long count)
{
    if (count < 0 || count > maxSParaDeviceNumber)
        Refuse(TamrixErrorCode::WrongArgument);
    auto& devices = m_content.devices;
    if (static_cast<std::size_t>(count) > devices.size()) {
        devices.resize(static_cast<std::size_t>(count), NewSParaDevice());
        return;
    }
    devices.erase(devices.begin() + count, devices.end());
    if (m_content.sParaDefaultDevice >= count)
        m_content.sParaDefaultDevice = -1;
}

long CTamrix::GetSParaDefaultDevice() const
{
    return m_content.sParaDefaultDevice;
}

void CTamrix::SetSParaDefaultDevice(long device)
{
    if (device != -1)
        CheckDeviceIndex(m_content, device);
    m_content.sParaDefaultDevice = static_cast<std::int32_t>(device);
}

unsigned long CTamrix::GetSParaDeviceFlags(long device) const
{
    return DeviceAt(m_content, device).flags;
}

void CTamrix::SetSParaDeviceFlags(long device, unsigned long flags)
{
    SParaDevice& target = DeviceAt(m_content, device);
    if ((flags & ~static_cast<unsigned long>(allDeviceFlags)) != 0)
        Refuse(TamrixErrorCode::WrongArgument);
    target.flags = static_cast<std::uint32_t>(flags);
}

void CTamrix::InsertSParaDeviceBefore(long device)
{
    auto& devices = m_content.devices;
    if (device < 0 || static_cast<std::size_t>(device) > devices.size())
        Refuse(TamrixErrorCode::InvalidTableAccess);
    if (devices.size() >= static_cast<std::size_t>(maxSParaDeviceNumber))
        Refuse(TamrixErrorCode::WrongArgument);
    // SParaDevice moves without throwing, so a failed insert changes nothing.
    devices.insert(devices.begin() + device, NewSParaDevice());
    if (m_content.sParaDefaultDevice >= device)
        ++m_content.sParaDefaultDevice;
}

void CTamrix::SwapSParaDevices(long first, long second)
{
    CheckDeviceIndex(m_content, first);
    CheckDeviceIndex(m_content, second);
    if (first == second)
        return;
    std::swap(m_content.devices[static_cast<std::size_t>(first)], m_content.devices[static_cast<std::size_t>(second)]);
    auto& defaultDevice = m_content.sParaDefaultDevice;
    if (defaultDevice == first)
        defaultDevice = static_cast<std::int32_t>(second);
    else if (defaultDevice == second)
        defaultDevice = static_cast<std::int32_t>(first);
}

void CTamrix::DeleteSParaDevice(long device)
{
    CheckDeviceIndex(m_content, device);
    m_content.devices.erase(m_content.devices.begin() + device);
    auto& defaultDevice = m_content.sParaDefaultDevice;
    if (defaultDevice == device)
        defaultDevice = -1;
    else if (defaultDevice > device)
        --defaultDevice;
}

std::string CTamrix::GetSPDMnemonic(long device) const
{
    return TextOut(m_utf8, DeviceAt(m_content, device).mnemonic);
}

void CTamrix::SetSPDMnemonic(long device, const std::string& mnemonic)
{
    SParaDevice& target = DeviceAt(m_content, device);
    target.mnemonic = TextIn(m_utf8, mnemonic, maxMnemonicLength);
}

double CTamrix::GetSParaMinPower(long device) const
{
    return DeviceAt(m_content, device).minPower;
}

void CTamrix::SetSParaMinPower(long device, double watts)
{
    SParaDevice& target = DeviceAt(m_content, device);
    target.minPower = ToStoredNonNegative(watts);
}

double CTamrix::GetSParaMaxPower(long device) const
{
    return DeviceAt(m_content, device).maxPower;
}

void CTamrix::SetSParaMaxPower(long device, double watts)
{
    SParaDevice& target = DeviceAt(m_content, device);
    target.maxPower = ToStoredNonNegative(watts);
}

long CTamrix::GetSParaFreqNumber(long device) const
{
    return static_cast<long>(DeviceAt(m_content, device).points.size());
}

void CTamrix::SetSParaFreqNumber(long device, long count)
{
    SParaDevice& target = DeviceAt(m_content, device);
    if (count < 0 || count > maxSParaFreqNumber)
        Refuse(TamrixErrorCode::WrongArgument);
    target.points.resize(static_cast<std::size_t>(count), NewSParaPoint());
}

double CTamrix::GetSParaFreq(long device, long point) const
{
    return PointAt(m_content, device, point).frequency;
}

void CTamrix::SetSParaFreq(long device, long point, double hertz)
{
    SParaPoint& target = PointAt(m_content, device, point);
    if (!IsFiniteNonNegative(hertz))
        Refuse(TamrixErrorCode::WrongArgument);
    target.frequency = hertz;
}

SParaValue CTamrix::GetSParaValue(long device, long point, const SParaType<1>* which) const
{
    const SParaPoint& source = PointAt(m_content, device, point);
    const std::size_t first = 3 * static_cast<std::size_t>(SParaIndex(which));
    return {source.values[first], source.values[first + 1], source.values[first + 2]};
}

void CTamrix::SetSParaValue(long device, long point, const SParaType<1>* which, const SParaValue& value)
{
    SParaPoint& target = PointAt(m_content, device, point);
    const std::size_t first = 3 * static_cast<std::size_t>(SParaIndex(which));
    const float real = ToStoredValue(std::get<0>(value));
    const float imaginary = ToStoredValue(std::get<1>(value));
    // An uncertainty is a magnitude. Data sets stored with a negative one
    // still load and store as they are; only new values are refused.
    const float uncertainty = ToStoredNonNegative(std::get<2>(value));
    target.values[first] = real;
    target.values[first + 1] = imaginary;
    target.values[first + 2] = uncertainty;
}

const TamrixContent& CTamrix::Content() const
{
    return m_content;
}

void CTamrix::ReplaceContent(TamrixContent content)
{
    Validate(content);
    m_content = std::move(content);
}

void CTamrix::Validate(const TamrixContent& content)
{
    for (const std::string* text : {&content.sensorName, &content.stockNumber, &content.attribute,
                                    &content.serialNumber, &content.serialNumberInternal})
        CheckText(*text, maxInfoStringLength);
    if (content.channelNumber < 0)
        Refuse(TamrixErrorCode::WrongArgument);
    for (const CalInfo& info : content.calInfo) {
        CheckText(info.date, maxInfoStringLength);
        CheckText(info.laboratory, maxInfoStringLength);
        CheckText(info.engineer, maxInfoStringLength);
    }
    if ((content.sParaCorrDef & ~allSParaCorrBits) != 0)
        Refuse(TamrixErrorCode::WrongArgument);
    if (content.devices.size() > static_cast<std::size_t>(maxSParaDeviceNumber))
        Refuse(TamrixErrorCode::WrongArgument);
    if (content.sParaDefaultDevice < -1
        || (content.sParaDefaultDevice >= 0
            && static_cast<std::size_t>(content.sParaDefaultDevice) >= content.devices.size()))
        Refuse(TamrixErrorCode::InvalidTableAccess);
    for (const SParaDevice& device : content.devices)
        CheckDevice(device);
    for (const CalTable* table : {&content.abso, &content.refl, &content.temp, &content.lin})
        CheckCalTable(*table);
}

SParaDevice CTamrix::NewSParaDevice()
{
    SParaDevice device;
    device.minPower = 0.0f;
    device.maxPower = 0.1f;
    device.points.push_back(NewSParaPoint());
    return device;
}
