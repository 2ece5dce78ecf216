#pragma once

// A dialog built from a dialog template (res/), in the framework's terms:
//   - DoModal() returns IDOK, IDCANCEL (or what EndDialog was given), or -1 when
//     the dialog cannot be made (no such template, OnInitDialog threw).
//   - Enter presses the focused push button, else the default button, else sends
//     IDOK; a control that uses Enter itself keeps it. Escape and the close box send
//     IDCANCEL. IDOK runs OnOK, IDCANCEL OnCancel, unless the command map has them.
//   - Controls are found by their template numbers; button and check box clicks
//     and menu items send their numbers as commands, list controls (CListCtrl)
//     their notifications (MapNotify).
//   - Every dialog has a handle for posted messages (PostMessage.h), handled by the
//     message map. No exception leaves a handler: it is shown in a stop box.
//   - A template with AcceptFiles takes dropped local files (OnDropFiles), but not
//     while a modal dialog is open over it.
//   - The window is made by OnInitDialog and destroyed, with OnDestroy, when the
//     modal loop ends or the dialog is destroyed (DestroyWindow).

#include "DialogUnits.h"
#include "Menu.h"
#include "WinDefs.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <utility>

class QMenuBar;
class QMimeData;
struct DialogTemplate;

class CDialog : public QDialog
{
    Q_OBJECT

public:
    using MessageHandler = std::function<void(WPARAM wParam, LPARAM lParam)>;
    using CommandHandler = std::function<void()>;
    // Gets the row the notification concerns, -1 for none.
    using NotifyHandler = std::function<void(int item)>;

    explicit CDialog(int templateId, QWidget* parent = nullptr);
    ~CDialog() override;

    // Makes the controls from the template (once) and runs OnInitDialog, without
    // showing the dialog. False when the template does not exist or OnInitDialog
    // threw. DoModal does this itself when it has not been done.
    bool Create();
    int DoModal();
    void EndDialog(int result);
    // Hides the window (ending a modal loop) and runs OnDestroy, once for each
    // OnInitDialog. DoModal does this when its loop ends, the destructor when it has
    // not been done. The base destructor no longer reaches an override: a class
    // that overrides OnDestroy calls DestroyWindow in its own destructor.
    void DestroyWindow();

    int GetTemplateId() const;
    HWND GetSafeHwnd() const;

    // nullptr when the dialog has no control with that number.
    QWidget* GetDlgItem(int id) const;
    template <class Control>
    Control* GetDlgItemAs(int id) const
    {
        return qobject_cast<Control*>(GetDlgItem(id));
    }
    // Puts `replacement` (the dialog takes it) in the place of the control: same
    // rectangle, number and tab position; the old control is destroyed. Returns the
    // replacement, or nullptr (and takes nothing) when there is no such control.
    QWidget* ReplaceDlgItem(int id, QWidget* replacement);

    void EnableDlgItem(int id, bool enable);
    QString GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const QString& text);
    bool IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, bool checked);
    QString GetWindowText() const;
    void SetWindowText(const QString& text);

    // The area below the menu bar that holds the controls; its coordinates are the
    // template's, converted to pixels.
    QWidget* GetClientArea() const;
    DialogBaseUnits GetDialogBaseUnits() const;
    QRect MapDialogRect(const QRect& dialogUnits) const;

    // Invalid when the template has no menu.
    CMenu GetMenu() const;

    // Runs a command or a message at once, on the user-interface thread.
    void SendCommand(int id);
    void SendMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void accept() override;
    void reject() override;

protected:
    // Called when the dialog has its controls, before it is shown. True: the first
    // control gets the focus; false: the handler has placed it.
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Dispatches a command: the command map first, then IDOK and IDCANCEL.
    virtual void OnCommand(int id);
    // The local files of a drop, in the drop's order; never empty.
    virtual void OnDropFiles(const QStringList& paths);
    // The client area's new size in pixels.
    virtual void OnSize(int cx, int cy);
    // A popup of the menu bar is about to open: the application's menu loop takes
    // the keyboard from now until it closes (IsMenuActive()).
    virtual void OnInitMenuPopup(CMenu popup, int position);
    // The window goes away: after the modal loop, before the controls are gone.
    virtual void OnDestroy();

    void MapMessage(UINT message, MessageHandler handler);
    template <class Window, class Result>
    void MapMessage(UINT message, Result (Window::*handler)(WPARAM, LPARAM))
    {
        Window* window = static_cast<Window*>(this);
        MapMessage(message, [window, handler](WPARAM wParam, LPARAM lParam) { (window->*handler)(wParam, lParam); });
    }
    void MapCommand(int id, CommandHandler handler);
    template <class Window, class Result>
    void MapCommand(int id, Result (Window::*handler)())
    {
        Window* window = static_cast<Window*>(this);
        MapCommand(id, [window, handler] { (window->*handler)(); });
    }
    // A control's notification, NM_CLICK or NM_DBLCLK of a list control.
    void MapNotify(UINT code, int id, NotifyHandler handler);
    template <class Window, class Result>
    void MapNotify(UINT code, int id, Result (Window::*handler)(int))
    {
        Window* window = static_cast<Window*>(this);
        MapNotify(code, id, [window, handler](int item) { (window->*handler)(item); });
    }
    // Called when the control loses the keyboard focus to another window or
    // control (not when a menu opens).
    void MapKillFocus(int id, CommandHandler handler);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildFromTemplate(const DialogTemplate& dialog);
    void AdoptControl(int id, QWidget* control);
    void PressDefaultButton();
    void Notify(int id, UINT code, int item);
    bool AcceptsDropsNow() const;
    static QStringList LocalFiles(const QMimeData* data);

    int m_templateId;
    HWND m_handle;
    bool m_built = false;
    bool m_initialised = false;
    bool m_ended = false;
    bool m_windowMade = false;
    int m_endResult = IDCANCEL;
    QWidget* m_client = nullptr;
    QMenuBar* m_menuBar = nullptr;
    DialogBaseUnits m_baseUnits{};
    std::map<int, QPointer<QWidget>> m_controls;
    std::map<UINT, MessageHandler> m_messageMap;
    std::map<int, CommandHandler> m_commandMap;
    std::map<int, CommandHandler> m_killFocusMap;
    std::map<std::pair<int, UINT>, NotifyHandler> m_notifyMap;
};
