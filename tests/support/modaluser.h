#ifndef MODALUSER_H
#define MODALUSER_H

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Plays the user in front of the modal windows that the code under test opens. Every
// modal window is recorded once (its class, title and the texts it shows), then given to
// the first rule that takes it; each rule acts once. A message box no rule takes is
// answered with "OK" (or its first button), as a user who reads and goes on; any other
// window no rule takes is closed with Escape after leaveOpenMs, so a failing test ends.
class ModalUser : public QObject
{
public:
    struct Window
    {
        QString className;
        QString title;
        QStringList texts;
        bool isMessageBox() const { return className.endsWith(QLatin1String("MessageBox")); }
    };
    struct Rule
    {
        std::function<bool(QWidget*)> takes;
        std::function<void(QWidget*)> act;
    };

    explicit ModalUser(int leaveOpenMs = 60000)
        : m_leaveOpenMs(leaveOpenMs)
    {
        m_poll.setInterval(20);
        connect(&m_poll, &QTimer::timeout, this, [this]() { tick(); });
        m_poll.start();
    }

    void when(std::function<bool(QWidget*)> takes, std::function<void(QWidget*)> act) { m_rules.append({ takes, act }); }
    // A box whose title is `title` is answered with the button `button`.
    void answer(const QString& title, const QString& button)
    {
        when([title](QWidget* w) { return isBox(w) && w->windowTitle() == title; },
             [button](QWidget* w) { click(w, button); });
    }
    // A window of this class gets `act` once it is shown.
    template <typename T>
    void on(std::function<void(T*)> act)
    {
        when([](QWidget* w) { return qobject_cast<T*>(w) != nullptr; }, [act](QWidget* w) { act(qobject_cast<T*>(w)); });
    }

    // A message shown in a window's own status line rather than in a box.
    void note(QWidget* window, const QString& text)
    {
        m_seen.append({ QString::fromLatin1(window->metaObject()->className()), window->windowTitle(), { text } });
    }

    QList<Window> windows() const { return m_seen; }
    QList<Window> boxes() const
    {
        QList<Window> list;
        for (const Window& window : m_seen) {
            if (window.isMessageBox())
                list << window;
        }
        return list;
    }
    QString describe() const
    {
        QStringList lines;
        for (const Window& window : m_seen)
            lines << QStringLiteral("%1 \"%2\": %3").arg(window.className, window.title, window.texts.join(QStringLiteral(" | ")));
        return lines.join(QLatin1Char('\n'));
    }

    static bool isBox(QWidget* w) { return QString::fromLatin1(w->metaObject()->className()).endsWith(QLatin1String("MessageBox")); }
    static bool click(QWidget* window, const QString& text)
    {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && button->isEnabled() && button->text().remove(QLatin1Char('&')) == text) {
                button->click();
                return true;
            }
        }
        return false;
    }

private:
    void tick()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (modal != m_active) {
            m_active = modal;
            m_activeSince.start();
        }
        if (!m_known.contains(modal)) {
            m_known.append(modal);
            Window window { QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), {} };
            for (QLabel* label : modal->findChildren<QLabel*>()) {
                if (label->isVisible() && !label->text().isEmpty())
                    window.texts << label->text();
            }
            m_seen.append(window);
            for (int i = 0; i < m_rules.size(); ++i) {
                if (m_rules.at(i).takes(modal)) {
                    // Acted on after this poll has returned: a timer does not fire again while its
                    // own slot runs, and the action may open windows of its own.
                    const Rule rule = m_rules.takeAt(i);
                    QPointer<QWidget> window(modal);
                    QMetaObject::invokeMethod(this, [rule, window]() {
                        if (window)
                            rule.act(window);
                    }, Qt::QueuedConnection);
                    return;
                }
            }
            if (isBox(modal) && (click(modal, QStringLiteral("OK")) || clickFirst(modal)))
                return;
        }
        if (!isBox(modal) && m_activeSince.elapsed() > m_leaveOpenMs) {
            m_activeSince.start();
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    }
    static bool clickFirst(QWidget* window)
    {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && button->isEnabled()) {
                button->click();
                return true;
            }
        }
        return false;
    }

    QTimer m_poll;
    QList<Rule> m_rules;
    QList<QPointer<QWidget>> m_known;
    QList<Window> m_seen;
    QPointer<QWidget> m_active;
    QElapsedTimer m_activeSince;
    int m_leaveOpenMs;
};

#endif // MODALUSER_H
