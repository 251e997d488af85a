#include "emulateddevice.h"

#include "devicefilesystem.h"
#include "pseudoterminal.h"
#include "transcript.h"
#include "xmodemcrc.h"
#include "zipwriter.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>

#include <zlib.h>

namespace {

constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char EOT = 0x04;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;
constexpr char SUB = 0x1A;

constexpr int MaxCommandLength = 65536;
constexpr int IdleTimeoutMs = 10000;
constexpr int WaitForCTimeoutMs = 60000;
constexpr int MaxPacketErrors = 10;

// The gzip stream inflated, at most limit bytes of it; empty when it is not gzip.
QByteArray gunzip(const QByteArray& data, qsizetype limit)
{
    z_stream stream {};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return QByteArray();
    QByteArray out;
    char chunk[16384];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    int status = Z_OK;
    while (status == Z_OK && out.size() < limit) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            break;
        out.append(chunk, qsizetype(sizeof chunk - stream.avail_out));
    }
    inflateEnd(&stream);
    return status == Z_OK || status == Z_STREAM_END ? out : QByteArray();
}

// The "version" file of a software image (a tar.gz), trimmed; empty when it has none.
QString imageVersion(const QByteArray& image)
{
    const QByteArray tar = gunzip(image, 64 * 1024 * 1024);
    for (qsizetype at = 0; at + 512 <= tar.size();) {
        const QByteArray header = tar.mid(at, 512);
        const QByteArray name = header.left(100).split('\0').first();
        if (name.isEmpty())
            break;
        bool ok = false;
        const qsizetype size = header.mid(124, 12).split('\0').first().trimmed().toLongLong(&ok, 8);
        if (!ok || size < 0)
            break;
        if (name == "version" || name == "./version")
            return QString::fromUtf8(tar.mid(at + 512, size)).trimmed();
        at += 512 + (size + 511) / 512 * 512;
    }
    return QString();
}

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

QString md5Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

} // namespace

EmulatedDevice::EmulatedDevice(const EmulatorOptions& options, PseudoTerminal* terminal, DeviceFileSystem* files,
                               Transcript* transcript, FaultPlan* faults, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_terminal(terminal)
    , m_files(files)
    , m_transcript(transcript)
    , m_faults(faults)
{
    m_askTimer = new QTimer(this);
    m_askTimer->setSingleShot(true);
    connect(m_askTimer, &QTimer::timeout, this, &EmulatedDevice::onAskTimer);
    m_idleTimer = new QTimer(this);
    m_idleTimer->setSingleShot(true);
    connect(m_idleTimer, &QTimer::timeout, this, [this] {
        if (m_mode == Mode::Sending && m_waitingForC)
            failTransfer(QStringLiteral("the receiver never asked for the file"));
        else if (m_mode == Mode::Sending)
            failTransfer(QStringLiteral("the receiver fell silent"));
        else if (m_mode == Mode::Receiving)
            failTransfer(QStringLiteral("the sender fell silent"));
    });
    connect(m_terminal, &PseudoTerminal::received, this, &EmulatedDevice::onReceived);
}

void EmulatedDevice::start()
{
    if (m_options.bootUpOnStart) {
        QTimer::singleShot(200, this, [this] { reply("<BOOT_UP>"); });
    }
}

void EmulatedDevice::log(const QString& line) const
{
    if (m_options.verbose)
        std::fprintf(stderr, "[%6lld] %s\n", m_transcript->elapsedMs(), qPrintable(line));
}

void EmulatedDevice::unplug(const QString& reason)
{
    if (m_unplugged)
        return;
    m_unplugged = true;
    log(QStringLiteral("unplugged (%1)").arg(reason));
    m_askTimer->stop();
    m_idleTimer->stop();
    m_terminal->removeLink();
    m_terminal->close();
    m_transcript->write(QStringLiteral("unplug"), {{QStringLiteral("reason"), reason}});
    m_transcript->close();
    QCoreApplication::exit(0);
}

void EmulatedDevice::sendRaw(const QByteArray& bytes)
{
    if (!m_unplugged)
        m_terminal->write(bytes);
}

void EmulatedDevice::flushGarbage()
{
    if (m_garbage.isEmpty())
        return;
    m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("garbage")},
                                                  {QStringLiteral("text"), QString::fromLatin1(m_garbage)}});
    sendRaw(m_garbage);
    m_garbage.clear();
}

void EmulatedDevice::reply(const QByteArray& text)
{
    if (m_unplugged)
        return;
    flushGarbage();
    // Transcript first: a test that saw the bytes may read the transcript at once.
    m_transcript->write(QStringLiteral("reply"), {{QStringLiteral("text"), QString::fromLatin1(text)}});
    sendRaw(text);
    log(QStringLiteral("-> %1").arg(QString::fromLatin1(text)));
}

void EmulatedDevice::onReceived(const QByteArray& incoming)
{
    // A restarting device hears nothing until it is back.
    if (m_unplugged || m_restarting)
        return;
    QByteArray bytes = incoming;
    bool unplugAfter = false;
    if (const FaultPlan::Rule* rule = m_faults->find(FaultPlan::UnplugAfterBytes)) {
        const qint64 allowed = rule->value - m_bytesReceived;
        if (allowed <= bytes.size()) {
            bytes.truncate(int(qMax<qint64>(0, allowed)));
            unplugAfter = true;
        }
    }
    m_bytesReceived += bytes.size();

    switch (m_mode) {
    case Mode::Text:
        m_input.append(bytes);
        processText();
        break;
    case Mode::Receiving:
        handleReceiveBytes(bytes);
        break;
    case Mode::Sending:
        handleSendBytes(bytes);
        break;
    }
    if (unplugAfter)
        unplug(QStringLiteral("unplug-after-bytes"));
}

void EmulatedDevice::processText()
{
    while (!m_paused && !m_unplugged && m_mode == Mode::Text && !m_input.isEmpty()) {
        const int hash = m_input.indexOf('#');
        const QByteArray outside = hash < 0 ? m_input : m_input.left(hash);
        if (!outside.isEmpty()) {
            // The host pokes a freshly plugged device with a single blank.
            if (outside.contains(' ')) {
                m_transcript->write(QStringLiteral("poke"));
                reply("<BOOT_UP>");
            }
            m_input.remove(0, outside.size());
            continue;
        }
        if (m_input.size() < 5)
            return;
        bool codeOk = true;
        for (int i = 1; i < 5; ++i)
            codeOk = codeOk && isUpper(m_input.at(i));
        if (!codeOk) {
            m_input.remove(0, 1); // a stray '#'; look for the next one
            continue;
        }
        char closing = 0;
        int end = -1;
        for (int i = 5; i < m_input.size(); ++i) {
            const char c = m_input.at(i);
            if (closing) {
                if (c == closing)
                    closing = 0;
            } else if (c == '<') {
                closing = '>';
            } else if (c == '[') {
                closing = ']';
            } else if (c == '#') {
                end = i;
                break;
            }
        }
        if (end < 0) {
            if (m_input.size() > MaxCommandLength) {
                log(QStringLiteral("dropping an endless command"));
                m_input.clear();
            }
            return;
        }
        const QByteArray command = m_input.left(end + 1);
        m_input.remove(0, end + 1);
        handleCommand(command);
    }
    // A transfer started by the command gets whatever followed it.
    if (!m_unplugged && m_mode != Mode::Text && !m_input.isEmpty()) {
        const QByteArray rest = m_input;
        m_input.clear();
        if (m_mode == Mode::Receiving)
            handleReceiveBytes(rest);
        else
            handleSendBytes(rest);
    }
}

QList<EmulatedDevice::Field> EmulatedDevice::parseFields(const QString& arguments)
{
    QList<Field> fields;
    int i = 0;
    while (i < arguments.size()) {
        const QChar c = arguments.at(i);
        if (c == QLatin1Char('<') || c == QLatin1Char('[')) {
            const QChar closing = c == QLatin1Char('<') ? QLatin1Char('>') : QLatin1Char(']');
            int end = arguments.indexOf(closing, i + 1);
            if (end < 0)
                end = arguments.size();
            fields.append({char(c.toLatin1()), arguments.mid(i + 1, end - i - 1)});
            i = end + 1;
        } else {
            int end = i;
            while (end < arguments.size() && arguments.at(end) != QLatin1Char('<') && arguments.at(end) != QLatin1Char('['))
                ++end;
            fields.append({' ', arguments.mid(i, end - i)});
            i = end;
        }
    }
    return fields;
}

void EmulatedDevice::handleCommand(const QByteArray& command)
{
    const QString text = QString::fromLatin1(command);
    const QString key = text.mid(1);
    m_transcript->write(QStringLiteral("command"), {{QStringLiteral("text"), text}});
    log(QStringLiteral("<- %1").arg(text));

    if (m_faults->takeCommandFault(FaultPlan::Unplug, key)) {
        unplug(QStringLiteral("fault"));
        return;
    }
    if (m_faults->takeCommandFault(FaultPlan::Silent, key)) {
        m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("silent")},
                                                      {QStringLiteral("command"), text}});
        return;
    }
    if (const FaultPlan::Rule* rule = m_faults->takeCommandFault(FaultPlan::Delay, key)) {
        m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("delay")},
                                                      {QStringLiteral("command"), text},
                                                      {QStringLiteral("delay"), rule->value}});
        m_paused = true;
        QTimer::singleShot(rule->value, this, [this, command] {
            m_paused = false;
            execute(command);
            processText();
        });
        return;
    }
    execute(command);
}

void EmulatedDevice::execute(const QByteArray& command)
{
    if (m_unplugged)
        return;
    const QString text = QString::fromLatin1(command);
    const QString key = text.mid(1);
    const QByteArray code = command.mid(1, 4);
    const QList<Field> fields = parseFields(text.mid(5, text.size() - 6));
    const QString first = fields.isEmpty() ? QString() : fields.first().value;
    const bool forceError = m_faults->takeCommandFault(FaultPlan::Error, key) != nullptr;
    if (const FaultPlan::Rule* rule = m_faults->takeCommandFault(FaultPlan::Garbage, key))
        m_garbage = rule->text;
    if (forceError)
        m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("error")},
                                                      {QStringLiteral("command"), text}});

    if (code == "HWCF") {
        answerHwcf();
    } else if (code == "MODE") {
        reply(forceError ? "<MODE:ERR>" : "<MODE_ACK>");
    } else if (code == "BOOT") {
        if (!forceError)
            m_transcript->write(QStringLiteral("reboot"), {{QStringLiteral("command"), text}});
        reply(forceError ? "<BOOT:ERR>" : "<BOOT:NOR>");
        if (!forceError)
            simulateReboot();
    } else if (code == "SYNC") {
        QStringList installed;
        const bool ok = !forceError && m_files->installWaitingFonts(&installed);
        for (const QString& font : installed)
            m_transcript->write(QStringLiteral("font-installed"), {{QStringLiteral("name"), font}});
        reply(ok ? "<SYNC:NOR>" : "<SYNC:ERR>");
    } else if (code == "SVCF") {
        reply(forceError ? "<SVCF:ERR>" : "<SVCF:NOR>");
    } else if (code == "CHBT") {
        reply(forceError ? "<CHBT:ERR>" : "<CHBT:NOR>");
    } else if (code == "SNAM") {
        if (!forceError)
            m_options.name = first;
        reply(forceError ? "<SNAM:ERR>" : "<SNAM:NOR>");
    } else if (code == "DTIM") {
        commandDtim(first, forceError);
    } else if (code == "TCAL") {
        reply("#TCAL#");
    } else if (code == "LOGZ") {
        commandLogz(forceError);
    } else if (code == "GFFS") {
        commandGffs();
    } else if (code == "RMFS") {
        commandRmfs(fields, forceError);
    } else if (code == "GPFL") {
        commandGpfl();
    } else if (code == "GETF") {
        commandGetf(first, forceError);
    } else if (code == "LOAD") {
        commandLoad(fields, forceError);
    } else if (code == "RTLD") {
        commandRtld(fields, forceError);
    } else if (code == "UNIX") {
        commandUnix(first, forceError);
    } else if (code == "BKLT") {
        m_options.backlight = first.trimmed();
    } else if (code == "SSNO") {
        if (!first.trimmed().isEmpty())
            m_options.serial = first.trimmed();
    } else if (code == "DIGC" || code == "PWMC" || code == "ALMC" || code == "DRPN" || code == "DORI"
               || code == "SINF" || code == "FINF" || code == "REPT") {
        // Recorded only: the host waits for no answer.
    } else {
        log(QStringLiteral("unknown command %1").arg(text));
        m_transcript->write(QStringLiteral("unknown"), {{QStringLiteral("text"), text}});
    }
    flushGarbage();
}

QByteArray EmulatedDevice::hardwareDescription()
{
    ++m_hwcfAnswers;
    const bool leaveOutName = m_hwcfAnswers <= m_options.hwcfIncomplete;
    const QList<QPair<QString, QString>> entries = {
        {QStringLiteral("SER_NO"), m_options.serial},
        {QStringLiteral("MODELS"), m_options.model},
        {QStringLiteral("FIRMWD"), m_options.firmware},
        {QStringLiteral("DEVAPP"), m_options.appVersion},
        {QStringLiteral("DESAPP"), m_options.designerVersion},
        {QStringLiteral("ADCCHN"), m_options.analogInputs},
        {QStringLiteral("LCDVER"), QString::number(m_options.screenHeight)},
        {QStringLiteral("LCDHOR"), QString::number(m_options.screenWidth)},
        {QStringLiteral("LCDBBP"), m_options.colorDepth},
        {QStringLiteral("ALM_CH"), m_options.alarmOutputs},
        {QStringLiteral("PHYADD"), m_options.physicalAddress},
        {QStringLiteral("PWM_CH"), m_options.pwmOutputs},
        {QStringLiteral("DIO_CH"), m_options.digitalIOs},
        {QStringLiteral("BKLT"), m_options.backlight},
        {QStringLiteral("LOTIZO"), QString::number(m_options.timezone)},
        {QStringLiteral("DEVNAM"), m_options.name},
    };
    QString text = QStringLiteral("#HWCF#");
    for (const auto& entry : entries) {
        bool omitted = leaveOutName && entry.first == QLatin1String("DEVNAM");
        for (const QString& prefix : m_options.omit)
            omitted = omitted || (!prefix.isEmpty() && entry.first.startsWith(prefix));
        if (!omitted)
            text += QStringLiteral("<%1:%2>").arg(entry.first, entry.second);
    }
    text += QStringLiteral("<HWCFEND>");
    return text.toLatin1();
}

void EmulatedDevice::answerHwcf()
{
    const QByteArray answer = m_options.hwcfRawSet ? m_options.hwcfRaw.toLatin1() : hardwareDescription();
    const int chunks = qBound(1, m_options.hwcfChunks, qMax(1, int(answer.size())));
    if (chunks == 1) {
        reply(answer);
        return;
    }
    m_transcript->write(QStringLiteral("reply"), {{QStringLiteral("text"), QString::fromLatin1(answer)},
                                                  {QStringLiteral("chunks"), chunks}});
    log(QStringLiteral("-> %1 (in %2 writes)").arg(QString::fromLatin1(answer)).arg(chunks));
    flushGarbage();
    const int step = (int(answer.size()) + chunks - 1) / chunks;
    for (int i = 0; i < chunks; ++i) {
        const QByteArray part = answer.mid(i * step, step);
        if (part.isEmpty())
            break;
        if (i == 0)
            sendRaw(part);
        else
            QTimer::singleShot(30 * i, this, [this, part] { sendRaw(part); });
    }
}

void EmulatedDevice::commandUnix(const QString& line, bool forceError)
{
    const QString trimmed = line.trimmed();
    if (trimmed == QLatin1String("reboot")) {
        m_transcript->write(QStringLiteral("reboot"), {{QStringLiteral("command"), trimmed}});
        simulateReboot();
        return;
    }
    if (forceError) {
        reply("<UNIX:ERR>");
        return;
    }
    QString reason;
    const bool ok = m_files->runShell(trimmed, &reason);
    if (!ok)
        log(QStringLiteral("shell: %1").arg(reason));
    reply(ok ? "<UNIX:NOR>" : "<UNIX:ERR>");
}

void EmulatedDevice::commandDtim(const QString& argument, bool forceError)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}:\\d{3}) +(-?\\d+)$"));
    const QRegularExpressionMatch match = form.match(argument);
    bool ok = match.hasMatch() && !forceError;
    if (ok) {
        // Date and time apart: the text is UTC and must not meet local DST gaps.
        const QString stamp = match.captured(1);
        const QDate date = QDate::fromString(stamp.left(10), QStringLiteral("yyyy-MM-dd"));
        const QTime time = QTime::fromString(stamp.mid(11), QStringLiteral("HH:mm:ss:zzz"));
        const int offset = match.captured(2).toInt();
        ok = date.isValid() && time.isValid() && offset >= -720 && offset <= 720;
        if (ok) {
            m_options.timezone = offset;
            m_transcript->write(QStringLiteral("clock"), {{QStringLiteral("utc"), match.captured(1)},
                                                          {QStringLiteral("offset"), offset}});
        }
    }
    reply(ok ? "<DTIM:NOR>" : "<DTIM:ERR>");
}

void EmulatedDevice::commandLogz(bool forceError)
{
    const QString log = m_files->resolve(QStringLiteral("qml/dataLogging.txdb"));
    QFile file(log);
    if (forceError || !QFileInfo(log).isFile() || !file.open(QIODevice::ReadOnly)) {
        reply("<ZIPL:ERR>");
        return;
    }
    const QByteArray content = file.readAll();
    const bool ok = ZipWriter::writeSingleEntry(log + QStringLiteral(".zip"), QStringLiteral("dataLogging.txdb"),
                                                content, QFileInfo(log).lastModified());
    reply(ok ? "<ZIPL:ACK>" : "<ZIPL:ERR>");
}

void EmulatedDevice::commandGffs()
{
    QByteArray answer;
    for (int i = 0; i < m_options.systemFonts.size(); ++i)
        answer += QStringLiteral("<GFFS_S%1:%2>").arg(i).arg(m_options.systemFonts.at(i)).toLatin1();
    const QStringList fonts = m_files->userFonts();
    for (int i = 0; i < fonts.size(); ++i)
        answer += QStringLiteral("<GFFS_U%1:%2>").arg(i).arg(fonts.at(i)).toLatin1();
    answer += "<GFFS_END>";
    reply(answer);
}

void EmulatedDevice::commandRmfs(const QList<Field>& fields, bool forceError)
{
    if (fields.size() < 2 || forceError) {
        reply("<RMFS_NAK>");
        return;
    }
    const QString name = fields.at(1).value;
    if (name == QLatin1String("END")) {
        bool ok = true;
        for (const QString& font : std::as_const(m_fontsToRemove)) {
            const bool removed = QFile::remove(m_files->root() + QStringLiteral("/fonts/") + font);
            ok = ok && removed;
            m_transcript->write(QStringLiteral("font-removed"), {{QStringLiteral("name"), font},
                                                                 {QStringLiteral("ok"), removed}});
        }
        m_fontsToRemove.clear();
        reply(ok ? "<RMFS_ACK>" : "<RMFS_NAK>");
        return;
    }
    if (fields.at(0).value.trimmed() == QLatin1String("0"))
        m_fontsToRemove.clear();
    const bool valid = !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String("..")
                    && name != QLatin1String(".")
                    && QFileInfo(m_files->root() + QStringLiteral("/fonts/") + name).isFile();
    if (!valid) {
        reply("<RMFS_NAK>");
        return;
    }
    if (!m_fontsToRemove.contains(name))
        m_fontsToRemove.append(name);
    reply("<RMFS_ACK>");
}

void EmulatedDevice::commandGpfl()
{
    QByteArray answer;
    const QStringList files = m_files->projectFiles();
    for (int i = 0; i < files.size(); ++i)
        answer += QStringLiteral("<GPFL_%1:%2:%3>").arg(i).arg(files.at(i).size()).arg(files.at(i)).toLatin1();
    answer += "<GPFL_END>";
    reply(answer);
}

void EmulatedDevice::commandGetf(const QString& path, bool forceError)
{
    const QString local = m_files->resolve(path);
    QFile file(local);
    if (forceError || local.isEmpty() || !QFileInfo(local).isFile() || !file.open(QIODevice::ReadOnly)) {
        reply("<GETF:ERR>");
        return;
    }
    const QByteArray content = file.readAll();
    reply(QStringLiteral("<GETF:%1>").arg(content.size()).toLatin1());
    if (!content.isEmpty())
        startSend(local, content);
}

void EmulatedDevice::commandLoad(const QList<Field>& fields, bool forceError)
{
    bool sizeOk = false;
    const qint64 size = fields.size() >= 2 ? fields.at(1).value.trimmed().toLongLong(&sizeOk) : 0;
    const QString name = fields.isEmpty() ? QString() : fields.first().value;
    const QString tmp = m_files->resolve(QStringLiteral("tmp"));
    const QString local = name.startsWith(QLatin1Char('/')) ? QString()
                                                            : m_files->resolve(QStringLiteral("tmp/") + name);
    if (forceError || !sizeOk || size < 0 || local.isEmpty() || !local.startsWith(tmp + QLatin1Char('/'))) {
        reply("<LOAD:ERR>");
        return;
    }
    reply("<LOAD:ACK>");
    startReceive(ReceiveKind::Load, local, size, QString(), false);
}

void EmulatedDevice::commandRtld(const QList<Field>& fields, bool forceError)
{
    QString md5;
    qint64 size = -1;
    for (const Field& field : fields) {
        if (field.kind == '[')
            md5 = field.value;
        else if (field.kind == ' ')
            size = field.value.trimmed().toLongLong();
    }
    reply("<RTLD:ACK>");
    startReceive(ReceiveKind::Rtld, m_files->resolve(QStringLiteral("tmp/update.tar.gz")), size, md5, forceError);
}

void EmulatedDevice::simulateReboot()
{
    if (m_options.rebootReplugMs < 0 || m_restarting)
        return;
    // The port goes away and comes back, as after a real restart.
    m_restarting = true;
    m_input.clear();
    QTimer::singleShot(m_options.rebootLeaveMs, this, [this] {
        m_transcript->write(QStringLiteral("replug"), {{QStringLiteral("after"), m_options.rebootReplugMs}});
        QString link = m_terminal->publicPath() == m_terminal->slavePath() ? QString() : m_terminal->publicPath();
        if (!link.isEmpty() && !m_options.returnLink.isEmpty())
            link = m_options.returnLink;
        m_terminal->removeLink();
        m_terminal->close();
        m_input.clear();
        m_mode = Mode::Text;
        QTimer::singleShot(m_options.rebootReplugMs, this, [this, link] { comeBack(link, 0); });
    });
}

void EmulatedDevice::comeBack(const QString& link, int attempt)
{
    // Another device may still hold the path this one comes back under: wait for it to go.
    constexpr int RetryMs = 100;
    constexpr int Attempts = 200;
    if (!link.isEmpty() && QFileInfo(link).isSymLink() && attempt < Attempts) {
        QTimer::singleShot(RetryMs, this, [this, link, attempt] { comeBack(link, attempt + 1); });
        return;
    }
    QString error;
    if (!m_terminal->open(&error) || (!link.isEmpty() && !m_terminal->createLink(link, &error))) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        unplug(QStringLiteral("replug failed"));
        return;
    }
    m_restarting = false;
    std::printf("%s\n", qPrintable(m_terminal->publicPath()));
    std::fflush(stdout);
}

// ---- receiving ----

void EmulatedDevice::startReceive(ReceiveKind kind, const QString& localPath, qint64 size, const QString& md5,
                                  bool forceError)
{
    m_mode = Mode::Receiving;
    m_receiveKind = kind;
    m_transferPath = localPath;
    m_announcedSize = size;
    m_announcedMd5 = md5;
    m_forceRtldError = forceError;
    m_transferData.clear();
    m_rxBuffer.clear();
    m_ordinal = 1;
    m_errors = 0;
    m_asks = 0;
    m_packetSeen = false;
    if (m_faults->find(FaultPlan::NoC)) {
        m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("no-c")}});
        m_idleTimer->start(WaitForCTimeoutMs);
        return;
    }
    m_askTimer->start(m_options.cDelayMs);
}

void EmulatedDevice::onAskTimer()
{
    if (m_mode != Mode::Receiving || m_packetSeen)
        return;
    if (m_asks >= m_options.cRetries) {
        failTransfer(QStringLiteral("no packet arrived"));
        return;
    }
    ++m_asks;
    sendRaw("C");
    m_askTimer->start(m_options.cIntervalMs);
}

void EmulatedDevice::handleReceiveBytes(const QByteArray& bytes)
{
    m_rxBuffer.append(bytes);
    if (!bytes.isEmpty() && m_packetSeen)
        m_idleTimer->start(IdleTimeoutMs);
    while (m_mode == Mode::Receiving && !m_unplugged && !m_rxBuffer.isEmpty()) {
        const char head = m_rxBuffer.at(0);
        if (head == EOT) {
            m_rxBuffer.remove(0, 1);
            const QByteArray rest = m_rxBuffer;
            m_rxBuffer.clear();
            finishReceive();
            if (!rest.isEmpty()) {
                m_input.append(rest);
                processText();
            }
            return;
        }
        if (head == CAN) {
            m_rxBuffer.remove(0, 1);
            while (!m_rxBuffer.isEmpty() && m_rxBuffer.at(0) == CAN)
                m_rxBuffer.remove(0, 1);
            failTransfer(QStringLiteral("cancelled by the sender"), m_rxBuffer);
            return;
        }
        if (head == '#') {
            // No packet starts with '#': the host gave up on the transfer and talks commands again.
            failTransfer(QStringLiteral("abandoned by the host"), m_rxBuffer);
            return;
        }
        if (head != SOH && head != STX) {
            m_rxBuffer.remove(0, 1); // line noise between packets
            continue;
        }
        if (!m_packetSeen) {
            m_packetSeen = true;
            m_askTimer->stop();
            m_idleTimer->start(IdleTimeoutMs);
            // Benchmarks time the sender's start from the acceptance to this event.
            m_transcript->write(QStringLiteral("first-packet"), {{QStringLiteral("name"), m_files->relativeName(m_transferPath)}});
        }
        const int length = (head == SOH ? 128 : 1024) + 5;
        if (m_rxBuffer.size() < length)
            return;
        const QByteArray packet = m_rxBuffer.left(length);
        m_rxBuffer.remove(0, length);
        acceptPacket(packet);
    }
}

void EmulatedDevice::acceptPacket(const QByteArray& packet)
{
    const int payloadLength = packet.size() - 5;
    const int block = uint8_t(packet.at(1));
    const int complement = uint8_t(packet.at(2));
    const QByteArray payload = packet.mid(3, payloadLength);
    const uint16_t crc = uint16_t((uint8_t(packet.at(3 + payloadLength)) << 8) | uint8_t(packet.at(4 + payloadLength)));
    const int expected = m_ordinal & 0xff;

    auto refuse = [this](const QString& why) {
        ++m_errors;
        log(QStringLiteral("packet refused: %1").arg(why));
        if (m_errors > MaxPacketErrors) {
            sendRaw(QByteArray(2, CAN));
            failTransfer(QStringLiteral("too many bad packets"));
            return;
        }
        sendRaw(QByteArray(1, NAK));
    };

    if (block + complement != 255) {
        refuse(QStringLiteral("block number and complement disagree"));
        return;
    }
    if (XmodemCrc::compute(payload) != crc) {
        refuse(QStringLiteral("CRC mismatch in block %1").arg(block));
        return;
    }
    if (block != expected) {
        if (m_ordinal > 1 && block == ((m_ordinal - 1) & 0xff)) {
            // Our ACK got lost: acknowledge again, keep the data once.
            sendRaw(QByteArray(1, ACK));
            m_transcript->write(QStringLiteral("duplicate-block"), {{QStringLiteral("block"), block}});
            return;
        }
        sendRaw(QByteArray(2, CAN));
        failTransfer(QStringLiteral("block %1 out of sequence (expected %2)").arg(block).arg(expected));
        return;
    }
    if (m_faults->takeBlockFault(FaultPlan::Cancel, m_ordinal)) {
        m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("cancel")},
                                                      {QStringLiteral("block"), m_ordinal}});
        sendRaw(QByteArray(2, CAN));
        failTransfer(QStringLiteral("cancelled by fault at block %1").arg(m_ordinal));
        return;
    }
    if (m_faults->takeBlockFault(FaultPlan::Nak, m_ordinal)) {
        m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("nak")},
                                                      {QStringLiteral("block"), m_ordinal}});
        sendRaw(QByteArray(1, NAK));
        return;
    }
    m_errors = 0;
    m_transferData.append(payload);
    ++m_ordinal;
    sendRaw(QByteArray(1, ACK));
}

void EmulatedDevice::finishReceive()
{
    m_askTimer->stop();
    m_idleTimer->stop();
    m_mode = Mode::Text;
    if (m_announcedSize >= 0 && m_transferData.size() > m_announcedSize)
        m_transferData.truncate(int(m_announcedSize));
    const QString digest = md5Hex(m_transferData);
    const QString name = m_files->relativeName(m_transferPath);

    if (m_receiveKind == ReceiveKind::Rtld) {
        const bool match = !m_forceRtldError && m_transferData.size() == m_announcedSize
                        && digest == m_announcedMd5;
        bool stored = false;
        if (match)
            stored = m_files->writeFile(m_transferPath, m_transferData);
        sendRaw(QByteArray(1, ACK));
        m_transcript->write(stored ? QStringLiteral("file-received") : QStringLiteral("transfer-failed"),
                            {{QStringLiteral("name"), name},
                             {QStringLiteral("size"), int(m_transferData.size())},
                             {QStringLiteral("md5"), digest},
                             {QStringLiteral("announcedSize"), double(m_announcedSize)},
                             {QStringLiteral("announcedMd5"), m_announcedMd5}});
        if (stored) {
            // The new software says its version in the image; the device reports it from now on.
            const QString version = imageVersion(m_transferData);
            if (!version.isEmpty())
                m_options.appVersion = version;
            m_transcript->write(QStringLiteral("reboot"), {{QStringLiteral("command"), QStringLiteral("software upgrade")},
                                                           {QStringLiteral("version"), m_options.appVersion}});
        }
        reply(stored ? "<RTLD:NOR>" : "<RTLD:ERR>");
        if (stored)
            simulateReboot(); // the device restarts with the new software
        return;
    }

    QJsonObject event{{QStringLiteral("name"), name},
                      {QStringLiteral("size"), int(m_transferData.size())},
                      {QStringLiteral("md5"), digest}};
    if (m_transferData.size() != m_announcedSize)
        event.insert(QStringLiteral("announcedSize"), double(m_announcedSize));
    if (m_files->writeFile(m_transferPath, m_transferData)) {
        m_transcript->write(QStringLiteral("file-received"), event);
        log(QStringLiteral("received %1 (%2 bytes)").arg(name).arg(m_transferData.size()));
    } else {
        event.insert(QStringLiteral("reason"), QStringLiteral("cannot store the file"));
        m_transcript->write(QStringLiteral("transfer-failed"), event);
    }
    // Stored and recorded before the sender hears that the transfer is over.
    sendRaw(QByteArray(1, ACK));
}

void EmulatedDevice::failTransfer(const QString& reason, QByteArray leftover)
{
    if (m_mode == Mode::Text)
        return;
    m_askTimer->stop();
    m_idleTimer->stop();
    m_transcript->write(QStringLiteral("transfer-failed"),
                        {{QStringLiteral("name"), m_files->relativeName(m_transferPath)},
                         {QStringLiteral("direction"), m_mode == Mode::Receiving ? QStringLiteral("receive")
                                                                                 : QStringLiteral("send")},
                         {QStringLiteral("reason"), reason}});
    log(QStringLiteral("transfer failed: %1").arg(reason));
    m_mode = Mode::Text;
    m_rxBuffer.clear();
    m_packets.clear();
    m_transferData.clear();
    if (!leftover.isEmpty()) {
        m_input.append(leftover);
        processText();
    }
}

// ---- sending ----

void EmulatedDevice::startSend(const QString& localPath, const QByteArray& content)
{
    m_mode = Mode::Sending;
    m_transferPath = localPath;
    m_transferData = content;
    m_contentSize = int(content.size());
    m_packets.clear();
    m_ordinal = 1;
    m_errors = 0;
    m_waitingForC = true;
    m_resendPending = false;

    int offset = 0;
    const int size = int(content.size());
    const int tailStart = m_options.senderTail128 ? size - size % 1024 : size;
    while (offset < size) {
        const int length = offset >= tailStart ? 128 : 1024;
        QByteArray payload = content.mid(offset, length);
        payload.append(QByteArray(length - payload.size(), SUB));
        m_packets.append(payload);
        offset += length;
    }
    if (const FaultPlan::Rule* rule = m_faults->find(FaultPlan::Overshoot)) {
        // Bytes beyond the announced size, in extra full packets.
        int extra = rule->value;
        while (extra > 0) {
            QByteArray payload(qMin(extra, 1024), 'X');
            payload.append(QByteArray(1024 - payload.size(), SUB));
            m_packets.append(payload);
            extra -= 1024;
        }
    }
    m_idleTimer->start(WaitForCTimeoutMs);
}

void EmulatedDevice::sendCurrentPacket(bool corrupt)
{
    const QByteArray& payload = m_packets.at(m_ordinal - 1);
    const uint8_t block = uint8_t(m_ordinal & 0xff);
    QByteArray packet;
    packet.reserve(payload.size() + 5);
    packet.append(payload.size() == 128 ? SOH : STX);
    packet.append(char(block));
    packet.append(char(255 - block));
    packet.append(payload);
    uint16_t crc = XmodemCrc::compute(payload);
    if (corrupt)
        crc = uint16_t(~crc);
    packet.append(char(crc >> 8));
    packet.append(char(crc & 0xff));
    sendRaw(packet);
    m_idleTimer->start(IdleTimeoutMs);
}

void EmulatedDevice::handleSendBytes(const QByteArray& bytes)
{
    for (int i = 0; i < bytes.size() && m_mode == Mode::Sending && !m_unplugged; ++i) {
        const char c = bytes.at(i);
        if (m_waitingForC) {
            if (c == 'C') {
                m_waitingForC = false;
            } else if (c == '#') {
                failTransfer(QStringLiteral("abandoned by the host"), bytes.mid(i));
                return;
            } else if (c == CAN) {
                failTransfer(QStringLiteral("cancelled by the receiver"), bytes.mid(i + 1));
                return;
            } else {
                continue;
            }
        } else if (c == '#') {
            // Never an answer to a packet: the host gave up and talks commands again.
            failTransfer(QStringLiteral("abandoned by the host"), bytes.mid(i));
            return;
        } else if (c == ACK) {
            m_errors = 0;
            if (!m_resendPending && m_faults->takeBlockFault(FaultPlan::Resend, m_ordinal)) {
                // As if this ACK had been lost: the same block once more.
                m_resendPending = true;
                m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("resend")},
                                                              {QStringLiteral("block"), m_ordinal}});
                sendCurrentPacket(false);
                continue;
            }
            m_resendPending = false;
            ++m_ordinal;
            if (m_ordinal > m_packets.size()) {
                finishSend();
                if (i + 1 < bytes.size()) {
                    m_input.append(bytes.mid(i + 1));
                    processText();
                }
                return;
            }
        } else if (c == NAK) {
            if (++m_errors > MaxPacketErrors * 2) {
                sendRaw(QByteArray(2, CAN));
                failTransfer(QStringLiteral("too many refusals"));
                return;
            }
            const bool corrupt = m_faults->takeBlockFault(FaultPlan::Corrupt, m_ordinal);
            if (corrupt)
                m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("corrupt")},
                                                              {QStringLiteral("block"), m_ordinal}});
            sendCurrentPacket(corrupt);
            continue;
        } else if (c == CAN) {
            failTransfer(QStringLiteral("cancelled by the receiver"), bytes.mid(i + 1));
            return;
        } else {
            continue; // a repeated "C" or noise
        }

        // Next packet (or the first one after "C").
        if (m_faults->takeBlockFault(FaultPlan::Cancel, m_ordinal)) {
            m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("cancel")},
                                                          {QStringLiteral("block"), m_ordinal}});
            sendRaw(QByteArray(2, CAN));
            failTransfer(QStringLiteral("cancelled by fault at block %1").arg(m_ordinal));
            return;
        }
        const bool corrupt = m_faults->takeBlockFault(FaultPlan::Corrupt, m_ordinal);
        if (corrupt)
            m_transcript->write(QStringLiteral("fault"), {{QStringLiteral("kind"), QStringLiteral("corrupt")},
                                                          {QStringLiteral("block"), m_ordinal}});
        sendCurrentPacket(corrupt);
    }
}

void EmulatedDevice::finishSend()
{
    m_idleTimer->stop();
    m_mode = Mode::Text;
    m_transcript->write(QStringLiteral("file-sent"), {{QStringLiteral("name"), m_files->relativeName(m_transferPath)},
                                                      {QStringLiteral("size"), m_contentSize},
                                                      {QStringLiteral("md5"), md5Hex(m_transferData)}});
    sendRaw(QByteArray(1, EOT));
    log(QStringLiteral("sent %1 (%2 bytes)").arg(m_files->relativeName(m_transferPath)).arg(m_contentSize));
    m_packets.clear();
    m_transferData.clear();
}
