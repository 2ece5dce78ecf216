#pragma once

// The application object: start-up only. It runs the main window modally; the
// program ends when that window has closed.

#include <QApplication>

class COstrelApp : public QApplication
{
    Q_OBJECT

public:
    COstrelApp(int& argc, char** argv);

    // Runs the main window. Returns false: there is nothing to run after it.
    bool InitInstance();
};
