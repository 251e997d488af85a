#include "fivebuttonsmessagebox.h"

#include "localizationhelper.h"
#include "messagebox.h"
#include "splashscreenguard.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::LocalizationHelper;

namespace {

} // namespace

FiveButtonsMessageBox::FiveButtonsMessageBox(QWidget* parent, const QString& title, const QString& text,
                                             bool noAbort, bool wordWrap, const QString& abortText)
    : QDialog(parent)
    , m_finishing(false)
{
    setObjectName(QStringLiteral("general"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                   | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* mainLayout = new QHBoxLayout(this);
    mainLayout->setSpacing(10);
    mainLayout->setSizeConstraint(QLayout::SetFixedSize);

    auto* iconColumn = new QVBoxLayout;
    m_iconLabel = new QLabel(this);
    m_iconLabel->setObjectName(QStringLiteral("messageBoxIcon"));
    const QPixmap icon = MessageBox::scaledIcon(QPixmap(QStringLiteral(":/images/question")));
    m_iconLabel->setPixmap(icon);
    m_iconLabel->setVisible(!icon.isNull());
    iconColumn->addWidget(m_iconLabel);
    iconColumn->addStretch();
    mainLayout->addLayout(iconColumn);

    auto* textColumn = new QVBoxLayout;
    textColumn->addSpacing(8);
    m_textLabel = new QLabel(this);
    m_textLabel->setObjectName(QStringLiteral("messageBoxText"));
    m_textLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_textLabel->setWordWrap(wordWrap);
    m_textLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    m_textLabel->setOpenExternalLinks(true);
    textColumn->addWidget(m_textLabel);

    m_yesButton = new QPushButton(guiText("Yes"), this);
    m_yesToAllButton = new QPushButton(guiText("Yes to All"), this);
    m_noButton = new QPushButton(guiText("No"), this);
    m_noToAllButton = new QPushButton(guiText("No to All"), this);
    m_abortButton = new QPushButton(abortText.isEmpty() ? guiText("Abort") : abortText, this);

    auto* buttonLayout = new QHBoxLayout;
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    buttonLayout->addStretch();
    const QList<QPushButton*> buttons = {m_yesButton, m_yesToAllButton, m_noButton, m_noToAllButton, m_abortButton};
    for (QPushButton* button : buttons) {
        button->setObjectName(QStringLiteral("messageBox"));
        button->setAutoDefault(false);
        buttonLayout->addWidget(button, 0, Qt::AlignRight);
    }
    textColumn->addLayout(buttonLayout);
    mainLayout->addLayout(textColumn);

    int width = 0;
    for (int i = 0; i < 4; ++i)
        width = qMax(width, buttons.at(i)->sizeHint().width());
    if (noAbort) {
        m_abortButton->hide();
        m_abortButton->setEnabled(false);
        m_yesButton->setDefault(true);
    } else {
        width = qMax(width, m_abortButton->sizeHint().width());
        m_abortButton->setFixedWidth(width);
        m_abortButton->setDefault(true);
        m_yesButton->setDefault(false);
    }
    for (int i = 0; i < 4; ++i)
        buttons.at(i)->setFixedWidth(width);

    connect(m_yesButton, &QPushButton::clicked, this, &FiveButtonsMessageBox::onYes);
    connect(m_noButton, &QPushButton::clicked, this, &FiveButtonsMessageBox::onNo);
    connect(m_yesToAllButton, &QPushButton::clicked, this, &FiveButtonsMessageBox::onYesToAll);
    connect(m_noToAllButton, &QPushButton::clicked, this, &FiveButtonsMessageBox::onNoToAll);
    connect(m_abortButton, &QPushButton::clicked, this, &FiveButtonsMessageBox::onAbort);

    setWindowTitle(title);
    m_textLabel->setText(text);
    setAccessibleDescription(text);
    m_yesToAllButton->setAccessibleDescription(guiText("The same answer for every one that follows."));
    m_noToAllButton->setAccessibleDescription(guiText("The same answer for every one that follows."));
}

int FiveButtonsMessageBox::question(QWidget* parent, const QString& title, const QString& text, bool noAbort,
                                    bool wordWrap, const QString& abortText)
{
    QPointer<FiveButtonsMessageBox> box = new FiveButtonsMessageBox(parent, title, text, noAbort, wordWrap, abortText);
    const int result = box->exec();
    delete box;
    return result;
}

int FiveButtonsMessageBox::exec()
{
    SplashScreenGuard splashGuard;
    QPointer<FiveButtonsMessageBox> self(this);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    activateWindow();
    raise();
    const int result = QDialog::exec();
    if (!self)
        return AbortResult; // destroyed with its parent: nothing was chosen
    return result;
}

void FiveButtonsMessageBox::onYes() { finish(YesResult); }
void FiveButtonsMessageBox::onNo() { finish(NoResult); }
void FiveButtonsMessageBox::onYesToAll() { finish(YesToAllResult); }
void FiveButtonsMessageBox::onNoToAll() { finish(NoToAllResult); }
void FiveButtonsMessageBox::onAbort() { finish(AbortResult); }

int FiveButtonsMessageBox::keyboardResult() const
{
    return m_abortButton->isEnabled() ? AbortResult : NoResult;
}

void FiveButtonsMessageBox::finish(int result)
{
    m_finishing = true;
    done(result);
    m_finishing = false;
}

void FiveButtonsMessageBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        finish(keyboardResult());
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FiveButtonsMessageBox::closeEvent(QCloseEvent* event)
{
    if (!m_finishing && isVisible())
        finish(keyboardResult());
    event->accept();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
