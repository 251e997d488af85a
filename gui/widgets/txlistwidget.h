#ifndef TXLISTWIDGET_H
#define TXLISTWIDGET_H

#include "gui_global.h"

#include <QListWidget>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// QListWidget that takes the wheel only when it can scroll, so the page around it scrolls otherwise.
class GUI_EXPORT TxListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit TxListWidget(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXLISTWIDGET_H
