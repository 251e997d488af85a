#include "aboutdialog.h"

#include "localizationhelper.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

#ifndef DOVREL_VERSION
#define DOVREL_VERSION ""
#endif

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::LocalizationHelper;

namespace {

} // namespace

struct AboutDialogPrivate
{
    QHBoxLayout* mainLayout = nullptr;
    QLabel* pictureLabel = nullptr;
    QLabel* nameLabel = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* noticeLabel = nullptr;
    QLabel* extraLabel = nullptr;
    QHBoxLayout* buttonLayout = nullptr;
    QPushButton* closeButton = nullptr;
};

QString AboutDialog::productVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral(DOVREL_VERSION) : version;
}

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
    , d(new AboutDialogPrivate)
{
    const QString name = QCoreApplication::applicationName();
    setWindowTitle(guiText("About %1").arg(name));
    setModal(true);
    setObjectName(QStringLiteral("general"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                   | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* outer = new QVBoxLayout(this);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    d->mainLayout = new QHBoxLayout;
    d->mainLayout->setSpacing(16);
    outer->addLayout(d->mainLayout);

    auto* pictureColumn = new QVBoxLayout;
    d->pictureLabel = new QLabel(this);
    d->pictureLabel->setObjectName(QStringLiteral("aboutPicture"));
    d->pictureLabel->setPixmap(QPixmap());
    pictureColumn->addWidget(d->pictureLabel);
    pictureColumn->addStretch();
    d->mainLayout->addLayout(pictureColumn);

    auto* textColumn = new QVBoxLayout;
    textColumn->setSpacing(0);
    d->nameLabel = new QLabel(name, this);
    d->nameLabel->setObjectName(QStringLiteral("aboutName"));
    d->nameLabel->setStyleSheet(QStringLiteral("QLabel { font: bold; font-size: 25px; }"));
    textColumn->addWidget(d->nameLabel);
    textColumn->addSpacing(20);
    d->versionLabel = new QLabel(guiText("Product Version: %1").arg(productVersion()), this);
    d->versionLabel->setObjectName(QStringLiteral("aboutVersion"));
    textColumn->addWidget(d->versionLabel);
    textColumn->addSpacing(30);
    d->noticeLabel = new QLabel(this);
    d->noticeLabel->setObjectName(QStringLiteral("aboutNotice"));
    d->noticeLabel->setTextFormat(Qt::RichText);
    d->noticeLabel->setWordWrap(false);
    d->noticeLabel->setOpenExternalLinks(false);
    d->noticeLabel->setTextInteractionFlags(Qt::NoTextInteraction);
    d->noticeLabel->setText(guiText("Copyright &#169; 2026 Orvane. All rights reserved. "
                                "This software is provided as is, without warranty of any kind."));
    textColumn->addWidget(d->noticeLabel);
    textColumn->addSpacing(30);
    d->extraLabel = new QLabel(this);
    d->extraLabel->setObjectName(QStringLiteral("aboutExtra"));
    textColumn->addWidget(d->extraLabel);
    textColumn->addStretch();
    d->mainLayout->addLayout(textColumn);

    outer->addSpacing(20);
    d->buttonLayout = new QHBoxLayout;
    d->buttonLayout->setContentsMargins(0, 0, 0, 0);
    d->buttonLayout->addStretch();
    // Fixed text: the button reads the same in every language.
    d->closeButton = new QPushButton(QStringLiteral("Close"), this);
    d->closeButton->setObjectName(QStringLiteral("aboutClose"));
    d->closeButton->setAutoDefault(false);
    d->closeButton->setDefault(true);
    d->buttonLayout->addWidget(d->closeButton);
    outer->addLayout(d->buttonLayout);

    connect(d->closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDialog::~AboutDialog() = default;

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
