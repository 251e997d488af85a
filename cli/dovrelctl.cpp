#include "dovrelctl.h"

#include "commandtable.h"
#include "device.h"
#include "devicerules.h"
#include "devicesession.h"
#include "localizationhelper.h"
#include "progressreporter.h"

#include <QJsonDocument>

#include <cstdio>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::Device;
using Orvane::Tavrix::Runtime::DeviceRules;

namespace {

void writeOut(const QString& text)
{
    if (text.isEmpty())
        return;
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void writeErr(const QString& text)
{
    const QByteArray bytes = QStringLiteral("dovrelctl: %1\n").arg(text).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

Dovrelctl::Dovrelctl(const CommandLine& commandLine)
    : m_cl(commandLine)
    , m_progress(new ProgressReporter(commandLine.quiet()))
{
}

Dovrelctl::~Dovrelctl()
{
    delete m_session;
    delete m_progress;
}

ExitCode Dovrelctl::fail(ExitCode exitCode, const QString& error)
{
    m_progress->finish();
    if (m_cl.json()) {
        QJsonObject object;
        object.insert(QStringLiteral("ok"), false);
        object.insert(QStringLiteral("error"), error);
        object.insert(QStringLiteral("exitCode"), int(exitCode));
        writeOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    }
    writeErr(guiText("error: %1").arg(error));
    return exitCode;
}

ExitCode Dovrelctl::succeed(const QJsonObject& result, const QString& text)
{
    m_progress->finish();
    if (m_cl.json()) {
        QJsonObject object = result;
        object.insert(QStringLiteral("ok"), true);
        writeOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    } else {
        writeOut(text);
    }
    return ExitCode::Success;
}

ExitCode Dovrelctl::connect()
{
    if (!m_session)
        m_session = new DeviceSession(m_progress);
    QString error;
    const ExitCode code = m_session->connectDevice(m_cl.port(), &error);
    if (code != ExitCode::Success)
        return fail(code, error);
    const QString setAside = Device::beginRecording(QString::fromLatin1(ServiceRecord::CommandLineFrontEnd));
    if (!setAside.isEmpty())
        m_progress->warning(setAside);
    return ExitCode::Success;
}

ExitCode Dovrelctl::requireFeature(int feature)
{
    const QString refusal = DeviceRules::featureRefusal(m_session->device(), DeviceRules::Feature(feature));
    if (!refusal.isEmpty())
        return fail(ExitCode::Failed, refusal);
    return ExitCode::Success;
}

ExitCode Dovrelctl::run()
{
    if (m_cl.version()) {
        const QString text = QStringLiteral("dovrelctl %1").arg(QStringLiteral(DOVREL_VERSION));
        QJsonObject object;
        object.insert(QStringLiteral("version"), QStringLiteral(DOVREL_VERSION));
        return succeed(object, text);
    }
    if (m_cl.help()) {
        QJsonObject object;
        object.insert(QStringLiteral("usage"), CommandLine::usage(m_cl.command()));
        return succeed(object, CommandLine::usage(m_cl.command()));
    }
    if (m_cl.command().isEmpty())
        return fail(ExitCode::UsageError, guiText("No command given. See dovrelctl --help."));

    const CommandTable::Command* command = CommandTable::find(m_cl.command());
    if (!command || !command->handler)
        return fail(ExitCode::UsageError, guiText("Unknown command %1.").arg(m_cl.command()));
    return (this->*command->handler)();
}
