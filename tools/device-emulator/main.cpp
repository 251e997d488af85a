// dovrel-device-emulator: plays one display device on a pseudo terminal.

#include "devicefilesystem.h"
#include "emulateddevice.h"
#include "emulatoroptions.h"
#include "faultplan.h"
#include "pseudoterminal.h"
#include "sampledevice.h"
#include "transcript.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const char c = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

const char* const HelpText = R"(
Plays one display device on a pseudo terminal, for tests and demos. The first
line on standard output is the path of the serial end (or of --link); the
program then serves until it is killed (SIGTERM/SIGINT end it cleanly) or
"unplugged" by a fault.

Faults (--fault SPEC, repeatable). CMD is a prefix of the command text without
the leading '#', e.g. MODE, "UNIX<mv tmp/project", GETF. ":N" limits how many
times a rule applies (command faults: default always; block faults: default 1).
Blocks K count the packets of a transfer from 1.
  silent:CMD[:N]        no answer and no action
  error:CMD[:N]         answer the error form (<UNIX:ERR>, <SVCF:ERR>, <SYNC:ERR>,
                        <SNAM:ERR>, <DTIM:ERR>, <ZIPL:ERR>, <RMFS_NAK>, <GETF:ERR>,
                        <RTLD:ERR> after the transfer; others <CODE:ERR>)
  garbage:CMD:TEXT      send TEXT before the answer (\r \n \t \xHH understood)
  delay:CMD:MS[:N]      answer MS milliseconds late
  unplug:CMD[:N]        pull the cable when the command arrives
  unplug-after-bytes:N  pull the cable after N received bytes
  nak:K[:N]             receiving: refuse block K (N times)
  corrupt:K[:N]         sending: break the CRC of block K (N times)
  cancel:K              receiving: answer block K with two CAN;
                        sending: send two CAN instead of block K
  resend:K              sending: send block K again as if its ACK was lost
  overshoot:N           sending: N bytes more than announced, in extra packets
  no-c                  receiving: never ask for the file with "C"
)";

bool toInt(const QString& text, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dovrel-device-emulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DOVREL_VERSION));

    EmulatorOptions options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(HelpText));
    parser.addHelpOption();
    parser.addVersionOption();
    auto add = [&parser](const QString& name, const QString& help, const QString& value = QString(),
                         const QString& defaultValue = QString()) {
        const QString text = defaultValue.isEmpty() ? help : QStringLiteral("%1 Default: %2.").arg(help, defaultValue);
        QCommandLineOption option(name, text, value, defaultValue);
        parser.addOption(option);
    };
    add(QStringLiteral("root"), QStringLiteral("Device home folder (/home/DuDov_ODU). Default: a temporary folder with a sample project, removed on exit."), QStringLiteral("DIR"));
    add(QStringLiteral("link"), QStringLiteral("Create a symbolic link PATH to the serial end and print PATH instead; removed on exit and on unplug."), QStringLiteral("PATH"));
    add(QStringLiteral("transcript"), QStringLiteral("Write one JSON object per event (command, reply, file-received, file-sent, transfer-failed, fault, reboot, unplug, ...) to FILE."), QStringLiteral("FILE"));
    parser.addOption(QCommandLineOption(QStringLiteral("populate"), QStringLiteral("Fill the --root folder with the sample device content as well (files of the same name are replaced).")));
    add(QStringLiteral("sample-datalog"), QStringLiteral("Copy FILE in as qml/dataLogging.txdb of the default device folder."), QStringLiteral("FILE"));
    add(QStringLiteral("serial"), QStringLiteral("Serial number (SER_NO)."), QStringLiteral("TEXT"), options.serial);
    add(QStringLiteral("model"), QStringLiteral("Model (MODELS)."), QStringLiteral("TEXT"), options.model);
    add(QStringLiteral("firmware"), QStringLiteral("Firmware version (FIRMWD)."), QStringLiteral("TEXT"), options.firmware);
    add(QStringLiteral("app-version"), QStringLiteral("Device software version (DEVAPP)."), QStringLiteral("VERSION"), options.appVersion);
    add(QStringLiteral("designer-version"), QStringLiteral("Designer version the device asks for (DESAPP)."), QStringLiteral("VERSION"), options.designerVersion);
    add(QStringLiteral("screen"), QStringLiteral("Screen size (LCDHOR x LCDVER)."), QStringLiteral("WxH"), QStringLiteral("1024x600"));
    add(QStringLiteral("color-depth"), QStringLiteral("Colour depth in bits (LCDBBP)."), QStringLiteral("N"), options.colorDepth);
    add(QStringLiteral("analog"), QStringLiteral("Analogue inputs (ADCCHN)."), QStringLiteral("N"), options.analogInputs);
    add(QStringLiteral("alarm"), QStringLiteral("Alarm outputs (ALM_CH)."), QStringLiteral("N"), options.alarmOutputs);
    add(QStringLiteral("pwm"), QStringLiteral("PWM outputs (PWM_CH)."), QStringLiteral("N"), options.pwmOutputs);
    add(QStringLiteral("dio"), QStringLiteral("Digital inputs and outputs (DIO_CH)."), QStringLiteral("N"), options.digitalIOs);
    add(QStringLiteral("backlight"), QStringLiteral("Backlight level (BKLT); #BKLT changes it."), QStringLiteral("N"), options.backlight);
    add(QStringLiteral("timezone"), QStringLiteral("Time zone in minutes (LOTIZO); #DTIM changes it."), QStringLiteral("MINUTES"), QStringLiteral("0"));
    add(QStringLiteral("name"), QStringLiteral("Device name (DEVNAM); #SNAM changes it."), QStringLiteral("TEXT"), options.name);
    add(QStringLiteral("physical-address"), QStringLiteral("Physical address (PHYADD)."), QStringLiteral("TEXT"), options.physicalAddress);
    add(QStringLiteral("omit"), QStringLiteral("Leave out hardware description entries whose key starts with one of these prefixes, e.g. DESAPP,PHYADD,DEVNAM."), QStringLiteral("KEY[,KEY]"));
    add(QStringLiteral("hwcf-chunks"), QStringLiteral("Send the hardware description in N writes, 30 ms apart."), QStringLiteral("N"), QStringLiteral("1"));
    add(QStringLiteral("hwcf-incomplete"), QStringLiteral("The first N hardware descriptions leave out DEVNAM."), QStringLiteral("N"), QStringLiteral("0"));
    add(QStringLiteral("hwcf-raw"), QStringLiteral("Answer #HWCF# with exactly TEXT (malformed replies)."), QStringLiteral("TEXT"));
    parser.addOption(QCommandLineOption(QStringLiteral("boot-up-on-start"), QStringLiteral("Send <BOOT_UP> shortly after start (useful only when the port is already open).")));
    add(QStringLiteral("system-fonts"), QStringLiteral("System fonts listed before the user fonts in the #GFFS answer."), QStringLiteral("a.ttf,b.ttf"));
    add(QStringLiteral("fault"), QStringLiteral("Inject a fault, see the list above. Repeatable."), QStringLiteral("SPEC"));
    add(QStringLiteral("throttle"), QStringLiteral("Limit the line to BPS bytes per second in each direction (11520 is about 115200 baud)."), QStringLiteral("BPS"), QStringLiteral("0"));
    parser.addOption(QCommandLineOption(QStringLiteral("sender-tail-128"), QStringLiteral("When sending a file, send the part after the last full 1024-byte block in 128-byte packets.")));
    add(QStringLiteral("c-delay"), QStringLiteral("Milliseconds between accepting a file and the first \"C\"."), QStringLiteral("MS"), QString::number(options.cDelayMs));
    add(QStringLiteral("c-interval"), QStringLiteral("Milliseconds between repeated \"C\" while the sender is silent."), QStringLiteral("MS"), QString::number(options.cIntervalMs));
    add(QStringLiteral("reboot-replug"), QStringLiteral("On #BOOT# and reboot: close the port and open it again (new pty, same link) after MS milliseconds, as a real device does."), QStringLiteral("MS"), QString::number(options.rebootReplugMs));
    add(QStringLiteral("leave-after"), QStringLiteral("On #BOOT# and reboot: stay on the line MS milliseconds, hearing nothing, before leaving the bus (a real device shuts down first)."), QStringLiteral("MS"), QString::number(options.rebootLeaveMs));
    add(QStringLiteral("return-link"), QStringLiteral("After a restart, come back under PATH instead of --link (as the kernel numbers a returning device anew); waits while another device holds PATH."), QStringLiteral("PATH"));
    parser.addOption(QCommandLineOption(QStringLiteral("stay-on-reboot"), QStringLiteral("On #BOOT# and reboot: keep the port open, unlike a real device.")));
    parser.addOption(QCommandLineOption(QStringLiteral("verbose"), QStringLiteral("Log the traffic on standard error.")));
    parser.process(app);

    auto fail = [](const QString& message) {
        std::fprintf(stderr, "dovrel-device-emulator: %s\n", qPrintable(message));
        return 2;
    };
    auto intOption = [&](const char* name, int* target) {
        return toInt(parser.value(QString::fromLatin1(name)), target);
    };

    options.root = parser.value(QStringLiteral("root"));
    options.link = parser.value(QStringLiteral("link"));
    options.transcript = parser.value(QStringLiteral("transcript"));
    options.sampleDataLog = parser.value(QStringLiteral("sample-datalog"));
    options.serial = parser.value(QStringLiteral("serial"));
    options.model = parser.value(QStringLiteral("model"));
    options.firmware = parser.value(QStringLiteral("firmware"));
    options.appVersion = parser.value(QStringLiteral("app-version"));
    options.designerVersion = parser.value(QStringLiteral("designer-version"));
    const QStringList screen = parser.value(QStringLiteral("screen")).split(QLatin1Char('x'));
    if (screen.size() != 2 || !toInt(screen.at(0), &options.screenWidth) || !toInt(screen.at(1), &options.screenHeight))
        return fail(QStringLiteral("--screen wants WxH, e.g. 800x480"));
    options.colorDepth = parser.value(QStringLiteral("color-depth"));
    options.analogInputs = parser.value(QStringLiteral("analog"));
    options.alarmOutputs = parser.value(QStringLiteral("alarm"));
    options.pwmOutputs = parser.value(QStringLiteral("pwm"));
    options.digitalIOs = parser.value(QStringLiteral("dio"));
    options.backlight = parser.value(QStringLiteral("backlight"));
    if (!intOption("timezone", &options.timezone))
        return fail(QStringLiteral("--timezone wants minutes"));
    options.name = parser.value(QStringLiteral("name"));
    options.physicalAddress = parser.value(QStringLiteral("physical-address"));
    for (const QString& value : parser.values(QStringLiteral("omit")))
        options.omit += value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (!intOption("hwcf-chunks", &options.hwcfChunks) || options.hwcfChunks < 1)
        return fail(QStringLiteral("--hwcf-chunks wants a number from 1"));
    if (!intOption("hwcf-incomplete", &options.hwcfIncomplete))
        return fail(QStringLiteral("--hwcf-incomplete wants a number"));
    options.hwcfRawSet = parser.isSet(QStringLiteral("hwcf-raw"));
    options.hwcfRaw = parser.value(QStringLiteral("hwcf-raw"));
    options.bootUpOnStart = parser.isSet(QStringLiteral("boot-up-on-start"));
    for (const QString& value : parser.values(QStringLiteral("system-fonts")))
        options.systemFonts += value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    options.faults = parser.values(QStringLiteral("fault"));
    if (!intOption("throttle", &options.throttle) || options.throttle < 0)
        return fail(QStringLiteral("--throttle wants bytes per second"));
    options.senderTail128 = parser.isSet(QStringLiteral("sender-tail-128"));
    if (!intOption("c-delay", &options.cDelayMs) || options.cDelayMs < 0)
        return fail(QStringLiteral("--c-delay wants milliseconds"));
    if (!intOption("c-interval", &options.cIntervalMs) || options.cIntervalMs < 1)
        return fail(QStringLiteral("--c-interval wants milliseconds"));
    if (parser.isSet(QStringLiteral("reboot-replug")) && (!intOption("reboot-replug", &options.rebootReplugMs) || options.rebootReplugMs < 0))
        return fail(QStringLiteral("--reboot-replug wants milliseconds"));
    if (!intOption("leave-after", &options.rebootLeaveMs) || options.rebootLeaveMs < 0)
        return fail(QStringLiteral("--leave-after wants milliseconds"));
    options.returnLink = parser.value(QStringLiteral("return-link"));
    if (parser.isSet(QStringLiteral("stay-on-reboot")))
        options.rebootReplugMs = -1;
    options.verbose = parser.isSet(QStringLiteral("verbose"));

    FaultPlan faults;
    for (const QString& spec : std::as_const(options.faults)) {
        QString error;
        if (!faults.add(spec, &error))
            return fail(error);
    }

    // Device folder.
    QTemporaryDir defaultRoot(QDir::tempPath() + QStringLiteral("/dovrel-device-XXXXXX"));
    if (options.root.isEmpty()) {
        if (!defaultRoot.isValid())
            return fail(QStringLiteral("cannot create a temporary device folder"));
        options.root = defaultRoot.path();
        QString error;
        if (!SampleDevice::populate(options.root, options.sampleDataLog, &error))
            return fail(error);
        std::fprintf(stderr, "dovrel-device-emulator: device folder %s\n", qPrintable(options.root));
    } else if (!QDir().mkpath(options.root)) {
        return fail(QStringLiteral("cannot create %1").arg(options.root));
    } else if (parser.isSet(QStringLiteral("populate"))) {
        QString error;
        if (!SampleDevice::populate(options.root, options.sampleDataLog, &error))
            return fail(error);
    }
    DeviceFileSystem files(options.root);

    Transcript transcript;
    if (!transcript.open(options.transcript))
        return fail(QStringLiteral("cannot write %1").arg(options.transcript));

    PseudoTerminal terminal;
    terminal.setThrottle(options.throttle);
    QString error;
    if (!terminal.open(&error))
        return fail(error);
    if (!options.link.isEmpty() && !terminal.createLink(options.link, &error))
        return fail(error);

    // Signals end the event loop cleanly through a self-pipe.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return fail(QStringLiteral("socketpair failed"));
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
        transcript.write(QStringLiteral("stop"), {{QStringLiteral("signal"), int(c)}});
        QCoreApplication::exit(0);
    });

    EmulatedDevice device(options, &terminal, &files, &transcript, &faults);
    transcript.write(QStringLiteral("start"), {{QStringLiteral("port"), terminal.slavePath()},
                                               {QStringLiteral("root"), files.root()}});
    std::printf("%s\n", qPrintable(terminal.publicPath()));
    std::fflush(stdout);
    device.start();

    const int rc = app.exec();
    terminal.removeLink();
    terminal.close();
    transcript.close();
    return rc;
}
