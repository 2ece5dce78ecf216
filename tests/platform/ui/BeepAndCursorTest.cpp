#include "MessageBeep.h"
#include "WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <vector>

namespace
{

TEST(MessageBeep, GoesThroughTheInstalledHook)
{
    std::vector<UINT> outer;
    std::vector<UINT> inner;
    const ScopedBeepHook outerHook([&outer](UINT type) { outer.push_back(type); });
    MessageBeep(MB_DEFAULT_BEEP);
    {
        const ScopedBeepHook innerHook([&inner](UINT type) { inner.push_back(type); });
        MessageBeep(MB_DEFAULT_BEEP);
        MessageBeep(MB_ICONSTOP);
    }
    MessageBeep(MB_ICONEXCLAMATION);
    EXPECT_EQ(outer, (std::vector<UINT>{MB_DEFAULT_BEEP, MB_ICONEXCLAMATION}));
    EXPECT_EQ(inner, (std::vector<UINT>{MB_DEFAULT_BEEP, MB_ICONSTOP}));
}

Qt::CursorShape CurrentShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

TEST(WaitCursor, NestsAndRestoresThePreviousCursor)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QGuiApplication::setOverrideCursor(QCursor(Qt::IBeamCursor));
    {
        const CWaitCursor outer;
        EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
        {
            const CWaitCursor inner;
            EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
        }
        EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(CurrentShape(), Qt::IBeamCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
