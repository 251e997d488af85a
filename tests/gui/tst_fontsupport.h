#ifndef TST_FONTSUPPORT_H
#define TST_FONTSUPPORT_H

// Font files for the font tests, made from the shipped built-in fonts.

#include "filehelper.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

inline QByteArray resourceBytes(const QString& resource)
{
    QFile file(resource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A shipped font whose family name is replaced by another of the same length, so that
// the font database sees a family that is not built in. Every copy of the name (UTF-16
// for Windows records, Latin-1 for Macintosh ones) is replaced; table checksums are not
// checked by the font loaders.
inline QByteArray renamedFont(const QString& resource, const QString& from, const QString& to)
{
    Q_ASSERT(from.size() == to.size());
    QByteArray data = resourceBytes(resource);
    auto utf16be = [](const QString& text) {
        QByteArray bytes;
        for (QChar c : text) {
            bytes.append(char(c.unicode() >> 8));
            bytes.append(char(c.unicode() & 0xff));
        }
        return bytes;
    };
    data.replace(utf16be(from), utf16be(to));
    data.replace(from.toLatin1(), to.toLatin1());
    return data;
}

inline bool writeBytes(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

inline QString userFontFolder()
{
    return QStringLiteral("%1/Lumatra/Fonts").arg(Orvane::Tavrix::Common::FileHelper::getStandardDocumentLocation());
}

inline QStringList filesIn(const QString& directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A user family of two files (regular and bold), as the scan at start finds it when both
// are in the user font folder before the font centre first looks.
const char* const TwoFileFamily = "Twin Sans Hebrew";

inline QStringList writeTwoFileFamily(const QString& folder)
{
    const QStringList files { folder + QStringLiteral("/TwinTest-Regular.ttf"), folder + QStringLiteral("/TwinTest-Bold.ttf") };
    const bool ok = writeBytes(files.at(0), renamedFont(QStringLiteral(":/fonts/DroidSansHebrew"), QStringLiteral("Noto Sans Hebrew"), QString::fromLatin1(TwoFileFamily)))
        && writeBytes(files.at(1), renamedFont(QStringLiteral(":/fonts/DroidSansHebrewBold"), QStringLiteral("Noto Sans Hebrew"), QString::fromLatin1(TwoFileFamily)));
    return ok ? files : QStringList();
}

#endif // TST_FONTSUPPORT_H
