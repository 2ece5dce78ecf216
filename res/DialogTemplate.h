#pragma once

// Dialog templates as data: every control with its number, kind, styles, text and
// rectangle in dialog units, and the dialog's caption, size, font and frame.

#include <vector>

enum class ControlKind
{
    Label,
    Edit,
    Button,
    DefaultButton,
    CheckBox, // toggles itself when clicked
    GroupBox,
    List,
    ReportList, // rows of texts under column headings (CListCtrl)
    Grid // a placeholder that the window replaces with its grid
};

namespace ControlStyle
{
constexpr unsigned Border = 0x001;
constexpr unsigned ReadOnly = 0x002;
constexpr unsigned DigitsOnly = 0x004;
constexpr unsigned Multiline = 0x008;
constexpr unsigned Centre = 0x010;
constexpr unsigned Right = 0x020;
constexpr unsigned AutoHScroll = 0x040;
constexpr unsigned VScroll = 0x080;
constexpr unsigned HScroll = 0x100;
// Report lists
constexpr unsigned SingleSelection = 0x200;
constexpr unsigned NoSortHeader = 0x400; // the headings are no buttons
constexpr unsigned GridLines = 0x800;
constexpr unsigned FullRowSelect = 0x1000;
constexpr unsigned OneClickActivate = 0x2000; // the row under the mouse is hot
constexpr unsigned UnderlineHot = 0x4000;
} // namespace ControlStyle

enum class FrameStyle
{
    Fixed, // caption, system menu, no resize frame
    Sizing
};

namespace WindowStyle
{
constexpr unsigned AcceptFiles = 0x1;
constexpr unsigned MinimizeBox = 0x2;
} // namespace WindowStyle

struct ListColumn
{
    const char* heading; // UTF-8
    int width; // pixels
};

struct ControlTemplate
{
    int id; // IDC_STATIC for controls nobody addresses
    ControlKind kind;
    unsigned style; // ControlStyle bits
    const char* text; // UTF-8; "&" marks a mnemonic
    int x;
    int y;
    int cx;
    int cy;
    std::vector<ListColumn> columns = {}; // a report list's, in order
};

struct DialogTemplate
{
    int id;
    const char* caption;
    int cx; // client area, dialog units
    int cy;
    const char* fontName;
    int fontPointSize;
    FrameStyle frame;
    unsigned windowStyle; // WindowStyle bits
    int menuId; // 0: no menu
    std::vector<ControlTemplate> controls; // in tab order
};

// The template with that number, or nullptr when there is none.
const DialogTemplate* FindDialogTemplate(int id);

// Every template, in the order of their numbers.
const std::vector<DialogTemplate>& AllDialogTemplates();
