#include "PrivateNetwork.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

QtMessageHandler previousMessageHandler = nullptr;

// The offscreen platform reports every window feature it lacks (size hints,
// raising, keyboard grabs); those notices say nothing about the code under test.
void QuietOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (previousMessageHandler != nullptr)
        previousMessageHandler(type, context, message);
}

} // namespace

// A test program whose tests serve sensors on the LAN defines this to run in a
// network namespace of its own; it must be entered before any thread exists.
bool TestsUsePrivateNetwork() __attribute__((weak));

// A test program whose tests need umockdev's preload library defines this to
// start itself again with it; it must run before anything else.
void RestartUnderUsbPreload(char** argv) __attribute__((weak));

// GUI tests run on the offscreen platform unless told otherwise, and never see
// the settings of the user who runs them.
int main(int argc, char** argv)
{
    if (RestartUnderUsbPreload != nullptr)
        RestartUnderUsbPreload(argv);
    if (TestsUsePrivateNetwork != nullptr && TestsUsePrivateNetwork())
        private_network::Enter();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir home;
    if (!home.isValid())
        return EXIT_FAILURE;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    // The temporary folder is private to the user, as a runtime folder must be.
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());

    previousMessageHandler = qInstallMessageHandler(QuietOffscreenNotices);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
