#ifndef TEXTHELPER_H
#define TEXTHELPER_H

#include "device_global.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Version comparison, path and text normalisation, number formatting,
// natural sorting, digests, a small cipher for short secrets and word lists.
class DEVICE_EXPORT TextHelper
{
public:
    // -1 older, 0 equal, 1 newer, 2 when either text is not a valid version.
    static int versionCompare(const QString& a, const QString& b);
    static bool isValidVersion(const QString& version);
    static bool isValidProjectVersion(const QString& version);

    static QChar pathSeparator();
    static QString toStandardPath(const QString& path);
    static QString toSystemPath(const QString& path);
    static QString formatLineEndings(const QString& text);
    static QString toQmlValueString(const QString& text);
    static QString removeLeadingSpaces(const QString& text);
    static QString removeTrailingSpaces(const QString& text);

    static QString convertToBase64(const QString& text);
    static QString convertFromBase64(const QString& base64);
    static QString convertToHex(const QString& text);
    static QString convertFromHex(const QString& hex);

    static QString numberFromString(const QString& text, QString* rest = nullptr);
    static QString floatToString(float value);
    static float doubleToFloat(double value);
    static double floatToDouble(float value);
    static float realToFloat(double value);
    static double realToDouble(double value);

    static QString systemLocale();

    // Named MD4 for historical reasons; the digest is MD5.
    static QByteArray getMD4(const QByteArray& data);
    static QByteArray getMD4(const QString& text);
    static QByteArray getSHA1(const QByteArray& data);
    static QByteArray getSHA1(const QString& text);

    static QStringList sortStringList(const QStringList& list, bool caseSensitive = false,
                                      Qt::SortOrder order = Qt::AscendingOrder);
    static QStringList sortFiles(const QStringList& files, Qt::SortOrder order = Qt::AscendingOrder);
    static QStringList sortFilesByFileName(const QStringList& paths, Qt::SortOrder order = Qt::AscendingOrder);
    static QStringList reverseStringList(const QStringList& list);

    static QString encryptString(const QString& text);
    static QString encryptString(const QByteArray& data);
    static QString decryptString(const QString& hexText);

    static QStringList reservedWords();
    static QStringList mathWords();
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // TEXTHELPER_H
