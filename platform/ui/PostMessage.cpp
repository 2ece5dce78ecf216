#include "PostMessage.h"

#include "Dialog.h"
#include "WindowRegistry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <mutex>

namespace
{

const QEvent::Type PostedMessageType = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessageEvent : public QEvent
{
public:
    PostedMessageEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
        : QEvent(PostedMessageType)
        , m_window(window)
        , m_message(message)
        , m_wParam(wParam)
        , m_lParam(lParam)
    {
    }

    void Deliver() const
    {
        // Windows are destroyed on this thread only, so the lookup stays valid
        // while the message is handled.
        if (CDialog* window = FindWindowByHandle(m_window))
        {
            window->SendMessage(m_message, m_wParam, m_lParam);
        }
    }

private:
    HWND m_window;
    UINT m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

std::mutex dispatcherMutex;
QObject* dispatcher = nullptr;

// Lives on the user-interface thread as a child of the application object.
class MessageDispatcher : public QObject
{
public:
    using QObject::QObject;

    ~MessageDispatcher() override
    {
        const std::lock_guard<std::mutex> lock(dispatcherMutex);
        dispatcher = nullptr;
    }

    bool event(QEvent* event) override
    {
        if (event->type() == PostedMessageType)
        {
            static_cast<const PostedMessageEvent*>(event)->Deliver();
            return true;
        }
        return QObject::event(event);
    }
};

} // namespace

void EnsureMessageDelivery()
{
    const std::lock_guard<std::mutex> lock(dispatcherMutex);
    if (dispatcher == nullptr && QCoreApplication::instance() != nullptr)
    {
        dispatcher = new MessageDispatcher(QCoreApplication::instance());
    }
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(window))
    {
        return false;
    }
    // Held while posting, so the dispatcher cannot be destroyed in between.
    const std::lock_guard<std::mutex> lock(dispatcherMutex);
    if (dispatcher == nullptr)
    {
        return false;
    }
    QCoreApplication::postEvent(dispatcher, new PostedMessageEvent(window, message, wParam, lParam));
    return true;
}
