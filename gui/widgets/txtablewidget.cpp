#include "txtablewidget.h"

#include "txabstractscrollarea.h"

namespace Orvane {
namespace Tavrix {
namespace Designer {

TxTableWidget::TxTableWidget(QWidget* parent)
    : QTableWidget(parent)
{
}

TxTableWidget::TxTableWidget(int rows, int columns, QWidget* parent)
    : QTableWidget(rows, columns, parent)
{
}

void TxTableWidget::wheelEvent(QWheelEvent* event)
{
    TxAbstractScrollArea::scrollByWheel(this, event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
