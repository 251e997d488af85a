#include "windowshelper.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QUrl>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QDesktopServices>
#include <QGuiApplication>
#include <QStandardPaths>
#endif

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

bool isShowablePath(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isRoot() && !QDir(info.absoluteFilePath()).isRoot();
}

#ifdef Q_OS_WIN

// RtlGetVersion reports the true version; GetVersionEx lies to unmanifested programs.
bool readVersionInfo(OSVERSIONINFOEXW* info)
{
    ZeroMemory(info, sizeof(*info));
    info->dwOSVersionInfoSize = sizeof(*info);
    typedef LONG(WINAPI * RtlGetVersionFunction)(OSVERSIONINFOEXW*);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
        if (rtlGetVersion && rtlGetVersion(info) == 0)
            return true;
    }
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info)) != 0;
}

QString localeName(LCID locale)
{
    wchar_t language[9] = {};
    wchar_t country[9] = {};
    if (!GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, language, 9))
        language[0] = 0;
    if (!GetLocaleInfoW(locale, LOCALE_SISO3166CTRYNAME, country, 9))
        country[0] = 0;
    return QStringLiteral("%1_%2").arg(QString::fromWCharArray(language).left(5),
                                       QString::fromWCharArray(country).left(5));
}

// The version functions live in version.dll, loaded on first use.
struct VersionApi
{
    typedef DWORD(WINAPI * SizeFunction)(LPCWSTR, LPDWORD);
    typedef BOOL(WINAPI * InfoFunction)(LPCWSTR, DWORD, DWORD, LPVOID);
    typedef BOOL(WINAPI * QueryFunction)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    SizeFunction size = nullptr;
    InfoFunction info = nullptr;
    QueryFunction query = nullptr;

    VersionApi()
    {
        if (HMODULE module = LoadLibraryW(L"version.dll")) {
            size = reinterpret_cast<SizeFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoSizeW")));
            info = reinterpret_cast<InfoFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoW")));
            query = reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(GetProcAddress(module, "VerQueryValueW")));
        }
    }
    bool isValid() const { return size && info && query; }
};

QString hex4(WORD value)
{
    return (QStringLiteral("000") + QString::number(value, 16)).right(4);
}

QString versionResourceString(const QString& path, const QString& field)
{
    static const VersionApi api;
    if (!api.isValid() || path.isEmpty())
        return QString();
    const std::wstring file = QDir::toNativeSeparators(path).toStdWString();
    DWORD handle = 0;
    const DWORD size = api.size(file.c_str(), &handle);
    if (size == 0)
        return QString();
    QByteArray block(int(size), '\0');
    if (!api.info(file.c_str(), 0, size, block.data()))
        return QString();

    struct LanguageCodePage
    {
        WORD language;
        WORD codePage;
    };
    LanguageCodePage* translation = nullptr;
    UINT length = 0;
    if (!api.query(block.constData(), L"\\VarFileInfo\\Translation", reinterpret_cast<LPVOID*>(&translation), &length)
        || !translation || length < sizeof(LanguageCodePage))
        return QString();

    const QString subBlock = QStringLiteral("\\StringFileInfo\\%1%2\\%3")
                                 .arg(hex4(translation->language), hex4(translation->codePage), field);
    const std::wstring query = subBlock.toStdWString();
    LPVOID value = nullptr;
    UINT valueLength = 0;
    if (!api.query(block.constData(), query.c_str(), &value, &valueLength) || !value || valueLength == 0)
        return QString();
    // The length counts characters including the terminating zero; never read beyond it.
    QString text = QString::fromWCharArray(static_cast<const wchar_t*>(value), int(valueLength));
    const int zero = text.indexOf(QChar(0));
    if (zero >= 0)
        text.truncate(zero);
    return text;
}

#else

QString processLocaleName()
{
    const QLocale locale = QLocale::system();
    return QStringLiteral("%1_%2").arg(QLocale::languageToCode(locale.language()).left(5),
                                       QLocale::territoryToCode(locale.territory()).left(5));
}

// Asks the desktop's file manager to show the item selected.
bool showItemOverDBus(const QString& absolutePath)
{
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        return false;
    const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
    if (dbusSend.isEmpty())
        return false;
    // dbus-send splits array items at commas.
    QString url = QUrl::fromLocalFile(absolutePath).toString(QUrl::FullyEncoded);
    url.replace(QLatin1Char(','), QLatin1String("%2C"));
    QProcess process;
    process.start(dbusSend, { QStringLiteral("--session"), QStringLiteral("--print-reply"),
                              QStringLiteral("--reply-timeout=5000"),
                              QStringLiteral("--dest=org.freedesktop.FileManager1"),
                              QStringLiteral("--type=method_call"), QStringLiteral("/org/freedesktop/FileManager1"),
                              QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
                              QStringLiteral("array:string:") + url, QStringLiteral("string:") });
    if (!process.waitForStarted(5000))
        return false;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

#endif

} // namespace

int WindowsHelper::getWindowsProductType()
{
#ifdef Q_OS_WIN
    static const int productType = [] {
        OSVERSIONINFOEXW info;
        if (!readVersionInfo(&info))
            return -1;
        switch (info.wProductType) {
        case VER_NT_WORKSTATION:
        case VER_NT_DOMAIN_CONTROLLER:
        case VER_NT_SERVER:
            return int(info.wProductType);
        default:
            return -1;
        }
    }();
    return productType;
#else
    return -1;
#endif
}

QString WindowsHelper::windowsSystemVersion()
{
#ifdef Q_OS_WIN
    OSVERSIONINFOEXW info;
    if (!readVersionInfo(&info))
        return QString();
    return QStringLiteral("%1.%2").arg(info.dwMajorVersion).arg(info.dwMinorVersion);
#else
    return QString();
#endif
}

QString WindowsHelper::getWindowsServicePackVersion()
{
#ifdef Q_OS_WIN
    OSVERSIONINFOEXW info;
    if (!readVersionInfo(&info))
        return QString();
    return QStringLiteral("%1.%2").arg(info.wServicePackMajor).arg(info.wServicePackMinor);
#else
    return QString();
#endif
}

QString WindowsHelper::getWindowsBuildVersion()
{
#ifdef Q_OS_WIN
    OSVERSIONINFOEXW info;
    if (!readVersionInfo(&info))
        return QString();
    return QStringLiteral("%1.%2").arg(HIWORD(info.dwBuildNumber)).arg(LOWORD(info.dwBuildNumber));
#else
    return QString();
#endif
}

QString WindowsHelper::windowsProductName()
{
#ifdef Q_OS_WIN
    QSettings settings(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                       QSettings::NativeFormat);
    return settings.value(QStringLiteral("ProductName")).toString();
#else
    return QString();
#endif
}

QString WindowsHelper::windowsSystemLocale()
{
#ifdef Q_OS_WIN
    return localeName(LOCALE_SYSTEM_DEFAULT);
#else
    return processLocaleName();
#endif
}

QString WindowsHelper::windowsCurrentLocale()
{
#ifdef Q_OS_WIN
    return localeName(LOCALE_USER_DEFAULT);
#else
    return processLocaleName();
#endif
}

SystemHelper::SystemArchitecture WindowsHelper::windowsSystemArchitecture()
{
#ifdef Q_OS_WIN
    static const SystemHelper::SystemArchitecture architecture = [] {
        SYSTEM_INFO info;
        ZeroMemory(&info, sizeof(info));
        GetNativeSystemInfo(&info);
        switch (info.wProcessorArchitecture) {
        case 0: return SystemHelper::X86Architecture;
        case 9: return SystemHelper::X64Architecture;
        case 6: return SystemHelper::ItaniumArchitecture;
        case 5: return SystemHelper::ArmArchitecture;
        case 3: return SystemHelper::PowerPcArchitecture;
        default: return SystemHelper::UnknownArchitecture;
        }
    }();
    return architecture;
#else
    return SystemHelper::systemArchitecture();
#endif
}

QString WindowsHelper::getFileFileVersion(const QString& path)
{
#ifdef Q_OS_WIN
    return versionResourceString(path, QStringLiteral("FileVersion"));
#else
    Q_UNUSED(path);
    return QString();
#endif
}

QString WindowsHelper::getFileProductVersion(const QString& path)
{
#ifdef Q_OS_WIN
    return versionResourceString(path, QStringLiteral("ProductVersion"));
#else
    Q_UNUSED(path);
    return QString();
#endif
}

QString WindowsHelper::getFileProductName(const QString& path)
{
#ifdef Q_OS_WIN
    return versionResourceString(path, QStringLiteral("ProductName"));
#else
    Q_UNUSED(path);
    return QString();
#endif
}

QString WindowsHelper::getFileCompanyName(const QString& path)
{
#ifdef Q_OS_WIN
    return versionResourceString(path, QStringLiteral("CompanyName"));
#else
    Q_UNUSED(path);
    return QString();
#endif
}

QString WindowsHelper::getFileFileDescription(const QString& path)
{
#ifdef Q_OS_WIN
    return versionResourceString(path, QStringLiteral("FileDescription"));
#else
    Q_UNUSED(path);
    return QString();
#endif
}

bool WindowsHelper::activateFileViewerSelectingFile(const QString& path)
{
    if (!isShowablePath(path))
        return false;
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
#ifdef Q_OS_WIN
    const QString windir = qEnvironmentVariable("windir");
    if (windir.isEmpty())
        return false;
    QProcess process;
    process.setProgram(QStringLiteral("%1/explorer.exe").arg(QDir::fromNativeSeparators(windir)));
    // Explorer parses "/SELECT," itself; the path is quoted by hand.
    process.setNativeArguments(QStringLiteral("/SELECT,\"%1\"").arg(QDir::toNativeSeparators(absolutePath)));
    process.start();
    if (!process.waitForStarted())
        return false;
    process.waitForFinished();
    return true;
#else
    if (showItemOverDBus(absolutePath))
        return true;
    // Without a file manager service, open the containing folder.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const QString folder = QFileInfo(absolutePath).absolutePath();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
#endif
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
