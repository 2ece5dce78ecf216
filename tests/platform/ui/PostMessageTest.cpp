#include "PostMessage.h"
#include "Resource.h"
#include "Support.h"
#include "WindowRegistry.h"

#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace
{

constexpr UINT WM_TRANSFER_DONE = WM_USER + 1010;

TEST(PostMessage, FromAnotherThreadArrivesLaterInOrderOnTheUserInterfaceThread)
{
    RecordingDialog dialog(IDD_CAL_INFO);
    std::vector<std::pair<WPARAM, LPARAM>> delivered;
    dialog.MapMessage(WM_TRANSFER_DONE, [&delivered](WPARAM wParam, LPARAM lParam) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        delivered.emplace_back(wParam, lParam);
    });
    std::thread worker([handle = dialog.GetSafeHwnd()] {
        for (WPARAM status = 0; status < 200; ++status)
            PostMessage(handle, WM_TRANSFER_DONE, status, -static_cast<LPARAM>(status)),
                PostMessage(handle, WM_USER + 1, 0, 0); // no handler: dropped
    });
    worker.join();
    EXPECT_TRUE(delivered.empty()) << "posting never delivers at once";
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(delivered.size(), 200u);
    for (WPARAM status = 0; status < 200; ++status)
        EXPECT_EQ(delivered[status], std::make_pair(status, -static_cast<LPARAM>(status)));
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
    EXPECT_NE(RecordingDialog(IDD_CAL_INFO).GetSafeHwnd(), handle) << "a handle is never handed out twice";
    EXPECT_FALSE(PostMessage(NULL_HWND, WM_TRANSFER_DONE, 0, 0));
}

TEST(PostMessage, WhileWindowsComeAndGoOnlyLiveWindowsGetMessages)
{
    auto delivered = std::make_shared<int>(0);
    std::vector<HWND> handles;
    std::vector<std::unique_ptr<RecordingDialog>> windows;
    for (int i = 0; i < 8; ++i) {
        windows.push_back(std::make_unique<RecordingDialog>(IDD_CAL_INFO));
        windows.back()->MapMessage(WM_TRANSFER_DONE, [delivered](WPARAM, LPARAM) { ++*delivered; });
        handles.push_back(windows.back()->GetSafeHwnd());
    }
    const auto postToAll = [handles] {
        for (const HWND handle : handles)
            PostMessage(handle, WM_TRANSFER_DONE, 0, 0);
    };
    std::thread worker([postToAll] {
        for (int round = 0; round < 500; ++round)
            postToAll();
    });
    for (std::size_t i = 0; i < windows.size(); i += 2)
        windows[i].reset(), QCoreApplication::processEvents();
    worker.join();
    QCoreApplication::sendPostedEvents();
    const int before = *delivered;
    postToAll();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(*delivered - before, 4) << "only the four windows left get the last round";
}

} // namespace
