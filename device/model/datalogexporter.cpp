#include "datalogexporter.h"

#include "filehelper.h"
#include "localizationhelper.h"
#include "texthelper.h"
#include "ziphelper.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

// A retrieved zip below this size holds no data log.
constexpr qint64 MinimumLogZipSize = 140;


} // namespace

DataLogExporter::DataLogExporter(const QString& databasePath)
    : m_databasePath(databasePath)
    , m_connectionName(QStringLiteral("DataLogExporter-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)))
{
}

DataLogExporter::~DataLogExporter()
{
    close();
}

bool DataLogExporter::open()
{
    if (isOpen())
        return true;
    if (!QFileInfo(m_databasePath).isFile()) {
        m_lastError = QStringLiteral("No database at %1").arg(m_databasePath);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_databasePath);
    if (!db.open()) {
        m_lastError = db.lastError().text();
        return false;
    }
    // SQLite opens any file; reading the schema tells whether it is a database.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        m_lastError = probe.lastError().text();
        probe = QSqlQuery();
        db.close();
        return false;
    }
    return true;
}

void DataLogExporter::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool DataLogExporter::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QStringList DataLogExporter::logNames()
{
    if (!open())
        return QStringList();
    QStringList names;
    for (const QString& table : QSqlDatabase::database(m_connectionName, false).tables(QSql::Tables)) {
        if (!table.isEmpty() && table != QLatin1String("_log"))
            names << table;
    }
    return TextHelper::sortFiles(names, Qt::AscendingOrder);
}

QString DataLogExporter::quotedIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QStringLiteral("\"%1\"").arg(quoted);
}

QString DataLogExporter::fileNameForLog(const QString& name)
{
    // "%" is always escaped, so every "%XX" comes from an escape: the mapping is one to one.
    static const QString unsafe = QStringLiteral("%/\\:*?\"<>|");
    const auto escaped = [](QChar c) { return QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper(); };
    QString result;
    for (const QChar c : name) {
        if (unsafe.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7f)
            result += escaped(c);
        else
            result += c;
    }
    // "CON.txt" and "con.1.txt" name a device on Windows, wherever the file is copied later.
    const QString stem = result.section(QLatin1Char('.'), 0, 0).trimmed();
    if (FileHelper::windowsReservedNames().contains(stem.toUpper()))
        result.replace(0, 1, escaped(result.at(0)));
    // A lone "%" never comes from an escape; an empty name is no log anyway.
    if (result.isEmpty())
        result = QStringLiteral("%");
    return result + QStringLiteral(".txt");
}

namespace {

// Whether two paths name one file (a link, or a folder that folds letter cases).
bool isSameFile(const QString& a, const QString& b)
{
#ifdef Q_OS_UNIX
    struct stat first;
    struct stat second;
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 && ::stat(QFile::encodeName(b).constData(), &second) == 0
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#else
    const QString first = QFileInfo(a).canonicalFilePath();
    return !first.isEmpty() && first.compare(QFileInfo(b).canonicalFilePath(), Qt::CaseInsensitive) == 0;
#endif
}

} // namespace

DataLogExporter::ExportResult DataLogExporter::checkTarget(const QString& name, const QString& folder, bool overwrite, QString* filePath)
{
    const QString target = QDir(folder).absoluteFilePath(fileNameForLog(name));
    if (filePath)
        *filePath = target;
    // The name is made safe above; this guards the rule itself.
    if (QDir::cleanPath(QFileInfo(target).absolutePath()) != QDir::cleanPath(QDir(folder).absolutePath())) {
        m_lastError = deviceText("The log name \"%1\" cannot be a file name.").arg(name);
        return Failed;
    }
    if (QFileInfo::exists(target)) {
        for (const auto& [written, log] : std::as_const(m_written)) {
            if (log != name && isSameFile(written, target)) {
                m_lastError = deviceText("\"%1\" is the file just written for the log \"%2\"; the folder does not tell the two names apart.")
                                  .arg(TextHelper::toSystemPath(target), log);
                return Failed;
            }
        }
        if (!overwrite)
            return AlreadyExists;
    }
    return Exported;
}

DataLogExporter::ExportResult DataLogExporter::exportLog(const QString& name, const QString& folder, bool overwrite, QString* filePath)
{
    QString target;
    const ExportResult checked = checkTarget(name, folder, overwrite, &target);
    if (filePath)
        *filePath = target;
    if (checked != Exported)
        return checked;
    if (!open()) {
        m_lastError = deviceText("The data log database cannot be read: %1").arg(m_lastError);
        return Failed;
    }

    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM %1").arg(quotedIdentifier(name)))) {
        m_lastError = deviceText("The log cannot be read: %1").arg(query.lastError().text());
        return Failed;
    }
    QSaveFile file(target);
    const auto writeFailed = [&]() {
        m_lastError = deviceText("\"%1\" could not be written: %2").arg(TextHelper::toSystemPath(target), file.errorString());
        return Failed;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return writeFailed();
    qint64 row = 0;
    const int columns = query.record().count();
    while (query.next()) {
        ++row;
        const QString first = columns > 0 ? query.value(0).toString() : QString();
        const QString second = columns > 1 ? query.value(1).toString() : QString();
        file.write(QStringLiteral("%1,%2,%3\n").arg(row).arg(first, second).toUtf8());
    }
    if (query.lastError().isValid()) {
        m_lastError = deviceText("The log cannot be read: %1").arg(query.lastError().text());
        file.cancelWriting();
        return Failed;
    }
    // A full disk shows here at the latest; the file is then left as it was.
    if (!file.commit())
        return writeFailed();
    m_written.append(qMakePair(target, name));
    return Exported;
}

bool DataLogExporter::dropLog(const QString& name)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(QStringLiteral("DROP TABLE %1").arg(quotedIdentifier(name)))) {
        m_lastError = query.lastError().text();
        return false;
    }
    return true;
}

bool DataLogExporter::unpackRetrievedLog(const QString& logFolder, QString* databasePath)
{
    const QString zip = QDir(logFolder).filePath(QStringLiteral("dataLogging.txdb.zip"));
    const QString database = QDir(logFolder).filePath(QStringLiteral("dataLogging.txdb"));
    if (databasePath)
        *databasePath = database;
    if (QFileInfo(zip).size() < MinimumLogZipSize)
        return false;
    if (!ZipHelper::extractFile(zip, QStringLiteral("dataLogging.txdb"), logFolder))
        return false;
    return QFileInfo(database).isFile();
}

QString DataLogExporter::exportSummary(int files)
{
    return files == 1 ? guiText("Successfully retrieved %1 logged file").arg(files)
                      : guiText("Successfully retrieved %1 logged files").arg(files);
}

QString DataLogExporter::destinationFolder(const QString& typed, const QString& base)
{
    QString path = TextHelper::toStandardPath(typed.trimmed());
    if (path.isEmpty())
        return QString();
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    const QDir from(base.isEmpty() ? QDir::currentPath() : base);
    return QDir::cleanPath(from.absoluteFilePath(path));
}

bool DataLogExporter::prepareDestination(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    const QFileInfo info(folder);
    if (info.exists())
        return info.isDir();
    return QDir().mkpath(folder);
}

QString DataLogExporter::writtenFilesText(const QString& folder, const QStringList& filePaths)
{
    // Enough names to recognise the export; the rest are counted.
    const int shown = 10;
    QStringList names;
    for (const QString& path : filePaths.mid(0, shown))
        names << QFileInfo(path).fileName();
    QString text = guiText("Written to %1:").arg(TextHelper::toSystemPath(folder));
    text += QLatin1Char('\n') + names.join(QLatin1Char('\n'));
    if (filePaths.size() > shown)
        text += QLatin1Char('\n') + guiText("and %1 more").arg(filePaths.size() - shown);
    return text;
}

QString DataLogExporter::clearSummary(const QString& exportSummary, int logs)
{
    return logs == 1 ? guiText("%1\nSuccessfully cleared %2 logged file").arg(exportSummary, QString::number(logs))
                     : guiText("%1\nSuccessfully cleared %2 logged files").arg(exportSummary, QString::number(logs));
}

QString DataLogExporter::noDataLogText()
{
    return guiText("The project running on the device does not have data logging feature.");
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
