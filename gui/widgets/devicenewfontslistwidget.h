#ifndef DEVICENEWFONTSLISTWIDGET_H
#define DEVICENEWFONTSLISTWIDGET_H

#include "gui_global.h"

#include <QListWidget>
#include <QStringList>

class QMenu;
class QMimeData;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The fonts of the program's collection chosen for upload to a device.
class GUI_EXPORT DeviceNewFontsListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit DeviceNewFontsListWidget(QWidget* parent = nullptr);
    ~DeviceNewFontsListWidget() override;

    QStringList fonts() const;
    void addFonts(const QStringList& fonts);
    QMenu* contextMenu() const { return m_menu; }
    // The fonts a drop carries, when it comes from the user font list; empty otherwise.
    static QStringList droppedFonts(const QMimeData* data);

signals:
    void fontsDropped(const QStringList& fonts);

public slots:
    void removeSelected();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Delete takes the selected fonts off the list, as the menu's "Remove" does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QMenu* m_menu = nullptr;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICENEWFONTSLISTWIDGET_H
