// The device's fonts: fonts list, fonts manage.
#include "dovrelctl.h"

#include "devicerules.h"
#include "devicesession.h"
#include "localizationhelper.h"
#include "progressreporter.h"
#include "serialportmanager.h"

#include <QFileInfo>
#include <QJsonArray>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::SerialPortManager;

ExitCode Dovrelctl::fontsListCommand()
{
    if (const ExitCode code = connect(); code != ExitCode::Success)
        return code;
    if (const ExitCode code = requireFeature(DeviceRules::FontFeature); code != ExitCode::Success)
        return code;
    SerialPortManager* manager = m_session->manager();
    const DeviceSession::Outcome outcome = m_session->run(ServiceRecord::FontListing, [manager]() { return manager->getInstalledFonts(); });
    if (outcome.exitCode != ExitCode::Success)
        return fail(outcome.exitCode, outcome.error);
    if (outcome.fonts.isEmpty())
        m_progress->message(guiText("No user fonts are installed on the device."));
    QJsonObject result;
    result.insert(QStringLiteral("fonts"), QJsonArray::fromStringList(outcome.fonts));
    return succeed(result, outcome.fonts.join(QLatin1Char('\n')));
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

    if (const ExitCode code = connect(); code != ExitCode::Success)
        return code;
    if (const ExitCode code = requireFeature(DeviceRules::FontFeature); code != ExitCode::Success)
        return code;
    SerialPortManager* manager = m_session->manager();
    if (!fonts.isEmpty())
        m_progress->begin(guiText("Uploading fonts"), total);
    const DeviceSession::Outcome outcome =
        m_session->run(ServiceRecord::FontManagement, [manager, fonts, removals]() { return manager->manageFonts(fonts, removals); });
    if (outcome.exitCode != ExitCode::Success)
        return fail(outcome.exitCode, outcome.error);
    QStringList added;
    for (auto it = fonts.constBegin(); it != fonts.constEnd(); ++it)
        added << QFileInfo(it.key()).fileName();
    QJsonObject result;
    result.insert(QStringLiteral("added"), QJsonArray::fromStringList(added));
    result.insert(QStringLiteral("removed"), QJsonArray::fromStringList(removals));
    return succeed(result, guiText("Finished"));
}
