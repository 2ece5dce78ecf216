#pragma once

// A call that may wait long on a sensor (a lock, a slow reply, a search of the
// LAN) runs on a thread of its own while the window thread goes on handling
// events, so that the window keeps answering and can show what it waits for.
// The caller disables what must not be used meanwhile; the call itself must
// not touch a window.

#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

template <typename Work>
auto WhileBusy(Work work) -> decltype(work())
{
    using Result = decltype(work());
    std::optional<Result> result;
    std::exception_ptr failure;
    QEventLoop loop;
    const auto run = [&] {
        try {
            result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
    };
    try {
        std::thread worker([&] {
            run();
            // Queued: it quits the loop once the loop runs, however early it comes.
            QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();
    } catch (const std::system_error&) {
        run(); // no thread to be had: the window waits instead
    }
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*result);
}
