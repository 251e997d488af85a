// dovrelctl: the command-line front end of the device link.
#include "commandline.h"
#include "dovrelctl.h"
#include "servicehistory.h"
#include "stopsignals.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

// The device link talks a lot on the debug channel; keep stderr for progress and errors,
// unless diagnostics were asked for (their categories are switched on by QT_LOGGING_RULES).
void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    static const bool debug = qEnvironmentVariableIsSet("DOVREL_DEBUG") || qEnvironmentVariableIsSet("QT_LOGGING_RULES");
    if (!debug && type != QtCriticalMsg && type != QtFatalMsg)
        return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(messageHandler);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dovrelctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DOVREL_VERSION));

    CommandLine commandLine;
    int failure = int(ExitCode::UsageError);
    const bool parsed = commandLine.parse(QCoreApplication::arguments()) && (commandLine.help() || commandLine.resolveSlots(&failure));
    if (!parsed) {
        // Report in the form asked for, even when the rest of the line is wrong.
        if (QCoreApplication::arguments().contains(QStringLiteral("--json"))) {
            QJsonObject object;
            object.insert(QStringLiteral("ok"), false);
            object.insert(QStringLiteral("error"), commandLine.error());
            object.insert(QStringLiteral("exitCode"), failure);
            std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
        }
        std::fprintf(stderr, "dovrelctl: error: %s\n", commandLine.error().toLocal8Bit().constData());
        if (failure == int(ExitCode::UsageError))
            std::fprintf(stderr, "See dovrelctl --help.\n");
        return failure;
    }
    if (!commandLine.operatorName().isEmpty())
        Orvane::Tavrix::Common::ServiceHistory::setProcessOperator(commandLine.operatorName());
    Dovrelctl program(commandLine);
    const ExitCode code = program.run();
    // Stopped by a signal: the shell's code for it, once every device was left whole.
    if (Orvane::Tavrix::Common::StopSignals* stop = Orvane::Tavrix::Common::StopSignals::instance(); stop && stop->signalNumber())
        return Orvane::Tavrix::Common::StopSignals::exitCode(stop->signalNumber());
    return int(code);
}
