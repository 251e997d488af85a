#include "systemhelper.h"

#include "windowshelper.h"

#include <QFile>
#include <QLocale>
#include <QSysInfo>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

#ifndef Q_OS_WIN
SystemHelper::SystemArchitecture architectureFromName(const QString& name)
{
    if (name == QLatin1String("i386"))
        return SystemHelper::X86Architecture;
    if (name == QLatin1String("x86_64"))
        return SystemHelper::X64Architecture;
    if (name == QLatin1String("ia64"))
        return SystemHelper::ItaniumArchitecture;
    if (name == QLatin1String("arm") || name == QLatin1String("arm64"))
        return SystemHelper::ArmArchitecture;
    if (name == QLatin1String("power") || name == QLatin1String("power64"))
        return SystemHelper::PowerPcArchitecture;
    return SystemHelper::UnknownArchitecture;
}

// PRETTY_NAME of /etc/os-release, without its quotes.
QString osReleasePrettyName()
{
    QFile file(QStringLiteral("/etc/os-release"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.startsWith(QLatin1String("PRETTY_NAME=")))
            continue;
        QString value = line.mid(12).trimmed();
        if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\'')))
            && value.endsWith(value.at(0)))
            value = value.mid(1, value.size() - 2);
        value.replace(QLatin1String("\\\""), QLatin1String("\""));
        return value;
    }
    return QString();
}
#endif

} // namespace

QSettings SystemHelper::userSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavendi"), QStringLiteral("Lumatra"));
}

bool SystemHelper::isWindows()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

bool SystemHelper::isUnix()
{
#ifdef Q_OS_UNIX
    return true;
#else
    return false;
#endif
}

QString SystemHelper::systemVersion()
{
#ifdef Q_OS_WIN
    return WindowsHelper::windowsSystemVersion();
#else
    return QSysInfo::kernelVersion();
#endif
}

SystemHelper::SystemArchitecture SystemHelper::systemArchitecture()
{
#ifdef Q_OS_WIN
    return WindowsHelper::windowsSystemArchitecture();
#else
    static const SystemArchitecture architecture = architectureFromName(QSysInfo::currentCpuArchitecture());
    return architecture;
#endif
}

QString SystemHelper::currentLocale()
{
#ifdef Q_OS_WIN
    return WindowsHelper::windowsCurrentLocale();
#else
    const QLocale locale = QLocale::system();
    return QStringLiteral("%1_%2").arg(QLocale::languageToCode(locale.language()).left(5),
                                       QLocale::territoryToCode(locale.territory()).left(5));
#endif
}

QString SystemHelper::systemProductName()
{
#ifdef Q_OS_WIN
    return WindowsHelper::windowsProductName();
#else
    const QString name = osReleasePrettyName();
    return name.isEmpty() ? QSysInfo::prettyProductName() : name;
#endif
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
