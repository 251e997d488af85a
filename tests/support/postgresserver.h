#ifndef POSTGRESSERVER_H
#define POSTGRESSERVER_H

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// A PostgreSQL server of the test's own: initdb and pg_ctl of Debian's package in a
// temporary folder, listening on a unix socket in that folder only, with one database
// "dovrel" and its owner "dovrel". When the test runs as root the server runs as the
// user postgres. It is stopped when the object goes, and when the test program dies.
//
//   PostgresServer server;
//   QVERIFY2(server.start(), qPrintable(server.error()));
//   qputenv("DOVREL_HISTORY_SERVER", server.uri().toUtf8());
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();

    // Makes the cluster on the first call; false with error().
    bool start();
    bool stop();
    bool isRunning() const { return m_running; }
    QString error() const { return m_error; }
    // postgresql://dovrel@<socket folder, percent-encoded>/dovrel
    QString uri() const;
    // The first value of the statement's first row (a null value without rows), run as
    // the owner; a failure is null too, with error().
    QVariant value(const QString& statement, const QString& database = QStringLiteral("dovrel"));

private:
    bool run(const QString& program, const QStringList& args);
    void asServerUser(QProcess& process) const;

    QTemporaryDir m_dir;
    QString m_binDir;
    QString m_error;
    bool m_made = false;
    bool m_running = false;
    // Stops the server should the test program die without doing it.
    QProcess m_watchdog;
    uint m_uid = 0;
    uint m_gid = 0;
    bool m_switchUser = false;
};

#endif // POSTGRESSERVER_H
