#ifndef TST_DEVICEUPLOAD_SUPPORT_H
#define TST_DEVICEUPLOAD_SUPPORT_H

// Shared by the upload and upgrade window tests: an emulated device reached
// through its /dev/pts path, and a way to act on modal windows as they appear.

#include "emulator.h"
#include "serialportmanager.h"
#include "virtualports.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// An emulated device identified by the manager under its pseudo-terminal path
// (the way a real device under /dev is seen), made the active port.
class PtsDevice
{
public:
    ~PtsDevice() { stop(); }

    bool start(const QStringList& args = {}, int timeoutMs = 30000)
    {
        auto* manager = Orvane::Tavrix::Runtime::SerialPortManager::instance();
        if (!emulator.start(args))
            return false;
        port = QFileInfo(emulator.portPath()).symLinkTarget();
        if (!port.startsWith(QLatin1String("/dev/")))
            return false;
        VirtualPorts::add(port);
        // Identified once the manager holds its information; then it can be made active.
        return QTest::qWaitFor([&]() { return !manager->deviceInformation(port).isEmpty() && manager->setActivePort(port); },
                               timeoutMs);
    }

    void stop()
    {
        if (port.isEmpty())
            return;
        auto* manager = Orvane::Tavrix::Runtime::SerialPortManager::instance();
        emulator.stop();
        QTest::qWaitFor([&]() { return !manager->connectedPorts().contains(port); }, 10000);
        VirtualPorts::remove(port);
        port.clear();
    }

    QMap<QString, QString> info() const
    {
        return Orvane::Tavrix::Runtime::SerialPortManager::instance()->deviceInformation(port);
    }

    // What the manager wrote after the identification.
    QStringList commands() const
    {
        QStringList list = emulator.commands();
        list.removeAll(QStringLiteral("#HWCF#"));
        return list;
    }

    DeviceEmulator emulator;
    QString port;
};

// Owner of the pending polls of onModal(); their actions refer to a test's locals.
inline QObject*& modalPollOwner()
{
    static QObject* owner = nullptr;
    if (!owner)
        owner = new QObject(qApp);
    return owner;
}

// Drops the polls a failed test left behind (call from cleanup()).
inline void cancelModalPolls()
{
    delete modalPollOwner();
    modalPollOwner() = nullptr;
}

// Calls `action` once with the first visible modal window that `accept` takes.
// Returns at once; the poll stops after giveUpMs.
inline void onModal(std::function<bool(QWidget*)> accept, std::function<void(QWidget*)> action, int giveUpMs = 120000)
{
    auto* poll = new QTimer(modalPollOwner());
    // Held by the connection, so a poll cancelled with its owner frees it too.
    QElapsedTimer elapsed;
    elapsed.start();
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, elapsed, accept, action, giveUpMs]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || !accept(modal)) {
            if (elapsed.elapsed() > giveUpMs) {
                poll->stop();
                poll->deleteLater();
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        action(modal);
    });
    poll->start();
}

template <typename T>
bool isA(QWidget* widget)
{
    return qobject_cast<T*>(widget) != nullptr;
}

inline QPushButton* visibleButton(QWidget* window, const QString& text)
{
    const auto buttons = window->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        if (button->isVisible() && button->text() == text)
            return button;
    }
    return nullptr;
}

// The texts of all labels of a window, for finding what a message box says.
inline QStringList labelTexts(QWidget* window)
{
    QStringList texts;
    const auto labels = window->findChildren<QLabel*>();
    for (QLabel* label : labels)
        texts << label->text();
    return texts;
}

// Records every distinct text a widget's text() shows while the test runs.
template <typename W>
class TextRecorder
{
public:
    explicit TextRecorder(W* widget)
        : m_widget(widget)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this]() { sample(); });
        m_timer.start();
        sample();
    }
    void sample()
    {
        if (!m_widget)
            return;
        const QString text = m_widget->text();
        if (m_texts.isEmpty() || m_texts.last() != text)
            m_texts << text;
    }
    QStringList texts() const { return m_texts; }

private:
    QPointer<W> m_widget;
    QTimer m_timer;
    QStringList m_texts;
};

#endif // TST_DEVICEUPLOAD_SUPPORT_H
