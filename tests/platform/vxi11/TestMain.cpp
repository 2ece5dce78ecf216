// The tests run in a network namespace of the program's own, entered before
// any thread starts. Run as "--lan-peer STORE ADDRESS/BITS", the program is
// instead the far end of a test's virtual network (DiscoveryTest.cpp).

#include "PrivateNetwork.h"

#include <gtest/gtest.h>

#include <cstring>

int ServeAsLanPeer(const char* storeFolder, const char* addressWithBits);

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--lan-peer") == 0)
        return ServeAsLanPeer(argv[2], argv[3]);
    private_network::Enter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
