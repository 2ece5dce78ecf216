// The simulated sensor's command parser. The input is program messages apart
// at "\x1F\x1F\x1F\x1F" (its first byte: the reply faults in force). Every
// response comes out in whole chunks, the last one marked; the error queue
// stays bounded; a data area takes only a data set that loads and is made out
// to this sensor for that area; and afterwards each data area reads out as a
// block holding what the sensor kept.

#include "FuzzCheck.h"
#include "SensorSamples.h"
#include "SimSensor.h"
#include "Tamrix.h"

#include <map>

namespace
{
const SensorIdentity identity{"100001", "TVX-18G", "", "2.14", 0x0118, true, true, ""};
constexpr std::string_view separator = "\x1F\x1F\x1F\x1F";

std::string TakeAll(SimSensor& sensor)
{
    std::string output;
    std::size_t chunks = 0;
    while (sensor.HasOutput()) {
        const std::size_t most = 1 + (chunks++ * 7919) % 5000;
        const OutputChunk chunk = sensor.TakeOutput(most);
        std::size_t size = 0;
        for (const OutputPiece& piece : chunk.pieces) {
            Check(piece.storage && piece.offset + piece.size <= piece.storage->size(), "a piece lies in its storage");
            output.append(*piece.storage, piece.offset, piece.size);
            size += piece.size;
        }
        Check(size == chunk.size && size <= most && size > 0, "a chunk holds what it says, no more than asked");
        Check(chunk.end == !sensor.HasOutput(), "the last chunk of a response is marked, and only it");
    }
    return output;
}

void CheckErrorQueue(SimSensor& sensor)
{
    for (int popped = 0;; ++popped) {
        const SensorError error = sensor.PopError();
        if (error.scpiCode == 0)
            break;
        Check(popped < 10, "the error queue is bounded");
        Check(!error.text.empty() && error.sensorCode != 0, "a queued error has a text and a sensor code");
    }
}

void CheckKept(const std::string& data, DataArea area)
{
    CTamrix set;
    set.EnableUtf8Support(true);
    try {
        CTamrixUtil::LoadTMXFromBuffer2(set, data);
    } catch (const TvxKyyCalcDLLError&) {
        Check(false, "a kept data set loads");
    }
    Check((set.GetChannelNumber() == 0) == (area == DataArea::User), "a kept data set belongs in its area");
    Check(set.GetSensorName() == identity.model && set.GetSerialNumber() == identity.serialNumber,
          "a kept data set is made out to the sensor");
}

std::string Block(const std::string& data)
{
    const std::string length = std::to_string(data.size());
    return "#" + std::to_string(length.size()) + length + data + "\n";
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const std::string factory = SampleDataFor("factory_v3.cal", identity.model, identity.serialNumber);
    static const std::string user = SampleDataFor("user_v3.cal", identity.model, identity.serialNumber);
    std::map<DataArea, std::string> kept{{DataArea::Factory, factory}, {DataArea::User, user}};
    SimSensor sensor(identity, factory, user, [&kept](DataArea area, const std::string& bytes) {
        CheckKept(bytes, area);
        kept[area] = bytes;
    });
    SensorFaults faults;
    faults.garbage = data[0] & 1;
    faults.badDigitCount = data[0] & 2;
    faults.badLength = data[0] & 4;
    faults.noFinalLf = data[0] & 8;
    if (data[0] & 16)
        faults.refuseWrite = -350;
    sensor.SetFaults(faults);

    const std::string_view messages(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (std::size_t start = 0; start <= messages.size();) {
        const std::size_t end = std::min(messages.find(separator, start), messages.size());
        sensor.Execute(messages.substr(start, end - start));
        const std::string output = TakeAll(sensor);
        Check(faults.Any() || output.empty() || output.back() == '\n', "a response ends in a line feed");
        if ((start ^ end) & 1)
            CheckErrorQueue(sensor);
        start = end + separator.size();
    }
    CheckErrorQueue(sensor);

    sensor.SetFaults({});
    sensor.Execute("cal:data?;cal:user:data?\n");
    const std::string areas = TakeAll(sensor);
    Check(areas == Block(kept[DataArea::Factory]).substr(0, Block(kept[DataArea::Factory]).size() - 1) + ";" +
                       Block(kept[DataArea::User]),
          "the data areas read out what the sensor kept");
    return 0;
}
