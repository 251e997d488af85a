#include "fontpreviewwidget.h"

#include "fontscenter.h"
#include "fontsizespinbox.h"
#include "txtextedit.h"
#include "localizationhelper.h"

#include <QDoubleSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {
} // namespace

FontPreviewWidget::FontPreviewWidget(QWidget* parent)
    : QWidget(parent)
{
    m_pixelSizeLabel = new QLabel(this);
    m_pixelSize = new FontSizeSpinBox(this);
    m_pixelSize->setDecimals(1);
    m_pixelSize->setRange(1.0, 500.0);
    m_pixelSize->setSingleStep(1.0);
    m_pixelSize->setValue(14.0);

    m_bold = createStyleButton(QStringLiteral("B"));
    QFont boldFont = m_bold->font();
    boldFont.setBold(true);
    m_bold->setFont(boldFont);
    m_italic = createStyleButton(QStringLiteral("I"));
    QFont italicFont = m_italic->font();
    italicFont.setItalic(true);
    m_italic->setFont(italicFont);
    m_underline = createStyleButton(QStringLiteral("U"));
    QFont underlineFont = m_underline->font();
    underlineFont.setUnderline(true);
    m_underline->setFont(underlineFont);
    m_strikeOut = createStyleButton(QStringLiteral("S"));
    QFont strikeFont = m_strikeOut->font();
    strikeFont.setStrikeOut(true);
    m_strikeOut->setFont(strikeFont);
    m_overline = createStyleButton(QStringLiteral("O"));
    QFont overlineFont = m_overline->font();
    overlineFont.setOverline(true);
    m_overline->setFont(overlineFont);

    m_letterSpacingLabel = new QLabel(this);
    m_letterSpacing = new QDoubleSpinBox(this);
    m_letterSpacing->setRange(-50.0, 100.0);
    m_letterSpacing->setDecimals(1);
    m_wordSpacingLabel = new QLabel(this);
    m_wordSpacing = new QDoubleSpinBox(this);
    m_wordSpacing->setRange(-50.0, 200.0);
    m_wordSpacing->setDecimals(1);

    m_sample = new TxTextEdit(this);
    m_sample->setAcceptRichText(false);
    m_sample->setPlainText(guiText("Sample Text"));
    m_pixelSizeLabel->setBuddy(m_pixelSize);
    m_letterSpacingLabel->setBuddy(m_letterSpacing);
    m_wordSpacingLabel->setBuddy(m_wordSpacing);

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(0, 0, 0, 0);
    controls->addWidget(m_pixelSizeLabel);
    controls->addWidget(m_pixelSize);
    controls->addSpacing(8);
    for (QToolButton* button : {m_bold, m_italic, m_underline, m_strikeOut, m_overline})
        controls->addWidget(button);
    controls->addSpacing(8);
    controls->addWidget(m_letterSpacingLabel);
    controls->addWidget(m_letterSpacing);
    controls->addWidget(m_wordSpacingLabel);
    controls->addWidget(m_wordSpacing);
    controls->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(m_sample, 1);

    connect(m_pixelSize, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &FontPreviewWidget::onPixelSizeChanged);
    connect(m_letterSpacing, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &FontPreviewWidget::onStyleChanged);
    connect(m_wordSpacing, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &FontPreviewWidget::onStyleChanged);

    retranslate();
    setFontFamily(FontsCenter::defaultFamily());
    onPixelSizeChanged();
}

QToolButton* FontPreviewWidget::createStyleButton(const QString& text)
{
    auto* button = new QToolButton(this);
    button->setText(text);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setFixedSize(24, 24);
    connect(button, &QToolButton::toggled, this, &FontPreviewWidget::onStyleChanged);
    return button;
}

void FontPreviewWidget::retranslate()
{
    m_pixelSizeLabel->setText(guiText("Pixel Size:"));
    m_pixelSize->setSuffix(guiText(" px"));
    m_bold->setToolTip(guiText("Make the text bold"));
    m_italic->setToolTip(guiText("Italicize the text"));
    m_underline->setToolTip(guiText("Underline the text"));
    m_strikeOut->setToolTip(guiText("Strike out the text"));
    m_overline->setToolTip(guiText("Overline the text"));
    m_letterSpacingLabel->setText(guiText("Letter Spacing:"));
    m_wordSpacingLabel->setText(guiText("Word Spacing:"));
    // The style buttons show a letter only.
    m_bold->setAccessibleName(guiText("Bold"));
    m_italic->setAccessibleName(guiText("Italic"));
    m_underline->setAccessibleName(guiText("Underline"));
    m_strikeOut->setAccessibleName(guiText("Strike out"));
    m_overline->setAccessibleName(guiText("Overline"));
    m_sample->setAccessibleName(guiText("Sample text"));
    m_sample->setAccessibleDescription(guiText("Type here to see your text in the chosen font."));
    m_pixelSize->setAccessibleDescription(guiText("The size of the sample text in pixels."));
    m_letterSpacing->setAccessibleDescription(guiText("Space added between letters, in pixels."));
    m_wordSpacing->setAccessibleDescription(guiText("Space added between words, in pixels."));
}

void FontPreviewWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

QString FontPreviewWidget::fontFamily() const
{
    return m_family;
}

void FontPreviewWidget::setFontFamily(const QString& family)
{
    if (family == m_family)
        return;
    m_family = family;
    onStyleChanged();
    emit fontFamilyChanged(family);
}

double FontPreviewWidget::pixelSize() const
{
    return m_pixelSize->value();
}

void FontPreviewWidget::setPixelSize(double size)
{
    m_pixelSize->setValue(size);
}

QString FontPreviewWidget::sampleText() const
{
    return m_sample->toPlainText();
}

void FontPreviewWidget::setSampleText(const QString& text)
{
    m_sample->setPlainText(text);
}

QFont FontPreviewWidget::previewFont() const
{
    return m_sample->font();
}

void FontPreviewWidget::onPixelSizeChanged()
{
    m_sample->setStyleSheet(QStringLiteral("QTextEdit { font-size: %1px; }").arg(m_pixelSize->value()));
}

void FontPreviewWidget::onStyleChanged()
{
    QFont font = m_sample->font();
    font.setFamily(m_family);
    font.setBold(m_bold->isChecked());
    font.setItalic(m_italic->isChecked());
    font.setUnderline(m_underline->isChecked());
    font.setStrikeOut(m_strikeOut->isChecked());
    font.setOverline(m_overline->isChecked());
    font.setLetterSpacing(QFont::AbsoluteSpacing, m_letterSpacing->value());
    font.setWordSpacing(m_wordSpacing->value());
    m_sample->setFont(font);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
