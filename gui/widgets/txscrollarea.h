#ifndef TXSCROLLAREA_H
#define TXSCROLLAREA_H

#include "gui_global.h"

#include <QScrollArea>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// QScrollArea that takes the wheel only when it can scroll, so the page around it scrolls otherwise.
class GUI_EXPORT TxScrollArea : public QScrollArea
{
    Q_OBJECT
public:
    explicit TxScrollArea(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXSCROLLAREA_H
