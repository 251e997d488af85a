#ifndef FONTSIZESPINBOX_H
#define FONTSIZESPINBOX_H

#include "gui_global.h"

#include <QDoubleSpinBox>

class QMenu;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The decimal spin box of the font preview, with the editing widgets' context menu and
// its step entries.
class GUI_EXPORT FontSizeSpinBox : public QDoubleSpinBox
{
    Q_OBJECT
public:
    explicit FontSizeSpinBox(QWidget* parent = nullptr);

    // The context menu; the caller owns it.
    QMenu* createContextMenu();

public slots:
    void deleteSelection();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // FONTSIZESPINBOX_H
