#pragma once

// A handle to a window's menu bar or one of its popup menus, with the framework's
// menu calls. Items are addressed by command number (MF_BYCOMMAND, searched
// through the popups too) or by position (MF_BYPOSITION, in this menu only).
// The handle does not own the menu; it goes invalid when the menu is destroyed.

#include "WinDefs.h"

#include <QPixmap>
#include <QPointer>
#include <QString>

class QAction;
class QWidget;

class CMenu
{
public:
    CMenu() = default;
    explicit CMenu(QWidget* menu); // a QMenuBar or a QMenu

    bool IsValid() const;
    QWidget* GetWidget() const;

    // -1 for an invalid handle.
    int GetMenuItemCount() const;
    // The command number at a position: 0 for a separator, -1 for a popup or a
    // position that does not exist.
    int GetMenuItemID(int position) const;
    // The popup at a position; invalid when there is none.
    CMenu GetSubMenu(int position) const;
    // The item's text with its "&" mnemonics; empty when the item does not exist.
    QString GetMenuString(UINT item, UINT flags) const;
    // MF_CHECKED, MF_GRAYED, MF_SEPARATOR and MF_POPUP bits, or MENU_ITEM_NOT_FOUND.
    UINT GetMenuState(UINT item, UINT flags) const;

    // Sets or clears the item's check mark (MF_CHECKED / MF_UNCHECKED); returns the
    // previous state or MENU_ITEM_NOT_FOUND. Choosing an item never changes its mark.
    UINT CheckMenuItem(UINT item, UINT flags);
    // Enables or greys an item or a whole popup (MF_ENABLED / MF_GRAYED /
    // MF_DISABLED); returns the previous state or MENU_ITEM_NOT_FOUND.
    UINT EnableMenuItem(UINT item, UINT flags);
    // Shows `checked` or `unchecked` where the item's check mark would be; a null
    // picture shows nothing in that state, two null pictures restore the plain mark.
    bool SetMenuItemBitmaps(UINT item, UINT flags, const QPixmap& unchecked, const QPixmap& checked);

    // The item's action, or nullptr.
    QAction* FindMenuItem(UINT item, UINT flags) const;

private:
    QPointer<QWidget> m_menu;
};

// Draws an item's check mark or picture from its state; called after Qt toggled a
// checkable action by itself.
void RestoreMenuItemCheckMark(QAction* action);

// True while a popup menu is open anywhere in the application, which takes the
// keyboard away from every window.
bool IsMenuActive();
