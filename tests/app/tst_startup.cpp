// Start-up and the single-instance guard, with the real program as a process:
// offscreen, with a private home and temporary folder for each case.
#include "emulator.h"
#include "englishtexts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString programPath()
{
    const QString dir = qEnvironmentVariable("DOVREL_BIN_DIR", QStringLiteral(DOVREL_BINARY_DIR "/bin"));
    return dir + QStringLiteral("/dovrel");
}

bool isPort(const QByteArray& content)
{
    return QRegularExpression(QStringLiteral("^[0-9]+$")).match(QString::fromLatin1(content)).hasMatch();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A private world for one or more program runs: a user's home and runtime folder;
// the temporary folder may be shared with another such user.
class Sandbox
{
public:
    explicit Sandbox(const QString& sharedTemp = QString())
        : m_sharedTemp(sharedTemp)
    {
        QDir().mkpath(home());
        QDir().mkpath(temp());
        QDir().mkpath(runtime());
        QFile::setPermissions(runtime(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QString home() const { return m_dir.path() + QStringLiteral("/home"); }
    QString temp() const { return m_sharedTemp.isEmpty() ? m_dir.path() + QStringLiteral("/tmp") : m_sharedTemp; }
    QString runtime() const { return m_dir.path() + QStringLiteral("/run"); }
    QString lockFile() const { return runtime() + QStringLiteral("/Kavendi-lockfile"); }

    QProcess* start(const QString& devicePorts = QString(), const QString& loggingRules = QString())
    {
        auto* process = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home());
        env.insert(QStringLiteral("TMPDIR"), temp());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home() + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        env.remove(QStringLiteral("XDG_DOCUMENTS_DIR"));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("DOVREL_VIRTUAL_PORTS"), devicePorts);
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        if (!loggingRules.isEmpty())
            env.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process->setProcessEnvironment(env);
        process->start(programPath(), {});
        process->waitForStarted(30000);
        m_processes << process;
        return process;
    }

    ~Sandbox()
    {
        for (QProcess* process : std::as_const(m_processes)) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(10000);
            }
            delete process;
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_sharedTemp;
    QList<QProcess*> m_processes;
};

// The lock as a running instance holds it: the file open with an advisory lock.
class HeldLock
{
public:
    explicit HeldLock(const QString& path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT, 0644);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~HeldLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isHeld() const { return m_fd >= 0; }
    bool write(const QByteArray& content)
    {
        return ::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, content.constData(), size_t(content.size()), 0) == content.size();
    }

private:
    int m_fd = -1;
};

// Waits until the lock file holds a port on which something listens at 127.0.0.1.
int waitForListeningPort(const QString& lockFile, int timeoutMs = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QByteArray content = readAll(lockFile);
        if (isPort(content)) {
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(content.toInt()));
            if (socket.waitForConnected(2000))
                return content.toInt();
        }
        QTest::qWait(100);
    }
    return 0;
}

// The resident memory of a process, from /proc.
qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace

// How a lock file that is not the program's own came to be in its place.
enum ForeignLock { SymbolicLink, HardLink, OtherOwner };

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(programPath()), qPrintable(programPath()));
    }

    void firstStartPublishesItsPortAndASecondStartEnds()
    {
        Sandbox box;
        QProcess* first = box.start();
        const int port = waitForListeningPort(box.lockFile());
        QVERIFY2(port >= 10000 && port <= 40000, readAll(box.lockFile()).constData());
        QCOMPARE(readAll(box.lockFile()), QByteArray::number(port));
        QCOMPARE(first->state(), QProcess::Running);
        // The user folders are there.
        QVERIFY(QFileInfo(box.home() + QStringLiteral("/Documents/Lumatra/Calibrations")).isDir());
        // The lock and the working folders are the user's alone.
        const QString work = box.runtime() + QStringLiteral("/Kavendi/Kavendi/DeviceProject");
        QVERIFY(QFileInfo(work).isDir());
        QCOMPARE(int(QFileInfo(work).permissions() & 0x0077), 0);
        QCOMPARE(QFileInfo(box.lockFile()).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);

        QProcess* second = box.start();
        QVERIFY(second->waitForFinished(60000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY2(second->readAllStandardError().indexOf("Error") < 0, "the hand-over shows no error");
        // The first instance goes on, its lock untouched.
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(readAll(box.lockFile()), QByteArray::number(port));

        // A deleted lock file is put back at once: a later start still hands over.
        QVERIFY(QFile::remove(box.lockFile()));
        QTRY_COMPARE_WITH_TIMEOUT(readAll(box.lockFile()), QByteArray::number(port), 10000);
        QProcess* again = box.start();
        QVERIFY(again->waitForFinished(60000));
        QCOMPARE(again->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);

        // Killed, it leaves its lock file behind; that does not block the next start.
        first->kill();
        QVERIFY(first->waitForFinished(10000));
        QVERIFY(QFile::exists(box.lockFile()));
        QProcess* third = box.start();
        QElapsedTimer timer;
        timer.start();
        int next = 0;
        while (timer.elapsed() < 120000 && third->state() == QProcess::Running) {
            next = waitForListeningPort(box.lockFile(), 2000);
            if (next && next != port)
                break;
            QTest::qWait(100);
        }
        QCOMPARE(third->state(), QProcess::Running);
        QVERIFY(next > 0);
    }

    // Ended by a signal (as scripts/run and session managers do), the program closes
    // like through its window and takes its lock file with it.
    void terminationClosesCleanly()
    {
        Sandbox box;
        QProcess* process = box.start();
        QVERIFY(waitForListeningPort(box.lockFile()) > 0);
        process->terminate();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
        QVERIFY(!QFile::exists(box.lockFile()));
    }

    // A run with a device writes nothing on standard output and none of its diagnostics on
    // standard error, unless they are asked for.
    void quietUnlessAsked_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::newRow("normal run") << QString();
        QTest::newRow("diagnostics asked for") << QStringLiteral("dovrel.*.debug=true");
    }

    void quietUnlessAsked()
    {
        QFETCH(QString, rules);
        DeviceEmulator device;
        QVERIFY(device.start({ QStringLiteral("--stay-on-reboot") }));
        Sandbox box;
        QProcess* process = box.start(device.portPath(), rules);
        QVERIFY(waitForListeningPort(box.lockFile()) > 0);
        // The device's row is there once its clock has been set.
        QVERIFY(device.waitForCommand(QStringLiteral("DTIM"), 60000));
        QTest::qWait(500);
        process->terminate();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
        QCOMPARE(process->readAllStandardOutput(), QByteArray());
        const QByteArray errors = process->readAllStandardError();
        for (const char* line : { "Set application locale to", "m_bootUp", " connected at " })
            QVERIFY2(errors.contains(line) == !rules.isEmpty(), errors.constData());
    }

    // A service history that is no database is renamed, not deleted; a new one is started.
    void brokenHistoryIsSetAsideAndTheProgramStarts()
    {
        Sandbox box;
        const QString history = box.home() + QStringLiteral("/.local/share/Kavendi/Lumatra/history.sqlite");
        QVERIFY(QDir().mkpath(QFileInfo(history).absolutePath()));
        const QByteArray broken = QByteArray("not a database\n").repeated(100);
        {
            QFile file(history);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(broken);
        }
        QProcess* process = box.start();
        QVERIFY(waitForListeningPort(box.lockFile()) > 0);
        // The window sets it aside as it is set up, just after the port is published.
        const QDir folder(QFileInfo(history).absolutePath());
        QTRY_COMPARE_WITH_TIMEOUT(folder.entryList({ QStringLiteral("history.sqlite.unreadable-*") }).size(), 1, 30000);
        const QStringList aside = folder.entryList({ QStringLiteral("history.sqlite.unreadable-*") });
        QCOMPARE(readAll(QFileInfo(history).absolutePath() + QLatin1Char('/') + aside.first()), broken);
        // A new history takes its place as soon as its tables are made.
        QTRY_VERIFY_WITH_TIMEOUT(readAll(history).startsWith("SQLite format 3"), 30000);
        QCOMPARE(process->state(), QProcess::Running);
        process->terminate();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
    }

    void staleLockFileDoesNotBlock_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("killed while starting") << QByteArray("loading");
        QTest::newRow("killed while running") << QByteArray("23456");
    }

    void staleLockFileDoesNotBlock()
    {
        QFETCH(QByteArray, content);
        Sandbox box;
        {
            QFile stale(box.lockFile());
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.write(content);
        }
        QProcess* process = box.start();
        QElapsedTimer timer;
        timer.start();
        int port = 0;
        while (!port && timer.elapsed() < 120000 && process->state() == QProcess::Running) {
            const QByteArray now = readAll(box.lockFile());
            if (now != content)
                port = waitForListeningPort(box.lockFile(), 2000);
            QTest::qWait(100);
        }
        QVERIFY2(port > 0, process->readAllStandardError().constData());
        QCOMPARE(process->state(), QProcess::Running);
    }

    // A running instance that is still starting ("loading", or anything but digits) is waited for.
    void secondStartWaitsForThePortThenHandsOver()
    {
        Sandbox box;
        HeldLock lock(box.lockFile());
        QVERIFY(lock.isHeld());
        QVERIFY(lock.write("loading"));
        QProcess* process = box.start();
        QVERIFY(process->waitForStarted(10000));
        QVERIFY(!process->waitForFinished(2500));
        QVERIFY(lock.write("12ab"));
        QVERIFY(!process->waitForFinished(2500));

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(QStringLiteral("127.0.0.1"))));
        QVERIFY(lock.write(QByteArray::number(server.serverPort())));
        QVERIFY(server.waitForNewConnection(30000));
        QTcpSocket* peer = server.nextPendingConnection();
        QByteArray said;
        QElapsedTimer timer;
        timer.start();
        while (said.size() < 4 && timer.elapsed() < 10000) {
            peer->waitForReadyRead(200);
            said += peer->readAll();
        }
        QCOMPARE(said, QByteArray(":new"));
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitCode(), 0);
        // The running instance's file is left as it was.
        QCOMPARE(readAll(box.lockFile()), QByteArray::number(server.serverPort()));
    }

    void nobodyListeningAtThePort()
    {
        Sandbox box;
        HeldLock lock(box.lockFile());
        QVERIFY(lock.isHeld());
        quint16 unused = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress(QStringLiteral("127.0.0.1"))));
            unused = probe.serverPort();
        }
        QVERIFY(lock.write(QByteArray::number(unused)));
        QProcess* process = box.start();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
        QVERIFY(process->readAllStandardError().contains("Failed to communicate with the application."));
    }

    // A running instance that never publishes its port is not waited for forever.
    void waitForAStuckInstanceIsBounded()
    {
        Sandbox box;
        HeldLock lock(box.lockFile());
        QVERIFY(lock.isHeld());
        QVERIFY(lock.write("loading"));
        QElapsedTimer timer;
        timer.start();
        QProcess* process = box.start();
        QVERIFY(process->waitForFinished(180000));
        QVERIFY2(timer.elapsed() >= 30000, "the bound is 30 seconds");
        QCOMPARE(process->exitCode(), 0);
        const QByteArray error = process->readAllStandardError();
        QVERIFY2(error.contains("did not become ready within 30 seconds"), error.constData());
        QCOMPARE(readAll(box.lockFile()), QByteArray("loading"));
    }

    void unusableDocumentsFolderEndsStartUp()
    {
        Sandbox box;
        // As root permissions do not stop writes; a file where the folder should be does.
        QFile documents(box.home() + QStringLiteral("/Documents"));
        QVERIFY(documents.open(QIODevice::WriteOnly));
        documents.close();
        QProcess* process = box.start();
        QVERIFY(process->waitForFinished(120000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 255); // -1
        const QString error = QString::fromLocal8Bit(process->readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("The application cannot be opened. The following error occurred:\n"
                                               "The user directory cannot be accessed.")),
                 qPrintable(error));
        QVERIFY2(!QFile::exists(box.lockFile()), "a failed start leaves no lock behind");
    }

    // Anyone on the machine can reach the hand-over port: a flood of data and a storm
    // of connections leave memory flat, and a second start still hands over.
    void handOverPortWithstandsFloodAndStorm()
    {
        Sandbox box;
        QProcess* first = box.start();
        const int port = waitForListeningPort(box.lockFile());
        QVERIFY(port > 0);
        QTest::qWait(1000);
        const qint64 before = residentKiB(first->processId());
        // Up to 256 MiB of data; the program closes each sender, so a new one follows.
        qint64 sent = 0;
        QElapsedTimer clock;
        clock.start();
        while (sent < (256 << 20) && clock.elapsed() < 15000) {
            QTcpSocket sender;
            QObject::connect(&sender, &QTcpSocket::bytesWritten, [&sent](qint64 n) { sent += n; });
            sender.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
            QVERIFY(sender.waitForConnected(5000));
            while (sender.state() == QAbstractSocket::ConnectedState && sender.write(QByteArray(1 << 20, 'x')) > 0
                   && sender.waitForBytesWritten(2000)) {
            }
        }
        // 200 connections at once, saying something else than ":new" or nothing.
        QList<QTcpSocket*> storm;
        for (int i = 0; i < 200; ++i) {
            storm << new QTcpSocket;
            storm.last()->connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
        }
        for (int i = 0; i < storm.size(); ++i) {
            if (storm.at(i)->waitForConnected(5000) && i % 2)
                storm.at(i)->write(i % 4 == 1 ? ":ne" : "hello there");
        }
        const auto open = [&storm]() {
            return std::count_if(storm.cbegin(), storm.cend(), [](QTcpSocket* s) { return s->state() == QAbstractSocket::ConnectedState; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(open(), 0, 30000); // the program closes every one
        qDeleteAll(storm);
        const qint64 after = residentKiB(first->processId());
        qInfo("sent %lld MiB; resident %lld KiB before, %lld KiB after", sent >> 20, before, after);
        QVERIFY(sent >= (64 << 20));
#ifndef DOVREL_ADDRESS_SANITIZER
        // Under AddressSanitizer freed memory waits in its quarantine: residency grows anyway.
        QVERIFY2(after - before < 20 * 1024, "memory stays flat");
#endif

        QProcess* second = box.start();
        QVERIFY(second->waitForFinished(60000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(second->readAllStandardError().indexOf("Error") < 0);
        QCOMPARE(first->state(), QProcess::Running);
    }

    // A link or another user's file where the lock belongs is refused and left as it
    // is; the start does not hand over to the port it names.
    void foreignLockIsRefused_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("link to a file of the user's") << int(SymbolicLink);
        QTest::newRow("second name of a file of the user's") << int(HardLink);
        QTest::newRow("another user's file") << int(OtherOwner);
    }

    void foreignLockIsRefused()
    {
        QFETCH(int, kind);
        const bool link = kind != OtherOwner;
        Sandbox box;
        QTcpServer bait;
        QVERIFY(bait.listen(QHostAddress(QStringLiteral("127.0.0.1"))));
        const QString file = link ? box.home() + QStringLiteral("/private.txt") : box.lockFile();
        QFile content(file);
        QVERIFY(content.open(QIODevice::WriteOnly) && content.write(QByteArray::number(bait.serverPort())) > 0);
        content.close();
        if (kind == SymbolicLink)
            QVERIFY(QFile::link(file, box.lockFile()));
        else if (kind == HardLink)
            QVERIFY(::link(QFile::encodeName(file).constData(), QFile::encodeName(box.lockFile()).constData()) == 0);
        else
            QVERIFY(::chown(QFile::encodeName(file).constData(), 4321, 4321) == 0);

        QProcess* process = box.start();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 255); // -1
        const QString error = QString::fromLocal8Bit(process->readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("Failed to acquire file lock.\n\"%1\" or its folder is a link, not a plain file, "
                                               "or belongs to another user; it was left as it is.").arg(box.lockFile())),
                 qPrintable(error));
        QVERIFY(!bait.waitForNewConnection(500));
        QCOMPARE(readAll(file), QByteArray::number(bait.serverPort()));
        QCOMPARE(QFileInfo(box.lockFile()).isSymLink(), kind == SymbolicLink);
        QCOMPARE(QFileInfo(file).ownerId(), link ? 0u : 4321u);
    }

    // Two users share the temporary folder, each with a home and runtime folder of their own.
    void twoUsersEachRunTheirOwnInstance()
    {
        QTemporaryDir shared;
        Sandbox a(shared.path());
        Sandbox b(shared.path());
        QProcess* first = a.start();
        QProcess* second = b.start();
        const int portA = waitForListeningPort(a.lockFile());
        const int portB = waitForListeningPort(b.lockFile());
        QVERIFY(portA > 0 && portB > 0 && portA != portB);
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(second->state(), QProcess::Running);
        QVERIFY(QDir(shared.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
