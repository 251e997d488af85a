#ifndef FONTCOMBOBOX_H
#define FONTCOMBOBOX_H

#include "gui_global.h"

#include "combobox.h"

#include <QStringList>

class QMenu;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// A font chooser limited to the application's fonts, each drawn in its own font.
// Fonts a document names but that are not available are listed too, in "Droid Sans".
// userModified() comes from ComboBox.
class GUI_EXPORT FontComboBox : public ComboBox
{
    Q_OBJECT
public:
    explicit FontComboBox(QWidget* parent = nullptr);

    QStringList availableFonts() const;
    QStringList extraFonts() const;
    void setExtraFont(const QString& family);
    void setExtraFonts(const QStringList& families);

    QString currentFont() const;
    void setCurrentFont(const QString& family);

    bool isRefreshing() const;

    // The editing context menu; the caller owns it.
    QMenu* createContextMenu();

public slots:
    void refresh();

signals:
    void currentFontChanged();
    void fontsChanged();
    void requestHelp();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QStringList m_extraFonts;
    bool m_refreshing = false;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // FONTCOMBOBOX_H
