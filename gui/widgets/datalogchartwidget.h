#ifndef DATALOGCHARTWIDGET_H
#define DATALOGCHARTWIDGET_H

#include "gui_global.h"

#include "datalogseries.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>

class QChart;
class QChartView;
class QCategoryAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QThread;
class QValueAxis;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// A read-only chart of the values of some logs of a data log database over time: one
// line per log, zoom by rubber band (right click zooms out) and mouse wheel, a tooltip
// with a point's exact time and value, and "Save chart" as PNG or SVG. Logs are read in
// a thread of their own and drawn decimated to the plot's width.
class GUI_EXPORT DataLogChartWidget : public QWidget
{
    Q_OBJECT
public:
    // More lines than this cannot be told apart.
    static const int MaximumLogs = 12;
    // A selection made item by item settles within this time before the logs are read.
    static const int StartDelayMs = 80;

    explicit DataLogChartWidget(QWidget* parent = nullptr);
    ~DataLogChartWidget() override;

    QChart* chart() const { return m_chart; }
    QChartView* chartView() const { return m_view; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QPushButton* resetButton() const { return m_resetButton; }
    QPushButton* saveButton() const { return m_saveButton; }
    bool isLoading() const { return m_loading; }
    // The logs drawn, and the line drawn for each (null for a log without points).
    QList<Common::DataLogSeries> series() const { return m_series; }
    QLineSeries* lineSeries(int index) const { return m_lines.value(index); }
    // The tooltip for a position in the chart view: the nearest point's log, time and value.
    QString toolTipAt(const QPoint& position) const;
    // The device whose logs these are, "name (serial)", for the title of a saved chart.
    void setDeviceTitle(const QString& title);
    // What a saved chart says above the plot: the device, the logs and the time span shown.
    QString savedTitle() const;

public slots:
    // Draws these logs; reading starts after a short pause, so that a selection made
    // item by item is read once.
    void showLogs(const QString& databasePath, const QStringList& logs);
    void resetZoom();
    void onSaveChart();
    // PNG, or SVG for a name ending in ".svg", of the chart as shown.
    bool saveChart(const QString& path);

signals:
    // The chosen logs have been read and drawn.
    void loaded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startLoading();
    void cancelLoading();
    void onLogsRead(const QList<Common::DataLogSeries>& series);
    // Decimates every line for the visible time range and sets the time axis marks.
    void refresh();
    void zoomAt(const QPointF& chartPosition, double factor);
    void showStatus(const QString& text);

    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QCategoryAxis* m_timeAxis = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    QLabel* m_statusLabel = nullptr;
    QPushButton* m_resetButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QTimer m_startTimer;
    QTimer m_refreshTimer;
    QString m_databasePath;
    QStringList m_logs;
    QList<Common::DataLogSeries> m_series;
    QList<QLineSeries*> m_lines;
    QList<QThread*> m_readers;
    std::shared_ptr<std::atomic_bool> m_cancel;
    int m_generation = 0;
    bool m_loading = false;
    QString m_deviceTitle;
    QString m_loadNote; // what the status line says besides a log's own notes
    QRectF m_fullRange; // every point drawn, with a margin; null when nothing is drawn
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DATALOGCHARTWIDGET_H
