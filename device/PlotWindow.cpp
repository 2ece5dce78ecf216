#include "PlotWindow.h"

#include "FileDialog.h"
#include "LibraryError.h"
#include "MSFlexGrid.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "TamrixError.h"
#include "TextConversion.h"

#include <QAreaSeries>
#include <QApplication>
#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPushButton>
#include <QRubberBand>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSaveFile>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr double noValue = std::numeric_limits<double>::quiet_NaN();
constexpr const char* names[4] = {"S11", "S21", "S12", "S22"};
const QColor colours[4] = {QColor(31, 119, 180), QColor(214, 39, 40), QColor(44, 160, 44), QColor(255, 127, 14)};
// Above this many points in view a curve shows the smallest and largest value
// of each of half as many runs of points: the same picture at any screen width.
constexpr std::size_t mostPoints = 4000;

double Cell(const CMSFlexGrid& grid, long row, long col)
{
    return grid.GetValueMatrix(row, col).value_or(noValue);
}

// A step of 1, 2 or 5 times a power of ten that cuts `range` into about six.
double RoundStep(double range)
{
    const double rough = range > 0 && std::isfinite(range) ? range / 6 : 1;
    const double decade = std::pow(10.0, std::floor(std::log10(rough)));
    return decade * (rough > 5 * decade ? 10 : rough > 2 * decade ? 5 : rough > decade ? 2 : 1);
}

double Decibels(double magnitude)
{
    return magnitude > 0 && std::isfinite(magnitude) ? 20 * std::log10(magnitude) : noValue;
}

// The runs of points of `y` between rows `first` and `last` (inclusive) that
// can be drawn, each as a polyline; `keep` picks which of a bucket's values
// stand for it (-1 the smallest, 1 the largest, 0 both in their order).
std::vector<QList<QPointF>> Runs(const std::vector<double>& x, const std::vector<double>& y, std::size_t first,
                                 std::size_t last, std::size_t bucket, int keep, double wrap = HUGE_VAL)
{
    std::vector<QList<QPointF>> runs;
    QList<QPointF> run;
    const auto close = [&] {
        if (!run.isEmpty())
        {
            runs.push_back(std::move(run));
            run = {};
        }
    };
    for (std::size_t start = first; start <= last; start += bucket)
    {
        const std::size_t end = std::min(start + bucket, last + 1);
        std::size_t low = end, high = end;
        bool gap = false;
        for (std::size_t i = start; i < end; ++i)
        {
            if (!std::isfinite(x[i]) || !std::isfinite(y[i]))
            {
                gap = true;
                continue;
            }
            low = low == end || y[i] < y[low] ? i : low;
            high = high == end || y[i] > y[high] ? i : high;
        }
        if (low != end)
        {
            std::size_t picked[2] = {keep > 0 ? high : low, keep < 0 ? low : high};
            if (picked[0] > picked[1])
            {
                std::swap(picked[0], picked[1]);
            }
            for (std::size_t k = 0; k < (picked[1] != picked[0] ? 2u : 1u); ++k)
            {
                const std::size_t i = picked[k];
                // A phase that wraps round (-180 to 180) is not joined across.
                if (!run.isEmpty() && std::fabs(y[i] - run.back().y()) > wrap)
                {
                    close();
                }
                run.append(QPointF(x[i], y[i]));
            }
        }
        if (gap)
        {
            close();
        }
    }
    close();
    return runs;
}


} // namespace

// A chart view that zooms the frequency axis and reports where the mouse is.
class CPlotWindow::View : public QChartView
{
public:
    explicit View(CPlotWindow& owner)
        : QChartView(new QChart)
        , m_owner(owner)
    {
        setRubberBand(QChartView::HorizontalRubberBand);
        setRenderHint(QPainter::Antialiasing, true);
        setMouseTracking(true);
        chart()->legend()->setAlignment(Qt::AlignTop);
        chart()->setMargins(QMargins(4, 4, 4, 4));
        m_linearX = new QValueAxis;
        m_linearX->setLabelFormat(QStringLiteral("%.4g"));
        m_logX = new QLogValueAxis;
        m_logX->setLabelFormat(QStringLiteral("%g"));
        m_logX->setMinorTickCount(8);
        m_y = new QValueAxis;
        m_y->setLabelFormat(QStringLiteral("%.4g"));
        for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(m_linearX), static_cast<QAbstractAxis*>(m_logX)})
        {
            axis->setTitleText(QStringLiteral("Frequency"));
            chart()->addAxis(axis, Qt::AlignBottom);
        }
        chart()->addAxis(m_y, Qt::AlignLeft);
        // The legend names the four parameters with series of their own, which
        // draw nothing; the curves' runs come and go without it.
        for (std::size_t s = 0; s < 4; ++s)
        {
            auto* key = new QLineSeries;
            key->setColor(colours[s]);
            chart()->addSeries(key);
            key->attachAxis(m_linearX);
            key->attachAxis(m_y);
            m_keys.push_back(key);
            // A click on a parameter's legend entry hides its curves and bands, another shows them.
            for (QLegendMarker* marker : chart()->legend()->markers(key))
            {
                connect(marker, &QLegendMarker::clicked, this, [this, s, marker] {
                    m_hidden[s] = !m_hidden[s];
                    marker->setLabelBrush(m_hidden[s] ? QBrush(Qt::gray) : palette().text());
                    m_owner.Rebuild();
                });
            }
        }
        // The markers: rings on the curves at their rows.
        m_markers = new QScatterSeries;
        m_markers->setName(QStringLiteral("Markers"));
        m_markers->setMarkerSize(9);
        m_markers->setColor(Qt::transparent);
        m_markers->setBorderColor(Qt::black);
        chart()->addSeries(m_markers);
        m_markers->attachAxis(m_linearX);
        m_markers->attachAxis(m_y);
        for (QLegendMarker* marker : chart()->legend()->markers(m_markers))
        {
            marker->setVisible(false);
        }
        connect(m_linearX, &QValueAxis::rangeChanged, &owner, &CPlotWindow::OnAxisRange);
        connect(m_logX, &QLogValueAxis::rangeChanged, &owner, &CPlotWindow::OnAxisRange);
    }

    // Frequencies are drawn in `unit` (Hz, kHz, MHz or GHz), which every tick names.
    void SetFrequencyUnit(const QString& unit)
    {
        m_linearX->setLabelFormat(QStringLiteral("%.4g ") + unit);
        m_logX->setLabelFormat(QStringLiteral("%g ") + unit);
    }

    // `fitted`: the value range is rounded out to ticks at round numbers.
    void SetValueTitle(const QString& title, int ticks, bool fitted, const QString& keyFormat)
    {
        for (std::size_t s = 0; s < m_keys.size(); ++s)
        {
            m_keys[s]->setName(keyFormat.arg(names[s]));
        }
        m_y->setTitleText(title);
        m_y->setTickCount(ticks);
        m_fitted = fitted;
    }

    void ShowMarkers(const QList<QPointF>& points, bool logarithmic)
    {
        QAbstractAxis* axisX = logarithmic ? static_cast<QAbstractAxis*>(m_logX) : m_linearX;
        QAbstractAxis* otherX = logarithmic ? static_cast<QAbstractAxis*>(m_linearX) : m_logX;
        if (m_markers->attachedAxes().contains(otherX))
        {
            m_markers->detachAxis(otherX);
        }
        if (!m_markers->attachedAxes().contains(axisX))
        {
            m_markers->attachAxis(axisX);
        }
        m_markers->replace(points);
    }

    QScatterSeries* MarkerSeries() const { return m_markers; }

    // A run of a curve, or of a band between `points` and `lower`.
    struct Item
    {
        std::size_t parameter; // 0 to 3: S11, S21, S12, S22
        QString name;
        QColor colour;
        QList<QPointF> points;
        QList<QPointF> lower;
    };

    void Show(const std::vector<Item>& items, bool logarithmic, std::pair<double, double> x, std::pair<double, double> y)
    {
        QAbstractAxis* axisX = logarithmic ? static_cast<QAbstractAxis*>(m_logX) : m_linearX;
        QAbstractAxis* otherX = logarithmic ? static_cast<QAbstractAxis*>(m_linearX) : m_logX;
        otherX->setVisible(false);
        axisX->setVisible(true);
        axisX->setRange(x.first, x.second);
        // The frequency ticks at round steps, wherever the zoom has put the range.
        m_linearX->setTickType(QValueAxis::TicksDynamic);
        m_linearX->setTickAnchor(0);
        m_linearX->setTickInterval(RoundStep(x.second - x.first));
        m_y->setRange(y.first, y.second);
        if (m_fitted)
        {
            const double step = RoundStep(y.second - y.first);
            m_y->setRange(std::floor(y.first / step) * step, std::ceil(y.second / step) * step);
            m_y->setTickType(QValueAxis::TicksDynamic);
            m_y->setTickAnchor(0);
            m_y->setTickInterval(step);
        }
        std::size_t lines = 0, areas = 0;
        const auto take = [&](QAbstractSeries* series, const Item& item) {
            if (series->attachedAxes().contains(otherX))
            {
                series->detachAxis(otherX);
            }
            if (!series->attachedAxes().contains(axisX))
            {
                series->attachAxis(axisX);
            }
            series->setName(item.name);
            series->setVisible(!m_hidden[item.parameter]);
        };
        for (const Item& item : items)
        {
            if (item.lower.isEmpty())
            {
                if (lines == m_lines.size())
                {
                    m_lines.push_back(Add(new QLineSeries));
                }
                QLineSeries* line = m_lines[lines++];
                line->replace(item.points);
                line->setColor(item.colour);
                // A lone point between gaps has no line to show it.
                line->setPointsVisible(item.points.size() == 1);
                take(line, item);
            }
            else
            {
                if (areas == m_areas.size())
                {
                    // An area series does not own its edges.
                    auto* area = new QAreaSeries;
                    area->setUpperSeries(new QLineSeries(area));
                    area->setLowerSeries(new QLineSeries(area));
                    m_areas.push_back(Add(area));
                }
                QAreaSeries* area = m_areas[areas++];
                area->upperSeries()->replace(item.points);
                area->lowerSeries()->replace(item.lower);
                QColor band = item.colour;
                band.setAlpha(50);
                area->setPen(Qt::NoPen);
                area->setBrush(band);
                take(area, item);
            }
        }
        for (std::size_t i = lines; i < m_lines.size(); ++i)
        {
            m_lines[i]->setVisible(false);
            m_lines[i]->clear();
        }
        for (std::size_t i = areas; i < m_areas.size(); ++i)
        {
            m_areas[i]->setVisible(false);
            m_areas[i]->upperSeries()->clear();
            m_areas[i]->lowerSeries()->clear();
        }
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
        {
            m_clickAt = event->position();
        }
        if (event->button() == Qt::MiddleButton ||
            (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier)))
        {
            m_panFrom = event->position().x();
            return;
        }
        QChartView::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (m_panFrom)
        {
            const double width = std::max(chart()->plotArea().width(), 1.0);
            m_owner.Pan((*m_panFrom - event->position().x()) / width);
            m_panFrom = event->position().x();
            return;
        }
        m_owner.ShowReadout(chart()->mapToValue(event->position()).x() * m_owner.m_unit);
        QChartView::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (m_panFrom)
        {
            m_panFrom.reset();
            return;
        }
        if (event->button() == Qt::RightButton)
        {
            m_owner.ResetZoom();
            return;
        }
        // A click, not a drag: a marker at the nearest point, and no zoom.
        if (event->button() == Qt::LeftButton && m_clickAt &&
            (event->position() - *m_clickAt).manhattanLength() < QApplication::startDragDistance())
        {
            m_clickAt.reset();
            if (auto* band = viewport()->findChild<QRubberBand*>())
            {
                band->hide();
            }
            m_owner.AddMarker(chart()->mapToValue(event->position()).x() * m_owner.m_unit);
            return;
        }
        QChartView::mouseReleaseEvent(event);
    }
    template <class Series>
    Series* Add(Series* series)
    {
        chart()->addSeries(series);
        series->attachAxis(m_y);
        for (QLegendMarker* marker : chart()->legend()->markers(series))
        {
            marker->setVisible(false);
        }
        return series;
    }

    void wheelEvent(QWheelEvent* event) override
    {
        m_owner.Zoom(event->angleDelta().y() > 0 ? 0.8 : 1.25, chart()->mapToValue(event->position()).x() * m_owner.m_unit);
    }

private:
    CPlotWindow& m_owner;
    std::optional<double> m_panFrom;
    std::optional<QPointF> m_clickAt;
    QValueAxis* m_linearX;
    QLogValueAxis* m_logX;
    QValueAxis* m_y;
    bool m_fitted = false;
    std::array<bool, 4> m_hidden{}; // parameters hidden from the legend
    QScatterSeries* m_markers = nullptr;
    // Series are kept and refilled: a chart frees the parts of a removed one
    // only later, from the event loop.
    std::vector<QLineSeries*> m_keys;
    std::vector<QLineSeries*> m_lines;
    std::vector<QAreaSeries*> m_areas;
};

CPlotWindow::CPlotWindow(const CMSFlexGrid& grid, const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_grid(grid)
{
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_magnitude = new View(*this);
    m_magnitude->SetValueTitle(QStringLiteral("Magnitude / dB"), 7, true, QStringLiteral("|%1|"));
    m_phase = new View(*this);
    m_phase->SetValueTitle(QStringLiteral("Phase / \u00b0"), 5, false, QStringLiteral("\u2220%1"));
    m_readout = new QLabel;
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_logBox = new QCheckBox(QStringLiteral("&Logarithmic frequency axis"));
    auto* reset = new QPushButton(QStringLiteral("&Reset zoom"));
    auto* png = new QPushButton(QStringLiteral("Save as &PNG"));
    auto* svg = new QPushButton(QStringLiteral("Save as &SVG"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_logBox);
    buttons->addStretch();
    for (QPushButton* button : {reset, png, svg})
    {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_magnitude, 3);
    layout->addWidget(m_phase, 2);
    layout->addWidget(m_readout);
    m_markerList = new QLabel;
    m_markerList->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_markerList);
    connect(m_logBox, &QCheckBox::toggled, this, &CPlotWindow::SetLogarithmic);
    connect(reset, &QPushButton::clicked, this, &CPlotWindow::ResetZoom);
    connect(png, &QPushButton::clicked, this, [this] { OnSave(false); });
    connect(svg, &QPushButton::clicked, this, [this] { OnSave(true); });
    connect(&grid, &CMSFlexGrid::TextsChanged, this, &CPlotWindow::Reread);
    QSize size(900, 640);
    if (const QScreen* screen = parent != nullptr ? parent->screen() : this->screen())
    {
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    resize(size);
    Reread();
}

CPlotWindow::~CPlotWindow() = default;

CPlotWindow::Curves CPlotWindow::ReadCurves(const CMSFlexGrid& grid)
{
    Curves curves;
    const auto rows = static_cast<std::size_t>(std::max(grid.GetRows() - 1, 0L));
    curves.frequency.resize(rows);
    for (std::size_t s = 0; s < 4; ++s)
    {
        for (auto* values : {&curves.magnitude[s], &curves.phase[s], &curves.upper[s], &curves.lower[s]})
        {
            values->resize(rows);
        }
    }
    for (std::size_t i = 0; i < rows; ++i)
    {
        const long row = static_cast<long>(i) + 1;
        curves.frequency[i] = Cell(grid, row, 1);
        for (std::size_t s = 0; s < 4; ++s)
        {
            const long col = 2 + 3 * static_cast<long>(s);
            const double re = Cell(grid, row, col);
            const double im = Cell(grid, row, col + 1);
            const double u = Cell(grid, row, col + 2);
            const double magnitude = std::hypot(re, im);
            curves.magnitude[s][i] = Decibels(magnitude);
            curves.phase[s][i] = std::isfinite(re) && std::isfinite(im) ? std::atan2(im, re) * 180 / M_PI : noValue;
            // In dB a band is defined only where |S| - u > 0; elsewhere it is left out
            // rather than filled down to the bottom of the chart.
            const bool band = u > 0 && std::isfinite(u) && std::isfinite(curves.magnitude[s][i]) && magnitude > u;
            curves.upper[s][i] = band ? Decibels(magnitude + u) : noValue;
            curves.lower[s][i] = band ? Decibels(magnitude - u) : noValue;
        }
    }
    return curves;
}

QChart* CPlotWindow::MagnitudeChart() const
{
    return m_magnitude->chart();
}

QChart* CPlotWindow::PhaseChart() const
{
    return m_phase->chart();
}

std::pair<double, double> CPlotWindow::FrequencyRange() const
{
    return m_view.value_or(m_full);
}

void CPlotWindow::SetFrequencyRange(double from, double to)
{
    if (std::isfinite(from) && std::isfinite(to) && from < to && (!m_logarithmic || from > 0))
    {
        m_view = std::make_pair(from, to);
        Rebuild();
    }
}

void CPlotWindow::ResetZoom()
{
    m_view.reset();
    Rebuild();
}

void CPlotWindow::SetLogarithmic(bool logarithmic)
{
    if (m_logBox->isChecked() != logarithmic)
    {
        m_logBox->setChecked(logarithmic); // comes back here
        return;
    }
    m_logarithmic = logarithmic;
    m_view.reset();
    Reread();
}

double CPlotWindow::ToAxis(double frequency) const
{
    return m_logarithmic ? std::log10(frequency) : frequency;
}

double CPlotWindow::FromAxis(double position) const
{
    return m_logarithmic ? std::pow(10.0, position) : position;
}

void CPlotWindow::Zoom(double factor, std::optional<double> around)
{
    const auto [from, to] = FrequencyRange();
    const double a = ToAxis(from), b = ToAxis(to);
    const double centre = around && std::isfinite(ToAxis(*around)) ? std::clamp(ToAxis(*around), a, b) : (a + b) / 2;
    SetFrequencyRange(FromAxis(centre - (centre - a) * factor), FromAxis(centre + (b - centre) * factor));
}

void CPlotWindow::Pan(double fraction)
{
    const auto [from, to] = FrequencyRange();
    const double a = ToAxis(from), b = ToAxis(to), shift = (b - a) * fraction;
    SetFrequencyRange(FromAxis(a + shift), FromAxis(b + shift));
}

void CPlotWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key())
    {
    case Qt::Key_Plus:
        Zoom(0.8);
        break;
    case Qt::Key_Minus:
        Zoom(1.25);
        break;
    case Qt::Key_Left:
        Pan(-0.1);
        break;
    case Qt::Key_Right:
        Pan(0.1);
        break;
    case Qt::Key_Home:
        ResetZoom();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CPlotWindow::Reread()
{
    m_curves = ReadCurves(m_grid);
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (const double f : m_curves.frequency)
    {
        if (std::isfinite(f) && (!m_logarithmic || f > 0))
        {
            low = std::min(low, f);
            high = std::max(high, f);
        }
    }
    if (!(low <= high))
    {
        low = m_logarithmic ? 1 : 0, high = m_logarithmic ? 10 : 1;
    }
    else if (m_logarithmic)
    {
        // Whole decades, so that the axis has labels.
        low = std::pow(10.0, std::floor(std::log10(low)));
        high = std::max(std::pow(10.0, std::ceil(std::log10(high))), 10 * low);
    }
    else if (low == high)
    {
        low -= 0.5, high += 0.5;
    }
    m_full = {low, high};
    const double top = std::max(std::fabs(low), std::fabs(high));
    const auto unit = top >= 1e9 ? std::make_pair(1e9, "GHz") : top >= 1e6 ? std::make_pair(1e6, "MHz")
                    : top >= 1e3 ? std::make_pair(1e3, "kHz") : std::make_pair(1.0, "Hz");
    m_unit = unit.first;
    for (View* view : {m_magnitude, m_phase})
    {
        view->SetFrequencyUnit(QString::fromLatin1(unit.second));
    }
    Rebuild();
    if (m_readoutAt)
    {
        ShowReadout(*m_readoutAt); // of the table as it is now
    }
    ShowMarkers();
}

void CPlotWindow::Rebuild()
{
    const QScopedValueRollback<bool> rebuilding(m_rebuilding, true);
    const auto [from, to] = FrequencyRange();
    const std::vector<double>& f = m_curves.frequency;
    // Rows in view, with one on each side so that lines run to the edges; on
    // the logarithmic axis points at or below 0 Hz are left out.
    std::vector<double> x(f.size(), noValue);
    std::size_t first = f.size(), last = 0;
    for (std::size_t i = 0; i < f.size(); ++i)
    {
        if (!std::isfinite(f[i]) || (m_logarithmic && f[i] <= 0))
        {
            continue;
        }
        x[i] = f[i];
        if (f[i] >= from && f[i] <= to)
        {
            first = std::min(first, i);
            last = std::max(last, i);
        }
    }
    const bool none = first == f.size();
    first = none ? 0 : (first > 0 ? first - 1 : 0);
    last = none ? 0 : std::min(last + 1, f.size() - 1);
    const std::size_t count = none ? 0 : last - first + 1;
    const std::size_t bucket = count > mostPoints ? (count + mostPoints / 2 - 1) / (mostPoints / 2) : 1;

    // The magnitudes' axis fits what is in view.
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (std::size_t s = 0; s < 4; ++s)
    {
        for (std::size_t i = first; i < first + count; ++i)
        {
            for (const double v : {m_curves.magnitude[s][i], m_curves.upper[s][i], m_curves.lower[s][i]})
            {
                if (std::isfinite(x[i]) && x[i] >= from && x[i] <= to && std::isfinite(v))
                {
                    low = std::min(low, v);
                    high = std::max(high, v);
                }
            }
        }
    }
    if (!(low <= high))
    {
        low = -1, high = 1;
    }
    const double margin = std::max((high - low) * 0.05, 0.5);
    low -= margin, high += margin;

    std::vector<View::Item> magnitudes, phases;
    // Drawn in the axis' unit.
    for (double& position : x)
    {
        position /= m_unit;
    }
    for (std::size_t s = 0; s < 4 && count > 0; ++s)
    {
        const auto uppers = Runs(x, m_curves.upper[s], first, last, bucket, 1);
        const auto lowers = Runs(x, m_curves.lower[s], first, last, bucket, -1);
        for (std::size_t r = 0; r < std::min(uppers.size(), lowers.size()); ++r)
        {
            magnitudes.push_back({s, QStringLiteral("%1 uncertainty").arg(names[s]), colours[s], uppers[r], lowers[r]});
        }
    }
    for (std::size_t s = 0; s < 4 && count > 0; ++s)
    {
        const auto magnitude = Runs(x, m_curves.magnitude[s], first, last, bucket, 0);
        for (std::size_t r = 0; r < magnitude.size(); ++r)
        {
            magnitudes.push_back({s, QStringLiteral("|%1|").arg(names[s]), colours[s], magnitude[r], {}});
        }
        const auto phase = Runs(x, m_curves.phase[s], first, last, bucket, 0, 180);
        for (std::size_t r = 0; r < phase.size(); ++r)
        {
            phases.push_back({s, QStringLiteral("\u2220%1").arg(names[s]), colours[s], phase[r], {}});
        }
    }
    m_magnitude->Show(magnitudes, m_logarithmic, {from / m_unit, to / m_unit}, {low, high});
    m_phase->Show(phases, m_logarithmic, {from / m_unit, to / m_unit}, {-180, 180});
    QList<QPointF> onMagnitudes, onPhases;
    for (const std::size_t row : m_markerRows)
    {
        for (std::size_t s = 0; s < 4 && row < f.size() && std::isfinite(x[row]); ++s)
        {
            onMagnitudes.append(QPointF(x[row], m_curves.magnitude[s][row]));
            onPhases.append(QPointF(x[row], m_curves.phase[s][row]));
        }
    }
    const auto noValueAt = [](const QPointF& p) { return !std::isfinite(p.y()); };
    onMagnitudes.removeIf(noValueAt);
    onPhases.removeIf(noValueAt);
    m_magnitude->ShowMarkers(onMagnitudes, m_logarithmic);
    m_phase->ShowMarkers(onPhases, m_logarithmic);
}

void CPlotWindow::OnAxisRange(double from, double to)
{
    // A drag across a chart zooms its axis; both charts then show that range,
    // the value axes fitted to it. Not while the axes are being set up.
    if (!m_rebuilding)
    {
        m_view = std::make_pair(from * m_unit, to * m_unit);
        QMetaObject::invokeMethod(this, [this] { Rebuild(); }, Qt::QueuedConnection);
    }
}

void CPlotWindow::ShowReadout(double frequency)
{
    m_readoutAt = frequency;
    const std::vector<double>& f = m_curves.frequency;
    const std::size_t nearest = NearestRow(frequency);
    m_readout->setText(nearest == f.size() ? QString() : RowText(nearest));
}

std::size_t CPlotWindow::NearestRow(double frequency) const
{
    const std::vector<double>& f = m_curves.frequency;
    std::size_t nearest = f.size();
    for (std::size_t i = 0; i < f.size(); ++i)
    {
        if (std::isfinite(f[i]) && (nearest == f.size() || std::fabs(f[i] - frequency) < std::fabs(f[nearest] - frequency)))
        {
            nearest = i;
        }
    }
    return nearest;
}

// "Row 3: 2.5e9 Hz   |S11| -6.02 dB 45.0°   ..." of the table as it is now.
QString CPlotWindow::RowText(std::size_t row) const
{
    const auto number = [](double v, const char* unit, int decimals) {
        return std::isfinite(v) ? QString::number(v, 'f', decimals) + QString::fromUtf8(unit) : QStringLiteral("-");
    };
    QString text = QStringLiteral("Row %1: %2 Hz").arg(row + 1).arg(FormatEngineering(m_curves.frequency[row]));
    for (std::size_t s = 0; s < 4; ++s)
    {
        text += QStringLiteral("   |%1| %2 %3").arg(names[s], number(m_curves.magnitude[s][row], " dB", 2),
                                                    number(m_curves.phase[s][row], "\u00b0", 1));
    }
    return text;
}

void CPlotWindow::AddMarker(double frequency)
{
    const std::size_t row = NearestRow(frequency);
    if (row == m_curves.frequency.size())
    {
        return;
    }
    // Up to four: a fifth takes the place of the first.
    m_markerRows.erase(std::remove(m_markerRows.begin(), m_markerRows.end(), row), m_markerRows.end());
    if (m_markerRows.size() == 4)
    {
        m_markerRows.erase(m_markerRows.begin());
    }
    m_markerRows.push_back(row);
    ShowMarkers();
    Rebuild();
}

QString CPlotWindow::Markers() const
{
    return m_markerList->text();
}

// The markers stay on their rows while the table changes; a row that is gone takes its marker along.
void CPlotWindow::ShowMarkers()
{
    m_markerRows.erase(std::remove_if(m_markerRows.begin(), m_markerRows.end(),
                                      [this](std::size_t row) { return row >= m_curves.frequency.size(); }),
                       m_markerRows.end());
    QStringList lines;
    for (std::size_t m = 0; m < m_markerRows.size(); ++m)
    {
        lines << QStringLiteral("M%1  %2").arg(m + 1).arg(RowText(m_markerRows[m]));
    }
    m_markerList->setText(lines.join(QLatin1Char('\n')));
    m_markerList->setVisible(!lines.isEmpty());
}

QString CPlotWindow::Readout() const
{
    return m_readout->text();
}

void CPlotWindow::PaintCharts(QPainter& painter)
{
    // The widgets as they show, one above the other (not the scene alone).
    static_cast<QWidget*>(m_magnitude)->render(&painter);
    static_cast<QWidget*>(m_phase)->render(&painter, QPoint(0, m_magnitude->height()));
}

bool CPlotWindow::SavePng(const QString& path)
{
    QImage image(m_magnitude->width(), m_magnitude->height() + m_phase->height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PaintCharts(painter);
    }
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
    if (!saved)
    {
        MessageBox(this, FormatLibraryError(TvxKyyCalcDLLError(TamrixErrorCode::FileWrite, WideToPath(path))), QString(),
                   MB_OK | MB_ICONSTOP);
    }
    return saved;
}

bool CPlotWindow::SaveSvg(const QString& path)
{
    QSaveFile file(path);
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved)
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&file);
        const QSize size(m_magnitude->width(), m_magnitude->height() + m_phase->height());
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle(windowTitle());
        QPainter painter(&generator);
        PaintCharts(painter);
        saved = painter.end() && file.commit();
    }
    if (!saved)
    {
        MessageBox(this, FormatLibraryError(TvxKyyCalcDLLError(TamrixErrorCode::FileWrite, WideToPath(path))), QString(),
                   MB_OK | MB_ICONSTOP);
    }
    return saved;
}

void CPlotWindow::OnSave(bool svg)
{
    const QString extension = svg ? QStringLiteral("SVG") : QStringLiteral("PNG");
    const QString filter = svg ? QStringLiteral("*.svg Files|*.svg;|All Files (*.*)|*.*||")
                               : QStringLiteral("*.png Files|*.png;|All Files (*.*)|*.*||");
    CFileDialog dialog(false, extension, QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter, this);
    dialog.SetTitle(svg ? QStringLiteral("Save as SVG") : QStringLiteral("Save as PNG"));
    if (dialog.DoModal() != IDOK || dialog.GetPathName().isEmpty())
    {
        return;
    }
    svg ? SaveSvg(dialog.GetPathName()) : SavePng(dialog.GetPathName());
}
