#include "diagnostics.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

// Warnings and worse are shown unless switched off; debug and info lines only on request.
Q_LOGGING_CATEGORY(lcDiscovery, "dovrel.discovery", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTransfer, "dovrel.transfer", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLocalization, "dovrel.localization", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFiles, "dovrel.files", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFonts, "dovrel.fonts", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "dovrel.app", QtWarningMsg)

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
