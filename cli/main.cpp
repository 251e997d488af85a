// dovrelctl: the command-line front end of the device link.
#include "commandline.h"
#include "dovrelctl.h"
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
    const bool parsed = commandLine.parse(QCoreApplication::arguments());
    if (!parsed) {
        // Report in the form asked for, even when the rest of the line is wrong.
        if (QCoreApplication::arguments().contains(QStringLiteral("--json"))) {
            QJsonObject object;
            object.insert(QStringLiteral("ok"), false);
            object.insert(QStringLiteral("error"), commandLine.error());
            object.insert(QStringLiteral("exitCode"), int(ExitCode::UsageError));
            std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
        }
        std::fprintf(stderr, "dovrelctl: error: %s\nSee dovrelctl --help.\n", commandLine.error().toLocal8Bit().constData());
        return int(ExitCode::UsageError);
    }
    Dovrelctl program(commandLine);
    const ExitCode code = program.run();
    // Stopped by a signal: the shell's code for it, once every device was left whole.
    if (Orvane::Tavrix::Common::StopSignals* stop = Orvane::Tavrix::Common::StopSignals::instance(); stop && stop->signalNumber())
        return Orvane::Tavrix::Common::StopSignals::exitCode(stop->signalNumber());
    return int(code);
}
