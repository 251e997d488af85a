#ifndef TXABSTRACTSCROLLAREA_H
#define TXABSTRACTSCROLLAREA_H

#include "gui_global.h"

#include <QAbstractScrollArea>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// QAbstractScrollArea that takes the wheel only when it can scroll, so the page around it scrolls otherwise.
class GUI_EXPORT TxAbstractScrollArea : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TxAbstractScrollArea(QWidget* parent = nullptr);

    // The wheel rule of all scrolling widgets: without a visible scroll bar the event is ignored
    // (it goes to the parent); otherwise the horizontal bar moves when Shift is held or it is the
    // only one shown, else the vertical one, by two single steps. Accepted when it scrolled a bar.
    static void scrollByWheel(QAbstractScrollArea* area, QWheelEvent* event);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXABSTRACTSCROLLAREA_H
