// The simulated sensor's USB socket: the fuzzer's bytes go to a served sensor
// as one connection's packets, and everything it sends back is read until it
// closes. Every reply is a whole, well-formed packet (a control reply with its
// status byte and no more data than any request asked for; a bulk-in transfer
// with a valid header, its size and zero padding), there are no more replies
// of a kind than requests of that kind, and the data areas in the store still
// hold data sets that load. The same bytes, appended piece by piece to a
// message buffer, read back unchanged whatever it reserves.

#include "FuzzCheck.h"
#include "MessageBuffer.h"
#include "SensorSamples.h"
#include "ServedSensor.h"
#include "UsbTmc.h"
#include "UsbTransport.h"
#include "Link.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using namespace usbtmc;

namespace
{
const std::string serial = "100001";

struct Served
{
    std::filesystem::path folder;
    SensorStore store;
    std::shared_ptr<ServedSensor> sensor;
    std::unique_ptr<UsbTransport> transport;
    std::filesystem::path socket;

    explicit Served(std::filesystem::path where)
        : folder(std::move(where)), store(folder / "store"), socket(folder / "sensor.sock")
    {
        SensorIdentity identity{serial, "TVX-18G", "", "2.14", 0x0118, true, true, ""};
        store.Add(identity, SampleDataFor("factory_v3.cal", identity.model, serial));
        sensor = std::make_shared<ServedSensor>(store, serial);
        transport = std::make_unique<UsbTransport>(sensor, socket);
    }
};

Served& TheSensor()
{
    static Served* served = [] {
        char folder[] = "/tmp/ostrel-fuzz-usbtmc-XXXXXX";
        Check(::mkdtemp(folder) != nullptr, "a temporary folder can be made");
        static std::filesystem::path made = folder;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        return new Served(made);
    }();
    return *served;
}

// What the input asks for, packet by packet, as far as it is framed at all.
struct Requests
{
    std::size_t control = 0;
    std::size_t controlMost = 0;  // the largest wLength
    std::size_t bulkIn = 0;
    std::size_t bulkInMost = 0;   // the largest transfer size asked for
};

Requests RequestsIn(const std::string& bytes)
{
    Requests requests;
    for (std::size_t at = 0; at + LinkHeaderSize <= bytes.size();) {
        std::uint8_t endpoint = 0;
        std::uint32_t length = 0;
        if (!DecodeLinkHeader(bytes.data() + at, endpoint, length))
            break;
        at += LinkHeaderSize;
        if (length > bytes.size() - at)
            break;
        if (endpoint == EndpointControl && length >= SetupPacketSize) {
            ++requests.control;
            requests.controlMost = std::max<std::size_t>(requests.controlMost, DecodeSetup(bytes.data() + at).length);
        }
        BulkHeader header;
        if (endpoint == EndpointBulkOut && length >= BulkHeaderSize && DecodeBulkHeader(bytes.data() + at, header) &&
            header.msgId == REQUEST_DEV_DEP_MSG_IN) {
            ++requests.bulkIn;
            requests.bulkInMost = std::max<std::size_t>(requests.bulkInMost, header.transferSize);
        }
        at += length;
    }
    return requests;
}

void CheckReplies(const std::string& replies, const Requests& requests)
{
    std::size_t control = 0;
    std::size_t bulkIn = 0;
    std::size_t at = 0;
    while (at < replies.size()) {
        Check(replies.size() - at >= LinkHeaderSize, "a reply is a whole packet");
        std::uint8_t endpoint = 0;
        std::uint32_t length = 0;
        Check(DecodeLinkHeader(replies.data() + at, endpoint, length), "a reply has a valid link header");
        at += LinkHeaderSize;
        Check(length <= replies.size() - at, "a reply is a whole packet");
        const char* const body = replies.data() + at;
        if (endpoint == EndpointControlIn) {
            ++control;
            Check(length >= 1 && (body[0] == ControlAck || body[0] == ControlStall),
                  "a control reply starts with its status");
            Check(length - 1 <= requests.controlMost, "a control reply holds no more than asked for");
        } else {
            Check(endpoint == EndpointBulkIn, "a reply comes on an IN endpoint");
            ++bulkIn;
            BulkHeader header;
            Check(length >= BulkHeaderSize && DecodeBulkHeader(body, header) && header.msgId == DEV_DEP_MSG_IN,
                  "a bulk-in transfer has a valid header");
            Check(length == BulkHeaderSize + header.transferSize + PaddingFor(header.transferSize),
                  "a bulk-in transfer is its header, its data and the padding");
            Check(header.transferSize <= requests.bulkInMost && header.transferSize <= MaxTransferData,
                  "a bulk-in transfer holds no more than asked for");
            for (std::size_t i = BulkHeaderSize + header.transferSize; i < length; ++i)
                Check(body[i] == 0, "bulk-in padding is zero");
        }
        at += length;
    }
    Check(control <= requests.control, "no control reply without a request");
    Check(bulkIn <= requests.bulkIn, "no bulk-in transfer without a request");
}

void CheckAreas(const SensorStore& store)
{
    for (const DataArea area : {DataArea::Factory, DataArea::User}) {
        const std::string data = store.LoadArea(serial, area);
        if (data.empty() && area == DataArea::User)
            continue;
        CTamrix set;
        try {
            CTamrixUtil::LoadTMXFromBuffer2(set, data);
        } catch (const TvxKyyCalcDLLError&) {
            Check(false, "a data area holds a data set that loads");
        }
    }
}

void CheckMessageBuffer(const std::string& bytes)
{
    MessageBuffer buffer;
    std::size_t at = 0;
    for (std::size_t piece = 1; at < bytes.size(); piece = piece * 3 + 1) {
        const std::size_t count = std::min(piece, bytes.size() - at);
        std::memcpy(buffer.Append(count), bytes.data() + at, count);
        at += count;
        if (piece == 1)
            buffer.ReserveForBlock();
        buffer.CarriesBlock();
        Check(buffer.View() == std::string_view(bytes).substr(0, at), "a message buffer holds what was appended");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    // Everything is written before anything is read: it must fit the socket.
    if (size > 65536)
        return 0;
    const std::string bytes = Bytes(data, size);
    CheckMessageBuffer(bytes);

    Served& served = TheSensor();
    Link link;
    Check(Link::Connect(served.socket.string(), DeadlineAfter(5000), link) == LinkStatus::Ok,
          "the served sensor takes a connection");
    Check(link.SendBytes({Piece(bytes.data(), bytes.size())}, DeadlineAfter(5000)) == LinkStatus::Ok,
          "the sensor takes the bytes");
    ::shutdown(link.Descriptor(), SHUT_WR);
    std::string replies;
    char chunk[65536];
    for (;;) {
        if (link.WaitReadable(DeadlineAfter(10000)) != LinkStatus::Ok)
            break;
        const ssize_t got = ::read(link.Descriptor(), chunk, sizeof chunk);
        if (got <= 0)
            break;
        replies.append(chunk, static_cast<std::size_t>(got));
    }
    CheckReplies(replies, RequestsIn(bytes));
    CheckAreas(served.store);
    return 0;
}
