#pragma once

// Numbers of the dialog templates, menus, pictures, controls and commands.
// Controls of different dialogs may share a number; each name says where it lives.

// Dialog templates
constexpr int IDD_OSTREL_DIALOG = 102;
constexpr int IDD_VISUALIZE = 106;
constexpr int IDD_DEVICE = 135;
constexpr int IDD_UPLOAD = 130;
constexpr int IDD_DOWNLOAD = 131;
constexpr int IDD_CAL_INFO = 140;
constexpr int IDD_SENSOR_ID = 155;
constexpr int IDD_REMOTE = 171;
constexpr int IDD_SETNUMBER = 172;

// Menus
constexpr int IDR_MAINMENU = 134;
constexpr int IDR_DEVICEMENU = 137;

// 16 x 16 pictures of the grids and the Sensor menu
constexpr int IDB_CHECK_TICKED = 150;
constexpr int IDB_RADIO_SET = 151;
constexpr int IDB_CHECK_EMPTY = 153;
constexpr int IDB_RADIO_CLEAR = 154;
constexpr int IDB_GREY_BOX = 156;

// Controls nobody addresses
constexpr int IDC_STATIC = -1;

// Main window (102)
constexpr int IDC_DEVICE_GRID = 1015;
constexpr int IDC_FLAG_ACTIVE_AFTER_RESET = 1020;
constexpr int IDC_FLAG_STATE_LOCKED = 1021;
constexpr int IDC_FLAG_DEVICE_LOCKED = 1022;
constexpr int IDC_FLAG_USE_FACTORY_FLAGS = 1023;
constexpr int IDC_STATUS_LINE = 1034;

// Content view (106)
constexpr int IDC_VISUALIZE_TEXT = 1134;
constexpr int IDC_COPY_TO_CLIPBOARD = 1044;

// Device editor (135); its grid is IDC_DEVICE_GRID as well
constexpr int IDC_POINT_GRID = 1015;
constexpr int IDC_DEVICE_PARAMETERS = 1036;
constexpr int IDC_MNEMONIC_LABEL = 1037;
constexpr int IDC_LOWER_LIMIT_LABEL = 1038;
constexpr int IDC_UPPER_LIMIT_LABEL = 1039;
constexpr int IDC_MNEMONIC = 1025;
constexpr int IDC_LOWER_LIMIT = 1023;
constexpr int IDC_UPPER_LIMIT = 1024;
constexpr int IDC_S11_FOR_S22 = 1043;
constexpr int IDC_S21_FOR_S12 = 1026;

// User Data (140)
constexpr int IDC_CAL_LAB = 1033;
constexpr int IDC_CAL_ENG = 1035;

// Sensor identity (155)
constexpr int IDC_SENSOR_NAME = 1045;
constexpr int IDC_STOCK_NUMBER = 1046;
constexpr int IDC_ATTRIBUTE = 1047;
constexpr int IDC_SERIAL_NUMBER = 1048;
constexpr int IDC_SERIAL_NUMBER_INTERNAL = 1049;

// Remote Control Settings (171)
constexpr int IDC_RESET_TIMEOUTS = 1040;
constexpr int IDC_COMMAND_TIMEOUT = 1041;
constexpr int IDC_CAL_DATA_TIMEOUT = 1042;

// Frequency grid points (172)
constexpr int IDC_POINT_NUMBER = 1033;

// Upload Calibration Data (130)
constexpr int IDC_REBUILD_LIST = 1028;
constexpr int IDC_SENSOR_LIST = 1029;
constexpr int IDC_UPLOAD = 1030;
constexpr int IDC_UPLOAD_STATUS = 1040; // what the dialog is doing or waiting for

// Download Calibration Data (131)
constexpr int IDC_DOWNLOAD = 1031;
constexpr int IDC_RESCAN = 1032;
constexpr int IDC_DOWNLOAD_TEXT = 1033;

// Main menu (134)
constexpr int ID_FILE_LOAD = 32780;
constexpr int ID_FILE_SAVE = 32781;
constexpr int ID_FILE_EXPORT_SPARA = 32811;
constexpr int ID_FILE_IMPORT_SPARA = 32810;
constexpr int ID_FILE_EXIT = 32788;
constexpr int ID_SENSOR_LOAD = 32778;
constexpr int ID_SENSOR_SAVE = 32779;
constexpr int ID_SENSOR_SCAN_NETWORK = 32807;
constexpr int ID_SENSOR_ALWAYS_FACTORY = 32809;
constexpr int ID_DEVICE_EDIT = 32787;
constexpr int ID_DEVICE_INSERT = 32775;
constexpr int ID_DEVICE_APPEND = 32776;
constexpr int ID_DEVICE_DELETE = 32777;
constexpr int ID_DEVICE_MOVE_UP = 32805;
constexpr int ID_DEVICE_MOVE_DOWN = 32806;
constexpr int ID_OPTIONS_USER_DATA = 32799;
constexpr int ID_OPTIONS_REMOTE = 32801;
constexpr int ID_OPTIONS_SHOW_CAL_DATA = 32808;
constexpr int ID_HELP_GUIDE = 32850; // also in the device editor's menu
constexpr int ID_HELP_ABOUT = 32851;

// Device editor menu (137)
constexpr int ID_IMPORT_S2P = 32782;
constexpr int ID_IMPORT_UNCERTAINTY = 32795;
constexpr int ID_EXPORT_S2P = 32783;
constexpr int ID_EXPORT_UNCERTAINTY = 32796;
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_PASTE = 57637;
constexpr int ID_EDIT_UNDO = 57643;
constexpr int ID_EDIT_REDO = 57644;
constexpr int ID_POINTS_INSERT = 32784;
constexpr int ID_POINTS_APPEND = 32798;
constexpr int ID_POINTS_DELETE = 32786;
constexpr int ID_POINTS_SET_NUMBER = 32804;
constexpr int ID_VIEW_PLOT = 32830;
