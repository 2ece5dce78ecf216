#include "FileDialog.h"

#include "FileDialogFilter.h"
#include "FileDialogPresenter.h"

#include <QFileInfo>

#include <map>
#include <mutex>

namespace
{

std::mutex lastFolderMutex;
QString lastFolder;                    // of any kind of file
std::map<QString, QString> kindFolders; // by kind (the default extension)

QString KindOf(const QString& defaultExtension)
{
    return (defaultExtension.startsWith(QLatin1Char('.')) ? defaultExtension.mid(1) : defaultExtension).toLower();
}

QString FileNamePart(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

CFileDialog::CFileDialog(bool openFileDialog, const QString& defaultExtension, const QString& fileName, UINT flags,
                         const QString& filter, QWidget* parent)
    : m_open(openFileDialog)
    , m_defaultExtension(defaultExtension)
    , m_fileName(fileName)
    , m_flags(flags)
    , m_filter(filter)
    , m_parent(parent)
{
}

int CFileDialog::DoModal()
{
    m_pathName.clear();

    FileDialogRequest request{m_parent,
                              m_open,
                              GetLastFolder(KindOf(m_defaultExtension)),
                              FileNamePart(m_fileName),
                              ConvertFileDialogFilter(m_filter),
                              m_defaultExtension.startsWith(QLatin1Char('.')) ? m_defaultExtension.mid(1)
                                                                              : m_defaultExtension,
                              !m_open && (m_flags & OFN_OVERWRITEPROMPT) != 0,
                              m_title};
    if (m_fileName.contains(QLatin1Char('/')))
    {
        request.directory = QFileInfo(m_fileName).absolutePath();
    }

    const std::optional<QString> chosen = PresentFileDialog(request);
    if (!chosen)
    {
        return IDCANCEL;
    }
    m_pathName = *chosen;
    if (m_pathName.isEmpty())
    {
        // OK with no name: the callers decide what that means.
        return IDOK;
    }
    if (!m_open && !request.defaultExtension.isEmpty() && !FileNamePart(m_pathName).contains(QLatin1Char('.')))
    {
        m_pathName += QLatin1Char('.') + request.defaultExtension;
    }
    const QString folder = QFileInfo(m_pathName).absolutePath();
    const std::lock_guard<std::mutex> lock(lastFolderMutex);
    lastFolder = kindFolders[KindOf(m_defaultExtension)] = folder;
    return IDOK;
}

void CFileDialog::SetTitle(const QString& title)
{
    m_title = title;
}

QString CFileDialog::GetPathName() const
{
    return m_pathName;
}

QString CFileDialog::GetFileName() const
{
    return FileNamePart(m_pathName);
}

QString CFileDialog::GetFileExt() const
{
    const QString name = GetFileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString CFileDialog::GetLastFolder(const QString& kind)
{
    const std::lock_guard<std::mutex> lock(lastFolderMutex);
    const auto known = kindFolders.find(KindOf(kind));
    return kind.isEmpty() || known == kindFolders.end() ? lastFolder : known->second;
}

void CFileDialog::SetLastFolder(const QString& folder)
{
    const std::lock_guard<std::mutex> lock(lastFolderMutex);
    lastFolder = folder;
    kindFolders.clear();
}
