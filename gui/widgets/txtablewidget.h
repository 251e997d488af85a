#ifndef TXTABLEWIDGET_H
#define TXTABLEWIDGET_H

#include "gui_global.h"

#include <QTableWidget>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// QTableWidget that takes the wheel only when it can scroll, so the page around it scrolls otherwise.
class GUI_EXPORT TxTableWidget : public QTableWidget
{
    Q_OBJECT
public:
    explicit TxTableWidget(QWidget* parent = nullptr);
    TxTableWidget(int rows, int columns, QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXTABLEWIDGET_H
