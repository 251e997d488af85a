#ifndef DEVICELISTHOLDER_H
#define DEVICELISTHOLDER_H

#include "gui_global.h"

#include <QListWidget>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The list of device rows in the main window. Items, selection and the row
// widgets are managed by the window that owns the list.
class GUI_EXPORT DeviceListHolder : public QListWidget
{
    Q_OBJECT
public:
    explicit DeviceListHolder(QWidget* parent = nullptr);
    ~DeviceListHolder() override;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICELISTHOLDER_H
