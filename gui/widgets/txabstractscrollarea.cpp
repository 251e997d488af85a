#include "txabstractscrollarea.h"

#include <QScrollBar>
#include <QWheelEvent>

namespace Orvane {
namespace Tavrix {
namespace Designer {

TxAbstractScrollArea::TxAbstractScrollArea(QWidget* parent)
    : QAbstractScrollArea(parent)
{
}

void TxAbstractScrollArea::scrollByWheel(QAbstractScrollArea* area, QWheelEvent* event)
{
    QScrollBar* horizontal = area->horizontalScrollBar();
    QScrollBar* vertical = area->verticalScrollBar();
    const bool horizontalShown = horizontal && horizontal->isVisible();
    const bool verticalShown = vertical && vertical->isVisible();
    if (!horizontalShown && !verticalShown) {
        event->ignore();
        return;
    }
    const bool useHorizontal = horizontalShown
        && (event->modifiers().testFlag(Qt::ShiftModifier) || !verticalShown);
    QScrollBar* bar = useHorizontal ? horizontal : vertical;
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const int step = 2 * bar->singleStep();
    const int value = delta < 0 ? bar->value() + step : bar->value() - step;
    bar->setValue(qBound(bar->minimum(), value, bar->maximum()));
    event->accept();
}

void TxAbstractScrollArea::wheelEvent(QWheelEvent* event)
{
    scrollByWheel(this, event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
