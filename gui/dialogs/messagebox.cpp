#include "messagebox.h"

#include "localizationhelper.h"
#include "splashscreenguard.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::LocalizationHelper;

namespace {

constexpr int IconSize = 36;
constexpr int ButtonTextPadding = 14;
constexpr int MinimumButtonWidth = 60;

} // namespace

struct MessageBoxPrivate
{
    QHBoxLayout* mainLayout = nullptr;
    QHBoxLayout* buttonLayout = nullptr;
    QLabel* iconLabel = nullptr;
    QLabel* textLabel = nullptr;
    QPushButton* buttons[3] = {nullptr, nullptr, nullptr};
    QPushButton* defaultButton = nullptr;
    QPushButton* clickedButton = nullptr;
    // Set while the box ends itself, so that the close event this sends is not a user's close.
    bool finishing = false;
};

MessageBox::MessageBox(QWidget* parent, const QString& title, const QString& text, Icon icon,
                       const QPixmap& pixmap, Button button1, Button button2, Button button3)
    : QDialog(parent)
    , d(new MessageBoxPrivate)
    , m_roles{NoButton, NoButton, NoButton}
    , m_messageCode(UndecidedCode)
{
    setObjectName(QStringLiteral("general"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                   | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    d->mainLayout = new QHBoxLayout(this);
    d->mainLayout->setSpacing(10);
    d->mainLayout->setSizeConstraint(QLayout::SetFixedSize);

    auto* iconColumn = new QVBoxLayout;
    d->iconLabel = new QLabel(this);
    d->iconLabel->setObjectName(QStringLiteral("messageBoxIcon"));
    iconColumn->addWidget(d->iconLabel);
    iconColumn->addStretch();
    d->mainLayout->addLayout(iconColumn);

    auto* textColumn = new QVBoxLayout;
    textColumn->addSpacing(8);
    d->textLabel = new QLabel(this);
    d->textLabel->setObjectName(QStringLiteral("messageBoxText"));
    d->textLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    d->textLabel->setWordWrap(false);
    d->textLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    d->textLabel->setOpenExternalLinks(true);
    textColumn->addWidget(d->textLabel);

    d->buttonLayout = new QHBoxLayout;
    d->buttonLayout->setContentsMargins(0, 0, 0, 0);
    d->buttonLayout->addStretch();
    for (int i = 0; i < 3; ++i) {
        d->buttons[i] = new QPushButton(this);
        d->buttons[i]->setObjectName(QStringLiteral("messageBox"));
        d->buttonLayout->addWidget(d->buttons[i], 0, Qt::AlignRight);
    }
    textColumn->addLayout(d->buttonLayout);
    d->mainLayout->addLayout(textColumn);

    connect(d->buttons[0], &QPushButton::clicked, this, &MessageBox::onButton1Clicked);
    connect(d->buttons[1], &QPushButton::clicked, this, &MessageBox::onButton2Clicked);
    connect(d->buttons[2], &QPushButton::clicked, this, &MessageBox::onButton3Clicked);

    setWindowTitle(title);
    setText(text);
    if (!pixmap.isNull())
        setIcon(pixmap);
    else
        setIcon(icon);
    setRoleOfButton1(button1);
    setRoleOfButton2(button2);
    setRoleOfButton3(button3);
}

MessageBox::~MessageBox() = default;

int MessageBox::messageCode() const
{
    return m_messageCode;
}

void MessageBox::setWordWrap(bool wordWrap)
{
    d->textLabel->setWordWrap(wordWrap);
}

void MessageBox::setText(const QString& text)
{
    if (text == d->textLabel->text())
        return;
    d->textLabel->setTextFormat(Qt::mightBeRichText(text) ? Qt::RichText : Qt::PlainText);
    d->textLabel->setText(text);
    // A screen reader reads the box's text with its title, as it does for a standard message box.
    setAccessibleDescription(d->textLabel->textFormat() == Qt::RichText ? QTextDocumentFragment::fromHtml(text).toPlainText() : text);
}

QString MessageBox::text() const
{
    return d->textLabel->text();
}

QPixmap MessageBox::iconPixmap(Icon icon)
{
    switch (icon) {
    case Information:
        return QPixmap(QStringLiteral(":/images/information"));
    case Critical:
        return QPixmap(QStringLiteral(":/images/critical"));
    case Warning:
        return QPixmap(QStringLiteral(":/images/warning"));
    case Question:
        return QPixmap(QStringLiteral(":/images/question"));
    case NoIcon:
        break;
    }
    return QPixmap();
}

QPixmap MessageBox::scaledIcon(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return pixmap;
    QPixmap result = pixmap;
    if (pixmap.width() > IconSize) {
        result = pixmap.scaledToWidth(IconSize, Qt::SmoothTransformation);
        if (result.height() > IconSize)
            result = pixmap.scaledToHeight(IconSize, Qt::SmoothTransformation);
    } else if (pixmap.height() > IconSize) {
        result = pixmap.scaledToHeight(IconSize, Qt::SmoothTransformation);
        if (result.width() > IconSize)
            result = pixmap.scaledToWidth(IconSize, Qt::SmoothTransformation);
    }
    return result;
}

void MessageBox::setIcon(const QPixmap& pixmap)
{
    if (pixmap.isNull()) {
        d->iconLabel->setPixmap(QPixmap());
        d->iconLabel->hide();
        return;
    }
    d->iconLabel->setPixmap(scaledIcon(pixmap));
    d->iconLabel->show();
}

void MessageBox::setIcon(Icon icon)
{
    setIcon(iconPixmap(icon));
}

QPixmap MessageBox::shownIcon() const
{
    if (d->iconLabel->isHidden())
        return QPixmap();
    return d->iconLabel->pixmap();
}

QString MessageBox::textOfRole(Button role)
{
    switch (role) {
    case OK:
        return guiText("OK");
    case Cancel:
        return guiText("Cancel");
    case Yes:
        return guiText("Yes");
    case No:
        return guiText("No");
    case Close:
        return guiText("Close");
    case Custom:
        return guiText("Custom");
    case NoButton:
        break;
    }
    return QString();
}

QPushButton* MessageBox::buttonAt(int index) const
{
    return m_roles[index] == NoButton ? nullptr : d->buttons[index];
}

MessageBox::Button MessageBox::roleAt(int index) const
{
    return m_roles[index];
}

void MessageBox::setRoleAt(int index, Button role)
{
    if (role < OK || role > NoButton)
        role = NoButton;
    m_roles[index] = role;
    QPushButton* button = d->buttons[index];
    if (role == NoButton) {
        button->setText(QString());
        button->hide();
    } else {
        button->setText(textOfRole(role));
        button->show();
    }
}

void MessageBox::setButtonText(int index, const QString& text)
{
    if (m_roles[index] == NoButton || d->buttons[index]->text() == text)
        return;
    d->buttons[index]->setText(text);
}

void MessageBox::setButtonToolTip(int index, const QString& toolTip)
{
    if (m_roles[index] == NoButton || d->buttons[index]->toolTip() == toolTip)
        return;
    d->buttons[index]->setToolTip(toolTip);
}

QPushButton* MessageBox::button1() const { return buttonAt(0); }
QPushButton* MessageBox::button2() const { return buttonAt(1); }
QPushButton* MessageBox::button3() const { return buttonAt(2); }
MessageBox::Button MessageBox::roleOfButton1() const { return roleAt(0); }
MessageBox::Button MessageBox::roleOfButton2() const { return roleAt(1); }
MessageBox::Button MessageBox::roleOfButton3() const { return roleAt(2); }
void MessageBox::setRoleOfButton1(Button role) { setRoleAt(0, role); }
void MessageBox::setRoleOfButton2(Button role) { setRoleAt(1, role); }
void MessageBox::setRoleOfButton3(Button role) { setRoleAt(2, role); }
QString MessageBox::textOfButton1() const { return button1() ? d->buttons[0]->text() : QString(); }
QString MessageBox::textOfButton2() const { return button2() ? d->buttons[1]->text() : QString(); }
QString MessageBox::textOfButton3() const { return button3() ? d->buttons[2]->text() : QString(); }
void MessageBox::setTextOfButton1(const QString& text) { setButtonText(0, text); }
void MessageBox::setTextOfButton2(const QString& text) { setButtonText(1, text); }
void MessageBox::setTextOfButton3(const QString& text) { setButtonText(2, text); }
QString MessageBox::toolTipOfButton1() const { return button1() ? d->buttons[0]->toolTip() : QString(); }
QString MessageBox::toolTipOfButton2() const { return button2() ? d->buttons[1]->toolTip() : QString(); }
QString MessageBox::toolTipOfButton3() const { return button3() ? d->buttons[2]->toolTip() : QString(); }
void MessageBox::setToolTipOfButton1(const QString& toolTip) { setButtonToolTip(0, toolTip); }
void MessageBox::setToolTipOfButton2(const QString& toolTip) { setButtonToolTip(1, toolTip); }
void MessageBox::setToolTipOfButton3(const QString& toolTip) { setButtonToolTip(2, toolTip); }

MessageBox::Button MessageBox::roleOfButton(QPushButton* button) const
{
    if (!button)
        return NoButton;
    for (int i = 0; i < 3; ++i) {
        if (d->buttons[i] == button)
            return m_roles[i];
    }
    return NoButton;
}

QPushButton* MessageBox::defaultButton() const
{
    return d->defaultButton;
}

void MessageBox::setDefaultButton(QPushButton* button)
{
    bool known = false;
    for (QPushButton* own : d->buttons)
        known = known || (button && own == button);
    for (QPushButton* own : d->buttons) {
        const bool isDefault = known && own == button;
        own->setDefault(isDefault);
        own->setAutoDefault(isDefault);
    }
    d->defaultButton = known ? button : nullptr;
}

QPushButton* MessageBox::clickedButton() const
{
    return d->clickedButton;
}

int MessageBox::exec()
{
    // One width for all shown buttons, from the widest text.
    int widest = 0;
    for (QPushButton* button : d->buttons) {
        if (!button->isHidden())
            widest = qMax(widest, button->fontMetrics().horizontalAdvance(button->text()));
    }
    if (widest > 0) {
        const int width = qMax(widest + ButtonTextPadding, MinimumButtonWidth);
        for (QPushButton* button : d->buttons) {
            if (!button->isHidden())
                button->setFixedWidth(width);
        }
    }

    d->clickedButton = nullptr;
    SplashScreenGuard splashGuard;

    QPointer<MessageBox> self(this);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    activateWindow();
    raise();
    QDialog::exec();
    if (!self)
        return UndecidedCode;
    return m_messageCode;
}

void MessageBox::onButton1Clicked() { onButtonClicked(0); }
void MessageBox::onButton2Clicked() { onButtonClicked(1); }
void MessageBox::onButton3Clicked() { onButtonClicked(2); }

void MessageBox::onButtonClicked(int index)
{
    QPushButton* button = d->buttons[index];
    d->clickedButton = button;
    QPointer<MessageBox> self(this);
    emit buttonClicked(button);
    if (!self)
        return;
    switch (m_roles[index]) {
    case OK:
    case Yes:
    case Close:
        finish(AcceptCode, true);
        break;
    case Cancel:
        finish(CancelCode, false);
        break;
    case No:
        finish(NoCode, false);
        break;
    case Custom:
        m_messageCode = CustomCode;
        break;
    case NoButton:
        m_messageCode = UndecidedCode;
        break;
    }
}

void MessageBox::finish(int code, bool accepted)
{
    m_messageCode = code;
    d->finishing = true;
    done(accepted ? QDialog::Accepted : QDialog::Rejected);
    d->finishing = false;
}

bool MessageBox::finishByKeyboard()
{
    auto has = [this](Button role) {
        return m_roles[0] == role || m_roles[1] == role || m_roles[2] == role;
    };
    if (has(Cancel))
        finish(CancelCode, false);
    else if (has(Close))
        finish(AcceptCode, true);
    else if (has(No))
        finish(NoCode, false);
    else if (has(OK))
        finish(AcceptCode, true);
    else
        return false;
    return true;
}

void MessageBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (finishByKeyboard())
            event->accept();
        else
            event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MessageBox::closeEvent(QCloseEvent* event)
{
    if (d->finishing || !isVisible()) {
        event->accept();
        return;
    }
    if (finishByKeyboard())
        event->accept();
    else
        event->ignore();
}

void MessageBox::message(QWidget* parent, const QString& title, const QString& text)
{
    QPointer<MessageBox> box = new MessageBox(parent, title, text, NoIcon, QPixmap(), Close);
    box->setDefaultButton(box->button1());
    box->exec();
    delete box;
}

void MessageBox::information(QWidget* parent, const QString& title, const QString& text)
{
    QPointer<MessageBox> box = new MessageBox(parent, title, text, Information, QPixmap(), Close);
    box->setDefaultButton(box->button1());
    box->exec();
    delete box;
}

void MessageBox::warning(QWidget* parent, const QString& title, const QString& text)
{
    QPointer<MessageBox> box = new MessageBox(parent, title, text, Warning, QPixmap(), OK);
    box->setDefaultButton(box->button1());
    box->exec();
    delete box;
}

void MessageBox::critical(QWidget* parent, const QString& title, const QString& text)
{
    QPointer<MessageBox> box = new MessageBox(parent, title, text, Critical, QPixmap(), OK);
    box->setDefaultButton(box->button1());
    box->exec();
    delete box;
}

int MessageBox::question(QWidget* parent, const QString& title, const QString& text, bool withCancel)
{
    QPointer<MessageBox> box = new MessageBox(parent, title, text, Question, QPixmap(), Yes, No,
                                              withCancel ? Cancel : NoButton);
    box->setDefaultButton(withCancel ? box->button3() : box->button1());
    const int code = box->exec();
    delete box;
    return code;
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
