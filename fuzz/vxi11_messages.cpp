// VXI-11 messages as they come in on a record-marked RPC stream (a socket
// pair replaying the fuzzer's bytes): replies as the client reads them and
// calls as the sensor's server reads them (first byte: which side and which
// message; second: the record limit). No record yields more than the limit;
// what decodes encodes to a message of the same size that decodes to the same
// encoding; and the same bytes taken as a
// portmapper datagram are read the same way.

#include "FuzzCheck.h"
#include "RpcChannel.h"
#include "vxi11.h"

#include <rpc/pmap_prot.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
using namespace vxi11;

constexpr std::uint32_t xid = 0x4F535452;

using Reader = void (*)(MessageSource& source, std::size_t most);

template <typename T, auto routine>
void Decode(MessageSource& source, std::size_t most)
{
    std::string rest;
    if (!source.Rest(rest, most))
        return;
    Check(rest.size() <= most, "the rest of a message is no larger than allowed");
    T value{};
    if (DecodeXdr(rest, Xdr(routine), &value)) {
        const std::string encoded = EncodeXdr(Xdr(routine), &value);
        Check(encoded.size() == rest.size(), "a decoded message encodes to its size");
        T again{};
        Check(DecodeXdr(encoded, Xdr(routine), &again), "an encoded message decodes");
        Check(EncodeXdr(Xdr(routine), &again) == encoded, "a message decodes to the same encoding");
        xdr_free(Xdr(routine), reinterpret_cast<char*>(&again));
    }
    xdr_free(Xdr(routine), reinterpret_cast<char*>(&value));
}

// The results and arguments the two ends decode with the generated routines.
// Those with strings or opaque data (the device name of create_link, the data
// of device_write and device_read) each end reads with bounds of its own: the
// generated routines would allocate whatever length a message announces.
const Reader replies[] = {
    Decode<Device_Error, xdr_Device_Error>,
    Decode<Create_LinkResp, xdr_Create_LinkResp>,
    Decode<Device_WriteResp, xdr_Device_WriteResp>,
    Decode<u_int, xdr_u_int>,
};
const Reader calls[] = {
    Decode<Device_ReadParms, xdr_Device_ReadParms>, Decode<Device_GenericParms, xdr_Device_GenericParms>,
    Decode<Device_LockParms, xdr_Device_LockParms>, Decode<Device_Link, xdr_Device_Link>,
    Decode<pmap, xdr_pmap>,
};

void ReadMessage(MessageSource& source, bool reply, unsigned which, std::size_t most)
{
    if (reply) {
        if (ReadReplyHeader(source, xid) == ReplyCheck::Success)
            replies[which % std::size(replies)](source, most);
    } else {
        CallHeader header;
        if (ReadCallHeader(source, header))
            calls[which % std::size(calls)](source, most);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const bool reply = data[0] & 1;
    const unsigned which = data[0] >> 1;
    const std::size_t limit = rpc::MaxHeaderSize + 16 * std::size_t{data[1]};
    const char* const bytes = reinterpret_cast<const char*>(data) + 2;
    const std::size_t count = size - 2;

    DatagramSource datagram(bytes, count);
    ReadMessage(datagram, reply, which, limit);

    int ends[2];
    Check(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0, "a socket pair can be made");
    for (std::size_t done = 0; done < count;) {
        const ssize_t sent = ::write(ends[1], bytes + done, count - done);
        Check(sent > 0, "the input fits into the socket");
        done += static_cast<std::size_t>(sent);
    }
    ::close(ends[1]);
    RpcChannel channel{usbtmc::Link(ends[0])};
    channel.SetLimit(limit);
    const Deadline deadline = usbtmc::DeadlineAfter(5000);
    for (int records = 0; channel.Begin(deadline) == LinkStatus::Ok; ++records) {
        Check(records <= static_cast<int>(count / 4), "every record takes its mark");
        RecordSource source(channel, deadline);
        ReadMessage(source, reply, which, limit);
    }
    return 0;
}
