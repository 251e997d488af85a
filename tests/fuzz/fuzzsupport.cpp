#include "fuzzsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QTemporaryDir* g_home = nullptr;
QString g_scratch;

void quiet(QtMsgType, const QMessageLogContext&, const QString&)
{
    // A qFatal still aborts after the handler returns.
}

} // namespace

namespace FuzzSupport {

void initialize(int* argc, char*** argv)
{
    if (QCoreApplication::instance())
        return;
    g_home = new QTemporaryDir;
    const QString home = g_home->path();
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    qputenv("XDG_DOCUMENTS_DIR", QFile::encodeName(home + QStringLiteral("/Documents")));
    QDir(home).mkpath(QStringLiteral("Documents/Lumatra/Calibrations"));
    g_scratch = home + QStringLiteral("/scratch");
    QDir(home).mkpath(QStringLiteral("scratch"));
    if (qEnvironmentVariableIntValue("DOVREL_FUZZ_VERBOSE") == 0)
        qInstallMessageHandler(quiet);
    // The application object lives for the process; libFuzzer ends it with exit().
    new QCoreApplication(*argc, *argv);
}

QString scratchPath(const QString& name)
{
    return g_scratch + QLatin1Char('/') + name;
}

QString writeScratchFile(const QString& name, const QByteArray& data)
{
    const QString path = scratchPath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        qFatal("cannot write the scratch file %s", qPrintable(path));
    return path;
}

} // namespace FuzzSupport
