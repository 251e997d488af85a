#include "devicelistholder.h"

namespace Orvane {
namespace Tavrix {
namespace Designer {

DeviceListHolder::DeviceListHolder(QWidget* parent)
    : QListWidget(parent)
{
    setObjectName(QStringLiteral("deviceList"));
}

DeviceListHolder::~DeviceListHolder() = default;

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
