#pragma once

// The application object: start-up only. It runs the main window modally; the
// program ends when that window has closed.

#include <QApplication>
#include <QStringList>

#include <optional>

// The data set file among the program's arguments (those Qt did not take):
// one argument that is not an option. Anything else gives nothing and
// `complaint` the line to print on standard error.
std::optional<QString> StartFileArgument(const QStringList& arguments, QString& complaint);

class COstrelApp : public QApplication
{
    Q_OBJECT

public:
    COstrelApp(int& argc, char** argv);

    // Runs the main window. Returns false: there is nothing to run after it.
    bool InitInstance();
};
