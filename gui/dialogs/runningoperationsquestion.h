#ifndef RUNNINGOPERATIONSQUESTION_H
#define RUNNINGOPERATIONSQUESTION_H

#include "gui_global.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class OperationRun;
}
namespace Designer {

// Asked before a window closes while device operations run: it names each device and what
// it is doing ("Panel 1 (2331LN001): uploading, 40%"), and the user chooses to wait for
// them, to stop them safely, or not to close after all.
class GUI_EXPORT RunningOperationsQuestion
{
public:
    enum Answer { Wait, StopSafely, Cancel };

    static Answer ask(QWidget* parent, const QString& title, const QList<Runtime::OperationRun*>& runs);
    static QString text(const QList<Runtime::OperationRun*>& runs);

    // Calls done() once none of the runs goes on any more (at once when none does).
    static void whenEnded(const QList<Runtime::OperationRun*>& runs, QObject* context, const std::function<void()>& done);
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // RUNNINGOPERATIONSQUESTION_H
