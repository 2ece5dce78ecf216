#include "MenuTemplate.h"

#include "Resource.h"

namespace
{

constexpr MenuItemTemplate Separator{0, nullptr};

std::vector<MenuTemplate> MakeMenus()
{
    std::vector<MenuTemplate> menus;

    menus.push_back({IDR_MAINMENU,
                     {
                         {"&File",
                          {
                              {ID_FILE_LOAD, "&Load Calibration Data ...\tCtrl+O"},
                              {ID_FILE_SAVE, "&Save Calibration Data ...\tCtrl+S; Ctrl+Shift+S"},
                              Separator,
                              {ID_FILE_EXPORT_SPARA, "&Export S-Parameters ..."},
                              {ID_FILE_IMPORT_SPARA, "&Import S-Parameters ..."},
                              Separator,
                              {ID_FILE_EXIT, "E&xit\tCtrl+Q"},
                          }},
                         {"&Edit",
                          {
                              {ID_EDIT_UNDO, "&Undo\tCtrl+Z"},
                              {ID_EDIT_REDO, "&Redo\tCtrl+Shift+Z; Ctrl+Y"},
                          }},
                         {"&Sensor",
                          {
                              {ID_SENSOR_LOAD, "&Load Calibration Data ..."},
                              {ID_SENSOR_SAVE, "&Save Calibration Data ..."},
                              Separator,
                              {ID_SENSOR_SCAN_NETWORK, "Scan &Network for Sensors"},
                              {ID_SENSOR_ALWAYS_FACTORY, "Always Use Factory Data Set"},
                          }},
                         {"&Device",
                          {
                              {ID_DEVICE_EDIT, "&Edit ...\tCtrl+E"},
                              {ID_DEVICE_INSERT, "&Insert"},
                              {ID_DEVICE_APPEND, "&Append"},
                              {ID_DEVICE_DELETE, "&Delete\tDel"},
                              {ID_DEVICE_MOVE_UP, "Move &up"},
                              {ID_DEVICE_MOVE_DOWN, "Move d&own"},
                          }},
                         {"&Options",
                          {
                              {ID_OPTIONS_USER_DATA, "&User Data ..."},
                              {ID_OPTIONS_REMOTE, "&Remote ..."},
                              Separator,
                              {ID_OPTIONS_SHOW_CAL_DATA, "&Show Cal. Data"},
                          }},
                         {"&Help",
                          {
                              {ID_HELP_GUIDE, "&User Guide\tF1"},
                              {ID_HELP_ABOUT, "&About Ostrel ..."},
                          }},
                     }});

    menus.push_back({IDR_DEVICEMENU,
                     {
                         {"&File",
                          {
                              {ID_IMPORT_S2P, "&Import S2P ..."},
                              {ID_IMPORT_UNCERTAINTY, "I&mport uncertainty ..."},
                              {ID_EXPORT_S2P, "&Export S2P ..."},
                              {ID_EXPORT_UNCERTAINTY, "E&xport uncertainty ..."},
                          }},
                         {"&Edit",
                          {
                              {ID_EDIT_UNDO, "&Undo\tCtrl+Z"},
                              {ID_EDIT_REDO, "&Redo\tCtrl+Shift+Z; Ctrl+Y"},
                              Separator,
                              {ID_EDIT_COPY, "&Copy selected cells to clipboard\tCtrl+C"},
                              {ID_EDIT_PASTE, "&Paste from clipboard\tCtrl+V"},
                          }},
                         {"Frequency &Grid Points",
                          {
                              {ID_POINTS_INSERT, "&Insert before selection"},
                              {ID_POINTS_APPEND, "&Append"},
                              {ID_POINTS_DELETE, "&Delete selected rows"},
                              {ID_POINTS_SET_NUMBER, "&Set number"},
                          }},
                         {"&View",
                          {
                              {ID_VIEW_PLOT, "&Plot S-Parameters ..."},
                          }},
                         {"&Help",
                          {
                              {ID_HELP_GUIDE, "&User Guide\tF1"},
                          }},
                     }});

    return menus;
}

} // namespace

const MenuTemplate* FindMenuTemplate(int id)
{
    static const std::vector<MenuTemplate> menus = MakeMenus();
    for (const MenuTemplate& menu : menus)
    {
        if (menu.id == id)
        {
            return &menu;
        }
    }
    return nullptr;
}
