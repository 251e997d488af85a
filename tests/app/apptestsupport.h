#ifndef APPTESTSUPPORT_H
#define APPTESTSUPPORT_H
// Shared by the program's tests: emulated devices reached by their /dev/pts
// path, and answering the modal boxes the way a user would.

#include "emulator.h"
#include "serialportmanager.h"
#include "virtualports.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <memory>

// One emulated device whose serial end the program finds under /dev/pts,
// as a real device is found under /dev.
class PtsDevice
{
public:
    ~PtsDevice() { stop(); }

    // viaDevPath: list the pty's /dev/pts/N itself as the device port, as a real
    // device under /dev; otherwise the emulator's link in its temporary folder.
    bool start(const QStringList& args, bool viaDevPath = false, int timeoutMs = 30000)
    {
        using Orvane::Tavrix::Runtime::SerialPortManager;
        SerialPortManager* manager = SerialPortManager::instance();
        QSignalSpy connected(manager, &SerialPortManager::deviceConnected);
        if (!emulator.start(args))
            return false;
        devicePath = viaDevPath ? QFileInfo(emulator.portPath()).symLinkTarget() : emulator.portPath();
        if (viaDevPath && !devicePath.startsWith(QLatin1String("/dev/")))
            return false;
        VirtualPorts::add(devicePath);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            for (const QList<QVariant>& a : std::as_const(connected)) {
                const auto info = a.at(0).value<QMap<QString, QString>>();
                if (!port.isEmpty() || !manager->connectedPorts().contains(info.value(QStringLiteral("port"))))
                    continue;
                // The port as the manager names it, found through the /dev path given.
                if (info.value(QStringLiteral("port")) == devicePath
                    || QStringLiteral("/dev/") + info.value(QStringLiteral("port")) == devicePath) {
                    port = info.value(QStringLiteral("port"));
                    return true;
                }
            }
            connected.wait(200);
        }
        return false;
    }

    QMap<QString, QString> info() const
    {
        return Orvane::Tavrix::Runtime::SerialPortManager::instance()->deviceInformation(port);
    }

    // Pulls the cable and waits until the manager has forgotten the port.
    bool unplug(int timeoutMs = 20000)
    {
        emulator.unplug();
        auto* manager = Orvane::Tavrix::Runtime::SerialPortManager::instance();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs && manager->connectedPorts().contains(port))
            QTest::qWait(50);
        VirtualPorts::remove(devicePath);
        return !manager->connectedPorts().contains(port);
    }

    void stop()
    {
        if (emulator.isRunning())
            emulator.stop();
        if (!devicePath.isEmpty())
            VirtualPorts::remove(devicePath);
    }

    DeviceEmulator emulator;
    QString devicePath; // /dev/pts/N
    QString port;       // as the manager reports it
};

// What a modal box showed and which button was pressed.
struct BoxAnswer {
    bool seen = false;
    QString title;
    QStringList texts;
};

// Waits for the next modal window, records it and clicks the button with the given text.
inline std::shared_ptr<BoxAnswer> answerNextBox(const QString& buttonText, int timeoutMs = 20000)
{
    auto answer = std::make_shared<BoxAnswer>();
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=]() {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) {
            if (clock->elapsed() > timeoutMs) {
                timer->stop();
                timer->deleteLater();
                delete clock;
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        delete clock;
        answer->seen = true;
        answer->title = box->windowTitle();
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                answer->texts << label->text();
        }
        for (QAbstractButton* button : box->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && button->text().remove(QLatin1Char('&')) == buttonText) {
                button->click();
                return;
            }
        }
        QTest::keyClick(box, Qt::Key_Escape);
    });
    timer->start();
    return answer;
}

#endif // APPTESTSUPPORT_H
