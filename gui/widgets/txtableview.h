#ifndef TXTABLEVIEW_H
#define TXTABLEVIEW_H

#include "gui_global.h"

#include <QTableView>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// QTableView that takes the wheel only when it can scroll, so the page around it scrolls otherwise.
class GUI_EXPORT TxTableView : public QTableView
{
    Q_OBJECT
public:
    explicit TxTableView(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXTABLEVIEW_H
