#pragma once

// A window beside the device editor that shows the frequency table as an RF
// engineer reads it: |S11|, |S21|, |S12| and |S22| in dB above, their phases in
// degrees below, against frequency on a linear or logarithmic axis, with the
// uncertainty as a band around each magnitude where it is not zero.
//
// It shows the grid's texts as they are now and follows every change of them.
// A row whose frequency or value is not a number leaves a gap in that curve (so
// does a point at or below 0 Hz on the logarithmic axis, and a magnitude of 0).
//
// Zoom: drag across a chart (frequency only; the value axes fit what is in
// view), the mouse wheel, or + and -; pan: drag with the middle button or Shift,
// or the arrow keys; the right button or "Reset zoom" shows everything again.

#include <QWidget>

#include <array>
#include <optional>
#include <utility>
#include <vector>

class CMSFlexGrid;
class QCheckBox;
class QChart;
class QChartView;
class QLabel;
class QPainter;
class QPushButton;

class CPlotWindow : public QWidget
{
    Q_OBJECT

public:
    // `grid` (the editor's: frequency in column 1, then real part, imaginary
    // part and uncertainty of S11, S21, S12 and S22) must outlive the window.
    CPlotWindow(const CMSFlexGrid& grid, const QString& title, QWidget* parent);
    ~CPlotWindow() override;

    // One value per table row: NaN where there is none to show.
    struct Curves
    {
        std::vector<double> frequency;
        std::array<std::vector<double>, 4> magnitude; // dB
        std::array<std::vector<double>, 4> phase;     // degrees
        std::array<std::vector<double>, 4> upper;     // dB; NaN where no uncertainty
        std::array<std::vector<double>, 4> lower;
    };
    static Curves ReadCurves(const CMSFlexGrid& grid);

    QChart* MagnitudeChart() const;
    QChart* PhaseChart() const;
    // The frequency range in view.
    std::pair<double, double> FrequencyRange() const;
    void SetFrequencyRange(double from, double to);
    void ResetZoom();
    void SetLogarithmic(bool logarithmic);
    // The readout for the point nearest to `frequency`.
    void ShowReadout(double frequency);
    QString Readout() const;
    // A marker at the row nearest to `frequency` (up to four), and their list.
    void AddMarker(double frequency);
    QString Markers() const;
    // How many Hz one unit of the frequency axis is.
    double FrequencyUnit() const { return m_unit; }
    // Writes the charts as a picture; false (after telling the user) when the
    // file could not be written whole.
    bool SavePng(const QString& path);
    bool SaveSvg(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class View;

    void Reread();
    void Rebuild();
    void Zoom(double factor, std::optional<double> around = std::nullopt);
    void Pan(double fraction);
    void OnSave(bool svg);
    void OnAxisRange(double from, double to);
    void PaintCharts(QPainter& painter);
    std::size_t NearestRow(double frequency) const; // the number of rows when none has a frequency
    QString RowText(std::size_t row) const;
    void ShowMarkers();
    // Frequency to a position along the axis (its logarithm on a log axis) and back.
    double ToAxis(double frequency) const;
    double FromAxis(double position) const;

    const CMSFlexGrid& m_grid;
    Curves m_curves;
    // The full range of the frequencies that can be shown, and the one in view.
    std::pair<double, double> m_full{0, 1};
    std::optional<std::pair<double, double>> m_view;
    bool m_logarithmic = false;
    double m_unit = 1; // Hz in the unit the frequency axis is drawn in
    bool m_rebuilding = false;
    View* m_magnitude = nullptr;
    View* m_phase = nullptr;
    QLabel* m_readout = nullptr;
    std::optional<double> m_readoutAt; // the frequency the readout is for
    std::vector<std::size_t> m_markerRows; // oldest first
    QLabel* m_markerList = nullptr;
    QCheckBox* m_logBox = nullptr;
};
