// The device's fonts: fonts list, fonts manage.
#include "dovrelctl.h"

#include "devicerules.h"
#include "devicelink.h"
#include "devicesession.h"
#include "devicetask.h"
#include "localizationhelper.h"
#include "progressreporter.h"
#include "serialportmanager.h"

#include <QFileInfo>
#include <QJsonArray>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::SerialPortManager;

ExitCode Dovrelctl::fontsListCommand()
{
    return onDevices([](DeviceTask* task) {
        const QString refusal = featureRefusal(task, DeviceRules::FontFeature);
        if (!refusal.isEmpty())
            return task->fail(ExitCode::Failed, refusal);
        task->run(ServiceRecord::FontListing, [](DeviceLink* link) { return link->getInstalledFonts(); }, [task](const DeviceTask::Outcome& outcome) {
            if (outcome.exitCode != ExitCode::Success)
                return task->fail(outcome.exitCode, outcome.error);
            if (outcome.fonts.isEmpty())
                task->progress()->message(guiText("No user fonts are installed on the device."));
            QJsonObject result;
            result.insert(QStringLiteral("fonts"), QJsonArray::fromStringList(outcome.fonts));
            task->succeed(result, outcome.fonts.join(QLatin1Char('\n')));
        });
    });
}

ExitCode Dovrelctl::fontsManageCommand()
{
    const QStringList additions = m_cl.values(QStringLiteral("add"));
    const QStringList removals = m_cl.values(QStringLiteral("remove"));
    if (additions.isEmpty() && removals.isEmpty())
        return fail(ExitCode::UsageError, guiText("There is nothing to do."));
    QMap<QString, qint64> fonts;
    qint64 total = 0;
    for (const QString& path : additions) {
        const QString error = DeviceRules::fontFileError(path, removals);
        if (!error.isEmpty())
            return fail(ExitCode::UsageError, error);
        const QFileInfo info(path);
        fonts.insert(info.absoluteFilePath(), info.size());
        total += info.size();
    }
    for (const QString& name : removals) {
        const QString error = DeviceRules::fontNameError(name);
        if (!error.isEmpty())
            return fail(ExitCode::UsageError, error);
    }

    return onDevices([fonts, removals, total](DeviceTask* task) {
        const QString refusal = featureRefusal(task, DeviceRules::FontFeature);
        if (!refusal.isEmpty())
            return task->fail(ExitCode::Failed, refusal);
        if (!fonts.isEmpty())
            task->progress()->begin(guiText("Uploading fonts"), total);
        task->run(ServiceRecord::FontManagement, [fonts, removals](DeviceLink* link) { return link->manageFonts(fonts, removals); },
                  [task, fonts, removals](const DeviceTask::Outcome& outcome) {
                      if (outcome.exitCode != ExitCode::Success)
                          return task->fail(outcome.exitCode, outcome.error);
                      QStringList added;
                      for (auto it = fonts.constBegin(); it != fonts.constEnd(); ++it)
                          added << QFileInfo(it.key()).fileName();
                      QJsonObject result;
                      result.insert(QStringLiteral("added"), QJsonArray::fromStringList(added));
                      result.insert(QStringLiteral("removed"), QJsonArray::fromStringList(removals));
                      task->succeed(result, guiText("Finished"));
                  });
    });
}
