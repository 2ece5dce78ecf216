#pragma once

// Menu templates as data: a bar of popup menus, each a list of items and separators.

#include <vector>

struct MenuItemTemplate
{
    int id; // command number; 0 for a separator
    const char* text; // UTF-8 with "&" mnemonics; nullptr for a separator

    bool IsSeparator() const { return text == nullptr; }
};

struct PopupMenuTemplate
{
    const char* text;
    std::vector<MenuItemTemplate> items;
};

struct MenuTemplate
{
    int id;
    std::vector<PopupMenuTemplate> popups;
};

// The menu with that number, or nullptr when there is none.
const MenuTemplate* FindMenuTemplate(int id);
