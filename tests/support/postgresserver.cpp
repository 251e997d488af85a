#include "postgresserver.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Debian's package: /usr/lib/postgresql/<version>/bin, the newest one.
QString serverBinDir()
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    return found.isEmpty() ? QString() : versions.filePath(found.last() + QStringLiteral("/bin"));
}

} // namespace

PostgresServer::PostgresServer()
    : m_binDir(serverBinDir())
{
    if (geteuid() == 0) {
        if (const passwd* user = getpwnam("postgres")) {
            m_uid = user->pw_uid;
            m_gid = user->pw_gid;
            m_switchUser = true;
            // The server's own folder; the socket in it stays reachable for root.
            if (chown(QFile::encodeName(m_dir.path()).constData(), m_uid, m_gid) != 0)
                m_error = QStringLiteral("cannot hand %1 to postgres").arg(m_dir.path());
        }
    }
}

PostgresServer::~PostgresServer()
{
    stop();
    m_watchdog.kill();
    m_watchdog.waitForFinished(5000);
}

void PostgresServer::asServerUser(QProcess& process) const
{
    const bool switchUser = m_switchUser;
    const uid_t uid = m_uid;
    const gid_t gid = m_gid;
    process.setWorkingDirectory(m_dir.path());
    process.setChildProcessModifier([switchUser, uid, gid]() {
        if (switchUser && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))
            _exit(127);
        // After the change of user, which would clear it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
}

bool PostgresServer::run(const QString& program, const QStringList& args)
{
    QProcess process;
    asServerUser(process);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QDir(m_binDir).filePath(program), args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

bool PostgresServer::start()
{
    if (m_running)
        return true;
    if (m_binDir.isEmpty()) {
        m_error = QStringLiteral("PostgreSQL is not installed (scripts/install-deps installs it)");
        return false;
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!m_made) {
        if (!run(QStringLiteral("initdb"), { QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("dovrel"),
                                             QStringLiteral("--auth=trust"), QStringLiteral("--no-sync"),
                                             QStringLiteral("--no-locale"), QStringLiteral("-E"), QStringLiteral("UTF8") }))
            return false;
        asServerUser(m_watchdog);
        m_watchdog.start(QStringLiteral("/bin/sh"),
                         { QStringLiteral("-c"), QStringLiteral("trap '\"$0\" stop -D \"$1\" -m immediate; exit' TERM; "
                                                                "while :; do sleep 1; done"),
                           QDir(m_binDir).filePath(QStringLiteral("pg_ctl")), data });
    }
    const QString options = QStringLiteral("-k '%1' -c listen_addresses='' -c fsync=off -c full_page_writes=off").arg(m_dir.path());
    if (!run(QStringLiteral("pg_ctl"), { QStringLiteral("start"), QStringLiteral("-w"), QStringLiteral("-D"), data,
                                         QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                                         QStringLiteral("-o"), options }))
        return false;
    m_running = true;
    if (!m_made) {
        m_made = true;
        m_error.clear();
        value(QStringLiteral("CREATE DATABASE dovrel"), QStringLiteral("postgres"));
        return m_error.isEmpty();
    }
    return true;
}

bool PostgresServer::stop()
{
    if (!m_running)
        return true;
    m_running = false;
    return run(QStringLiteral("pg_ctl"), { QStringLiteral("stop"), QStringLiteral("-w"), QStringLiteral("-m"), QStringLiteral("fast"),
                                           QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")) });
}

QString PostgresServer::uri() const
{
    return QStringLiteral("postgresql://dovrel@%1/dovrel").arg(QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path())));
}

QVariant PostgresServer::value(const QString& statement, const QString& database)
{
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("PostgresServer"));
        db.setHostName(m_dir.path());
        db.setUserName(QStringLiteral("dovrel"));
        db.setDatabaseName(database);
        QSqlQuery query(db);
        if (!db.open() || !query.exec(statement))
            m_error = db.isOpen() ? query.lastError().text() : db.lastError().text();
        else if (query.next())
            result = query.value(0);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("PostgresServer"));
    return result;
}
