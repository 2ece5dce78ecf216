#include "OstrelApp.h"

#include "MessageBox.h"
#include "OstrelDlg.h"

COstrelApp::COstrelApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(AfxGetAppName());
    // The main window closes through its own cancel path only.
    setQuitOnLastWindowClosed(false);
}

bool COstrelApp::InitInstance()
{
    COstrelDlg dialog;
    if (dialog.DoModal() == -1)
    {
        AfxMessageBox(QStringLiteral("Dialog Box could not be created."), MB_OK | MB_ICONSTOP);
    }
    return false;
}
