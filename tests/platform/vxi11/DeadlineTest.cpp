// Calls against an instrument that misbehaves at one stage of a session: each ends by its deadline, with a
// timeout, and leaves the link usable or closed.

#include "HostileInstrument.h"
#include "PrivateNetwork.h"
#include "Vxi11Client.h"

#include <gtest/gtest.h>

namespace
{

using namespace std::chrono_literals;
using Stage = HostileInstrument::Stage;
using Misbehaviour = HostileInstrument::Misbehaviour;
using vxi11::Status;

TEST(Vxi11Deadlines, EveryCallEndsByItsDeadline)
{
    if (!private_network::Problem().empty())
        GTEST_SKIP() << "no network namespace of our own: " << private_network::Problem();
    const struct
    {
        Stage stage;
        Misbehaviour misbehaviour;
        Status after; // of a device_clear behind it; a flood goes on, so Timeout may also be Closed
    } rows[] = {
        {Stage::Portmapper, Misbehaviour::WrongXids, Status::Closed},
        {Stage::Portmapper, Misbehaviour::EmptyFragments, Status::Closed},
        {Stage::Portmapper, Misbehaviour::Dribble, Status::Closed},
        {Stage::Portmapper, Misbehaviour::Silent, Status::Closed},
        {Stage::CreateLink, Misbehaviour::WrongXids, Status::Closed},
        {Stage::CreateLink, Misbehaviour::EmptyFragments, Status::Closed},
        {Stage::CreateLink, Misbehaviour::Dribble, Status::Closed},
        {Stage::CreateLink, Misbehaviour::Silent, Status::Closed},
        {Stage::Write, Misbehaviour::WrongXids, Status::Timeout},
        {Stage::Write, Misbehaviour::EmptyFragments, Status::Closed},
        {Stage::Write, Misbehaviour::Dribble, Status::Closed},
        {Stage::Write, Misbehaviour::Piecemeal, Status::Ok},
        {Stage::Write, Misbehaviour::TinyReceiveSize, Status::Ok},
        {Stage::Write, Misbehaviour::Silent, Status::Ok},
        {Stage::Read, Misbehaviour::WrongXids, Status::Timeout},
        {Stage::Read, Misbehaviour::EmptyFragments, Status::Closed},
        {Stage::Read, Misbehaviour::Dribble, Status::Closed},
        {Stage::Read, Misbehaviour::Piecemeal, Status::Ok},
        {Stage::Read, Misbehaviour::Silent, Status::Ok},
        {Stage::Lock, Misbehaviour::WrongXids, Status::Timeout},
        {Stage::Lock, Misbehaviour::EmptyFragments, Status::Closed},
        {Stage::Lock, Misbehaviour::Dribble, Status::Closed},
        {Stage::Lock, Misbehaviour::Silent, Status::Ok},
    };
    const auto timeout = 300ms;
    const std::string data(100000, 'd');
    std::string buffer(1 << 20, '\0');
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "stage " << int(row.stage) << ", misbehaviour " << int(row.misbehaviour));
        HostileInstrument instrument("127.0.0.9", row.stage, row.misbehaviour);
        vxi11::Client client;
        const bool opening = row.stage == Stage::Portmapper || row.stage == Stage::CreateLink;
        ASSERT_TRUE(opening || client.Open("127.0.0.9", "inst0", vxi11::Clock::now() + 1s).ok());
        const auto start = vxi11::Clock::now();
        const auto deadline = start + timeout;
        std::size_t count = 0;
        std::int32_t reason = 0;
        const vxi11::Result result =
            opening                    ? client.Open("127.0.0.9", "inst0", deadline)
            : row.stage == Stage::Write ? client.Write(data, true, deadline, true, count)
            : row.stage == Stage::Read  ? client.Read(buffer.data(), buffer.size(), deadline, true, count, reason)
                                        : client.Lock(deadline, true);
        const auto took = vxi11::Clock::now() - start;
        EXPECT_EQ(result.status, Status::Timeout);
        EXPECT_GE(took, timeout);
        EXPECT_LE(took, timeout * 11 / 10 + 100ms);
        const Status after = client.Clear(vxi11::Clock::now() + timeout, false).status;
        EXPECT_TRUE(after == row.after || (row.after == Status::Timeout && after == Status::Closed)) << int(after);
    }
}

} // namespace
