#include "emulator.h"

#include "eventwait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

DeviceEmulator::DeviceEmulator(QObject* parent)
    : QObject(parent)
{
    m_rootPath = m_dir.path() + QStringLiteral("/device");
    QDir().mkpath(m_rootPath);
    m_linkPath = m_dir.path() + QStringLiteral("/ttyDOVREL");
    m_transcriptPath = m_dir.path() + QStringLiteral("/transcript.jsonl");
}

DeviceEmulator::~DeviceEmulator()
{
    stop();
    releaseReservation();
}

void DeviceEmulator::releaseReservation()
{
    if (m_reservation >= 0)
        ::close(m_reservation);
    m_reservation = -1;
}

QString DeviceEmulator::programPath()
{
    QString dir = qEnvironmentVariable("DOVREL_BIN_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(DOVREL_BINARY_DIR "/bin");
    return dir + QStringLiteral("/dovrel-device-emulator");
}

bool DeviceEmulator::start(const QStringList& args)
{
    if (isRunning() || !m_dir.isValid())
        return false;
    QStringList arguments;
    const int rootIndex = args.indexOf(QStringLiteral("--root"));
    const QStringList rootAssignments = args.filter(QRegularExpression(QStringLiteral("^--root=")));
    if (rootIndex >= 0 && rootIndex + 1 < args.size())
        m_rootPath = QFileInfo(args.at(rootIndex + 1)).absoluteFilePath();
    else if (!rootAssignments.isEmpty())
        m_rootPath = QFileInfo(rootAssignments.last().mid(7)).absoluteFilePath();
    else
        arguments << QStringLiteral("--root") << m_rootPath;
    QFile::remove(m_transcriptPath);
    arguments << QStringLiteral("--link") << m_linkPath << QStringLiteral("--transcript") << m_transcriptPath;
    arguments += args;

    delete m_process;
    m_process = new QProcess(this);
    m_process->setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    m_process->setReadChannel(QProcess::StandardOutput);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // In a sanitized build a fault in the device fails the test, whatever the test saw.
    connect(m_process, &QProcess::finished, this, [](int code, QProcess::ExitStatus status) {
        if (status == QProcess::NormalExit && code == DOVREL_SANITIZER_EXIT_CODE)
            qFatal("The emulated device stopped on a sanitizer report (see its output above).");
    });
#ifdef Q_OS_LINUX
    // A test program killed mid-run (a timeout, a debugger) takes its device with it.
    m_process->setChildProcessModifier([]() { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_process->start(programPath(), arguments);
    if (!m_process->waitForStarted(10000)) {
        qWarning("DeviceEmulator: cannot start %s", qPrintable(programPath()));
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!m_process->canReadLine() && clock.elapsed() < 10000) {
        if (m_process->state() == QProcess::NotRunning)
            break;
        m_process->waitForReadyRead(100);
    }
    if (!m_process->canReadLine()) {
        qWarning("DeviceEmulator: no port path from the emulator");
        stop();
        return false;
    }
    m_portPath = QString::fromLocal8Bit(m_process->readLine()).trimmed();
    m_ptyPath = QFileInfo(m_portPath).isSymLink() ? QFileInfo(m_portPath).symLinkTarget() : m_portPath;
    // Tests run in parallel, and the kernel hands a freed pts number to the next pseudo
    // terminal at once: another test's device would then appear under this one's path
    // after an unplug. An open end keeps the number taken while the path itself goes
    // away with the emulator, as a real device's does.
    releaseReservation();
    m_reservation = ::open(QFile::encodeName(m_ptyPath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return !m_portPath.isEmpty();
}

bool DeviceEmulator::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

int DeviceEmulator::exitCode() const
{
    if (!m_process || isRunning() || m_process->exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process->exitCode();
}

bool DeviceEmulator::waitForExit(int ms)
{
    if (!m_process)
        return true;
    if (m_process->state() == QProcess::NotRunning)
        return true;
    return m_process->waitForFinished(ms);
}

QString DeviceEmulator::filePath(const QString& relative) const
{
    return m_rootPath + QLatin1Char('/') + relative;
}

bool DeviceEmulator::putFile(const QString& relative, const QByteArray& content) const
{
    const QString path = filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray DeviceEmulator::readFile(const QString& relative) const
{
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QJsonObject> DeviceEmulator::transcript() const
{
    QList<QJsonObject> events;
    QFile file(m_transcriptPath);
    if (!file.open(QIODevice::ReadOnly))
        return events;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        // A line still being written has no newline yet and does not parse.
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            events.append(document.object());
    }
    return events;
}

QList<QJsonObject> DeviceEmulator::events(const QString& type) const
{
    QList<QJsonObject> matching;
    const QList<QJsonObject> all = transcript();
    for (const QJsonObject& event : all) {
        if (event.value(QStringLiteral("event")).toString() == type)
            matching.append(event);
    }
    return matching;
}

QStringList DeviceEmulator::commands() const
{
    QStringList texts;
    for (const QJsonObject& event : events(QStringLiteral("command")))
        texts.append(event.value(QStringLiteral("text")).toString());
    return texts;
}

int DeviceEmulator::commandCount(const QString& prefix) const
{
    int count = 0;
    for (const QString& command : commands())
        count += command.startsWith(prefix) ? 1 : 0;
    return count;
}

QStringList DeviceEmulator::replies() const
{
    QStringList texts;
    for (const QJsonObject& event : events(QStringLiteral("reply")))
        texts.append(event.value(QStringLiteral("text")).toString());
    return texts;
}

bool DeviceEmulator::waitForCommand(const QString& prefix, int ms) const
{
    const QString wanted = prefix.startsWith(QLatin1Char('#')) ? prefix : QLatin1Char('#') + prefix;
    return waitUntil([&] {
        const QStringList texts = commands();
        for (const QString& text : texts) {
            if (text.startsWith(wanted))
                return true;
        }
        return false;
    }, ms);
}

bool DeviceEmulator::waitForEvent(const QString& type, int ms) const
{
    return waitUntil([&] { return !events(type).isEmpty(); }, ms);
}

void DeviceEmulator::unplug()
{
    if (isRunning()) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    QFile::remove(m_linkPath);
}

void DeviceEmulator::stop()
{
    if (isRunning()) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    QFile::remove(m_linkPath);
}
