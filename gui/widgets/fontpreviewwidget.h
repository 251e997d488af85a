#ifndef FONTPREVIEWWIDGET_H
#define FONTPREVIEWWIDGET_H

#include "gui_global.h"

#include <QFont>
#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QToolButton;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class FontSizeSpinBox;
class TxTextEdit;

// A sample text in one font, with size, style and spacing controls.
class GUI_EXPORT FontPreviewWidget : public QWidget
{
    Q_OBJECT
public:
    explicit FontPreviewWidget(QWidget* parent = nullptr);

    QString fontFamily() const;
    void setFontFamily(const QString& family);

    double pixelSize() const;
    void setPixelSize(double size);
    QString sampleText() const;
    void setSampleText(const QString& text);

    // The font the sample is drawn with.
    QFont previewFont() const;

    FontSizeSpinBox* pixelSizeSpinBox() const { return m_pixelSize; }
    QDoubleSpinBox* letterSpacingSpinBox() const { return m_letterSpacing; }
    QDoubleSpinBox* wordSpacingSpinBox() const { return m_wordSpacing; }
    QToolButton* boldButton() const { return m_bold; }
    QToolButton* italicButton() const { return m_italic; }
    QToolButton* underlineButton() const { return m_underline; }
    QToolButton* strikeOutButton() const { return m_strikeOut; }
    QToolButton* overlineButton() const { return m_overline; }
    TxTextEdit* sampleEdit() const { return m_sample; }

signals:
    void fontFamilyChanged(const QString& family);

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void onPixelSizeChanged();
    void onStyleChanged();

private:
    QToolButton* createStyleButton(const QString& text);
    void retranslate();

    QString m_family;
    FontSizeSpinBox* m_pixelSize = nullptr;
    QDoubleSpinBox* m_letterSpacing = nullptr;
    QDoubleSpinBox* m_wordSpacing = nullptr;
    QLabel* m_pixelSizeLabel = nullptr;
    QLabel* m_letterSpacingLabel = nullptr;
    QLabel* m_wordSpacingLabel = nullptr;
    QToolButton* m_bold = nullptr;
    QToolButton* m_italic = nullptr;
    QToolButton* m_underline = nullptr;
    QToolButton* m_strikeOut = nullptr;
    QToolButton* m_overline = nullptr;
    TxTextEdit* m_sample = nullptr;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // FONTPREVIEWWIDGET_H
