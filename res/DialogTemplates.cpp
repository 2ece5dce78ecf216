#include "DialogTemplate.h"

#include "Resource.h"

namespace
{

using namespace ControlStyle;

constexpr ControlKind Label = ControlKind::Label;
constexpr ControlKind Edit = ControlKind::Edit;
constexpr ControlKind Button = ControlKind::Button;
constexpr ControlKind DefaultButton = ControlKind::DefaultButton;
constexpr ControlKind CheckBox = ControlKind::CheckBox;
constexpr ControlKind GroupBox = ControlKind::GroupBox;
constexpr ControlKind ReportList = ControlKind::ReportList;
constexpr ControlKind Grid = ControlKind::Grid;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// A single-line edit as the resource compiler makes it: bordered, scrolling.
constexpr unsigned PlainEdit = Border | AutoHScroll;

std::vector<DialogTemplate> MakeTemplates()
{
    std::vector<DialogTemplate> templates;

    templates.push_back({IDD_OSTREL_DIALOG, "Ostrel", 451, 285, "MS Shell Dlg", 8, FrameStyle::Fixed,
                         WindowStyle::AcceptFiles | WindowStyle::MinimizeBox, IDR_MAINMENU,
                         {
                             {IDC_STATIC, GroupBox, 0, "Global Flags", 6, 6, 150, 72},
                             {IDC_FLAG_ACTIVE_AFTER_RESET, CheckBox, 0, "S-Parameter Correction ON by Default", 12,
                              18, 136, 13},
                             {IDC_FLAG_STATE_LOCKED, CheckBox, 0, "S-Parameter Correction State Locked", 12, 30, 136,
                              13},
                             {IDC_FLAG_DEVICE_LOCKED, CheckBox, 0, "S-Parameter Device Locked", 12, 42, 136, 13},
                             {IDC_FLAG_USE_FACTORY_FLAGS, CheckBox, 0, "Use Flags in Factory Cal. Data Set", 12, 60,
                              136, 13},
                             {IDC_STATUS_LINE, Edit, ReadOnly | Centre, "", 162, 30, 252, 30},
                             {IDC_DEVICE_GRID, Grid, 0, "", 6, 84, 438, 192},
                         }});

    templates.push_back({IDD_VISUALIZE, "Visualize Content", 651, 356, "MS Sans Serif", 8, FrameStyle::Fixed, 0, 0,
                         {
                             {IDC_VISUALIZE_TEXT, Edit, Multiline | ReadOnly | VScroll | HScroll | Border, "", 5, 5,
                              637, 325},
                             {IDC_COPY_TO_CLIPBOARD, Button, 0, "Copy to Clipboard", 6, 336, 66, 14},
                             {IDCANCEL, Button, 0, "Close", 576, 336, 66, 14},
                         }});

    templates.push_back(
        {IDD_UPLOAD, "Upload Calibration Data", 333, 198, "MS Shell Dlg", 8, FrameStyle::Fixed, 0, 0,
         {
             {IDC_STATIC, GroupBox, 0, "Select Sensor", 6, 6, 324, 150},
             {IDC_SENSOR_LIST, ReportList,
              Border | SingleSelection | NoSortHeader | GridLines | FullRowSelect | OneClickActivate | UnderlineHot, "",
              12, 18, 312, 132,
              {{"Resource Descriptor", 240}, {"Type", 60}, {"Serial No.", 60}, {"Connection Type", 100}}},
             {IDC_UPLOAD_STATUS, Label, 0, "", 12, 160, 312, 8},
             {IDC_REBUILD_LIST, Button, 0, "Rebuild List", 12, 174, 50, 14},
             {IDC_UPLOAD, Button, 0, "Upload", 100, 174, 50, 14},
             {IDOK, DefaultButton, 0, "OK", 188, 174, 50, 14},
             {IDCANCEL, Button, 0, "Cancel", 276, 174, 50, 14},
         }});

    templates.push_back({IDD_DOWNLOAD, "Download Calibration Data", 197, 99, "MS Shell Dlg", 8, FrameStyle::Fixed, 0,
                         0,
                         {
                             {IDC_DOWNLOAD_TEXT, Edit, Multiline | ReadOnly | Centre | Border, "", 12, 6, 168, 60},
                             {IDC_RESCAN, Button, 0, "Rescan", 12, 78, 50, 14},
                             {IDC_DOWNLOAD, DefaultButton, 0, "Download", 72, 78, 50, 14},
                             {IDCANCEL, Button, 0, "Cancel", 132, 78, 50, 14},
                         }});

    templates.push_back({IDD_DEVICE, "Device", 478, 330, "MS Shell Dlg", 8, FrameStyle::Sizing, 0, IDR_DEVICEMENU,
                         {
                             {IDC_POINT_GRID, Grid, 0, "", 6, 6, 462, 258},
                             {IDC_DEVICE_PARAMETERS, GroupBox, 0, "Device Parameters", 6, 270, 402, 54},
                             {IDC_MNEMONIC_LABEL, Label, 0, "S-Parameter Device Mnemonic", 18, 289, 135, 8},
                             {IDC_MNEMONIC, Edit, PlainEdit, "", 18, 300, 150, 12},
                             {IDC_LOWER_LIMIT_LABEL, Label, 0, "Lower Power Limit/W", 180, 289, 72, 8},
                             {IDC_LOWER_LIMIT, Edit, PlainEdit | Right, "", 180, 300, 66, 12},
                             {IDC_UPPER_LIMIT_LABEL, Label, 0, "Upper Power Limit/W", 258, 289, 72, 8},
                             {IDC_UPPER_LIMIT, Edit, PlainEdit | Right, "", 258, 300, 66, 12},
                             {IDC_S11_FOR_S22, CheckBox, 0, "Use S11 for S22", 336, 288, 67, 10},
                             {IDC_S21_FOR_S12, CheckBox, 0, "Use S21 for S12", 336, 300, 73, 12},
                             {IDCANCEL, Button, 0, "Cancel", 420, 282, 48, 14},
                             {IDOK, DefaultButton, 0, "OK", 420, 306, 48, 14},
                         }});

    // The labels of this dialog and of dialog 171 reach as far as the room beside
    // or below them allows: the fallback face is wider than the dialog font they
    // were measured for, and a label, unlike a check box, does not grow.
    templates.push_back({IDD_CAL_INFO, "User Data", 166, 102, "MS Shell Dlg", 8, FrameStyle::Fixed, 0, 0,
                         {
                             {IDC_STATIC, Label, 0, "Calibration Laboratory", 6, 12, 150, 8},
                             {IDC_CAL_LAB, Edit, PlainEdit, "", 6, 24, 150, 14},
                             {IDC_STATIC, Label, 0, "Calibration Engineer", 6, 42, 150, 8},
                             {IDC_CAL_ENG, Edit, PlainEdit, "", 6, 54, 150, 14},
                             {IDOK, DefaultButton, 0, "OK", 6, 78, 50, 14},
                             {IDCANCEL, Button, 0, "Cancel", 108, 78, 50, 14},
                         }});

    templates.push_back(
        {IDD_SENSOR_ID, "Fill in missing Sensor ID data", 195, 159, "MS Shell Dlg", 8, FrameStyle::Fixed, 0, 0,
         {
             {IDC_STATIC, Label, 0,
              "Warning: Indispensable Sensor ID data missing!\nFill in the missing fields, otherwise the calibration "
              "data set cannot be written to a sensor.",
              6, 6, 168, 24},
             {IDC_STATIC, Label, 0, "Sensor Name", 6, 45, 43, 8},
             {IDC_SENSOR_NAME, Edit, PlainEdit, "", 126, 42, 60, 14},
             {IDC_STATIC, Label, 0, "Stock Number", 6, 63, 45, 8},
             {IDC_STOCK_NUMBER, Edit, PlainEdit, "", 126, 60, 60, 14},
             {IDC_STATIC, Label, 0, "Internal Stock Number or Attribute", 6, 81, 112, 8},
             {IDC_ATTRIBUTE, Edit, PlainEdit, "", 126, 78, 60, 14},
             {IDC_STATIC, Label, 0, "Serial Number", 6, 99, 45, 8},
             {IDC_SERIAL_NUMBER, Edit, PlainEdit, "", 126, 96, 60, 14},
             {IDC_STATIC, Label, 0, "Internal Serial Number", 6, 117, 72, 8},
             {IDC_SERIAL_NUMBER_INTERNAL, Edit, PlainEdit, "", 126, 114, 60, 14},
             {IDCANCEL, Button, 0, "Cancel", 6, 138, 50, 14},
             {IDOK, DefaultButton, 0, "OK", 138, 138, 50, 14},
         }});

    templates.push_back({IDD_REMOTE, "Remote Control Settings", 185, 69, "MS Shell Dlg", 8, FrameStyle::Fixed, 0, 0,
                         {
                             {IDC_STATIC, Label, 0, "Normal Command Timeout/ms", 6, 9, 117, 8},
                             {IDC_COMMAND_TIMEOUT, Edit, PlainEdit | DigitsOnly, "", 126, 6, 48, 14},
                             {IDC_STATIC, Label, 0, "Upload/Download Timeout/ms", 6, 30, 117, 8},
                             {IDC_CAL_DATA_TIMEOUT, Edit, PlainEdit | DigitsOnly, "", 126, 27, 48, 14},
                             {IDC_RESET_TIMEOUTS, Button, 0, "Reset", 6, 48, 50, 14},
                             {IDOK, DefaultButton, 0, "OK", 66, 48, 50, 14},
                             {IDCANCEL, Button, 0, "Cancel", 126, 48, 50, 14},
                         }});

    templates.push_back({IDD_SETNUMBER, "Frequency grid points", 130, 60, "MS Shell Dlg", 8, FrameStyle::Fixed, 0, 0,
                         {
                             {IDC_STATIC, Label, 0, "Enter Number:", 7, 12, 50, 8},
                             {IDC_POINT_NUMBER, Edit, PlainEdit | DigitsOnly, "", 62, 9, 60, 14},
                             {IDOK, DefaultButton, 0, "OK", 7, 38, 50, 14},
                             {IDCANCEL, Button, 0, "Cancel", 72, 38, 50, 14},
                         }});

    return templates;
}

} // namespace

const std::vector<DialogTemplate>& AllDialogTemplates()
{
    static const std::vector<DialogTemplate> templates = MakeTemplates();
    return templates;
}

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& dialog : AllDialogTemplates())
    {
        if (dialog.id == id)
        {
            return &dialog;
        }
    }
    return nullptr;
}
