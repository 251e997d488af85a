#include "devicesplashpreviewdialog.h"

#include "localizationhelper.h"
#include "txscrollarea.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

} // namespace

DeviceSplashPreviewDialog::DeviceSplashPreviewDialog(const QImage& image, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("Preview Splash Screen"));
    setAccessibleDescription(guiText("The chosen image as the device will show it, before it is sent."));
    setSizeGripEnabled(true);

    m_imageLabel = new QLabel(this);
    m_imageLabel->setObjectName(QStringLiteral("splashPreviewImage"));
    m_imageLabel->setAlignment(Qt::AlignCenter);
    m_imageLabel->setStyleSheet(QStringLiteral("QLabel { background-image: url(:images/transparentTexture); }"));
    m_imageLabel->setPixmap(QPixmap::fromImage(image));

    auto* scrollArea = new TxScrollArea(this);
    scrollArea->setWidgetResizable(true);
    scrollArea->setWidget(m_imageLabel);

    m_textLabel = new QLabel(guiText("This image will be resized and scaled to %1x%2.\n\nWould you like to continue?")
                                 .arg(image.width())
                                 .arg(image.height()),
                             this);
    m_textLabel->setObjectName(QStringLiteral("splashPreviewText"));

    m_yesButton = new QPushButton(guiText("Yes"), this);
    m_noButton = new QPushButton(guiText("No"), this);
    m_yesButton->setDefault(true);
    const int width = qMax(m_yesButton->sizeHint().width(), m_noButton->sizeHint().width());
    m_yesButton->setFixedWidth(width);
    m_noButton->setFixedWidth(width);
    // The answers mean something only with the question: a screen reader reads it with them.
    m_imageLabel->setAccessibleName(guiText("Preview of the splash image"));
    m_yesButton->setAccessibleDescription(m_textLabel->text());
    m_noButton->setAccessibleDescription(m_textLabel->text());
    connect(m_yesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_noButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_yesButton);
    buttons->addWidget(m_noButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scrollArea, 1);
    layout->addWidget(m_textLabel);
    layout->addLayout(buttons);

    // Large enough to show a small device screen whole; bigger ones scroll.
    resize(qMin(image.width() + 60, 900), qMin(image.height() + 140, 700));
}

DeviceSplashPreviewDialog::~DeviceSplashPreviewDialog() = default;

QString DeviceSplashPreviewDialog::questionText() const
{
    return m_textLabel->text();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
