#include "UserGuide.h"

#include "MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace
{

DocumentViewer& Viewer()
{
    static DocumentViewer viewer;
    return viewer;
}

bool ShowOnDesktop(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace

DocumentViewer SetDocumentViewer(DocumentViewer viewer)
{
    DocumentViewer previous = std::move(Viewer());
    Viewer() = std::move(viewer);
    return previous;
}

QStringList UserGuidePlaces()
{
    return {QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/ostrel/guide.md")),
            QStringLiteral(OSTREL_GUIDE_IN_SOURCE)};
}

void ShowUserGuide(QWidget* owner)
{
    const QStringList places = UserGuidePlaces();
    for (const QString& place : places)
    {
        if (!QFileInfo(place).isFile())
        {
            continue;
        }
        if (!(Viewer() ? Viewer() : ShowOnDesktop)(place))
        {
            MessageBox(owner, QStringLiteral("No program of the desktop could show the user guide:\r\n%1").arg(place),
                       QString(), MB_OK | MB_ICONEXCLAMATION);
        }
        return;
    }
    MessageBox(owner, QStringLiteral("The user guide is not installed. It is looked for in:\r\n%1").arg(places.join("\r\n")),
               QString(), MB_OK | MB_ICONEXCLAMATION);
}
