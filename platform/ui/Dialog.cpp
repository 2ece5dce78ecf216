#include "Dialog.h"

#include "DialogControls.h"
#include "DialogTemplate.h"
#include "HandlerGuard.h"
#include "ListCtrl.h"
#include "MenuBuilder.h"
#include "MenuTemplate.h"
#include "PostMessage.h"
#include "WindowRegistry.h"
#include "WindowText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>

#include <algorithm>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace
{

// A static text wraps; it is cut when it breaks into more lines than the
// template gives it room for.
bool IsTextCut(const QLabel& label, const QRect& rect)
{
    const int needed = label.heightForWidth(rect.width());
    return needed > rect.height() && needed > label.heightForWidth(QWIDGETSIZE_MAX);
}

int OneLineWidth(QLabel& label)
{
    const bool wrap = label.wordWrap();
    label.setWordWrap(false);
    const int width = label.sizeHint().width();
    label.setWordWrap(wrap);
    return width;
}

// A dropped file is opened, never taken away: the drop is taken as a copy, or
// as a link where the source offers no copy, and never as a move, which some
// file managers answer by deleting the source.
bool AcceptAsCopy(QDropEvent* event)
{
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event->possibleActions() & action) {
            event->setDropAction(action);
            event->accept();
            return true;
        }
    }
    return false;
}

} // namespace

CDialog::CDialog(int templateId, QWidget* parent)
    : QDialog(parent)
    , m_templateId(templateId)
    , m_handle(RegisterWindow(this))
{
    EnsureMessageDelivery();
}

CDialog::~CDialog()
{
    // The derived dialog is gone by now: none of its handlers may run while the
    // window goes away (hiding it moves the focus, which reports a focus loss).
    m_messageMap.clear();
    m_commandMap.clear();
    m_killFocusMap.clear();
    m_notifyMap.clear();
    DestroyWindow();
    UnregisterWindow(m_handle);
}

bool CDialog::Create()
{
    if (m_initialised)
    {
        return true;
    }
    if (!m_built)
    {
        const DialogTemplate* dialog = FindDialogTemplate(m_templateId);
        if (dialog == nullptr)
        {
            return false;
        }
        BuildFromTemplate(*dialog);
        m_built = true;
    }
    m_ended = false;
    m_endResult = IDCANCEL;
    bool focusFirstControl = true;
    m_windowMade = true;
    if (!RunHandlerGuarded(this, [this, &focusFirstControl] { focusFirstControl = OnInitDialog(); }))
    {
        DestroyWindow();
        return false;
    }
    if (focusFirstControl)
    {
        for (QWidget* control : m_client->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        {
            if (control->isEnabled() && (control->focusPolicy() & Qt::TabFocus) != 0)
            {
                control->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
    m_initialised = true;
    return true;
}

int CDialog::DoModal()
{
    if (!Create())
    {
        return -1;
    }
    // The next DoModal initialises the dialog again.
    m_initialised = false;
    // Unless EndDialog was called from OnInitDialog.
    if (!m_ended)
    {
        exec();
    }
    DestroyWindow();
    return m_endResult;
}

void CDialog::EndDialog(int result)
{
    m_ended = true;
    m_endResult = result;
    done(result);
}

void CDialog::DestroyWindow()
{
    if (!m_windowMade)
    {
        return;
    }
    m_windowMade = false;
    hide();
    RunHandlerGuarded(this, [this] { OnDestroy(); });
}

int CDialog::GetTemplateId() const
{
    return m_templateId;
}

HWND CDialog::GetSafeHwnd() const
{
    return m_handle;
}

QWidget* CDialog::GetDlgItem(int id) const
{
    if (id == 0 || id == -1)
    {
        // Controls nobody addresses all share these.
        return nullptr;
    }
    const auto found = m_controls.find(id);
    if (found != m_controls.end() && found->second)
    {
        return found->second.data();
    }
    // Controls the window added itself with a number.
    if (m_client != nullptr)
    {
        for (QWidget* control : m_client->findChildren<QWidget*>())
        {
            if (GetDlgCtrlID(control) == id)
            {
                return control;
            }
        }
    }
    return nullptr;
}

QWidget* CDialog::ReplaceDlgItem(int id, QWidget* replacement)
{
    QWidget* old = GetDlgItem(id);
    if (old == nullptr || replacement == nullptr || old == replacement)
    {
        return old == replacement ? replacement : nullptr;
    }
    replacement->setParent(old->parentWidget());
    replacement->setGeometry(old->geometry());
    replacement->stackUnder(old);
    // Placed right after the old control in the tab order, it takes its place
    // when the old one leaves the chain.
    QWidget::setTabOrder(old, replacement);
    replacement->setVisible(!old->isHidden());
    delete old;
    AdoptControl(id, replacement);
    return replacement;
}

void CDialog::EnableDlgItem(int id, bool enable)
{
    if (QWidget* control = GetDlgItem(id))
    {
        control->setEnabled(enable);
    }
}

QString CDialog::GetDlgItemText(int id) const
{
    return ::GetWindowText(GetDlgItem(id));
}

void CDialog::SetDlgItemText(int id, const QString& text)
{
    ::SetWindowText(GetDlgItem(id), text);
}

bool CDialog::IsDlgButtonChecked(int id) const
{
    const auto* button = GetDlgItemAs<QAbstractButton>(id);
    return button != nullptr && button->isChecked();
}

void CDialog::CheckDlgButton(int id, bool checked)
{
    if (auto* button = GetDlgItemAs<QAbstractButton>(id))
    {
        button->setChecked(checked);
    }
}

QString CDialog::GetWindowText() const
{
    return windowTitle();
}

void CDialog::SetWindowText(const QString& text)
{
    setWindowTitle(text);
}

QWidget* CDialog::GetClientArea() const
{
    return m_client;
}

DialogBaseUnits CDialog::GetDialogBaseUnits() const
{
    return m_baseUnits;
}

QRect CDialog::MapDialogRect(const QRect& dialogUnits) const
{
    return DialogUnitsToPixels(dialogUnits, m_baseUnits);
}

CMenu CDialog::GetMenu() const
{
    return CMenu(m_menuBar);
}

void CDialog::SendCommand(int id)
{
    RunHandlerGuarded(this, [this, id] { OnCommand(id); });
}

void CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto found = m_messageMap.find(message);
    if (found == m_messageMap.end())
    {
        return;
    }
    // A copy: the handler may change the map.
    const MessageHandler handler = found->second;
    RunHandlerGuarded(this, [&handler, wParam, lParam] { handler(wParam, lParam); });
}

void CDialog::accept()
{
    SendCommand(IDOK);
}

void CDialog::reject()
{
    SendCommand(IDCANCEL);
}

bool CDialog::OnInitDialog()
{
    return true;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::OnCommand(int id)
{
    const auto found = m_commandMap.find(id);
    if (found != m_commandMap.end())
    {
        const CommandHandler handler = found->second;
        handler();
    }
    else if (id == IDOK)
    {
        OnOK();
    }
    else if (id == IDCANCEL)
    {
        OnCancel();
    }
}

void CDialog::OnDropFiles(const QStringList&)
{
}

void CDialog::OnSize(int, int)
{
}

void CDialog::OnInitMenuPopup(CMenu, int)
{
}

void CDialog::OnDestroy()
{
}

void CDialog::MapMessage(UINT message, MessageHandler handler)
{
    m_messageMap[message] = std::move(handler);
}

void CDialog::MapCommand(int id, CommandHandler handler)
{
    m_commandMap[id] = std::move(handler);
}

void CDialog::MapKillFocus(int id, CommandHandler handler)
{
    m_killFocusMap[id] = std::move(handler);
}

void CDialog::MapNotify(UINT code, int id, NotifyHandler handler)
{
    m_notifyMap[{id, code}] = std::move(handler);
}

void CDialog::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier)
    {
        switch (event->key())
        {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            PressDefaultButton();
            return;
        case Qt::Key_Escape:
            event->accept();
            SendCommand(IDCANCEL);
            return;
        default:
            break;
        }
    }
    QDialog::keyPressEvent(event);
}

void CDialog::closeEvent(QCloseEvent* event)
{
    if (!isVisible())
    {
        event->accept();
        return;
    }
    // The close box is the cancel command; a window that stays open keeps it so.
    SendCommand(IDCANCEL);
    if (isVisible())
    {
        event->ignore();
    }
    else
    {
        event->accept();
    }
}

// Entering is the drag's first move: both take or refuse it alike.
void CDialog::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void CDialog::dragMoveEvent(QDragMoveEvent* event)
{
    if (!AcceptsDropsNow() || LocalFiles(event->mimeData()).isEmpty() || !AcceptAsCopy(event))
    {
        event->ignore();
    }
}

void CDialog::dropEvent(QDropEvent* event)
{
    const QStringList files = LocalFiles(event->mimeData());
    if (!AcceptsDropsNow() || files.isEmpty() || !AcceptAsCopy(event))
    {
        event->ignore();
        return;
    }
    // Handled once the drop has finished, as the dropped-files message is posted:
    // the handler may open message boxes, which must not run inside the drag.
    QTimer::singleShot(0, this, [this, files] { RunHandlerGuarded(this, [this, &files] { OnDropFiles(files); }); });
}

bool CDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
    {
        const QSize size = static_cast<QResizeEvent*>(event)->size();
        RunHandlerGuarded(this, [this, size] { OnSize(size.width(), size.height()); });
    }
    else if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
    {
        const auto found = m_killFocusMap.find(GetDlgCtrlID(qobject_cast<QWidget*>(watched)));
        if (found != m_killFocusMap.end())
        {
            const CommandHandler handler = found->second;
            RunHandlerGuarded(this, handler);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDialog::BuildFromTemplate(const DialogTemplate& dialog)
{
    setWindowTitle(QString::fromUtf8(dialog.caption));

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint;
    if ((dialog.windowStyle & WindowStyle::MinimizeBox) != 0)
    {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    setWindowFlags(flags);
    setAcceptDrops((dialog.windowStyle & WindowStyle::AcceptFiles) != 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (const MenuTemplate* menu = dialog.menuId != 0 ? FindMenuTemplate(dialog.menuId) : nullptr)
    {
        m_menuBar = BuildMenuBar(
            *menu, this, [this](int id) { SendCommand(id); },
            [this](QMenu* popup, int position) {
                RunHandlerGuarded(this, [this, popup, position] { OnInitMenuPopup(CMenu(popup), position); });
            });
        layout->setMenuBar(m_menuBar);
    }

    m_client = new QWidget(this);
    layout->addWidget(m_client);
    // The dialog font is the client area's: the menu bar keeps the menu font.
    const QFont font = CreateDialogFont(QString::fromUtf8(dialog.fontName), dialog.fontPointSize);
    m_client->setFont(font);
    m_baseUnits = BaseUnitsOf(font);

    const QSize clientSize = DialogUnitsToPixels(QSize(dialog.cx, dialog.cy), m_baseUnits);
    for (const ControlTemplate& control : dialog.controls)
    {
        QWidget* widget = CreateDialogControl(control, m_client);
        QRect rect = MapDialogRect(QRect(control.x, control.y, control.cx, control.cy));
        // The fallback faces are wider than the dialog font the templates were
        // drawn for: a check box or a left-aligned static text whose text would
        // be cut grows to the right, as far as the dialog reaches.
        const int room = clientSize.width() - rect.left();
        if (qobject_cast<QCheckBox*>(widget) && widget->sizeHint().width() > rect.width())
        {
            rect.setWidth(std::max(rect.width(), std::min(widget->sizeHint().width(), room)));
        }
        else if (auto* label = qobject_cast<QLabel*>(widget);
                 label && (label->alignment() & Qt::AlignLeft) && IsTextCut(*label, rect))
        {
            rect.setWidth(std::max(rect.width(), std::min(OneLineWidth(*label), room)));
        }
        widget->setGeometry(rect);
        AdoptControl(control.id, widget);
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
        {
            connect(button, &QAbstractButton::clicked, this, [this, id = control.id] { SendCommand(id); });
        }
    }

    if (dialog.frame == FrameStyle::Fixed)
    {
        m_client->setFixedSize(clientSize);
        layout->setSizeConstraint(QLayout::SetFixedSize);
    }
    else
    {
        const int menuHeight = m_menuBar ? m_menuBar->sizeHint().height() : 0;
        resize(clientSize.width(), clientSize.height() + menuHeight);
    }
    m_client->installEventFilter(this);
}

void CDialog::AdoptControl(int id, QWidget* control)
{
    SetDlgCtrlID(control, id);
    control->installEventFilter(this);
    if (id != 0 && id != -1)
    {
        m_controls[id] = control;
    }
    if (auto* list = qobject_cast<CListCtrl*>(control))
    {
        connect(list, &CListCtrl::Notified, this, [this, id](UINT code, int item) { Notify(id, code, item); });
    }
}

void CDialog::PressDefaultButton()
{
    auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
    if (focused != nullptr && isAncestorOf(focused))
    {
        if (focused->isEnabled())
        {
            focused->click();
        }
        return;
    }
    for (QPushButton* button : findChildren<QPushButton*>())
    {
        if (button->isDefault())
        {
            // A greyed default button does nothing, as in the framework.
            if (button->isEnabled())
            {
                button->click();
            }
            return;
        }
    }
    SendCommand(IDOK);
}

void CDialog::Notify(int id, UINT code, int item)
{
    const auto found = m_notifyMap.find({id, code});
    if (found == m_notifyMap.end())
    {
        return;
    }
    // A copy: the handler may change the map.
    const NotifyHandler handler = found->second;
    RunHandlerGuarded(this, [&handler, item] { handler(item); });
}

bool CDialog::AcceptsDropsNow() const
{
    if (!acceptDrops())
    {
        return false;
    }
    const QWidget* modal = QApplication::activeModalWidget();
    return modal == nullptr || modal == this;
}

QStringList CDialog::LocalFiles(const QMimeData* data)
{
    QStringList files;
    if (data == nullptr)
    {
        return files;
    }
    for (const QUrl& url : data->urls())
    {
        if (url.isLocalFile())
        {
            files.append(url.toLocalFile());
        }
    }
    return files;
}
