#include "MessageBoxPresenter.h"

#include "WinDefs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace
{

MessageBoxPresenter& InstalledPresenter()
{
    static MessageBoxPresenter presenter;
    return presenter;
}

QMessageBox::Icon QtIcon(MessageBoxIcon icon)
{
    switch (icon)
    {
    case MessageBoxIcon::Stop:
        return QMessageBox::Critical;
    case MessageBoxIcon::Question:
        return QMessageBox::Question;
    case MessageBoxIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageBoxIcon::Information:
        return QMessageBox::Information;
    case MessageBoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    return std::exchange(InstalledPresenter(), std::move(presenter));
}

int PresentMessageBox(const MessageBoxRequest& request)
{
    // A copy: the presenter may replace itself while it runs.
    const MessageBoxPresenter presenter = InstalledPresenter();
    return presenter ? presenter(request) : ShowQtMessageBox(request);
}

int ShowQtMessageBox(const MessageBoxRequest& request)
{
    QWidget* parent = request.parent ? request.parent : QApplication::activeWindow();
    const QString text = QString(request.text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(QtIcon(request.icon), request.caption, text, QMessageBox::NoButton, parent);
    if (request.buttons == MessageBoxButtons::YesNo)
    {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        box.setDefaultButton(request.defaultButton == IDNO ? no : yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? IDYES : IDNO;
    }
    if (request.buttons == MessageBoxButtons::SaveDiscardCancel)
    {
        QPushButton* save = box.addButton(QStringLiteral("&Save"), QMessageBox::AcceptRole);
        QPushButton* discard = box.addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
        QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(save);
        box.setEscapeButton(cancel);
        box.exec();
        return box.clickedButton() == save ? IDYES : box.clickedButton() == discard ? IDNO : IDCANCEL;
    }
    box.setDefaultButton(box.addButton(QMessageBox::Ok));
    box.exec();
    return IDOK;
}

ScopedMessageBoxPresenter::ScopedMessageBoxPresenter(MessageBoxPresenter presenter)
    : m_previous(SetMessageBoxPresenter(std::move(presenter)))
{
}

ScopedMessageBoxPresenter::~ScopedMessageBoxPresenter()
{
    SetMessageBoxPresenter(std::move(m_previous));
}
