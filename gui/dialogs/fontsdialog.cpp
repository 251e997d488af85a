#include "fontsdialog.h"

#include "fontssettingswidget.h"
#include "localizationhelper.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

FontsDialog::FontsDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("Font settings"));
    setAccessibleDescription(guiText("The program's fonts: the built-in ones and those you added, with a preview."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    m_settings = new FontsSettingsWidget(this);
    m_ok = new QPushButton(guiText("OK"), this);
    m_cancel = new QPushButton(guiText("Cancel"), this);
    m_ok->setDefault(true);
    m_ok->setAccessibleDescription(guiText("Keeps the changes to the program's fonts."));
    m_cancel->setAccessibleDescription(guiText("Leaves the program's fonts as they were."));
    connect(m_ok, &QPushButton::clicked, this, &FontsDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &FontsDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_settings, 1);
    layout->addLayout(buttons);
    resize(640, 720);
}

QStringList FontsDialog::fontsToRemove() const
{
    return m_fontsToRemove;
}

bool FontsDialog::needsRestart() const
{
    return !m_fontsToRemove.isEmpty();
}

void FontsDialog::accept()
{
    m_fontsToRemove = m_settings->fontsToRemove();
    QDialog::accept();
}

void FontsDialog::reject()
{
    // Marks are only a wish until the dialog is accepted.
    m_fontsToRemove.clear();
    QDialog::reject();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
