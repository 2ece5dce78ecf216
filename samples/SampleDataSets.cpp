#include "SampleDataSets.h"

#include <utility>

// Every value comes from literals through +, -, * and /, which IEEE arithmetic
// rounds the same way everywhere; library functions such as pow or sin need
// not, and the stored files must come out byte for byte the same.

namespace
{

constexpr double megahertz = 1e6;
constexpr double gigahertz = 1e9;
constexpr double topFrequency = 18 * gigahertz;

// 10 MHz, 50 MHz, then every `step` up to 18 GHz.
std::vector<double> FrequencyGrid(double step)
{
    std::vector<double> grid{10 * megahertz, 50 * megahertz};
    for (double frequency = step; frequency <= topFrequency; frequency += step)
        grid.push_back(frequency);
    return grid;
}

struct Complex
{
    double re;
    double im;
};

Complex operator*(Complex a, Complex b)
{
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

Complex operator*(double factor, Complex a)
{
    return {factor * a.re, factor * a.im};
}

// A unit phasor whose phase falls from 0 towards -180 degrees as `t` grows
// (the phase is -2 atan t), built without trigonometric functions.
Complex Turning(double t)
{
    const double denominator = 1.0 + t * t;
    return {(1.0 - t * t) / denominator, -2.0 * t / denominator};
}

void SetTriple(SParaPoint& point, const SParaType<1>& which, Complex value, double uncertainty)
{
    const std::size_t first = 3 * static_cast<std::size_t>(which.index);
    point.values[first] = static_cast<float>(value.re);
    point.values[first + 1] = static_cast<float>(value.im);
    point.values[first + 2] = static_cast<float>(uncertainty);
}

// A matched two-port: `transmission` is |S21| at low frequencies (10^(-dB/20)),
// `reflection` scales |S11| and |S22| (about 0.01 to 0.045 for 1).
SParaDevice TwoPort(std::string mnemonic, double transmission, double reflection, double delayScale,
                    const std::vector<double>& grid)
{
    SParaDevice device;
    device.mnemonic = std::move(mnemonic);
    for (const double frequency : grid) {
        const double x = frequency / topFrequency; // 0 ... 1
        SParaPoint point;
        point.frequency = frequency;
        const Complex phase = Turning(x * delayScale);
        const Complex s21 = (transmission * (1.0 - 0.01 * x)) * (phase * phase);
        const double reflectionMagnitude = reflection * (0.01 + 0.035 * x * x);
        const Complex s11 = reflectionMagnitude * Turning(0.3 + 2.0 * x);
        const Complex s22 = reflectionMagnitude * (1.0 - 0.2 * x) * Turning(0.45 + 1.5 * x);
        const double transmissionUncertainty = 0.001 + 0.009 * x;
        const double reflectionUncertainty = 0.002 + 0.006 * x;
        SetTriple(point, SParaType<1>::S11, s11, reflectionUncertainty);
        SetTriple(point, SParaType<1>::S21, s21, transmissionUncertainty);
        SetTriple(point, SParaType<1>::S12, s21, transmissionUncertainty);
        SetTriple(point, SParaType<1>::S22, s22, reflectionUncertainty);
        device.points.push_back(point);
    }
    return device;
}

// An attenuator in front of a sensor that takes 100 pW to 200 mW; `powerRatio`
// is 10^(dB/10).
SParaDevice Attenuator(std::string mnemonic, double transmission, double powerRatio, const std::vector<double>& grid)
{
    SParaDevice device = TwoPort(std::move(mnemonic), transmission, 1.0, 1.23, grid);
    device.minPower = static_cast<float>(1e-10 * powerRatio);
    device.maxPower = static_cast<float>(0.2 * powerRatio);
    return device;
}

SParaDevice Adapter(std::string mnemonic, const std::vector<double>& grid)
{
    SParaDevice device = TwoPort(std::move(mnemonic), 0.995, 0.6, 0.4, grid);
    device.minPower = 1e-10f;
    device.maxPower = 0.2f;
    return device;
}

// A calibration table over `axis` whose values come from `value`.
CalTable Table(std::uint32_t valuesPerPoint, const std::vector<double>& axis,
               double (*value)(double axis, std::uint32_t column))
{
    CalTable table;
    table.valuesPerPoint = valuesPerPoint;
    table.axis = axis;
    for (const double point : axis) {
        for (std::uint32_t column = 0; column < valuesPerPoint; ++column)
            table.values.push_back(static_cast<float>(value(point, column)));
    }
    return table;
}

void FillCalTables(TamrixContent& content)
{
    const std::vector<double> frequencies = FrequencyGrid(1 * gigahertz);
    content.abso = Table(2, frequencies, [](double frequency, std::uint32_t column) {
        const double x = frequency / topFrequency;
        return column == 0 ? 1.0 - 0.03 * x + 0.01 * x * x : 0.008 + 0.012 * x;
    });
    content.refl = Table(3, frequencies, [](double frequency, std::uint32_t column) {
        const double x = frequency / topFrequency;
        const Complex rho = (0.005 + 0.03 * x) * Turning(0.2 + 3.0 * x);
        return column == 0 ? rho.re : column == 1 ? rho.im : 0.004 + 0.006 * x;
    });
    std::vector<double> temperatures;
    for (int celsius = 0; celsius <= 50; celsius += 5)
        temperatures.push_back(celsius);
    content.temp = Table(2, temperatures, [](double celsius, std::uint32_t column) {
        const double offset = celsius - 23.0;
        const double distance = offset < 0 ? -offset : offset;
        return column == 0 ? 1.0 + 0.0004 * offset - 0.00001 * offset * offset : 0.002 + 0.0001 * distance;
    });
    const std::vector<double> levels{1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 0.2};
    content.lin = Table(2, levels, [](double watts, std::uint32_t column) {
        return column == 0 ? 1.0 + 0.02 * watts : 0.003 + 0.01 * watts;
    });
}

void SetCalInfo(TamrixContent& content, const CMeasurement* measurement, const char* date, const char* laboratory,
                const char* engineer)
{
    CalInfo& info = content.calInfo[static_cast<std::size_t>(measurement->Index())];
    info.date = date;
    info.laboratory = laboratory;
    info.engineer = engineer;
}

// The figures and calibration records every factory sample shares.
TamrixContent FactoryBase(std::int32_t channel)
{
    TamrixContent content;
    content.sensorName = "TLS-18G";
    content.stockNumber = "4127.3005K02";
    content.attribute = "N(m), 50 ohm";
    content.serialNumber = "104233";
    content.serialNumberInternal = "QX-0417-233";
    content.channelNumber = channel;
    content.miscNum.referenceFrequency = 50e6f;
    content.miscNum.referencePower = 1e-3f;
    content.miscNum.startFrequency = 10e6f;
    content.miscNum.stopFrequency = 18e9f;
    content.miscNum.minPower = 1e-10f;
    content.miscNum.maxPower = 0.2f;
    content.miscNum.minTemperature = 0.0f;
    content.miscNum.maxTemperature = 50.0f;
    SetCalInfo(content, CMeasurement::Misc, "2024-03-11", "Korvenlab Test Hall 2", "Ansgar Lindqvist");
    SetCalInfo(content, CMeasurement::Abso, "2024-03-12", "Korvenlab Primary", "J\xC3\xB6rg Wei\xC3\x9F");
    SetCalInfo(content, CMeasurement::Refl, "2024-03-12", "Korvenlab Primary", "Petra Okonjo");
    SetCalInfo(content, CMeasurement::Temp, "2024-03-13", "Korvenlab Climate Room", "Ansgar Lindqvist");
    SetCalInfo(content, CMeasurement::Lin, "2024-03-14", "Korvenlab Primary", "J\xC3\xB6rg Wei\xC3\x9F");
    SetCalInfo(content, CMeasurement::SPara, "2024-03-15", "Korvenlab VNA Bench 4", "Petra Okonjo");
    FillCalTables(content);
    return content;
}

std::vector<SParaDevice> FactoryDevices()
{
    const std::vector<double> grid = FrequencyGrid(500 * megahertz);
    std::vector<SParaDevice> devices;
    devices.push_back(Attenuator("ATT 3dB 18G", 0.70794578, 1.9952623, grid));
    devices.push_back(Attenuator("ATT 10dB 18G", 0.31622777, 10.0, grid));
    SParaDevice twenty = Attenuator("ATT 20dB 18G", 0.1, 100.0, grid);
    twenty.flags = sParaDevice_writeProtected;
    devices.push_back(std::move(twenty));
    devices.push_back(Adapter("ADP N-SMA", grid));
    return devices;
}

SampleDataSet Sample(std::string fileName, TamrixContent content, char version)
{
    SampleDataSet sample{std::move(fileName), CTamrix(), version, '0'};
    sample.dataSet.EnableUtf8Support(true);
    sample.dataSet.ReplaceContent(std::move(content));
    return sample;
}

TamrixContent FactoryV3()
{
    TamrixContent content = FactoryBase(1);
    content.devices = FactoryDevices();
    content.sParaCorrDef = sParaCorr_activeAfterReset | sParaCorr_useFactoryFlags;
    content.sParaDefaultDevice = 1;
    return content;
}

TamrixContent UserV3()
{
    TamrixContent content;
    content.sensorName = "TLS-18G";
    content.stockNumber = "4127.3005K02";
    content.serialNumber = "104233";
    content.serialNumberInternal = "QX-0417-233";
    content.channelNumber = 0;
    content.miscNum.startFrequency = 10e6f;
    content.miscNum.stopFrequency = 18e9f;
    SetCalInfo(content, CMeasurement::SPara, "2024-06-02", "Field Service Brenna", "Ilse Marquardt");
    const std::vector<double> grid = FrequencyGrid(2 * gigahertz);
    content.devices.push_back(TwoPort("Cable 1 m SMA", 0.93325430, 0.8, 2.5, grid));
    content.devices.back().minPower = 1e-10f;
    content.devices.back().maxPower = 0.2f;
    content.devices.push_back(Attenuator("User 6 dB pad", 0.50118723, 3.9810717, grid));
    content.sParaCorrDef = sParaCorr_activeAfterReset;
    content.sParaDefaultDevice = 0;
    return content;
}

TamrixContent SingleDeviceV2()
{
    TamrixContent content = FactoryBase(2);
    content.sensorName = "TLS-6G";
    content.stockNumber = "4127.2002K01";
    content.serialNumber = "100871";
    content.serialNumberInternal = "QX-0388-871";
    content.devices.push_back(Attenuator("ATT 10dB 6G", 0.31622777, 10.0, FrequencyGrid(1 * gigahertz)));
    content.sParaCorrDef = sParaCorr_activeAfterReset | sParaCorr_stateLocked;
    content.sParaDefaultDevice = 0;
    return content;
}

TamrixContent FactoryV4()
{
    TamrixContent content = FactoryBase(1);
    content.sensorName = "TLS-18G-HP";
    content.stockNumber = "4127.3105K04";
    content.serialNumber = "200016";
    content.serialNumberInternal.clear();
    std::vector<SParaDevice> devices = FactoryDevices();
    devices.pop_back();
    devices.front().flags = sParaDevice_writeProtected;
    content.devices = std::move(devices);
    content.sParaCorrDef = sParaCorr_deviceLocked | sParaCorr_stateLocked;
    content.sParaDefaultDevice = 2;
    return content;
}

TamrixContent MissingIdentityV3()
{
    TamrixContent content = FactoryBase(3);
    content.sensorName.clear();
    content.stockNumber.clear();
    content.serialNumber.clear();
    content.devices.push_back(Adapter("ADP N-3.5mm", FrequencyGrid(1 * gigahertz)));
    content.sParaDefaultDevice = -1;
    return content;
}

} // namespace

std::vector<SampleDataSet> BuildSampleDataSets()
{
    std::vector<SampleDataSet> samples;
    samples.push_back(Sample("factory_v3.cal", FactoryV3(), '3'));
    samples.push_back(Sample("user_v3.cal", UserV3(), '3'));
    samples.push_back(Sample("single_device_v2.cal", SingleDeviceV2(), '2'));
    samples.push_back(Sample("factory_v4.cal", FactoryV4(), '4'));
    samples.push_back(Sample("missing_identity_v3.cal", MissingIdentityV3(), '3'));
    return samples;
}
