#ifndef SIGNATURELABEL_H
#define SIGNATURELABEL_H

#include "gui_global.h"
#include "packagesignature.h"

#include <QLabel>

class QDialog;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The line that says who signed the package a window sends: "Signed by <key id>
// (<trusted comment>)", "Not signed", or a key that is not trusted, in a colour of its own.
class GUI_EXPORT SignatureLabel : public QLabel
{
    Q_OBJECT
public:
    explicit SignatureLabel(QWidget* parent = nullptr);

    void setSignature(const Common::PackageSignature& signature);
    // Adds the line to a progress window, under the line that names its device.
    static SignatureLabel* addTo(QDialog* dialog, const Common::PackageSignature& signature);
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // SIGNATURELABEL_H
