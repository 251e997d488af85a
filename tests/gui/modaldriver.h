#ifndef MODALDRIVER_H
#define MODALDRIVER_H

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QResource>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Helpers for the widget tests: drive a modal exec() the way a user would.

// Calls `action` with the modal window as soon as it is shown. If the action leaves the window
// open, it is hidden after `giveUpMs` so that a failing test ends instead of hanging;
// *leftOpen (when given) tells whether that happened.
inline void whenModal(std::function<void(QWidget*)> action, bool* leftOpen = nullptr, int giveUpMs = 60000)
{
    if (leftOpen)
        *leftOpen = false;
    auto* poll = new QTimer(qApp);
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, elapsed, action, leftOpen, giveUpMs]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            if (elapsed->elapsed() > giveUpMs) {
                poll->stop();
                poll->deleteLater();
                delete elapsed;
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        delete elapsed;
        QPointer<QWidget> guard(modal);
        action(modal);
        if (!guard || !guard->isVisible())
            return;
        // Still open: wait a little for a deliberate "stays open", then end it.
        QTimer::singleShot(giveUpMs / 100, qApp, [guard, leftOpen]() {
            if (guard && guard->isVisible()) {
                if (leftOpen)
                    *leftOpen = true;
                guard->hide();
            }
        });
    });
    poll->start();
}

// Presses a key where the user's keyboard would send it: the focused widget of the window.
inline void pressKey(QWidget* window, Qt::Key key)
{
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(target, key);
}

// The program's pictures and style sheet, built beside the libraries for the tests.
inline bool registerProgramResources()
{
    static bool registered = false;
    if (!registered)
        registered = QResource::registerResource(QStringLiteral(DOVREL_BINARY_DIR "/lib/dovrel.rcc"));
    return registered;
}

#endif // MODALDRIVER_H
