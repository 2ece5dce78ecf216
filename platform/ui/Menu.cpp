#include "Menu.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QWidget>

namespace
{

const char* const CheckedProperty = "ostrelChecked";
const char* const UsesBitmapsProperty = "ostrelUsesBitmaps";
const char* const CheckedBitmapProperty = "ostrelCheckedBitmap";
const char* const UncheckedBitmapProperty = "ostrelUncheckedBitmap";

QAction* FindByCommand(const QWidget* menu, int id)
{
    for (QAction* action : menu->actions())
    {
        if (QMenu* popup = action->menu())
        {
            if (QAction* found = FindByCommand(popup, id))
            {
                return found;
            }
        }
        else if (!action->isSeparator() && action->data().isValid() && action->data().toInt() == id)
        {
            return action;
        }
    }
    return nullptr;
}

} // namespace

CMenu::CMenu(QWidget* menu)
    : m_menu(menu)
{
}

bool CMenu::IsValid() const
{
    return !m_menu.isNull();
}

QWidget* CMenu::GetWidget() const
{
    return m_menu.data();
}

int CMenu::GetMenuItemCount() const
{
    return m_menu ? static_cast<int>(m_menu->actions().size()) : -1;
}

int CMenu::GetMenuItemID(int position) const
{
    const QAction* action = FindMenuItem(static_cast<UINT>(position), MF_BYPOSITION);
    if (action == nullptr || action->menu() != nullptr)
    {
        return -1;
    }
    return action->isSeparator() ? 0 : action->data().toInt();
}

CMenu CMenu::GetSubMenu(int position) const
{
    const QAction* action = FindMenuItem(static_cast<UINT>(position), MF_BYPOSITION);
    return CMenu(action ? action->menu() : nullptr);
}

QString CMenu::GetMenuString(UINT item, UINT flags) const
{
    const QAction* action = FindMenuItem(item, flags);
    return action ? action->text() : QString();
}

UINT CMenu::GetMenuState(UINT item, UINT flags) const
{
    const QAction* action = FindMenuItem(item, flags);
    if (action == nullptr)
    {
        return MENU_ITEM_NOT_FOUND;
    }
    UINT state = 0;
    if (action->property(CheckedProperty).toBool())
    {
        state |= MF_CHECKED;
    }
    if (!action->isEnabled())
    {
        state |= MF_GRAYED;
    }
    if (action->isSeparator())
    {
        state |= MF_SEPARATOR;
    }
    if (action->menu() != nullptr)
    {
        state |= MF_POPUP;
    }
    return state;
}

UINT CMenu::CheckMenuItem(UINT item, UINT flags)
{
    QAction* action = FindMenuItem(item, flags);
    if (action == nullptr || action->isSeparator())
    {
        return MENU_ITEM_NOT_FOUND;
    }
    const UINT previous = action->property(CheckedProperty).toBool() ? MF_CHECKED : MF_UNCHECKED;
    action->setProperty(CheckedProperty, (flags & MF_CHECKED) != 0);
    RestoreMenuItemCheckMark(action);
    return previous;
}

UINT CMenu::EnableMenuItem(UINT item, UINT flags)
{
    QAction* action = FindMenuItem(item, flags);
    if (action == nullptr)
    {
        return MENU_ITEM_NOT_FOUND;
    }
    const UINT previous = action->isEnabled() ? MF_ENABLED : MF_GRAYED;
    action->setEnabled((flags & (MF_GRAYED | MF_DISABLED)) == 0);
    return previous;
}

bool CMenu::SetMenuItemBitmaps(UINT item, UINT flags, const QPixmap& unchecked, const QPixmap& checked)
{
    QAction* action = FindMenuItem(item, flags);
    if (action == nullptr || action->isSeparator() || action->menu() != nullptr)
    {
        return false;
    }
    const bool usesBitmaps = !unchecked.isNull() || !checked.isNull();
    action->setProperty(UsesBitmapsProperty, usesBitmaps);
    action->setProperty(CheckedBitmapProperty, checked);
    action->setProperty(UncheckedBitmapProperty, unchecked);
    if (!usesBitmaps)
    {
        action->setIcon(QIcon());
    }
    RestoreMenuItemCheckMark(action);
    return true;
}

QAction* CMenu::FindMenuItem(UINT item, UINT flags) const
{
    if (!m_menu)
    {
        return nullptr;
    }
    if ((flags & MF_BYPOSITION) != 0)
    {
        const QList<QAction*> actions = m_menu->actions();
        return item < static_cast<UINT>(actions.size()) ? actions[static_cast<qsizetype>(item)] : nullptr;
    }
    return FindByCommand(m_menu, static_cast<int>(item));
}

void RestoreMenuItemCheckMark(QAction* action)
{
    const bool checked = action->property(CheckedProperty).toBool();
    if (action->property(UsesBitmapsProperty).toBool())
    {
        action->setCheckable(false);
        const QPixmap picture =
            action->property(checked ? CheckedBitmapProperty : UncheckedBitmapProperty).value<QPixmap>();
        action->setIcon(picture.isNull() ? QIcon() : QIcon(picture));
        return;
    }
    // A checkable action shows Qt's mark; an unchecked item shows none, so it
    // need not be checkable, and then choosing it cannot set a mark by itself.
    action->setCheckable(checked);
    action->setChecked(checked);
}

bool IsMenuActive()
{
    return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr;
}
