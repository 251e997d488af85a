#include "runningoperationsquestion.h"

#include "localizationhelper.h"
#include "messagebox.h"
#include "operationrun.h"

#include <QPushButton>

#include <memory>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Runtime::OperationRun;

namespace Orvane {
namespace Tavrix {
namespace Designer {

QString RunningOperationsQuestion::text(const QList<OperationRun*>& runs)
{
    QStringList lines;
    for (const OperationRun* run : runs)
        lines << run->activityText();
    return guiText("These devices are still at work:\n\n%1\n\nWait lets them finish and then closes. Stop safely abandons "
                   "transfers that have replaced nothing yet and lets the steps that put things into place finish, so that "
                   "every device keeps a whole project and its data log.")
        .arg(lines.join(QLatin1Char('\n')));
}

RunningOperationsQuestion::Answer RunningOperationsQuestion::ask(QWidget* parent, const QString& title,
                                                                 const QList<OperationRun*>& runs)
{
    QPointer<MessageBox> box = new MessageBox(parent, title, text(runs), MessageBox::Question, QPixmap(), MessageBox::Custom,
                                              MessageBox::Yes, MessageBox::Cancel);
    box->setWordWrap(true);
    box->setTextOfButton1(guiText("Wait"));
    box->setTextOfButton2(guiText("Stop safely"));
    box->setDefaultButton(box->button3());
    const int code = box->exec();
    delete box.data();
    if (code == MessageBox::CustomCode)
        return Wait;
    if (code == MessageBox::AcceptCode)
        return StopSafely;
    return Cancel;
}

void RunningOperationsQuestion::whenEnded(const QList<OperationRun*>& runs, QObject* context, const std::function<void()>& done)
{
    auto left = std::make_shared<int>(0);
    for (OperationRun* run : runs) {
        if (!run || !run->isActive())
            continue;
        ++*left;
        QObject::connect(run, &QObject::destroyed, context, [left, done]() {
            if (--*left == 0)
                done();
        });
    }
    if (*left == 0)
        QMetaObject::invokeMethod(context, done, Qt::QueuedConnection);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
