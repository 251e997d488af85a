// Draws the main window with the first device row's menu open and saves the
// screen as a PNG, for the README. Run by scripts/screenshot under Xvfb with an
// emulated device listed in DOVREL_VIRTUAL_PORTS. With --log-chart it retrieves the
// row's data log instead and draws the log selection window with every log chosen;
// with --upload it uploads a project and draws the upload window in the middle of
// the transfer; with --empty it draws the window without devices; with --batch it
// starts a package on every device from the batch window and draws that window in
// the middle of the run.
#include "batchdevicemodel.h"
#include "batchwindow.h"
#include "datalogchartwidget.h"
#include "deviceitemwidget.h"
#include "deviceuploaddialog.h"
#include "devicelistholder.h"
#include "hardwareinfodialog.h"
#include "logselectiondialog.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "portenumerator.h"
#include "slotnames.h"
#include "transferstatuslabel.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QToolTip>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

using Orvane::Tavrix::Designer::BatchDeviceModel;
using Orvane::Tavrix::Designer::BatchWindow;
using Orvane::Tavrix::Designer::DataLogChartWidget;
using Orvane::Tavrix::Designer::DeviceItemWidget;
using Orvane::Tavrix::Designer::LogSelectionDialog;
using Orvane::Tavrix::Designer::DeviceUploadDialog;
using Orvane::Tavrix::Designer::MainWindow;
using Orvane::Tavrix::Designer::MessageBox;

namespace {

void waitFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool saveScreen(const QRect& area, const char* path)
{
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (shot.save(QString::fromLocal8Bit(path), "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", path);
    return false;
}

// Retrieves the row's data log as the user does, chooses every log and saves the window
// once the chart is drawn, with the tooltip of a point shown.
int shootLogChart(DeviceItemWidget* row, const char* path)
{
    int status = 1;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        auto* dialog = qobject_cast<LogSelectionDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        dialog->move(20, 20);
        dialog->resize(980, 600);
        DataLogChartWidget* chart = dialog->chartWidget();
        QObject::connect(chart, &DataLogChartWidget::loaded, dialog, [&status, dialog, chart, path]() {
            waitFor(800);
            if (QLineSeries* line = chart->lineSeries(0); line && line->count() > 0) {
                const QPointF point = line->at(line->count() * 2 / 3);
                QChartView* view = chart->chartView();
                const QPoint at = view->mapFromScene(chart->chart()->mapToScene(chart->chart()->mapToPosition(point, line)));
                QToolTip::showText(view->viewport()->mapToGlobal(at), chart->toolTipAt(at), view->viewport());
                waitFor(800);
            }
            status = saveScreen(dialog->frameGeometry().adjusted(-10, -10, 10, 10), path) ? 0 : 1;
            QToolTip::hideText();
            dialog->reject();
        });
        dialog->onSelectAll();
    });
    poll.start();
    row->onRetrieveDeviceLog();
    return status;
}

// Starts the package on every device that takes it in stages (one canary first, then two at
// once) and saves the batch window (drawn by itself, not read from the screen) once the
// canary is done and every running device is a third of the way.
int shootBatch(MainWindow* window, const QString& package, const char* path)
{
    // The station's sockets are named, as an operator does once.
    int slot = 0;
    for (const QString& port : Orvane::Tavrix::Runtime::PortEnumerator::virtualPorts())
        Orvane::Tavrix::Common::SlotNames::setName(Orvane::Tavrix::Runtime::PortEnumerator::virtualSlotPath(port),
                                                   QStringLiteral("Slot %1").arg(++slot));
    window->showBatch();
    BatchWindow* batch = window->batchWindow();
    batch->move(20, 20);
    batch->resize(1160, 360);
    if (!batch->setPackage(package))
        return 1;
    batch->canaryBox()->setValue(1);
    batch->maxParallelBox()->setValue(2);
    // The question a project asks is answered with Yes.
    QTimer answer;
    answer.setInterval(100);
    QObject::connect(&answer, &QTimer::timeout, [&]() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            for (QPushButton* button : modal->findChildren<QPushButton*>()) {
                if (button->isVisible() && button->isDefault())
                    button->click();
            }
        }
    });
    answer.start();
    batch->startButton()->click();
    BatchDeviceModel* model = batch->model();
    QElapsedTimer timer;
    timer.start();
    const auto ready = [model]() {
        int running = 0;
        int done = 0;
        for (int row = 0; row < model->rowCount(); ++row) {
            done += model->resultAt(row).outcome == Orvane::Tavrix::Common::BatchResult::Done ? 1 : 0;
            if (model->phase(model->serialAt(row)) != BatchDeviceModel::Running)
                continue;
            ++running;
            if (model->data(model->index(row, BatchDeviceModel::ProgressColumn), BatchDeviceModel::ProgressRole).toInt() < 33
                || model->data(model->index(row, BatchDeviceModel::TimeLeftColumn)).toString().isEmpty())
                return false;
        }
        return running > 0 && done > 0;
    };
    while (!ready() && timer.elapsed() < 180000)
        waitFor(100);
    if (!ready()) {
        std::fprintf(stderr, "the batch did not get going\n");
        return 1;
    }
    batch->table()->setCurrentIndex(QModelIndex());
    waitFor(300);
    if (batch->grab().save(QString::fromLocal8Bit(path), "PNG"))
        return 0;
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
}

// Uploads the package as the user does (answering its question with Yes) and saves the
// screen once the upload window shows its speed and time left, a third of the way in.
int shootUpload(MainWindow* window, DeviceItemWidget* row, const QString& package, const char* path)
{
    int status = 1;
    bool shot = false;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<MessageBox*>(modal)) {
            if (box->button1())
                box->button1()->click();
            return;
        }
        auto* dialog = qobject_cast<DeviceUploadDialog*>(modal);
        if (!dialog || shot)
            return;
        const auto& rate = dialog->transferLabel()->rate();
        if (!rate.isKnown() || rate.done() * 3 < rate.total())
            return;
        shot = true;
        waitFor(400);
        status = saveScreen(window->frameGeometry().united(dialog->frameGeometry()).adjusted(-10, -10, 10, 10), path) ? 0 : 1;
    });
    poll.start();
    row->uploadProjectWithFile(package);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltane"));
    const bool logChart = argc > 1 && qstrcmp(argv[1], "--log-chart") == 0;
    const bool upload = argc > 1 && qstrcmp(argv[1], "--upload") == 0;
    const bool empty = argc > 1 && qstrcmp(argv[1], "--empty") == 0;
    const bool batch = argc > 1 && qstrcmp(argv[1], "--batch") == 0;
    if (argc < (upload || batch ? 4 : logChart || empty ? 3 : 2)) {
        std::fprintf(stderr, "usage: dovrel-screenshot OUTPUT.png [HARDWARE-INFO.png]\n"
                             "       dovrel-screenshot --log-chart OUTPUT.png\n"
                             "       dovrel-screenshot --upload PACKAGE.txdevproj OUTPUT.png\n"
                             "       dovrel-screenshot --batch PACKAGE OUTPUT.png\n"
                             "       dovrel-screenshot --empty OUTPUT.png\n");
        return 2;
    }
    QFile sheet(QStringLiteral(":/stylesheets/stylesheet"));
    if (sheet.open(QIODevice::ReadOnly))
        application.setStyleSheet(QString::fromUtf8(sheet.readAll()));

    MainWindow window;
    window.setUpWindow();
    window.resize(720, 420);
    window.move(20, 20);
    window.show();

    if (empty) {
        waitFor(1500);
        return saveScreen(window.frameGeometry().adjusted(-10, -10, 10, 10), argv[2]) ? 0 : 1;
    }

    QElapsedTimer timer;
    timer.start();
    // Every listed port has its row before anything is drawn.
    const int ports = int(qEnvironmentVariable("DOVREL_VIRTUAL_PORTS").split(QLatin1Char(':'), Qt::SkipEmptyParts).size());
    while (window.deviceList()->count() < qMax(1, ports) && timer.elapsed() < 60000)
        waitFor(100);
    if (window.deviceList()->count() == 0) {
        std::fprintf(stderr, "no device row appeared\n");
        return 1;
    }
    auto* row = qobject_cast<DeviceItemWidget*>(window.deviceList()->itemWidget(window.deviceList()->item(0)));
    window.deviceList()->setCurrentRow(0);
    waitFor(500);
    if (logChart)
        return shootLogChart(row, argv[2]);
    if (upload)
        return shootUpload(&window, row, QString::fromLocal8Bit(argv[2]), argv[3]);
    if (batch)
        return shootBatch(&window, QString::fromLocal8Bit(argv[2]), argv[3]);

    QToolButton* button = row->menuButton();
    QMenu* menu = row->functionMenu();
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    waitFor(800);

    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = window.frameGeometry().united(menu->geometry()).adjusted(-10, -10, 10, 10);
    const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    menu->hide();

    // Optionally the row's hardware information as well.
    if (argc > 2) {
        QDialog* dialog = row->hardwareInfoDialog();
        dialog->move(60, 10);
        dialog->show();
        waitFor(800);
        const QPixmap info = screen->grabWindow(0, dialog->frameGeometry().x(), dialog->frameGeometry().y(),
                                                dialog->frameGeometry().width(), dialog->frameGeometry().height());
        if (!info.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
