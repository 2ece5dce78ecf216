// The host side of the sensor socket against a device end the test plays: what
// the client takes from a device, the tags it sends, and the largest packet.

#include "Client.h"

#include "../ui/Rows.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
using namespace usbtmc;
using rows::operator<<;

// A client connected to the test's device end, over a socket named in the abstract namespace.
struct UsbTmcLink : testing::Test
{
    void SetUp() override
    {
        const std::string name = std::string(1, '\0') + "ostrel-usbtmc-test-" + std::to_string(::getpid());
        const Link listener(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un address{AF_UNIX, {}};
        name.copy(address.sun_path, name.size());
        ASSERT_EQ(::bind(listener.Descriptor(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener.Descriptor(), 1), 0);
        ASSERT_EQ(client.Open(name, DeadlineAfter(5000)), LinkStatus::Ok);
        device = Link(::accept(listener.Descriptor(), nullptr, nullptr));
    }
    Client client;
    Link device;
};

// A message-in transfer of `size` bytes, `body` padded to four bytes, to the first read of four bytes (tag 1).
struct AnswerRow { const char* scenario; std::uint32_t size; std::string body; LinkStatus status; std::string read;
                   std::uint32_t length = 0; bool inverted = true; };
struct Answers : UsbTmcLink, testing::WithParamInterface<AnswerRow> {};
TEST_P(Answers, TheClientTakesOnlyWhatItAskedFor)
{
    const AnswerRow& row = GetParam();
    auto header = EncodeBulkHeader({DEV_DEP_MSG_IN, 1, row.size, AttributeEom, 0});
    header[2] = row.inverted ? header[2] : 1;
    const std::string padded = row.body + std::string(PaddingFor(row.body.size()), '\0');
    const auto link = EncodeLinkHeader(EndpointBulkIn, row.length ? row.length : BulkHeaderSize + padded.size());
    ASSERT_EQ(device.SendBytes({Piece(link.data(), link.size()), Piece(header.data(), header.size()),
                                Piece(padded.data(), padded.size())}, DeadlineAfter(5000)), LinkStatus::Ok);
    char buffer[16] = {};
    std::size_t count = 0;
    bool end = false;
    EXPECT_EQ(client.Read(buffer, 4, count, end, DeadlineAfter(5000)), row.status);
    EXPECT_EQ(std::string(buffer, count), row.read);
    EXPECT_EQ(client.IsOpen(), row.status == LinkStatus::Ok);
}
INSTANTIATE_TEST_SUITE_P(UsbTmc, Answers, testing::Values(
    AnswerRow{"Whole", 3, "abc", LinkStatus::Ok, "abc"},
    AnswerRow{"MoreThanAskedFor", 8, "abcdefgh", LinkStatus::Protocol, ""},
    AnswerRow{"TagNotInvertedInItsNextByte", 3, "abc", LinkStatus::Protocol, "", 0, false},
    AnswerRow{"BodyLongerThanItsSize", 2, "abcdefgh", LinkStatus::Protocol, ""},
    AnswerRow{"PacketBeyondTheLargest", 3, "abc", LinkStatus::Protocol, "", MaxPacketLength + 1}), rows::Name());

// Every message out carries a tag from 1 to 255, also past the 255th; no packet is larger than the largest.
TEST_F(UsbTmcLink, TagsRunFromOneTo255AndRoundAgain)
{
    for (int message = 0; message < 300; ++message) {
        char bytes[LinkHeaderSize + BulkHeaderSize + 4]; // the message of one byte, padded
        BulkHeader header;
        ASSERT_EQ(client.Write({"x"}, true, DeadlineAfter(5000)), LinkStatus::Ok);
        ASSERT_EQ(device.ReceiveBytes(bytes, sizeof bytes, DeadlineAfter(5000)), LinkStatus::Ok);
        ASSERT_TRUE(DecodeBulkHeader(bytes + LinkHeaderSize, header));
        EXPECT_EQ(header.tag, message % 255 + 1) << message;
    }
    const std::string tooLarge(MaxPacketLength + 1, 'x');
    EXPECT_EQ(device.SendPacket(EndpointBulkIn, {Piece(tooLarge.data(), tooLarge.size())}, DeadlineAfter(200)),
              LinkStatus::Protocol);
}

} // namespace
