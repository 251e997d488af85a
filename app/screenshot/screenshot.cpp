// Draws the main window with the first device row's menu open and saves the
// screen as a PNG, for the README. Run by scripts/screenshot under Xvfb with an
// emulated device listed in DOVREL_VIRTUAL_PORTS.
#include "deviceitemwidget.h"
#include "devicelistholder.h"
#include "hardwareinfodialog.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

using Orvane::Tavrix::Designer::DeviceItemWidget;
using Orvane::Tavrix::Designer::MainWindow;

namespace {

void waitFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltane"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: dovrel-screenshot OUTPUT.png [HARDWARE-INFO.png]\n");
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

    QElapsedTimer timer;
    timer.start();
    while (window.deviceList()->count() == 0 && timer.elapsed() < 60000)
        waitFor(100);
    if (window.deviceList()->count() == 0) {
        std::fprintf(stderr, "no device row appeared\n");
        return 1;
    }
    auto* row = qobject_cast<DeviceItemWidget*>(window.deviceList()->itemWidget(window.deviceList()->item(0)));
    window.deviceList()->setCurrentRow(0);
    waitFor(500);

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
