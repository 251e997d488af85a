#include "devicelistholder.h"

#include "localizationhelper.h"

using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

DeviceListHolder::DeviceListHolder(QWidget* parent)
    : QListWidget(parent)
{
    setObjectName(QStringLiteral("deviceList"));
    setAccessibleName(guiText("Connected devices"));
    setAccessibleDescription(guiText("One row per identified device. F7 opens the selected device's functions."));
}

DeviceListHolder::~DeviceListHolder() = default;

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
