#include "englishtexts.h"
#include "fivebuttonsmessagebox.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "modaldriver.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Designer::FiveButtonsMessageBox;
using Orvane::Tavrix::Designer::MessageBox;

Q_DECLARE_METATYPE(MessageBox::Button)

namespace {

QString gui(const QString& key)
{
    return LocalizationHelper::guiString(key);
}

QPushButton* buttonWithText(QWidget* window, const QString& text)
{
    const auto buttons = window->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// A stand-in for the start-up splash screen, announced through the application property.
class StandInSplash
{
public:
    StandInSplash()
    {
        widget.setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        widget.resize(200, 100);
        widget.show();
        qApp->setProperty("splashScreen", QVariant::fromValue<quint64>(reinterpret_cast<quintptr>(&widget)));
    }
    ~StandInSplash() { qApp->setProperty("splashScreen", QVariant::fromValue<quint64>(0)); }
    bool onTop() const { return widget.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
    QWidget widget;
};

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void clickingAButtonAnswersItsRole_data();
    void clickingAButtonAnswersItsRole();
    void customAndHiddenRolesKeepTheBoxOpen();
    void escapeAndCloseFollowTheRoles_data();
    void escapeAndCloseFollowTheRoles();
    void staticHelpersBuildTheirBoxes();
    void questionAnswers();
    void iconsAreScaledToAtMost36Pixels_data();
    void iconsAreScaledToAtMost36Pixels();
    void everyIconHasAPicture();
    void buttonsShareTheWidestWidth();
    void buttonAccessors();
    void splashScreenStepsBackWhileABoxIsUp();
    void staleSplashAddressIsIgnored();

    void fiveButtonsAnswers_data();
    void fiveButtonsAnswers();
    void fiveButtonsEscapeAndClose_data();
    void fiveButtonsEscapeAndClose();
    void fiveButtonsLayout();
};

void TestMessageBox::initTestCase()
{
    useEnglishTexts();
    QVERIFY(registerProgramResources());
}

void TestMessageBox::clickingAButtonAnswersItsRole_data()
{
    QTest::addColumn<MessageBox::Button>("role");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << MessageBox::OK << "OK" << 0 << int(QDialog::Accepted);
    QTest::newRow("Cancel") << MessageBox::Cancel << "Cancel" << 2 << int(QDialog::Rejected);
    QTest::newRow("Yes") << MessageBox::Yes << "Yes" << 0 << int(QDialog::Accepted);
    QTest::newRow("No") << MessageBox::No << "No" << 1 << int(QDialog::Rejected);
    QTest::newRow("Close") << MessageBox::Close << "Close" << 0 << int(QDialog::Accepted);
}

void TestMessageBox::clickingAButtonAnswersItsRole()
{
    QFETCH(MessageBox::Button, role);
    QFETCH(QString, text);
    QFETCH(int, code);
    QFETCH(int, result);

    // The role under test sits in the middle, between two others that must not matter.
    MessageBox box(nullptr, "Title", "Text", MessageBox::Information, QPixmap(), MessageBox::Custom, role,
                   MessageBox::Custom);
    QList<QPushButton*> clicked;
    connect(&box, &MessageBox::buttonClicked, this, [&clicked](QPushButton* button) { clicked << button; });
    QString shownText;
    whenModal([&](QWidget* window) {
        QPushButton* button = buttonWithText(window, gui(text));
        if (!button)
            return;
        shownText = button->text();
        QTest::mouseClick(button, Qt::LeftButton);
    });
    QCOMPARE(box.exec(), code);
    QCOMPARE(shownText, gui(text));
    QCOMPARE(box.messageCode(), code);
    QCOMPARE(box.result(), result);
    QVERIFY(!box.isVisible());
    QCOMPARE(clicked, QList<QPushButton*>({box.button2()}));
    QCOMPARE(box.clickedButton(), box.button2());
}

void TestMessageBox::customAndHiddenRolesKeepTheBoxOpen()
{
    MessageBox box(nullptr, "Title", "Text", MessageBox::NoIcon, QPixmap(), MessageBox::Custom,
                   MessageBox::NoButton, MessageBox::NoButton);
    QVERIFY(!box.button2());
    QVERIFY(!box.button3());
    bool openAfterClick = false;
    int codeAfterClick = -2;
    bool leftOpen = false;
    whenModal(
        [&](QWidget* window) {
            QPushButton* custom = buttonWithText(window, gui("Custom"));
            if (!custom)
                return;
            QTest::mouseClick(custom, Qt::LeftButton);
            openAfterClick = window->isVisible();
            codeAfterClick = box.messageCode();
        },
        &leftOpen, 5000);
    box.exec();
    QVERIFY(openAfterClick);
    QCOMPARE(codeAfterClick, 3);
    QVERIFY(leftOpen);
    QCOMPARE(box.clickedButton(), box.button1());
}

void TestMessageBox::escapeAndCloseFollowTheRoles_data()
{
    QTest::addColumn<MessageBox::Button>("b1");
    QTest::addColumn<MessageBox::Button>("b2");
    QTest::addColumn<MessageBox::Button>("b3");
    QTest::addColumn<int>("code"); // -1: the box stays open
    QTest::addColumn<int>("result");
    const auto none = MessageBox::NoButton;
    QTest::newRow("yes no") << MessageBox::Yes << MessageBox::No << none << 1 << int(QDialog::Rejected);
    QTest::newRow("yes no cancel") << MessageBox::Yes << MessageBox::No << MessageBox::Cancel << 2
                                   << int(QDialog::Rejected);
    QTest::newRow("ok") << MessageBox::OK << none << none << 0 << int(QDialog::Accepted);
    QTest::newRow("close") << MessageBox::Close << none << none << 0 << int(QDialog::Accepted);
    QTest::newRow("ok no: no wins") << MessageBox::OK << MessageBox::No << none << 1 << int(QDialog::Rejected);
    QTest::newRow("no close: close wins") << MessageBox::No << MessageBox::Close << none << 0
                                          << int(QDialog::Accepted);
    QTest::newRow("close cancel: cancel wins") << MessageBox::Close << none << MessageBox::Cancel << 2
                                               << int(QDialog::Rejected);
    QTest::newRow("custom only") << MessageBox::Custom << none << none << -1 << -1;
    QTest::newRow("yes custom") << MessageBox::Yes << MessageBox::Custom << none << -1 << -1;
}

void TestMessageBox::escapeAndCloseFollowTheRoles()
{
    QFETCH(MessageBox::Button, b1);
    QFETCH(MessageBox::Button, b2);
    QFETCH(MessageBox::Button, b3);
    QFETCH(int, code);
    QFETCH(int, result);

    for (const bool useEscape : {true, false}) {
        MessageBox box(nullptr, "Title", "Text", MessageBox::Warning, QPixmap(), b1, b2, b3);
        bool leftOpen = false;
        whenModal(
            [&](QWidget* window) {
                if (useEscape)
                    pressKey(window, Qt::Key_Escape);
                else
                    window->close();
            },
            &leftOpen, 5000);
        const int answer = box.exec();
        const QByteArray how = useEscape ? "Escape" : "close button";
        QVERIFY2(leftOpen == (code == -1), how);
        QCOMPARE(answer, code);
        if (code != -1)
            QVERIFY2(box.result() == result, how);
        QVERIFY(!box.clickedButton());
    }
}

void TestMessageBox::staticHelpersBuildTheirBoxes()
{
    struct Seen {
        QString title, text, button1, button2;
        bool iconShown = false;
        QPushButton* defaultButton = nullptr;
        QPushButton* firstButton = nullptr;
        QString objectName;
        int codeAfterClose = -2;
    };
    auto look = [](Seen* seen) {
        whenModal([seen](QWidget* window) {
            auto* box = qobject_cast<MessageBox*>(window);
            if (!box)
                return;
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->button1 = box->textOfButton1();
            seen->button2 = box->textOfButton2();
            seen->iconShown = !box->shownIcon().isNull();
            seen->defaultButton = box->defaultButton();
            seen->firstButton = box->button1();
            seen->objectName = box->objectName();
            // The window's close button: counts as the box's OK or Close.
            box->close();
            seen->codeAfterClose = box->messageCode();
        });
    };

    Seen message;
    look(&message);
    MessageBox::message(nullptr, "Message title", "Plain message");
    QCOMPARE(message.title, QString("Message title"));
    QCOMPARE(message.text, QString("Plain message"));
    QCOMPARE(message.button1, gui("Close"));
    QCOMPARE(message.button2, QString());
    QVERIFY(!message.iconShown);
    QCOMPARE(message.defaultButton, message.firstButton);
    QCOMPARE(message.objectName, QString("general"));
    QCOMPARE(message.codeAfterClose, 0);

    Seen information;
    look(&information);
    MessageBox::information(nullptr, "Info", "Some information");
    QCOMPARE(information.button1, gui("Close"));
    QVERIFY(information.iconShown);
    QCOMPARE(information.codeAfterClose, 0);

    Seen warning;
    look(&warning);
    MessageBox::warning(nullptr, "Warn", "A warning");
    QCOMPARE(warning.button1, gui("OK"));
    QVERIFY(warning.iconShown);
    QCOMPARE(warning.defaultButton, warning.firstButton);
    QCOMPARE(warning.codeAfterClose, 0);

    Seen critical;
    look(&critical);
    MessageBox::critical(nullptr, "Error", "Something failed");
    QCOMPARE(critical.button1, gui("OK"));
    QVERIFY(critical.iconShown);
    QCOMPARE(critical.codeAfterClose, 0);
}

void TestMessageBox::questionAnswers()
{
    // Without Cancel, Escape means no.
    whenModal([](QWidget* window) { pressKey(window, Qt::Key_Escape); });
    QCOMPARE(MessageBox::question(nullptr, "Q", "Continue?", false), 1);

    // With Cancel, Escape cancels.
    whenModal([](QWidget* window) { pressKey(window, Qt::Key_Escape); });
    QCOMPARE(MessageBox::question(nullptr, "Q", "Continue?", true), 2);

    // Enter answers the default button: yes without Cancel, Cancel with it.
    whenModal([](QWidget* window) { pressKey(window, Qt::Key_Return); });
    QCOMPARE(MessageBox::question(nullptr, "Q", "Continue?", false), 0);
    whenModal([](QWidget* window) { pressKey(window, Qt::Key_Return); });
    QCOMPARE(MessageBox::question(nullptr, "Q", "Continue?", true), 2);

    whenModal([](QWidget* window) {
        if (QPushButton* no = buttonWithText(window, gui("No")))
            QTest::mouseClick(no, Qt::LeftButton);
    });
    QCOMPARE(MessageBox::question(nullptr, "Q", "Continue?", true), 1);

    whenModal([](QWidget* window) {
        if (QPushButton* yes = buttonWithText(window, gui("Yes")))
            QTest::mouseClick(yes, Qt::LeftButton);
    });
    QCOMPARE(MessageBox::question(nullptr, "Q", "Continue?", true), 0);
}

void TestMessageBox::iconsAreScaledToAtMost36Pixels_data()
{
    QTest::addColumn<QSize>("given");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("wide") << QSize(100, 50) << QSize(36, 18);
    QTest::newRow("tall") << QSize(20, 80) << QSize(9, 36);
    QTest::newRow("large square") << QSize(48, 48) << QSize(36, 36);
    QTest::newRow("small") << QSize(30, 20) << QSize(30, 20);
    QTest::newRow("exact") << QSize(36, 36) << QSize(36, 36);
    QTest::newRow("very wide") << QSize(400, 10) << QSize(36, 1);
}

void TestMessageBox::iconsAreScaledToAtMost36Pixels()
{
    QFETCH(QSize, given);
    QFETCH(QSize, shown);
    QPixmap picture(given);
    picture.fill(Qt::red);
    // A picture of its own wins over the icon argument.
    MessageBox box(nullptr, "T", "Text", MessageBox::Warning, picture);
    QCOMPARE(box.shownIcon().size(), shown);
    box.setIcon(MessageBox::NoIcon);
    QVERIFY(box.shownIcon().isNull());
    box.setIcon(picture);
    QCOMPARE(box.shownIcon().size(), shown);
    box.setIcon(QPixmap());
    QVERIFY(box.shownIcon().isNull());
}

void TestMessageBox::everyIconHasAPicture()
{
    for (auto icon : {MessageBox::Information, MessageBox::Critical, MessageBox::Warning, MessageBox::Question}) {
        MessageBox box(nullptr, "T", "Text", icon);
        const QPixmap shown = box.shownIcon();
        QVERIFY2(!shown.isNull(), QByteArray::number(int(icon)));
        QVERIFY(shown.width() <= 36 && shown.height() <= 36);
        QVERIFY(shown.width() == 36 || shown.height() == 36);
    }
    MessageBox none(nullptr, "T", "Text", MessageBox::NoIcon);
    QVERIFY(none.shownIcon().isNull());
}

void TestMessageBox::buttonsShareTheWidestWidth()
{
    const QString longText = QStringLiteral("Einstellungen übernehmen und fortfahren");
    MessageBox box(nullptr, "T", "Text", MessageBox::Question, QPixmap(), MessageBox::OK, MessageBox::Cancel);
    box.setTextOfButton2(longText);
    QList<int> widths;
    whenModal([&](QWidget*) {
        widths << box.button1()->width() << box.button2()->width();
        box.button1()->click();
    });
    QCOMPARE(box.exec(), 0);
    const int expected = qMax(box.button2()->fontMetrics().horizontalAdvance(longText) + 14, 60);
    QCOMPARE(widths, QList<int>({expected, expected}));

    // Short texts never give a button less than 60 pixels.
    MessageBox small(nullptr, "T", "Text", MessageBox::NoIcon, QPixmap(), MessageBox::OK);
    int width = 0;
    whenModal([&](QWidget*) {
        width = small.button1()->width();
        small.button1()->click();
    });
    small.exec();
    QCOMPARE(width, 60);
}

void TestMessageBox::buttonAccessors()
{
    MessageBox box(nullptr, "T", "first", MessageBox::Information, QPixmap(), MessageBox::Yes, MessageBox::NoButton,
                   MessageBox::Cancel);
    QCOMPARE(box.roleOfButton1(), MessageBox::Yes);
    QCOMPARE(box.roleOfButton2(), MessageBox::NoButton);
    QCOMPARE(box.roleOfButton3(), MessageBox::Cancel);
    QVERIFY(box.button1() && !box.button2() && box.button3());
    QCOMPARE(box.textOfButton3(), gui("Cancel"));

    // A hidden button takes no text or tool tip.
    box.setTextOfButton2("Ignored");
    box.setToolTipOfButton2("Ignored");
    QCOMPARE(box.textOfButton2(), QString());
    QCOMPARE(box.toolTipOfButton2(), QString());
    box.setTextOfButton1("Replace");
    box.setToolTipOfButton1("Replaces the file");
    QCOMPARE(box.textOfButton1(), QString("Replace"));
    QCOMPARE(box.toolTipOfButton1(), QString("Replaces the file"));

    // Giving a role back shows the button with the role's text.
    box.setRoleOfButton2(MessageBox::No);
    QVERIFY(box.button2());
    QCOMPARE(box.textOfButton2(), gui("No"));
    box.setRoleOfButton1(MessageBox::NoButton);
    QVERIFY(!box.button1());
    QCOMPARE(box.textOfButton1(), QString());

    QPushButton foreign;
    QCOMPARE(box.roleOfButton(box.button3()), MessageBox::Cancel);
    QCOMPARE(box.roleOfButton(&foreign), MessageBox::NoButton);
    QCOMPARE(box.roleOfButton(nullptr), MessageBox::NoButton);

    box.setDefaultButton(box.button3());
    QCOMPARE(box.defaultButton(), box.button3());
    QVERIFY(box.button3()->isDefault() && box.button3()->autoDefault());
    QVERIFY(!box.button2()->isDefault() && !box.button2()->autoDefault());
    box.setDefaultButton(&foreign);
    QCOMPARE(box.defaultButton(), nullptr);
    QVERIFY(!box.button3()->isDefault() && !box.button3()->autoDefault());

    // Rich text is shown as rich text, anything else as typed.
    box.setText("<b>bold</b> and <a href=\"https://example.org\">a link</a>");
    QLabel* label = box.findChild<QLabel*>("messageBoxText");
    QVERIFY(label);
    QCOMPARE(label->textFormat(), Qt::RichText);
    box.setText("1 < 2 and a*b");
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(box.text(), QString("1 < 2 and a*b"));
    QCOMPARE(box.messageCode(), -1);
}

void TestMessageBox::splashScreenStepsBackWhileABoxIsUp()
{
    StandInSplash splash;
    QVERIFY(splash.onTop());
    bool onTopWhileBoxUp = true;
    whenModal([&](QWidget* window) {
        onTopWhileBoxUp = splash.onTop();
        pressKey(window, Qt::Key_Escape);
    });
    MessageBox::critical(nullptr, "Start-up", "The application cannot be opened.");
    QVERIFY(!onTopWhileBoxUp);
    QVERIFY(splash.onTop());
    QVERIFY(splash.widget.isVisible());

    onTopWhileBoxUp = true;
    whenModal([&](QWidget* window) {
        onTopWhileBoxUp = splash.onTop();
        pressKey(window, Qt::Key_Escape);
    });
    QCOMPARE(FiveButtonsMessageBox::question(nullptr, "Start-up", "Replace?", true), 3);
    QVERIFY(!onTopWhileBoxUp);
    QVERIFY(splash.onTop());
    QVERIFY(splash.widget.isVisible());

    // Start-up removes the splash screen while the box is up: it does not come back.
    whenModal([&](QWidget* window) {
        qApp->setProperty("splashScreen", QVariant::fromValue<quint64>(0));
        splash.widget.hide();
        pressKey(window, Qt::Key_Escape);
    });
    MessageBox::warning(nullptr, "Start-up", "Late");
    QVERIFY(!splash.widget.isVisible());
}

void TestMessageBox::staleSplashAddressIsIgnored()
{
    quint64 stale = 0;
    {
        QWidget gone;
        stale = reinterpret_cast<quintptr>(&gone);
    }
    QWidget* heap = new QWidget;
    stale = reinterpret_cast<quintptr>(heap);
    delete heap;
    qApp->setProperty("splashScreen", QVariant::fromValue<quint64>(stale));
    whenModal([](QWidget* window) { pressKey(window, Qt::Key_Escape); });
    QCOMPARE(MessageBox::question(nullptr, "Q", "Still works?", true), 2);
    qApp->setProperty("splashScreen", QVariant::fromValue<quint64>(0));
}

void TestMessageBox::fiveButtonsAnswers_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("yes") << "Yes" << 1;
    QTest::newRow("yes to all") << "Yes to All" << 2;
    QTest::newRow("no") << "No" << 3;
    QTest::newRow("no to all") << "No to All" << 4;
    QTest::newRow("abort") << "Abort" << -1;
}

void TestMessageBox::fiveButtonsAnswers()
{
    QFETCH(QString, button);
    QFETCH(int, result);
    bool found = false;
    whenModal([&](QWidget* window) {
        QPushButton* target = buttonWithText(window, gui(button));
        found = target != nullptr;
        if (target)
            QTest::mouseClick(target, Qt::LeftButton);
    });
    QCOMPARE(FiveButtonsMessageBox::question(nullptr, "Copy", "Replace \"a.ttf\"?", false), result);
    QVERIFY(found);
}

void TestMessageBox::fiveButtonsEscapeAndClose_data()
{
    QTest::addColumn<bool>("noAbort");
    QTest::addColumn<bool>("useEscape");
    QTest::addColumn<int>("result");
    QTest::newRow("abort offered, Escape") << false << true << -1;
    QTest::newRow("abort offered, close") << false << false << -1;
    QTest::newRow("no abort, Escape") << true << true << 3;
    QTest::newRow("no abort, close") << true << false << 3;
}

void TestMessageBox::fiveButtonsEscapeAndClose()
{
    QFETCH(bool, noAbort);
    QFETCH(bool, useEscape);
    QFETCH(int, result);
    whenModal([&](QWidget* window) {
        if (useEscape)
            pressKey(window, Qt::Key_Escape);
        else
            window->close();
    });
    QCOMPARE(FiveButtonsMessageBox::question(nullptr, "Copy", "Replace?", noAbort), result);
}

void TestMessageBox::fiveButtonsLayout()
{
    struct Seen {
        QList<int> widths;
        bool abortVisible = false;
        bool abortEnabled = false;
        QString defaultText;
        QString abortText;
        bool iconShown = false;
        QString objectName;
    };
    auto look = [](Seen* seen) {
        whenModal([seen](QWidget* window) {
            const auto buttons = window->findChildren<QPushButton*>();
            for (QPushButton* button : buttons) {
                if (button->isVisible())
                    seen->widths << button->width();
                if (button->isDefault())
                    seen->defaultText = button->text();
                QVERIFY(!button->autoDefault());
            }
            QPushButton* fifth = buttons.value(4);
            seen->abortVisible = fifth && fifth->isVisible();
            seen->abortEnabled = fifth && fifth->isEnabled();
            seen->abortText = fifth ? fifth->text() : QString();
            const auto labels = window->findChildren<QLabel*>();
            for (QLabel* label : labels)
                seen->iconShown = seen->iconShown || (label->isVisible() && !label->pixmap().isNull());
            seen->objectName = window->objectName();
            QPushButton* yes = buttonWithText(window, gui("Yes"));
            if (yes)
                yes->click();
        });
    };

    Seen withAbort;
    look(&withAbort);
    QCOMPARE(FiveButtonsMessageBox::question(nullptr, "T", "Text", false, true, "Stop copying"), 1);
    QCOMPARE(withAbort.widths.size(), 5);
    QCOMPARE(withAbort.widths, QList<int>(5, withAbort.widths.first()));
    QVERIFY(withAbort.abortVisible && withAbort.abortEnabled);
    QCOMPARE(withAbort.abortText, QString("Stop copying"));
    QCOMPARE(withAbort.defaultText, QString("Stop copying"));
    QVERIFY(withAbort.iconShown);
    QCOMPARE(withAbort.objectName, QString("general"));

    Seen noAbort;
    look(&noAbort);
    QCOMPARE(FiveButtonsMessageBox::question(nullptr, "T", "Text", true), 1);
    QCOMPARE(noAbort.widths.size(), 4);
    QCOMPARE(noAbort.widths, QList<int>(4, noAbort.widths.first()));
    QVERIFY(!noAbort.abortVisible && !noAbort.abortEnabled);
    QCOMPARE(noAbort.defaultText, gui("Yes"));
    QCOMPARE(noAbort.abortText, gui("Abort"));
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
