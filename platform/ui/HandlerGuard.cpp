#include "HandlerGuard.h"

#include "MessageBox.h"

#include <QString>

#include <exception>

namespace
{

void Report(QWidget* owner, const QString& text) noexcept
{
    try
    {
        MessageBox(owner, text, QStringLiteral("Error"), MB_OK | MB_ICONSTOP);
    }
    catch (...)
    {
        // Nothing is left to tell the user with.
    }
}

} // namespace

bool RunHandlerGuarded(QWidget* owner, const std::function<void()>& handler) noexcept
{
    try
    {
        handler();
        return true;
    }
    catch (const std::exception& error)
    {
        Report(owner, QString::fromLocal8Bit(error.what()));
    }
    catch (...)
    {
        Report(owner, QStringLiteral("An unexpected error occurred."));
    }
    return false;
}
