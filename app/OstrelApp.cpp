#include "OstrelApp.h"

#include "MessageBox.h"
#include "OstrelDlg.h"

#include <QDir>
#include <QIcon>

#include <cstdio>

std::optional<QString> StartFileArgument(const QStringList& arguments, QString& complaint)
{
    const QStringList given = arguments.mid(1);
    complaint.clear();
    if (given.size() == 1 && !given.front().isEmpty() && !given.front().startsWith(QLatin1Char('-')))
    {
        return QDir::current().absoluteFilePath(given.front());
    }
    if (!given.isEmpty())
    {
        complaint = QStringLiteral("Ostrel takes one data set file as its only argument; ignored: ") + given.join(QLatin1Char(' '));
    }
    return std::nullopt;
}

COstrelApp::COstrelApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(AfxGetAppName());
    // The desktop entry and icon an installation puts in place.
    setDesktopFileName(QStringLiteral("ostrel"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("ostrel")));
    // The main window closes through its own cancel path only.
    setQuitOnLastWindowClosed(false);
}

bool COstrelApp::InitInstance()
{
    COstrelDlg dialog;
    QString complaint;
    if (const std::optional<QString> file = StartFileArgument(arguments(), complaint))
    {
        dialog.SetStartFile(*file);
    }
    if (!complaint.isEmpty())
    {
        std::fprintf(stderr, "%s\n", complaint.toLocal8Bit().constData());
    }
    if (dialog.DoModal() == -1)
    {
        AfxMessageBox(QStringLiteral("Dialog Box could not be created."), MB_OK | MB_ICONSTOP);
    }
    return false;
}
