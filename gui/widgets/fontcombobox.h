#ifndef FONTCOMBOBOX_H
#define FONTCOMBOBOX_H

#include "gui_global.h"

#include <QComboBox>
#include <QStringList>

class QMenu;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// A font chooser limited to the application's fonts, each drawn in its own font.
// Fonts a document names but that are not available are listed too, in "Droid Sans".
class GUI_EXPORT FontComboBox : public QComboBox
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

public slots:
    void refresh();

signals:
    void currentFontChanged();
    void fontsChanged();
    void userModified();
    void requestHelp();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QMenu* createEditMenu();

    QStringList m_extraFonts;
    bool m_refreshing = false;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // FONTCOMBOBOX_H
