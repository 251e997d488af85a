#include "sampledevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

// A small uncompressed 24-bit BMP filled with one colour.
QByteArray bitmap(int width, int height, char r, char g, char b)
{
    const int rowSize = (width * 3 + 3) & ~3;
    const int dataSize = rowSize * height;
    QByteArray out;
    auto put16 = [&out](int v) { out.append(char(v & 0xff)); out.append(char((v >> 8) & 0xff)); };
    auto put32 = [&put16](int v) { put16(v & 0xffff); put16((v >> 16) & 0xffff); };
    out.append("BM");
    put32(54 + dataSize);
    put32(0);
    put32(54);
    put32(40);
    put32(width);
    put32(height);
    put16(1);
    put16(24);
    put32(0);
    put32(dataSize);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    QByteArray row;
    for (int x = 0; x < width; ++x) {
        row.append(b);
        row.append(g);
        row.append(r);
    }
    row.append(QByteArray(rowSize - row.size(), '\0'));
    for (int y = 0; y < height; ++y)
        out.append(row);
    return out;
}

// 1x1 PNG, one blue pixel.
const unsigned char tinyPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x77, 0x53,
    0xde, 0x00, 0x00, 0x00, 0x0c, 0x49, 0x44, 0x41, 0x54, 0x08, 0xd7, 0x63, 0x60, 0x60, 0xf8, 0x0f,
    0x00, 0x01, 0x04, 0x01, 0x00, 0x5f, 0xe5, 0xc3, 0x4b, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e,
    0x44, 0xae, 0x42, 0x60, 0x82};

} // namespace

bool SampleDevice::populate(const QString& root, const QString& dataLogSource, QString* error)
{
    QDir dir(root);
    for (const char* sub : {"tmp", "fonts", "qml/project/images"})
        dir.mkpath(QString::fromLatin1(sub));

    const QByteArray mainQml =
        "import QtQuick 1.1\n\n"
        "Rectangle {\n"
        "    width: 1024\n"
        "    height: 600\n"
        "    color: \"#20303a\"\n\n"
        "    Image {\n"
        "        anchors.centerIn: parent\n"
        "        source: \"image.png\"\n"
        "    }\n\n"
        "    Text {\n"
        "        anchors.horizontalCenter: parent.horizontalCenter\n"
        "        y: 40\n"
        "        color: \"white\"\n"
        "        font.pixelSize: 32\n"
        "        text: \"Demo project\"\n"
        "    }\n"
        "}\n";
    const QByteArray config =
        "DefaultScreen=main.qml\n"
        "DisplayBrightness=80\n"
        "ScreenOrientation=0\n";
    QByteArray dataLog;
    if (!dataLogSource.isEmpty()) {
        QFile source(dataLogSource);
        if (!source.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("cannot read %1").arg(dataLogSource);
            return false;
        }
        dataLog = source.readAll();
    } else {
        // Not a real database; stands in for one in transfers.
        dataLog = QByteArray("SQLite format 3") + QByteArray(1, '\0');
        for (int i = 0; i < 300; ++i)
            dataLog += QStringLiteral("2026-01-01 00:%1:00;Temperature;%2\n")
                           .arg(i % 60, 2, 10, QLatin1Char('0')).arg(20 + i % 7).toLatin1();
    }
    const QByteArray calibration = "5 -1060 63372 -4016740 -41588 -188 38604600 65536\n";

    const struct {
        const char* path;
        QByteArray content;
    } files[] = {
        {"qml/project/main.qml", mainQml},
        {"qml/project/image.png", QByteArray(reinterpret_cast<const char*>(tinyPng), sizeof tinyPng)},
        {"qml/project/images/logo.png", QByteArray(reinterpret_cast<const char*>(tinyPng), sizeof tinyPng)},
        {"qml/config.txrc", config},
        {"qml/dataLogging.txdb", dataLog},
        {"cal_list.txt", calibration},
        {"splash480x272.bmp", bitmap(48, 27, 0x10, 0x40, 0x80)},
        {"splash1024x600.bmp", bitmap(64, 38, 0x10, 0x40, 0x80)},
        {"splash_480.bmp", bitmap(48, 27, 0x40, 0x10, 0x80)},
    };
    for (const auto& file : files) {
        if (!writeFile(dir.filePath(QString::fromLatin1(file.path)), file.content)) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(dir.filePath(QString::fromLatin1(file.path)));
            return false;
        }
    }
    return true;
}
