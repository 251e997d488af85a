#include "dovrelctlrun.h"

#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

QString DovrelctlRun::programPath()
{
    QString dir = qEnvironmentVariable("DOVREL_BIN_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(DOVREL_BINARY_DIR "/bin");
    return dir + QStringLiteral("/dovrelctl");
}

DovrelctlRun DovrelctlRun::start(const QStringList& args, const QMap<QString, QString>& env, int timeoutMs)
{
    return collect(*launch(args, env), timeoutMs);
}

std::unique_ptr<QProcess> DovrelctlRun::launch(const QStringList& args, const QMap<QString, QString>& env)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DOVREL_VIRTUAL_PORTS"));
    // The texts are compared in English whatever the machine's language.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    for (auto it = env.constBegin(); it != env.constEnd(); ++it)
        environment.insert(it.key(), it.value());
    process->setProcessEnvironment(environment);
    process->start(programPath(), args);
    return process;
}

DovrelctlRun DovrelctlRun::collect(QProcess& process, int timeoutMs)
{
    DovrelctlRun run;
    // It may have ended while the caller's event loop ran.
    const bool ended = process.state() == QProcess::NotRunning ? process.error() != QProcess::FailedToStart
                                                               : process.waitForFinished(timeoutMs);
    if (!ended) {
        process.kill();
        process.waitForFinished();
        run.err = process.readAllStandardError();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
    run.jsonValid = error.error == QJsonParseError::NoError && document.isObject();
    run.json = document.object();
    return run;
}

QList<QJsonObject> DovrelctlRun::jsonLines() const
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            objects << document.object();
    }
    return objects;
}

bool DovrelctlRun::isFailure(int expectedExitCode) const
{
    return exitCode == expectedExitCode && jsonValid && json.value(QStringLiteral("ok")) == QJsonValue(false)
        && !json.value(QStringLiteral("error")).toString().isEmpty()
        && json.value(QStringLiteral("exitCode")).toInt() == expectedExitCode;
}

QString DovrelctlRun::describe() const
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(QString::number(exitCode), QString::fromUtf8(out), QString::fromUtf8(err));
}
