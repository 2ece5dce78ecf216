#include "MenuBuilder.h"

#include "Menu.h"
#include "MenuTemplate.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

QMenuBar* BuildMenuBar(const MenuTemplate& menu, QWidget* parent, MenuCommandHandler onCommand,
                       MenuPopupHandler onPopup)
{
    auto* bar = new QMenuBar(parent);
    // The bar belongs to its window on every desktop.
    bar->setNativeMenuBar(false);
    int position = 0;
    for (const PopupMenuTemplate& popupTemplate : menu.popups)
    {
        QMenu* popup = bar->addMenu(QString::fromUtf8(popupTemplate.text));
        for (const MenuItemTemplate& item : popupTemplate.items)
        {
            if (item.IsSeparator())
            {
                popup->addSeparator();
                continue;
            }
            // "&Undo\tCtrl+Z": the text after the tab is the item's shortcut, shown
            // beside it; further keys for the same item follow after "; ".
            const QStringList parts = QString::fromUtf8(item.text).split(QLatin1Char('\t'));
            QAction* action = popup->addAction(parts.front());
            if (parts.size() > 1)
            {
                action->setShortcuts(QKeySequence::listFromString(parts.at(1), QKeySequence::PortableText));
            }
            action->setData(item.id);
            QObject::connect(action, &QAction::triggered, bar, [action, id = item.id, onCommand] {
                RestoreMenuItemCheckMark(action);
                if (onCommand)
                {
                    onCommand(id);
                }
            });
        }
        QObject::connect(popup, &QMenu::aboutToShow, bar, [popup, position, onPopup] {
            if (onPopup)
            {
                onPopup(popup, position);
            }
        });
        ++position;
    }
    return bar;
}
