#include "txlistwidget.h"

#include "txabstractscrollarea.h"

namespace Orvane {
namespace Tavrix {
namespace Designer {

TxListWidget::TxListWidget(QWidget* parent)
    : QListWidget(parent)
{
}

void TxListWidget::wheelEvent(QWheelEvent* event)
{
    TxAbstractScrollArea::scrollByWheel(this, event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
