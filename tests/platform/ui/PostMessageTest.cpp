#include "PostMessage.h"
#include "Support.h"
#include "Resource.h"
#include "WindowRegistry.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace
{

constexpr UINT WM_TRANSFER_DONE = WM_USER + 1010;

struct Delivery
{
    WPARAM wParam;
    LPARAM lParam;
    bool onUserInterfaceThread;
};

TEST(PostMessage, FromAnotherThreadArrivesInOrderOnTheUserInterfaceThread)
{
    RecordingDialog dialog(IDD_CAL_INFO);
    std::vector<Delivery> deliveries;
    dialog.MapMessage(WM_TRANSFER_DONE, [&deliveries](WPARAM wParam, LPARAM lParam) {
        deliveries.push_back({wParam, lParam, QThread::currentThread() == qApp->thread()});
    });
    const HWND handle = dialog.GetSafeHwnd();
    std::thread worker([handle] {
        for (WPARAM status = 0; status < 200; ++status)
        {
            PostMessage(handle, WM_TRANSFER_DONE, status, -static_cast<LPARAM>(status));
        }
    });
    worker.join();
    EXPECT_TRUE(deliveries.empty()) << "posting never delivers at once";

    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(deliveries.size(), 200u);
    for (WPARAM status = 0; status < 200; ++status)
    {
        EXPECT_EQ(deliveries[status].wParam, status);
        EXPECT_EQ(deliveries[status].lParam, -static_cast<LPARAM>(status));
        EXPECT_TRUE(deliveries[status].onUserInterfaceThread);
    }
}

TEST(PostMessage, ToAWindowThatIsGoneDoesNothing)
{
    auto count = std::make_shared<int>(0);
    auto dialog = std::make_unique<RecordingDialog>(IDD_CAL_INFO);
    dialog->MapMessage(WM_TRANSFER_DONE, [count](WPARAM, LPARAM) { ++*count; });
    const HWND handle = dialog->GetSafeHwnd();

    EXPECT_TRUE(PostMessage(handle, WM_TRANSFER_DONE, 1, 0));
    dialog.reset();
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(PostMessage(handle, WM_TRANSFER_DONE, 2, 0));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(*count, 0);

    RecordingDialog successor(IDD_CAL_INFO);
    EXPECT_NE(successor.GetSafeHwnd(), handle) << "a handle is never handed out twice";
    EXPECT_FALSE(PostMessage(NULL_HWND, WM_TRANSFER_DONE, 0, 0));
}

TEST(PostMessage, WhileWindowsComeAndGoOnlyLiveWindowsGetMessages)
{
    auto delivered = std::make_shared<int>(0);
    std::vector<HWND> handles;
    std::vector<std::unique_ptr<RecordingDialog>> windows;
    for (int i = 0; i < 8; ++i)
    {
        windows.push_back(std::make_unique<RecordingDialog>(IDD_CAL_INFO));
        windows.back()->MapMessage(WM_TRANSFER_DONE, [delivered](WPARAM, LPARAM) { ++*delivered; });
        handles.push_back(windows.back()->GetSafeHwnd());
    }
    std::thread worker([handles] {
        for (int round = 0; round < 500; ++round)
        {
            for (const HWND handle : handles)
            {
                PostMessage(handle, WM_TRANSFER_DONE, 0, 0);
            }
        }
    });
    for (std::size_t i = 0; i < windows.size(); i += 2)
    {
        windows[i].reset();
        QCoreApplication::processEvents();
    }
    worker.join();
    QCoreApplication::sendPostedEvents();

    EXPECT_LE(*delivered, 500 * 8);
    const int beforeMore = *delivered;
    for (const HWND handle : handles)
    {
        PostMessage(handle, WM_TRANSFER_DONE, 0, 0);
    }
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(*delivered - beforeMore, 4) << "only the four windows left get the last round";
}

TEST(PostMessage, MessageWithoutHandlerIsDropped)
{
    RecordingDialog dialog(IDD_CAL_INFO);
    EXPECT_TRUE(PostMessage(dialog.GetSafeHwnd(), WM_USER + 1, 0, 0));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(dialog.calls.empty());
}

} // namespace
