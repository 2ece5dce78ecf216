#pragma once

// Messages the editable grid posts to its owner's window (m_hNotifyWnd), each
// with both parameters 0. The owner reads Row, Col, RowSel and ColSel when it
// handles one of them.

#include "WinDefs.h"

// A double-click or Enter on a data row.
constexpr UINT WM_GRID_ACTIVATE = WM_USER + 1000;
// The Insert key.
constexpr UINT WM_GRID_INSERT = WM_USER + 1001;
// The Delete key.
constexpr UINT WM_GRID_DELETE = WM_USER + 1002;
// Ctrl+A.
constexpr UINT WM_GRID_SELECTALL = WM_USER + 1003;
// Ctrl+C.
constexpr UINT WM_GRID_COPY = WM_USER + 1004;
// Ctrl+V.
constexpr UINT WM_GRID_PASTE = WM_USER + 1005;
