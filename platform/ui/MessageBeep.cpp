#include "MessageBeep.h"

#include <QApplication>

#include <utility>

namespace
{

BeepHook& InstalledHook()
{
    static BeepHook hook;
    return hook;
}

} // namespace

void MessageBeep(UINT type)
{
    const BeepHook hook = InstalledHook();
    if (hook)
    {
        hook(type);
    }
    else if (QCoreApplication::instance() != nullptr)
    {
        QApplication::beep();
    }
}

BeepHook SetBeepHook(BeepHook hook)
{
    return std::exchange(InstalledHook(), std::move(hook));
}

ScopedBeepHook::ScopedBeepHook(BeepHook hook)
    : m_previous(SetBeepHook(std::move(hook)))
{
}

ScopedBeepHook::~ScopedBeepHook()
{
    SetBeepHook(std::move(m_previous));
}
