#include "LibraryErrorReport.h"

#include "LibraryError.h"
#include "MessageBoxPresenter.h"
#include "TamrixError.h"
#include "WinDefs.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace
{

struct LibraryErrorCase
{
    const char* scenario;
    TvxKyyCalcDLLError error;
};

class LibraryErrorInHandler : public testing::TestWithParam<LibraryErrorCase>
{
};

TEST_P(LibraryErrorInHandler, ShowsTheUserTextInAStopBox)
{
    std::vector<MessageBoxRequest> boxes;
    const ScopedMessageBoxPresenter presenter([&boxes](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return IDOK;
    });
    QWidget owner;
    const TvxKyyCalcDLLError error = GetParam().error;

    bool after = false;
    const bool ran = RunLibraryAction(&owner, [&after, &error] {
        throw error;
        after = true;
    });

    EXPECT_FALSE(ran);
    EXPECT_FALSE(after);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, FormatLibraryError(error));
    EXPECT_NE(boxes[0].text, QString::fromLatin1(error.what()));
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Ostrel"));
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Stop);
    EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::Ok);
    EXPECT_EQ(boxes[0].parent, &owner);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, LibraryErrorInHandler,
    testing::Values(LibraryErrorCase{"WrongArgument", TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument)},
                    LibraryErrorCase{"FileWithPath", TvxKyyCalcDLLError(TamrixErrorCode::FileRead, "/tmp/x.cal")},
                    LibraryErrorCase{"UnknownCode", TvxKyyCalcDLLError(999999)}),
    [](const testing::TestParamInfo<LibraryErrorCase>& info) { return std::string(info.param.scenario); });

TEST(RunLibraryAction, RunsAnActionThatSucceedsWithoutABox)
{
    int boxes = 0;
    const ScopedMessageBoxPresenter presenter([&boxes](const MessageBoxRequest&) {
        ++boxes;
        return IDOK;
    });
    bool ran = false;
    EXPECT_TRUE(RunLibraryAction(nullptr, [&ran] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(boxes, 0);
}

TEST(RunLibraryAction, LeavesOtherExceptionsToTheHandlerGuard)
{
    const ScopedMessageBoxPresenter presenter([](const MessageBoxRequest&) { return IDOK; });
    EXPECT_THROW(RunLibraryAction(nullptr, [] { throw std::runtime_error("not the library"); }), std::runtime_error);
}

} // namespace
