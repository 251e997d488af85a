#ifndef APPUSERFONTSLISTWIDGET_H
#define APPUSERFONTSLISTWIDGET_H

#include "gui_global.h"

#include <QListWidget>
#include <QStringList>

class QMenu;
class QMimeData;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The font families of the program's user font collection, offered for upload to a device.
class GUI_EXPORT AppUserFontsListWidget : public QListWidget
{
    Q_OBJECT
public:
    // Marks a drag that starts in this list, so that only such drags are taken as fonts.
    static const char* const SourceMimeType;

    explicit AppUserFontsListWidget(QWidget* parent = nullptr);
    ~AppUserFontsListWidget() override;

    void reload();
    QStringList selectedFonts() const;
    QMenu* contextMenu() const { return m_menu; }
    // What a drag of the selected items carries.
    QMimeData* dragData() const;

signals:
    void previewFont(const QString& family);
    void addFonts(const QStringList& families);

protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Insert or + adds the selected fonts, as a drag does: the keyboard's way.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QMenu* m_menu = nullptr;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // APPUSERFONTSLISTWIDGET_H
