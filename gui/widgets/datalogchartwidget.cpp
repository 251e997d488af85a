#include "datalogchartwidget.h"

#include "filehelper.h"
#include "localizationhelper.h"
#include "messagebox.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineF>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSvgGenerator>
#include <QThread>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <cmath>

using Orvane::Tavrix::Common::DataLogSeries;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

// One time axis label per this many pixels.
const int PixelsPerTimeLabel = 110;
// Up to this many points a line shows its points as dots.
const int DotsUpTo = 200;
// The tooltip shows the nearest point within this distance of the mouse.
const double ToolTipReach = 16.0;
// One value axis mark per this many pixels at most.
const int PixelsPerValueMark = 40;

} // namespace

DataLogChartWidget::DataLogChartWidget(QWidget* parent)
    : QWidget(parent)
{
    m_chart = new QChart;
    m_chart->setBackgroundRoundness(0);
    // Room on the right for a time label at the plot's end.
    m_chart->setMargins(QMargins(4, 4, 24, 4));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_timeAxis = new QCategoryAxis(m_chart);
    m_timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_valueAxis = new QValueAxis(m_chart);
    m_valueAxis->setLabelFormat(QStringLiteral("%.6g"));
    // Marks at round values (see refresh()), whatever range a zoom leaves.
    m_valueAxis->setTickType(QValueAxis::TicksDynamic);
    m_valueAxis->setTickAnchor(0);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);

    m_view = new QChartView(m_chart, this);
    m_view->setAccessibleName(guiText("Chart of the chosen logs"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setRubberBand(QChartView::RectangleRubberBand);
    m_view->setMinimumSize(480, 300);
    m_view->viewport()->setMouseTracking(true);
    m_view->viewport()->installEventFilter(this);
    // The keyboard zooms too: + and - around the middle, 0 for the whole log.
    m_view->setFocusPolicy(Qt::StrongFocus);
    m_view->installEventFilter(this);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setWordWrap(true);
    m_resetButton = new QPushButton(guiText("Reset zoom"), this);
    m_resetButton->setAutoDefault(false);
    m_saveButton = new QPushButton(guiText("Save chart"), this);
    m_saveButton->setAutoDefault(false);
    m_resetButton->setAccessibleDescription(guiText("Shows the whole of the chosen logs again."));
    m_saveButton->setAccessibleDescription(guiText("Saves the chart as shown as a PNG or SVG picture, with the "
                                                   "device, the logs and the time span as its title."));
    connect(m_resetButton, &QPushButton::clicked, this, &DataLogChartWidget::resetZoom);
    connect(m_saveButton, &QPushButton::clicked, this, &DataLogChartWidget::onSaveChart);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(m_statusLabel, 1);
    row->addWidget(m_resetButton);
    row->addWidget(m_saveButton);
    layout->addLayout(row);

    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(StartDelayMs);
    connect(&m_startTimer, &QTimer::timeout, this, &DataLogChartWidget::startLoading);
    // Zooming changes both axes at once: the lines are worked out again once.
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &DataLogChartWidget::refresh);
    connect(m_timeAxis, &QValueAxis::rangeChanged, &m_refreshTimer, qOverload<>(&QTimer::start));
    connect(m_valueAxis, &QValueAxis::rangeChanged, &m_refreshTimer, qOverload<>(&QTimer::start));
    connect(m_chart, &QChart::plotAreaChanged, &m_refreshTimer, qOverload<>(&QTimer::start));

    showLogs(QString(), QStringList());
}

DataLogChartWidget::~DataLogChartWidget()
{
    cancelLoading();
    for (QThread* reader : std::as_const(m_readers)) {
        reader->wait();
        delete reader;
    }
}

void DataLogChartWidget::showLogs(const QString& databasePath, const QStringList& logs)
{
    m_databasePath = databasePath;
    m_logs = logs;
    cancelLoading();
    m_startTimer.stop();
    if (logs.isEmpty()) {
        m_loadNote.clear();
        onLogsRead({});
        showStatus(guiText("Choose logs in the list to see their values over time."));
        return;
    }
    m_loading = true;
    showStatus(guiText("Reading the chosen logs..."));
    m_startTimer.start();
}

void DataLogChartWidget::cancelLoading()
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel.reset();
    ++m_generation;
    m_loading = false;
}

void DataLogChartWidget::startLoading()
{
    cancelLoading();
    const QStringList logs = m_logs.mid(0, MaximumLogs);
    m_loadNote = m_logs.size() > MaximumLogs ? guiText("The first %1 of %2 chosen logs are drawn.").arg(MaximumLogs).arg(m_logs.size())
                                             : QString();
    auto cancel = std::make_shared<std::atomic_bool>(false);
    auto results = std::make_shared<QList<DataLogSeries>>();
    m_cancel = cancel;
    m_loading = true;
    const int generation = m_generation;
    const QString databasePath = m_databasePath;
    QThread* reader = QThread::create([databasePath, logs, cancel, results]() {
        for (const QString& log : logs) {
            if (cancel->load())
                return;
            results->append(DataLogSeries::read(databasePath, log, cancel.get()));
        }
    });
    m_readers << reader;
    connect(reader, &QThread::finished, this, [this, reader, generation, results]() {
        m_readers.removeOne(reader);
        reader->deleteLater();
        if (generation == m_generation) {
            m_loading = false;
            onLogsRead(*results);
        }
    });
    reader->start();
}

void DataLogChartWidget::onLogsRead(const QList<DataLogSeries>& series)
{
    m_chart->removeAllSeries();
    m_lines.clear();
    m_series = series;

    QStringList notes;
    if (!m_loadNote.isEmpty())
        notes << m_loadNote;
    double first = 0;
    double last = 0;
    double low = 0;
    double high = 0;
    bool any = false;
    for (const DataLogSeries& log : series) {
        if (!log.error().isEmpty())
            notes << guiText("%1 could not be read: %2").arg(log.name(), log.error());
        else if (log.rowCount() == 0)
            notes << guiText("%1 has no rows.").arg(log.name());
        else if (log.timeFormat() == DataLogSeries::UnknownTime)
            notes << guiText("%1: the first column holds no times.").arg(log.name());
        else if (log.skippedRows() == 1)
            notes << guiText("%1: 1 row without a time or a number is not drawn.").arg(log.name());
        else if (log.skippedRows() > 1)
            notes << guiText("%1: %2 rows without a time or a number are not drawn.").arg(log.name()).arg(log.skippedRows());
        if (log.isEmpty()) {
            m_lines << nullptr;
            continue;
        }
        auto* line = new QLineSeries(m_chart);
        line->setName(log.name());
        line->setPointsVisible(log.count() <= DotsUpTo);
        m_chart->addSeries(line);
        line->attachAxis(m_timeAxis);
        line->attachAxis(m_valueAxis);
        m_lines << line;
        const double from = double(log.times().constFirst());
        const double to = double(log.times().constLast());
        first = any ? std::min(first, from) : from;
        last = any ? std::max(last, to) : to;
        low = any ? std::min(low, log.minimum()) : log.minimum();
        high = any ? std::max(high, log.maximum()) : log.maximum();
        any = true;
    }
    m_chart->legend()->setVisible(any);
    // What the lines show, for those who cannot see them, and how to zoom.
    QStringList summary;
    for (const DataLogSeries& log : series) {
        if (!log.isEmpty())
            summary << guiText("%1: %2 points from %3 to %4, values from %5 to %6.")
                           .arg(log.name())
                           .arg(log.count())
                           .arg(log.timeText(log.times().constFirst()), log.timeText(log.times().constLast()),
                                QLocale().toString(log.minimum(), 'g', QLocale::FloatingPointShortest),
                                QLocale().toString(log.maximum(), 'g', QLocale::FloatingPointShortest));
    }
    summary << guiText("Drag a rectangle to zoom in, right click to zoom out, turn the wheel to zoom around the mouse; "
                       "the keys + and - zoom around the middle, 0 shows the whole log.");
    m_view->setAccessibleDescription(summary.join(QLatin1Char('\n')));
    m_resetButton->setEnabled(any);
    m_saveButton->setEnabled(any);
    showStatus(notes.join(QLatin1Char('\n')));
    if (any) {
        // A single moment or a flat line still gets a range to draw in.
        if (last <= first) {
            first -= 30000;
            last += 30000;
        }
        // A margin keeps the first and last points and the extremes off the plot's edges.
        const double timeMargin = (last - first) * 0.02;
        const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::fabs(high) * 0.05);
        m_fullRange = QRectF(QPointF(first - timeMargin, low - margin), QPointF(last + timeMargin, high + margin));
        resetZoom();
    } else {
        m_fullRange = QRectF();
        m_timeAxis->setRange(0, 1);
        m_valueAxis->setRange(0, 1);
    }
    refresh();
    if (!m_logs.isEmpty())
        emit loaded();
}

void DataLogChartWidget::resetZoom()
{
    const QRectF full = m_fullRange;
    if (full.isNull())
        return;
    m_timeAxis->setRange(full.left(), full.right());
    m_valueAxis->setRange(full.top(), full.bottom());
    // Round values at the marks; zooming in keeps the exact range asked for.
    m_valueAxis->applyNiceNumbers();
}

void DataLogChartWidget::refresh()
{
    m_refreshTimer.stop();
    const double from = m_timeAxis->min();
    const double to = m_timeAxis->max();
    const int width = std::max(100, int(m_chart->plotArea().width()));
    m_valueAxis->setTickInterval(DataLogSeries::valueStep(m_valueAxis->min(), m_valueAxis->max(),
                                                          std::max(2, int(m_chart->plotArea().height()) / PixelsPerValueMark)));
    for (int i = 0; i < m_series.size(); ++i) {
        if (QLineSeries* line = m_lines.value(i))
            line->replace(m_series.at(i).decimated(from, to, width));
    }

    for (const QString& label : m_timeAxis->categoriesLabels())
        m_timeAxis->remove(label);
    if (m_fullRange.isNull())
        return;
    m_timeAxis->setStartValue(from);
    for (const auto& [value, label] : DataLogSeries::timeTicks(from, to, std::max(2, width / PixelsPerTimeLabel)))
        m_timeAxis->append(label, value);
}

void DataLogChartWidget::zoomAt(const QPointF& chartPosition, double factor)
{
    const QRectF full = m_fullRange;
    if (full.isNull())
        return;
    const QPointF centre = m_chart->mapToValue(chartPosition);
    const double timeFrom = centre.x() - (centre.x() - m_timeAxis->min()) * factor;
    const double timeTo = centre.x() + (m_timeAxis->max() - centre.x()) * factor;
    // Zooming out stops at the whole log.
    if (timeTo - timeFrom >= full.width()) {
        resetZoom();
        return;
    }
    // Never closer than a millisecond per pixel column.
    if (timeTo - timeFrom < 10)
        return;
    m_valueAxis->setRange(centre.y() - (centre.y() - m_valueAxis->min()) * factor,
                          centre.y() + (m_valueAxis->max() - centre.y()) * factor);
    m_timeAxis->setRange(timeFrom, timeTo);
}

QString DataLogChartWidget::toolTipAt(const QPoint& position) const
{
    const QPointF chartPosition = m_chart->mapFromScene(m_view->mapToScene(position));
    if (!m_chart->plotArea().contains(chartPosition))
        return QString();
    const double time = m_chart->mapToValue(chartPosition).x();
    int bestSeries = -1;
    int bestIndex = -1;
    double bestDistance = ToolTipReach;
    for (int i = 0; i < m_series.size(); ++i) {
        QLineSeries* line = m_lines.value(i);
        const int index = m_series.at(i).indexNear(time);
        if (!line || index < 0)
            continue;
        const QPointF point(double(m_series.at(i).times().at(index)), m_series.at(i).values().at(index));
        const double distance = QLineF(m_chart->mapToPosition(point, line), chartPosition).length();
        if (distance <= bestDistance) {
            bestDistance = distance;
            bestSeries = i;
            bestIndex = index;
        }
    }
    if (bestSeries < 0)
        return QString();
    const DataLogSeries& log = m_series.at(bestSeries);
    return guiText("%1\nTime: %2\nValue: %3")
        .arg(log.name(), log.timeText(log.times().at(bestIndex)),
             QLocale().toString(log.values().at(bestIndex), 'g', QLocale::FloatingPointShortest));
}

bool DataLogChartWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const QPointF middle = m_chart->plotArea().center();
        if (key == Qt::Key_Plus || key == Qt::Key_Equal)
            zoomAt(middle, 0.8);
        else if (key == Qt::Key_Minus)
            zoomAt(middle, 1.25);
        else if (key == Qt::Key_0 || key == Qt::Key_Home)
            resetZoom();
        else
            return QWidget::eventFilter(watched, event);
        return true;
    }
    if (watched == m_view->viewport()) {
        if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const QPointF chartPosition = m_chart->mapFromScene(m_view->mapToScene(wheel->position().toPoint()));
            if (wheel->angleDelta().y() != 0 && m_chart->plotArea().contains(chartPosition))
                zoomAt(chartPosition, std::pow(0.8, wheel->angleDelta().y() / 120.0));
            return true;
        }
        if (event->type() == QEvent::MouseMove) {
            auto* move = static_cast<QMouseEvent*>(event);
            const QString text = move->buttons() == Qt::NoButton ? toolTipAt(move->position().toPoint()) : QString();
            if (text.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(move->globalPosition().toPoint(), text, m_view->viewport());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DataLogChartWidget::onSaveChart()
{
    const QString png = guiText("PNG image (*.png)");
    const QString svg = guiText("SVG image (*.svg)");
    QString filter = png;
    QPointer<DataLogChartWidget> guard(this);
    QString path = QFileDialog::getSaveFileName(this, guiText("Save chart"),
                                                QDir(FileHelper::getStandardDocumentLocation()).filePath(QStringLiteral("chart.png")),
                                                png + QStringLiteral(";;") + svg, &filter);
    if (!guard || path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == svg ? QStringLiteral(".svg") : QStringLiteral(".png");
    if (!saveChart(path))
        MessageBox::critical(this, guiText("Save chart"), guiText("The chart could not be saved as %1.").arg(QDir::toNativeSeparators(path)));
}

void DataLogChartWidget::setDeviceTitle(const QString& title)
{
    m_deviceTitle = title;
}

QString DataLogChartWidget::savedTitle() const
{
    QStringList logs;
    double first = 0;
    double last = 0;
    const DataLogSeries* timed = nullptr;
    for (int i = 0; i < m_series.size(); ++i) {
        const DataLogSeries& log = m_series.at(i);
        if (!m_lines.value(i))
            continue;
        logs << log.name();
        first = timed ? std::min(first, double(log.times().constFirst())) : double(log.times().constFirst());
        last = timed ? std::max(last, double(log.times().constLast())) : double(log.times().constLast());
        timed = &log;
    }
    if (!timed)
        return m_deviceTitle;
    // The span shown: the zoomed range, or the logs' own when they end inside it.
    const qint64 from = qint64(std::max(first, m_timeAxis->min()));
    const qint64 to = qint64(std::min(last, m_timeAxis->max()));
    const QString what = m_deviceTitle.isEmpty() ? logs.join(QStringLiteral(", "))
                                                 : guiText("%1: %2").arg(m_deviceTitle, logs.join(QStringLiteral(", ")));
    return guiText("%1, %2 to %3").arg(what, timed->timeText(from), timed->timeText(to));
}

bool DataLogChartWidget::saveChart(const QString& path)
{
    // The title goes above the chart as shown, so that a picture on its own says what it is.
    const QString title = savedTitle();
    QFont font = m_view->font();
    font.setBold(true);
    const int width = m_view->width();
    const QRect titleRect = QFontMetrics(font)
                                .boundingRect(QRect(8, 0, width - 16, 1000), Qt::AlignHCenter | Qt::TextWordWrap, title)
                                .adjusted(0, 0, 0, 12);
    const QSize size(width, titleRect.height() + m_view->height());
    const auto paint = [&](QPainter* painter) {
        painter->fillRect(QRect(QPoint(0, 0), size), Qt::white);
        painter->setFont(font);
        painter->setPen(Qt::black);
        painter->drawText(QRect(8, 6, width - 16, titleRect.height()), Qt::AlignHCenter | Qt::TextWordWrap, title);
        m_view->render(painter, QRectF(0, titleRect.height(), width, m_view->height()));
    };
    if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator generator;
        generator.setFileName(path);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle(title);
        QPainter painter;
        if (!painter.begin(&generator))
            return false;
        paint(&painter);
        return painter.end();
    }
    // As sharp as the screen shows it.
    const qreal ratio = m_view->devicePixelRatioF();
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    paint(&painter);
    painter.end();
    return image.save(path, "PNG");
}

void DataLogChartWidget::showStatus(const QString& text)
{
    m_statusLabel->setText(text);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
