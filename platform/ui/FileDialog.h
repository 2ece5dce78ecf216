#pragma once

// The open and save file dialogs with the framework's arguments. The dialog opens
// in the folder where the last one of the process ended (or in the folder of the
// initial file name), and a save dialog appends the default extension to a name
// that has none.

#include "WinDefs.h"

#include <QString>

class QWidget;

class CFileDialog
{
public:
    // filter: "Description|*.ext;*.ext2|...||"; flags: OFN_OVERWRITEPROMPT,
    // OFN_HIDEREADONLY (there is no read-only box anyway).
    CFileDialog(bool openFileDialog, const QString& defaultExtension = QString(),
                const QString& fileName = QString(), UINT flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                const QString& filter = QString(), QWidget* parent = nullptr);

    // IDOK when the dialog was closed with OK (the path may then be empty),
    // IDCANCEL otherwise.
    int DoModal();

    // The caption of the dialog; the platform's own when empty.
    void SetTitle(const QString& title);

    // The chosen file: full path, name with extension, extension without the dot.
    // Empty until DoModal returned IDOK.
    QString GetPathName() const;
    QString GetFileName() const;
    QString GetFileExt() const;

    // The folder the next dialog for a kind of file (its default extension)
    // opens in: where the last dialog for that kind ended, else where the last
    // dialog of any kind did. Setting it forgets the folders of every kind.
    static QString GetLastFolder(const QString& kind = QString());
    static void SetLastFolder(const QString& folder);

private:
    bool m_open;
    QString m_defaultExtension;
    QString m_fileName;
    UINT m_flags;
    QString m_filter;
    QString m_title;
    QWidget* m_parent;
    QString m_pathName;
};
