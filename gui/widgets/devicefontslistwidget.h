#ifndef DEVICEFONTSLISTWIDGET_H
#define DEVICEFONTSLISTWIDGET_H

#include "gui_global.h"

#include <QListWidget>
#include <QStringList>

class QMenu;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The fonts installed on a device; the user marks those to remove.
class GUI_EXPORT DeviceFontsListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit DeviceFontsListWidget(QWidget* parent = nullptr);
    ~DeviceFontsListWidget() override;

    void setFonts(const QStringList& fonts);
    QStringList allFonts() const { return m_allFonts; }
    QStringList markedFonts() const { return m_markedFonts; }
    bool isMarked(const QString& font) const { return m_markedFonts.contains(font); }
    QMenu* contextMenu() const { return m_menu; }

public slots:
    void markSelected();
    void unmarkSelected();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setMarked(QListWidgetItem* item, bool marked);
    void showMenuAt(const QPoint& globalPos);

    QStringList m_allFonts;
    QStringList m_markedFonts;
    QMenu* m_menu = nullptr;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICEFONTSLISTWIDGET_H
