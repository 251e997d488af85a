#ifndef DATALOGEXPORTER_H
#define DATALOGEXPORTER_H

#include "device_global.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Reads a data log database retrieved from a device: lists its logs (one table
// per log, "_log" is not one), writes a log as a text file ("%1,%2,%3\n": row
// number, first and second column, UTF-8) and drops logs before the database is
// sent back. Any name SQLite allows works: names are quoted as identifiers and
// made safe as file names.
class DEVICE_EXPORT DataLogExporter
{
public:
    enum ExportResult {
        Exported = 0,
        AlreadyExists, // the text file exists and overwriting was not asked for
        Failed         // the log could not be read or the file not written
    };

    explicit DataLogExporter(const QString& databasePath);
    ~DataLogExporter();
    DataLogExporter(const DataLogExporter&) = delete;
    DataLogExporter& operator=(const DataLogExporter&) = delete;

    bool open();
    void close();
    bool isOpen() const;
    QString databasePath() const { return m_databasePath; }
    QString lastError() const { return m_lastError; }

    // The log names in natural order, without empty names and "_log".
    QStringList logNames();

    // Writes one log into the folder as fileNameForLog(name); the path written (or
    // that would have been written) goes to *filePath. A file this exporter wrote
    // for another log is never replaced (a folder that does not tell letter cases
    // apart can give two names one file). On failure lastError() says why, for the user.
    ExportResult exportLog(const QString& name, const QString& folder, bool overwrite, QString* filePath = nullptr);
    // What exportLog would answer before it reads or writes anything: Failed for a
    // file written for another log, AlreadyExists, or Exported when it may go ahead.
    ExportResult checkTarget(const QString& name, const QString& folder, bool overwrite, QString* filePath = nullptr);
    bool dropLog(const QString& name);

    // "NAME.txt" with every character that could leave the folder or is not
    // allowed in a file name replaced by "%XX" ("%" itself included), and the first
    // character of a Windows device name ("CON", "LPT1", ...) too, so that distinct
    // logs never share a file name.
    static QString fileNameForLog(const QString& name);
    static QString quotedIdentifier(const QString& name);

    // Unpacks "dataLogging.txdb.zip" of a retrieval folder. False when the zip is
    // missing or too small to hold a data log, or does not unpack; the database
    // path goes to *databasePath.
    static bool unpackRetrievedLog(const QString& logFolder, QString* databasePath = nullptr);

    // The folder a destination field or option names, as typed: spaces around it and a
    // leading "~" are the user's home, a relative path is taken from base (the working
    // folder when empty). Empty when nothing is named.
    static QString destinationFolder(const QString& typed, const QString& base = QString());
    // Makes the destination folder when it is missing; false when it is no folder.
    static bool prepareDestination(const QString& folder);

    // Result texts of the log dialogs.
    static QString exportSummary(int files);
    // Where the files went and which they are: "Written to FOLDER:" and their names
    // (the first few when there are many).
    static QString writtenFilesText(const QString& folder, const QStringList& filePaths);
    static QString clearSummary(const QString& exportSummary, int logs);
    static QString noDataLogText();

private:
    QString m_databasePath;
    QString m_connectionName;
    QString m_lastError;
    QList<QPair<QString, QString>> m_written; // files written, with their log
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // DATALOGEXPORTER_H
