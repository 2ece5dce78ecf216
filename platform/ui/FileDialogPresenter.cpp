#include "FileDialogPresenter.h"

#include <QFileDialog>

#include <utility>

namespace
{

FileDialogPresenter& InstalledPresenter()
{
    static FileDialogPresenter presenter;
    return presenter;
}

} // namespace

FileDialogPresenter SetFileDialogPresenter(FileDialogPresenter presenter)
{
    return std::exchange(InstalledPresenter(), std::move(presenter));
}

std::optional<QString> PresentFileDialog(const FileDialogRequest& request)
{
    const FileDialogPresenter presenter = InstalledPresenter();
    return presenter ? presenter(request) : ShowQtFileDialog(request);
}

std::optional<QString> ShowQtFileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(request.parent, request.title, request.directory);
    dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The list shows descriptions only, as the framework's dialogs do.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    dialog.setNameFilters(request.nameFilters);
    // Qt then appends the extension before it asks about overwriting.
    dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.fileName.isEmpty())
    {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

ScopedFileDialogPresenter::ScopedFileDialogPresenter(FileDialogPresenter presenter)
    : m_previous(SetFileDialogPresenter(std::move(presenter)))
{
}

ScopedFileDialogPresenter::~ScopedFileDialogPresenter()
{
    SetFileDialogPresenter(std::move(m_previous));
}
