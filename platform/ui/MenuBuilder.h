#pragma once

// A menu bar made from a menu template. Every item carries its command number as
// its action's data.

#include <functional>

class QMenu;
class QMenuBar;
class QWidget;
struct MenuTemplate;

using MenuCommandHandler = std::function<void(int id)>;
// Called before a popup opens, with its position on the bar.
using MenuPopupHandler = std::function<void(QMenu* popup, int position)>;

QMenuBar* BuildMenuBar(const MenuTemplate& menu, QWidget* parent, MenuCommandHandler onCommand,
                       MenuPopupHandler onPopup);
