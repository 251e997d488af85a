#include "txscrollarea.h"

#include "txabstractscrollarea.h"

namespace Orvane {
namespace Tavrix {
namespace Designer {

TxScrollArea::TxScrollArea(QWidget* parent)
    : QScrollArea(parent)
{
}

void TxScrollArea::wheelEvent(QWheelEvent* event)
{
    TxAbstractScrollArea::scrollByWheel(this, event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
