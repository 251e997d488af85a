#ifndef SIGNATUREREQUIREMENT_H
#define SIGNATUREREQUIREMENT_H

#include "gui_global.h"

#include <QObject>

class QAction;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The program's setting "Require signed packages": with it, a row's upload and upgrade
// and the Batch window send only packages signed by a trusted key. Kept with the
// program's settings; changed() tells the windows that follow it.
class GUI_EXPORT SignatureRequirement : public QObject
{
    Q_OBJECT
public:
    static SignatureRequirement* instance();

    static bool isRequired();
    void setRequired(bool required);
    // A checkable menu entry that shows and changes the setting.
    QAction* addAction(QWidget* menu);

signals:
    void changed(bool required);

private:
    using QObject::QObject;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // SIGNATUREREQUIREMENT_H
