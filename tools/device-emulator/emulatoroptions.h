#pragma once

#include <QString>
#include <QStringList>

// Everything the command line can set.
struct EmulatorOptions
{
    QString root;
    QString link;
    QString transcript;
    QString sampleDataLog;

    // Identity, as sent in the hardware description.
    QString serial = QStringLiteral("DV1000001");
    QString model = QStringLiteral("QMX 70-A");
    QString firmware = QStringLiteral("1.0.4");
    QString appVersion = QStringLiteral("1.1.0.1910");
    QString designerVersion = QStringLiteral("2.0.0.2552");
    int screenWidth = 1024;
    int screenHeight = 600;
    QString colorDepth = QStringLiteral("16");
    QString analogInputs = QStringLiteral("4");
    QString alarmOutputs = QStringLiteral("2");
    QString pwmOutputs = QStringLiteral("2");
    QString digitalIOs = QStringLiteral("12");
    QString backlight = QStringLiteral("80");
    int timezone = 0;
    QString name = QStringLiteral("Demo Panel");
    QString physicalAddress = QStringLiteral("00:1A:79:0E:C6:01");
    QStringList omit;

    int hwcfChunks = 1;
    int hwcfIncomplete = 0;
    bool hwcfRawSet = false;
    QString hwcfRaw;
    bool bootUpOnStart = false;
    QStringList systemFonts;

    QStringList faults;
    int throttle = 0;
    bool senderTail128 = false;
    int cDelayMs = 500;
    int cIntervalMs = 3000;
    int cRetries = 10;
    // A real device leaves the bus on a restart and comes back under the same path.
    int rebootReplugMs = 2000;
    // It shuts down first: this long it stays on the line, hearing nothing, before it leaves.
    int rebootLeaveMs = 300;
    // The kernel may number the returning device anew: back under this path instead.
    QString returnLink;
    bool verbose = false;
};
