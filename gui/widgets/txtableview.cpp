#include "txtableview.h"

#include "txabstractscrollarea.h"

namespace Orvane {
namespace Tavrix {
namespace Designer {

TxTableView::TxTableView(QWidget* parent)
    : QTableView(parent)
{
}

void TxTableView::wheelEvent(QWheelEvent* event)
{
    TxAbstractScrollArea::scrollByWheel(this, event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
