#include "Device.h"

#include "DeviceValues.h"
#include "EditFlexGrid.h"
#include "FontFallback.h"
#include "CellBlock.h"
#include "CellEdit.h"
#include "Clipboard.h"
#include "GridClipboard.h"
#include "GridColumnType.h"
#include "GridMessages.h"
#include "GridNumbers.h"
#include "GridUndo.h"
#include "LibraryError.h"
#include "MessageBeep.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "PlotWindow.h"
#include "Resource.h"
#include "SetnumberDialog.h"
#include "Tamrix.h"
#include "UserGuide.h"
#include "TamrixError.h"
#include "TextConversion.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QHeaderView>
#include <QScreen>
#include <QWindow>
#include <QScrollBar>
#include <QScopedValueRollback>
#include <QUndoStack>

#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

namespace
{

constexpr long columnCount = 14;
constexpr long frequencyColumn = 1;
// First column of the S12 and S22 triples, the targets of the mirror options.
constexpr long s12Column = 8;
constexpr long s22Column = 11;

constexpr long idColumnWidth = 700; // twips
constexpr long valueColumnWidth = 1300;
constexpr short alignCentre = 4;
constexpr short alignRightCentre = 7;

// Margins and gaps of the layout, in pixels.
constexpr int frameGap = 12;
constexpr int controlGap = 18;
constexpr int labelGap = 6;

const QString columnHeaders[columnCount] = {
    QStringLiteral("ID"),      QStringLiteral("Freq./Hz"), QStringLiteral("S11-Re"),  QStringLiteral("S11-Im"),
    QStringLiteral("S11-Unc"), QStringLiteral("S21-Re"),   QStringLiteral("S21-Im"),  QStringLiteral("S21-Unc"),
    QStringLiteral("S12-Re"),  QStringLiteral("S12-Im"),   QStringLiteral("S12-Unc"), QStringLiteral("S22-Re"),
    QStringLiteral("S22-Im"),  QStringLiteral("S22-Unc")};

// The columns' triples, in column order.
const SParaType<1>* const columnTags[4] = {&SParaType<1>::S11, &SParaType<1>::S21, &SParaType<1>::S12,
                                           &SParaType<1>::S22};

// A new point: 0 Hz, S11 = S22 = 0, S21 = S12 = 1, no uncertainty.
double NewPointValue(long col)
{
    return col == 5 || col == 8 ? 1 : 0;
}

// The place of a table's first point too many.
std::string RowPlace(long row)
{
    return "Row " + std::to_string(row);
}

// Moves a control (keeping its size) so that its top-left corner is at (x, y),
// and repaints where it was and where it is.
void MoveControl(QWidget* control, int x, int y)
{
    if (control == nullptr)
    {
        return;
    }
    const QRect before = control->geometry();
    control->move(x, y);
    if (QWidget* parent = control->parentWidget())
    {
        parent->update(before);
        parent->update(control->geometry());
    }
}

int Right(const QWidget* control)
{
    return control->x() + control->width();
}

int Bottom(const QWidget* control)
{
    return control->y() + control->height();
}

} // namespace

CDevice::CDevice(long device, CTamrix* dataSet, bool readOnly, QWidget* parent)
    : CDialog(IDD_DEVICE, parent)
    , m_device(device)
    , m_dataSet(dataSet)
    , m_readOnly(readOnly)
{
    MapMessage(WM_GRID_INSERT, &CDevice::OnGridInsert);
    MapMessage(WM_GRID_DELETE, &CDevice::OnGridDelete);
    MapMessage(WM_GRID_SELECTALL, &CDevice::OnGridSelectAll);
    MapMessage(WM_GRID_COPY, &CDevice::OnGridCopy);
    MapMessage(WM_GRID_PASTE, &CDevice::OnGridPaste);
    MapCommand(ID_EDIT_COPY, &CDevice::OnEditCopy);
    MapCommand(ID_EDIT_PASTE, &CDevice::OnEditPaste);
    MapCommand(ID_EDIT_UNDO, &CDevice::OnEditUndo);
    MapCommand(ID_EDIT_REDO, &CDevice::OnEditRedo);
    MapCommand(ID_POINTS_INSERT, &CDevice::OnInsertRows);
    MapCommand(ID_POINTS_APPEND, &CDevice::OnAppendRow);
    MapCommand(ID_POINTS_DELETE, &CDevice::OnDeleteRows);
    MapCommand(ID_POINTS_SET_NUMBER, &CDevice::OnSetNumber);
    MapCommand(ID_VIEW_PLOT, &CDevice::OnPlot);
    MapCommand(ID_HELP_GUIDE, [this] { ShowUserGuide(this); });
    MapCommand(ID_IMPORT_S2P, &CDevice::OnImportS2P);
    MapCommand(ID_IMPORT_UNCERTAINTY, &CDevice::OnImportUncertainty);
    MapCommand(ID_EXPORT_S2P, &CDevice::OnExportS2P);
    MapCommand(ID_EXPORT_UNCERTAINTY, &CDevice::OnExportUncertainty);
    MapCommand(IDC_S11_FOR_S22, [this] { OnMirrorOption(m_s11ForS22, s22Column); });
    MapCommand(IDC_S21_FOR_S12, [this] { OnMirrorOption(m_s21ForS12, s12Column); });
    MapKillFocus(IDC_LOWER_LIMIT, [this] { OnPowerLimitKillFocus(m_lowerLimit); });
    MapKillFocus(IDC_UPPER_LIMIT, [this] { OnPowerLimitKillFocus(m_upperLimit); });
    MapKillFocus(IDC_MNEMONIC, [this] {
        if (!m_closing)
        {
            CommitFieldEdits();
        }
    });
}

CDevice::~CDevice()
{
    // The stack goes with the window's children, after this object: it must
    // not tell this object of its clearing then.
    if (m_undo != nullptr)
    {
        m_undo->disconnect(this);
    }
}

bool CDevice::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_closing = false;
    DoDataExchange();
    try
    {
        const long number = SParaDeviceDisplayNumber(m_dataSet->GetChannelNumber(), m_device);
        SetWindowText(QStringLiteral("Device: %1").arg(number));
        m_grid->m_hNotifyWnd = GetSafeHwnd();
        SetupGrid();
        m_mnemonic->setText(Utf8ToWide(m_dataSet->GetSPDMnemonic(m_device)));
        // The data set keeps limits in single precision: the field shows the
        // number their text means, so that OK stores them as they were.
        m_lowerLimit->setText(
            FormatEngineeringExact(DecimalOfSingle(static_cast<float>(m_dataSet->GetSParaMinPower(m_device)))));
        m_upperLimit->setText(
            FormatEngineeringExact(DecimalOfSingle(static_cast<float>(m_dataSet->GetSParaMaxPower(m_device)))));
        CheckPowerLimit(m_lowerLimit);
        CheckPowerLimit(m_upperLimit);
        for (QLineEdit* field : {m_mnemonic, m_lowerLimit, m_upperLimit})
        {
            CommittedText(field) = field->text();
        }
        LoadTable();
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        MessageBox(this, FormatLibraryError(error), QString(), MB_OK | MB_ICONSTOP);
        m_closing = true;
        EndDialog(IDCANCEL);
        return false;
    }
    if (m_readOnly)
    {
        ApplyReadOnly();
    }
    else
    {
        m_grid->SetUndoStack(m_undo);
    }
    m_undo->clear();
    UpdateUndoItems();
    const QRect outer = frameGeometry();
    m_minWidth = outer.width();
    m_minHeight = outer.height();
    // Qt keeps the minimum without the frame, which is the same outer size.
    setMinimumSize(size());
    Layout();
    FitToScreen();
    return true;
}

// Wide enough to show every column of the table, but never larger than the
// screen it opens on (the smallest size then gives way too).
void CDevice::FitToScreen()
{
    const int tableWidth = m_grid->horizontalHeader()->length() + 2 * m_grid->frameWidth() +
                           (m_grid->verticalHeader()->isVisible() ? m_grid->verticalHeader()->width() : 0) +
                           m_grid->verticalScrollBar()->sizeHint().width();
    QSize wanted(width() + std::max(tableWidth - m_grid->width(), 0), height());
    winId(); // the frame the platform gives the window is known once it has one
    if (const QScreen* screen = this->screen())
    {
        const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        const QSize room = screen->availableGeometry().size() -
                           QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
        setMinimumSize(minimumSize().boundedTo(room));
        wanted = wanted.boundedTo(room);
    }
    resize(wanted);
}

void CDevice::DoDataExchange()
{
    if (m_undo == nullptr)
    {
        m_undo = new QUndoStack(this);
        connect(m_undo, &QUndoStack::indexChanged, this, [this] { UpdateUndoItems(); });
    }
    m_grid = new CEditFlexGrid;
    ReplaceDlgItem(IDC_POINT_GRID, m_grid);
    m_mnemonic = GetDlgItemAs<QLineEdit>(IDC_MNEMONIC);
    m_lowerLimit = GetDlgItemAs<QLineEdit>(IDC_LOWER_LIMIT);
    m_upperLimit = GetDlgItemAs<QLineEdit>(IDC_UPPER_LIMIT);
    m_s21ForS12 = GetDlgItemAs<QAbstractButton>(IDC_S21_FOR_S12);
    m_s11ForS22 = GetDlgItemAs<QAbstractButton>(IDC_S11_FOR_S22);
    m_cancel = GetDlgItemAs<QPushButton>(IDCANCEL);
    m_ok = GetDlgItemAs<QPushButton>(IDOK);
    m_parameters = GetDlgItemAs<QGroupBox>(IDC_DEVICE_PARAMETERS);
    m_mnemonicLabel = GetDlgItemAs<QLabel>(IDC_MNEMONIC_LABEL);
    m_lowerLimitLabel = GetDlgItemAs<QLabel>(IDC_LOWER_LIMIT_LABEL);
    m_upperLimitLabel = GetDlgItemAs<QLabel>(IDC_UPPER_LIMIT_LABEL);
}

void CDevice::SetupGrid()
{
    m_grid->setFont(CreateFontOrFallback(QStringLiteral("Courier New"), 8.25, QStringLiteral("Courier New")));
    int types[columnCount];
    for (long col = 0; col < columnCount; ++col)
    {
        types[col] = m_readOnly || col == 0 ? Locked : col == frequencyColumn ? Frequency : Value;
    }
    m_grid->SetFixedCols(1);
    // The frequency stays in view beside the point numbers.
    m_grid->SetFrozenCols(1);
    m_grid->SetupColumns(columnCount, types, columnHeaders);
    m_grid->SetRows(1);
    m_grid->SetColFormat(0, CellFormat::RowNumber);
    m_grid->SetColFormat(frequencyColumn, CellFormat::Engineering);
    for (long col = frequencyColumn + 1; col < columnCount; ++col)
    {
        m_grid->SetColFormat(col, CellFormat::Value);
    }
    for (long col = 0; col < columnCount; ++col)
    {
        m_grid->SetColWidth(col, col == 0 ? idColumnWidth : valueColumnWidth);
        m_grid->SetColAlignment(col, col == 0 ? alignCentre : alignRightCentre);
    }
}

void CDevice::LoadTable()
{
    const long count = m_dataSet->GetSParaFreqNumber(m_device);
    if (count < 1)
    {
        return;
    }
    CellBlock rows(count, columnCount);
    for (long point = 0; point < count; ++point)
    {
        rows.SetNumber(point, frequencyColumn, m_dataSet->GetSParaFreq(m_device, point));
        long col = frequencyColumn + 1;
        for (const SParaType<1>* tag : columnTags)
        {
            // The data set keeps these in single precision; each cell holds the
            // number its shortest text means, which stores as the same value.
            const SParaValue value = m_dataSet->GetSParaValue(m_device, point, tag);
            rows.SetNumber(point, col++, DecimalOfSingle(static_cast<float>(std::get<0>(value))));
            rows.SetNumber(point, col++, DecimalOfSingle(static_cast<float>(std::get<1>(value))));
            rows.SetNumber(point, col++, DecimalOfSingle(static_cast<float>(std::get<2>(value))));
        }
    }
    m_grid->ReplaceRowBlock(1, m_grid->GetRows() - 1, std::move(rows));
}

DeviceValues CDevice::ReadValues() const
{
    DeviceValues values;
    values.minPower = WindowToDouble(m_lowerLimit, 0);
    values.maxPower = WindowToDouble(m_upperLimit, 0);
    values.mnemonic = WideToUtf8(m_mnemonic->text());
    values.useS21ForS12 = m_s21ForS12->isChecked();
    values.useS11ForS22 = m_s11ForS22->isChecked();
    const long count = std::max(m_grid->GetRows() - 1, 0L);
    values.points.resize(static_cast<std::size_t>(count));
    for (long row = 1; row <= count; ++row)
    {
        DevicePoint& point = values.points[static_cast<std::size_t>(row - 1)];
        point.frequency = CellToDouble(*m_grid, row, frequencyColumn, 0);
        long col = frequencyColumn + 1;
        for (SParaValue& value : point.values)
        {
            std::get<0>(value) = CellToDouble(*m_grid, row, col++, 0);
            std::get<1>(value) = CellToDouble(*m_grid, row, col++, 0);
            std::get<2>(value) = CellToDouble(*m_grid, row, col++, 0);
        }
    }
    return values;
}

void CDevice::ShowRefusal(const DeviceTableRefused& refusal)
{
    QString place = QStringLiteral("Row %1").arg(refusal.row);
    if (refusal.col > 0 && refusal.col < columnCount)
    {
        place += QStringLiteral(", ") + columnHeaders[refusal.col];
    }
    const long col = std::max(refusal.col, frequencyColumn);
    m_grid->SetRow(refusal.row);
    m_grid->SetCol(col);
    m_grid->SetRowSel(refusal.row);
    m_grid->SetColSel(col);
    m_grid->setFocus(Qt::OtherFocusReason);
    MessageBox(this, FormatLibraryError(TvxKyyCalcDLLError(refusal.error.code, WideToUtf8(place))), QString(),
               MB_OK | MB_ICONSTOP);
}

void CDevice::ApplyReadOnly()
{
    for (QWidget* control :
         std::array<QWidget*, 6>{m_mnemonic, m_lowerLimit, m_upperLimit, m_s21ForS12, m_s11ForS22, m_ok})
    {
        control->setEnabled(false);
    }
    CMenu menu = GetMenu();
    menu.EnableMenuItem(ID_IMPORT_S2P, MF_BYCOMMAND | MF_GRAYED);
    menu.EnableMenuItem(ID_IMPORT_UNCERTAINTY, MF_BYCOMMAND | MF_GRAYED);
    menu.EnableMenuItem(ID_EDIT_PASTE, MF_BYCOMMAND | MF_GRAYED);
    // "Frequency Grid Points" as a whole.
    menu.EnableMenuItem(2, MF_BYPOSITION | MF_GRAYED);
    // Why nothing can be changed, and how to change that, above the table.
    m_protectedLine = new QLabel(QStringLiteral("This device is write-protected: it can be viewed, not changed. To change "
                                                "it, clear its tick in the \"Write Prot.\" column of the main window's "
                                                "device list, then open it again."),
                                 GetClientArea());
    m_protectedLine->setObjectName(QStringLiteral("writeProtectedLine"));
    m_protectedLine->setWordWrap(true);
    m_protectedLine->show();
}

void CDevice::OnOK()
{
    if (m_readOnly || !m_grid->CommitEdit())
    {
        return;
    }
    CommitFieldEdits();
    // Enter in a limit field presses OK without the field losing the focus.
    const bool lowerIsNumber = CheckPowerLimit(m_lowerLimit);
    const bool upperIsNumber = CheckPowerLimit(m_upperLimit);
    if (!lowerIsNumber || !upperIsNumber)
    {
        (lowerIsNumber ? m_upperLimit : m_lowerLimit)->setFocus(Qt::OtherFocusReason);
        return;
    }
    const double lower = WindowToDouble(m_lowerLimit, 0);
    const double upper = WindowToDouble(m_upperLimit, 0);
    if (lower >= upper &&
        MessageBox(this, QStringLiteral("Upper power limit should be higher than lower power limit. Proceed?"),
                   QString(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
    {
        return;
    }
    bool changed = false;
    try
    {
        changed = StoreDeviceValuesSafely(*m_dataSet, m_device, ReadValues());
    }
    catch (const DeviceTableRefused& refusal)
    {
        ShowRefusal(refusal);
        return;
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        MessageBox(this, FormatLibraryError(error), QString(), MB_OK | MB_ICONSTOP);
        return;
    }
    m_closing = true;
    // Nothing to store is closing as Cancel would: the data set keeps its record
    // of who calibrated the device last.
    EndDialog(changed ? IDOK : IDCANCEL);
}

void CDevice::OnCancel()
{
    if (!m_readOnly && HasChanges())
    {
        switch (AskToSaveChanges(this, QStringLiteral("This device has been changed.\r\nDo you want to save the changes?")))
        {
        case SaveChoice::Save:
            OnOK();
            return;
        case SaveChoice::Cancel:
            return;
        case SaveChoice::Discard:
            break;
        }
    }
    m_closing = true;
    CDialog::OnCancel();
}

bool CDevice::HasChanges()
{
    // An edit still open counts when its text is not the cell's.
    if (m_grid->IsEditing())
    {
        const CCellEdit& edit = m_grid->GetCellEdit();
        if (edit.text() != m_grid->GetTextMatrixExact(edit.GetRow(), edit.GetCol()))
        {
            return true;
        }
    }
    for (QLineEdit* field : {m_mnemonic, m_lowerLimit, m_upperLimit})
    {
        if (field->text() != CommittedText(field))
        {
            return true;
        }
    }
    return !m_undo->isClean();
}

QString& CDevice::CommittedText(QLineEdit* field)
{
    return m_committedTexts[field == m_mnemonic ? 0 : field == m_lowerLimit ? 1 : 2];
}

void CDevice::CommitFieldEdits()
{
    for (QLineEdit* field : {m_mnemonic, m_lowerLimit, m_upperLimit})
    {
        SetFieldText(field, field->text());
    }
}

void CDevice::SetFieldText(QLineEdit* field, const QString& text)
{
    const QString before = CommittedText(field);
    if (field->text() != text)
    {
        field->setText(text);
    }
    if (text == before)
    {
        return;
    }
    CommittedText(field) = text;
    m_undo->push(new CAppliedCommand(QStringLiteral("Edit field"), [this, field, before, text](bool redo) {
        field->setText(redo ? text : before);
        CommittedText(field) = field->text();
    }));
}

void CDevice::UpdateUndoItems()
{
    CMenu menu = GetMenu();
    menu.EnableMenuItem(ID_EDIT_UNDO, MF_BYCOMMAND | (!m_readOnly && m_undo->canUndo() ? MF_ENABLED : MF_GRAYED));
    menu.EnableMenuItem(ID_EDIT_REDO, MF_BYCOMMAND | (!m_readOnly && m_undo->canRedo() ? MF_ENABLED : MF_GRAYED));
}

void CDevice::OnEditUndo()
{
    if (m_readOnly || !m_grid->CommitEdit())
    {
        return;
    }
    CommitFieldEdits();
    m_undo->undo();
}

void CDevice::OnEditRedo()
{
    if (m_readOnly || !m_grid->CommitEdit())
    {
        return;
    }
    CommitFieldEdits();
    m_undo->redo();
}

void CDevice::OnSize(int, int)
{
    Layout();
}

void CDevice::Layout()
{
    const QWidget* client = GetClientArea();
    if (client == nullptr)
    {
        return;
    }
    // The window rectangle, frame included, in the client area's coordinates.
    const QRect outer = frameGeometry();
    const QPoint clientOrigin = client->mapTo(this, QPoint(0, 0));
    const int left = outer.left() - geometry().left() - clientOrigin.x();
    const int top = outer.top() - geometry().top() - clientOrigin.y();
    const int right = left + outer.width();
    const int bottom = top + outer.height();

    if (m_parameters != nullptr)
    {
        MoveControl(m_parameters, left + frameGap, bottom - frameGap - m_parameters->height());
        const int fieldsBottom = Bottom(m_parameters) - controlGap;
        if (m_mnemonic != nullptr)
        {
            MoveControl(m_mnemonic, m_parameters->x() + controlGap, fieldsBottom - m_mnemonic->height());
            if (m_lowerLimit != nullptr)
            {
                MoveControl(m_lowerLimit, Right(m_mnemonic) + controlGap, fieldsBottom - m_lowerLimit->height());
                if (m_upperLimit != nullptr)
                {
                    MoveControl(m_upperLimit, Right(m_lowerLimit) + controlGap, fieldsBottom - m_upperLimit->height());
                    if (m_s21ForS12 != nullptr)
                    {
                        MoveControl(m_s21ForS12, Right(m_upperLimit) + controlGap,
                                    fieldsBottom - m_s21ForS12->height());
                        if (m_s11ForS22 != nullptr)
                        {
                            MoveControl(m_s11ForS22, Right(m_upperLimit) + controlGap, m_s21ForS12->y() - controlGap);
                        }
                    }
                }
            }
        }
    }
    const std::pair<QLabel*, QLineEdit*> labels[] = {
        {m_mnemonicLabel, m_mnemonic}, {m_lowerLimitLabel, m_lowerLimit}, {m_upperLimitLabel, m_upperLimit}};
    for (const auto& [label, field] : labels)
    {
        if (label != nullptr && field != nullptr)
        {
            MoveControl(label, field->x(), field->y() - labelGap - label->height());
        }
    }
    if (m_ok != nullptr)
    {
        MoveControl(m_ok, right - controlGap - m_ok->width(), bottom - controlGap - m_ok->height());
        if (m_cancel != nullptr)
        {
            MoveControl(m_cancel, right - controlGap - m_cancel->width(), m_ok->y() - controlGap - m_cancel->height());
        }
    }
    if (m_grid != nullptr && m_parameters != nullptr)
    {
        const int gridLeft = left + controlGap;
        const int gridWidth = std::max(right - controlGap - gridLeft, 0);
        int gridTop = frameGap;
        if (m_protectedLine != nullptr)
        {
            m_protectedLine->setGeometry(gridLeft, frameGap, gridWidth, m_protectedLine->heightForWidth(gridWidth));
            gridTop = Bottom(m_protectedLine) + controlGap;
        }
        const int gridBottom = m_parameters->y() - frameGap;
        m_grid->setGeometry(gridLeft, gridTop, gridWidth, std::max(gridBottom - gridTop, 0));
    }
}

bool CDevice::CheckPowerLimit(QLineEdit* field)
{
    const QScopedValueRollback<bool> checking(m_checkingLimit, true);
    QString text = field->text();
    const bool isNumber = NormalizeNumber(text, true);
    if (!isNumber)
    {
        MessageBeep(MB_DEFAULT_BEEP);
        MessageBox(this, QStringLiteral("Invalid floating point value: ") + text, QString(), MB_OK | MB_ICONERROR);
        field->setFocus(Qt::OtherFocusReason);
    }
    field->setText(text);
    return isNumber;
}

void CDevice::OnPowerLimitKillFocus(QLineEdit* field)
{
    if (!m_checkingLimit && !m_closing && field != nullptr && field->isEnabled())
    {
        CheckPowerLimit(field);
        CommitFieldEdits();
    }
}

void CDevice::OnMirrorOption(QAbstractButton* box, long firstColumn)
{
    const auto apply = [this, box, firstColumn](bool checked) {
        box->setChecked(checked);
        for (long col = firstColumn; col < firstColumn + 3; ++col)
        {
            m_grid->SetColumnType(col, checked ? Locked : Value);
        }
    };
    const bool checked = box->isChecked();
    apply(checked);
    m_undo->push(new CAppliedCommand(box->text(), [apply, checked](bool redo) { apply(redo == checked); }));
}

void CDevice::OnGridInsert(WPARAM, LPARAM)
{
    if (!m_readOnly && m_grid->CommitEdit())
    {
        InsertBeforeSelection();
    }
}

void CDevice::OnGridDelete(WPARAM, LPARAM)
{
    if (m_readOnly || !m_grid->CommitEdit())
    {
        return;
    }
    const long c1 = std::min(m_grid->GetCol(), m_grid->GetColSel());
    const long c2 = std::max(m_grid->GetCol(), m_grid->GetColSel());
    if (c1 == 1 && c2 == m_grid->GetCols() - 1)
    {
        DeleteSelectedRows();
    }
    else
    {
        ClearSelectedCells();
    }
}

void CDevice::OnGridSelectAll(WPARAM, LPARAM)
{
    if (!m_grid->CommitEdit())
    {
        return;
    }
    m_grid->SetRow(1);
    m_grid->SetCol(1);
    m_grid->SetRowSel(m_grid->GetRows() - 1);
    m_grid->SetColSel(m_grid->GetCols() - 1);
}

void CDevice::OnGridCopy(WPARAM, LPARAM)
{
    OnEditCopy();
}

void CDevice::OnGridPaste(WPARAM, LPARAM)
{
    OnEditPaste();
}

void CDevice::OnEditCopy()
{
    if (m_grid->CommitEdit())
    {
        CopyCells(*m_grid);
    }
}

void CDevice::OnEditPaste()
{
    if (m_readOnly || !m_grid->CommitEdit())
    {
        return;
    }
    PastedRows paste = PasteRows(*m_grid, GetClipboardText8(), NewPoints(1));
    if (FitsInDevice(paste.first + paste.rows.Rows() + (m_grid->GetRows() - paste.first - paste.replaced),
                     RowPlace(maxSParaFreqNumber + 1)))
    {
        ChangeRows(paste.first, paste.replaced, std::move(paste.rows), QStringLiteral("Paste"));
    }
}

void CDevice::OnInsertRows()
{
    if (!m_readOnly && m_grid->CommitEdit())
    {
        InsertBeforeSelection();
    }
}

void CDevice::OnAppendRow()
{
    if (!m_readOnly && m_grid->CommitEdit())
    {
        AppendRow();
    }
}

void CDevice::OnDeleteRows()
{
    if (!m_readOnly && m_grid->CommitEdit())
    {
        DeleteSelectedRows();
    }
}

void CDevice::OnSetNumber()
{
    if (!m_readOnly && m_grid->CommitEdit())
    {
        SetNumber();
    }
}

void CDevice::OnPlot()
{
    if (m_plot == nullptr)
    {
        m_plot = new CPlotWindow(*m_grid, windowTitle() + QStringLiteral(" - S-Parameters"), this);
        // Beside the editor, where the screen has room for it.
        QRect place(frameGeometry().topRight() + QPoint(8, 0), m_plot->size());
        if (const QScreen* screen = this->screen())
        {
            const QRect room = screen->availableGeometry();
            place.moveRight(std::min(place.right(), room.right()));
            place.moveBottom(std::min(place.bottom(), room.bottom()));
        }
        m_plot->move(place.topLeft());
    }
    m_plot->show();
    m_plot->raise();
    m_plot->activateWindow();
}

void CDevice::InsertBeforeSelection()
{
    if (m_grid->GetRows() == 1)
    {
        AppendRow();
        return;
    }
    const long r1 = std::min(m_grid->GetRow(), m_grid->GetRowSel());
    const long r2 = std::max(m_grid->GetRow(), m_grid->GetRowSel());
    const long count = r2 - r1 + 1;
    if (FitsInDevice(m_grid->GetRows() + count, RowPlace(maxSParaFreqNumber + 1)))
    {
        ChangeRows(r1, 0, NewPoints(count), QStringLiteral("Insert rows"));
    }
}

void CDevice::AppendRow()
{
    if (FitsInDevice(m_grid->GetRows() + 1, RowPlace(maxSParaFreqNumber + 1)))
    {
        ChangeRows(m_grid->GetRows(), 0, NewPoints(1), QStringLiteral("Append row"));
    }
}

CellBlock CDevice::NewPoints(long count) const
{
    CellBlock rows(count, columnCount);
    for (long row = 0; row < count; ++row)
    {
        for (long col = frequencyColumn; col < columnCount; ++col)
        {
            rows.SetNumber(row, col, NewPointValue(col));
        }
    }
    return rows;
}

void CDevice::ChangeRows(long first, long count, CellBlock rows, const QString& what)
{
    PushTableChange(*m_undo, *m_grid, first, count, std::move(rows), what);
}

bool CDevice::FitsInDevice(long rows, const std::string& firstTooMany)
{
    if (rows - 1 <= maxSParaFreqNumber)
    {
        return true;
    }
    MessageBox(this, FormatLibraryError(TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument, firstTooMany)), QString(),
               MB_OK | MB_ICONSTOP);
    return false;
}

void CDevice::DeleteSelectedRows()
{
    const long rows = m_grid->GetRows();
    const long r1 = std::min(m_grid->GetRow(), m_grid->GetRowSel());
    const long r2 = std::max(m_grid->GetRow(), m_grid->GetRowSel());
    const long count = r2 - r1 + 1;
    if (r1 < 1 || count >= rows)
    {
        return;
    }
    ChangeRows(r1, count, CellBlock(0, columnCount), QStringLiteral("Delete rows"));
}

void CDevice::ClearSelectedCells()
{
    const long r1 = std::max(std::min(m_grid->GetRow(), m_grid->GetRowSel()), 1L);
    const long r2 = std::max(m_grid->GetRow(), m_grid->GetRowSel());
    const long c1 = std::max(std::min(m_grid->GetCol(), m_grid->GetColSel()), 1L);
    const long c2 = std::max(m_grid->GetCol(), m_grid->GetColSel());
    if (r2 < r1)
    {
        return;
    }
    CellBlock rows = m_grid->GetRowBlock(r1, r2 - r1 + 1);
    for (long row = 0; row < rows.Rows(); ++row)
    {
        for (long col = c1; col <= c2; ++col)
        {
            rows.SetNumber(row, col, 0);
        }
    }
    ChangeRows(r1, rows.Rows(), std::move(rows), QStringLiteral("Clear cells"));
}

void CDevice::SetNumber()
{
    CSetnumberDialog dialog(this);
    dialog.m_number = static_cast<int>(m_grid->GetRows() - 1);
    const int result = dialog.DoModal();
    if (result == -1)
    {
        MessageBox(this, QStringLiteral("Dialog Box could not be created."), QString(), MB_OK | MB_ICONERROR);
        return;
    }
    if (result != IDOK)
    {
        return;
    }
    ChangeRows(1, m_grid->GetRows() - 1, NewPoints(std::max(dialog.m_number, 0)), QStringLiteral("Set number"));
}
