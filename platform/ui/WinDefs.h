#pragma once

// The window framework's basic types and numbers, kept with their familiar names
// and values so that windows are written in the framework's terms.

#include <cstdint>

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

// A window's handle: a number that stays unique for the whole run, so a handle
// whose window is gone never reaches another window.
using HWND = std::uint64_t;
constexpr HWND NULL_HWND = 0;

constexpr UINT WM_USER = 0x0400;

// Notification codes a control sends to its dialog (CDialog::MapNotify)
constexpr UINT NM_CLICK = 0u - 2u;
constexpr UINT NM_DBLCLK = 0u - 3u;

// Dialog and message box results
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Message box styles
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONSTOP = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONSTOP;
constexpr UINT MB_ICONHAND = MB_ICONSTOP;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_ICONASTERISK = MB_ICONINFORMATION;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFMASK = 0x00000F00;

// The default beep
constexpr UINT MB_DEFAULT_BEEP = 0xFFFFFFFF;

// File dialog flags
constexpr UINT OFN_OVERWRITEPROMPT = 0x00000002;
constexpr UINT OFN_HIDEREADONLY = 0x00000004;

// Menu item flags
constexpr UINT MF_BYCOMMAND = 0x00000000;
constexpr UINT MF_BYPOSITION = 0x00000400;
constexpr UINT MF_ENABLED = 0x00000000;
constexpr UINT MF_GRAYED = 0x00000001;
constexpr UINT MF_DISABLED = 0x00000002;
constexpr UINT MF_UNCHECKED = 0x00000000;
constexpr UINT MF_CHECKED = 0x00000008;
constexpr UINT MF_SEPARATOR = 0x00000800;
constexpr UINT MF_POPUP = 0x00000010;
// What the menu calls return for an item that does not exist.
constexpr UINT MENU_ITEM_NOT_FOUND = 0xFFFFFFFF;
