#include "fontscenter.h"

#include "diagnostics.h"
#include "filehelper.h"
#include "localizationhelper.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QSaveFile>
#include <QUrl>

using Orvane::Tavrix::Common::lcFonts;

using namespace Orvane::Tavrix::Common;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

QPointer<FontsCenter> s_instance;

// A text of the "Gui" table whose key differs from its English text.
QString guiKeyed(const char* key, const char* english)
{
    return LocalizationHelper::appTranslator()->localizedString(QStringLiteral("Gui"), QString::fromLatin1(key),
                                                                QString::fromUtf8(english));
}

QString digestOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

QStringList fontFilesIn(const QString& directory)
{
    QDir dir(directory);
    if (!dir.exists())
        return {};
    QStringList files;
    const QStringList names = dir.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")},
                                            QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        files << dir.absoluteFilePath(name);
    return files;
}

} // namespace

FontsCenter* FontsCenter::instance()
{
    if (!s_instance)
        s_instance = new FontsCenter(QCoreApplication::instance());
    return s_instance;
}

FontsCenter::FontsCenter(QObject* parent)
    : QObject(parent)
{
    QFontDatabase::removeAllApplicationFonts();
    registerBuiltInFonts();
    scanFolder(applicationFontDirectory(), ApplicationFolder);
    scanFolder(userFontDirectory(), UserFolder);
}

FontsCenter::~FontsCenter() = default;

QString FontsCenter::defaultFamily()
{
    return QStringLiteral("Droid Sans");
}

QString FontsCenter::fallbackFamily()
{
    return QStringLiteral("Droid Sans Fallback");
}

QStringList FontsCenter::builtInFontResources()
{
    // The order gives the order of the built-in families: the default family first.
    return {
        QStringLiteral(":/fonts/DroidSans"),
        QStringLiteral(":/fonts/DroidSansBold"),
        QStringLiteral(":/fonts/NanumGothic"),
        QStringLiteral(":/fonts/NanumGothicBold"),
        QStringLiteral(":/fonts/DroidSansThai"),
        QStringLiteral(":/fonts/DroidSansFallback"),
        QStringLiteral(":/fonts/DroidNaskh"),
        QStringLiteral(":/fonts/DroidNaskhBold"),
        QStringLiteral(":/fonts/DroidSansArmenian"),
        QStringLiteral(":/fonts/DroidSansEthiopic"),
        QStringLiteral(":/fonts/DroidSansEthiopicBold"),
        QStringLiteral(":/fonts/DroidSansGeorgian"),
        QStringLiteral(":/fonts/DroidSansHebrew"),
        QStringLiteral(":/fonts/DroidSansHebrewBold"),
    };
}

QString FontsCenter::applicationFontDirectory()
{
    return QStringLiteral("%1/Fonts").arg(QCoreApplication::applicationDirPath());
}

QString FontsCenter::userFontDirectory()
{
    return QStringLiteral("%1/%2/Fonts").arg(FileHelper::getStandardDocumentLocation(), QStringLiteral("Lumatra"));
}

void FontsCenter::registerBuiltInFonts()
{
    for (const QString& resource : builtInFontResources()) {
        // The bold Droid Sans face has no Debian source; Qt emboldens the regular face.
        if (!QFile::exists(resource))
            continue;
        const int id = QFontDatabase::addApplicationFont(resource);
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            qCWarning(lcFonts).noquote() << "Cannot register the built-in font" << resource;
            continue;
        }
        recordFile(resource, families.first(), digestOf(resource), id, BuiltIn);
    }

    for (const QString& family : std::as_const(m_builtInFamilies)) {
        QStringList others = m_builtInFamilies;
        others.removeAll(family);
        QFont::removeSubstitutions(family);
        QFont::insertSubstitutions(family, others);
    }
}

void FontsCenter::scanFolder(const QString& directory, Source source)
{
    // Families seen in an earlier source keep that source; a later file of the same
    // family would only shadow it, so it is not kept registered.
    const QStringList earlier = knownFamilies();
    for (const QString& path : fontFilesIn(directory)) {
        const QString digest = digestOf(path);
        if (m_digests.contains(digest)) {
            qCDebug(lcFonts).noquote() << "Skipping font file" << path << "which duplicates a registered file";
            continue;
        }
        const int id = QFontDatabase::addApplicationFont(path);
        if (id < 0) {
            qCDebug(lcFonts).noquote() << "Cannot register font file" << path;
            continue;
        }
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty() || earlier.contains(families.first())) {
            qCDebug(lcFonts).noquote() << "Skipping font file" << path << "of an already known family" << families;
            QFontDatabase::removeApplicationFont(id);
            continue;
        }
        recordFile(path, families.first(), digest, id, source);
    }
}

void FontsCenter::recordFile(const QString& path, const QString& family, const QString& digest, int id, Source source)
{
    QStringList* list = source == BuiltIn ? &m_builtInFamilies
                        : source == ApplicationFolder ? &m_applicationFolderFamilies
                                                      : &m_userFamilies;
    if (!list->contains(family))
        list->append(family);
    QStringList& files = m_familyFiles[family];
    if (!files.contains(path))
        files.append(path);
    // Scripts a user font lacks are drawn by the built-in fonts, as everywhere else.
    if (source != BuiltIn && QFont::substitutes(family).isEmpty())
        QFont::insertSubstitutions(family, m_builtInFamilies);
    m_fileFamily.insert(path, family);
    if (!digest.isEmpty())
        m_digests.insert(digest, source);
    m_fileIds.insert(path, id);
}

QStringList FontsCenter::knownFamilies() const
{
    return m_builtInFamilies + m_applicationFolderFamilies + m_userFamilies;
}

QStringList FontsCenter::fonts() const
{
    return knownFamilies();
}

QStringList FontsCenter::applicationFonts() const
{
    return m_builtInFamilies + m_applicationFolderFamilies;
}

QStringList FontsCenter::userFonts() const
{
    return m_userFamilies;
}

QStringList FontsCenter::fontPath(const QString& family) const
{
    return m_familyFiles.value(family);
}

QString FontsCenter::familyOfFile(const QString& path) const
{
    return m_fileFamily.value(path);
}

bool FontsCenter::isBuiltInFont(const QString& family) const
{
    return m_builtInFamilies.contains(family);
}

bool FontsCenter::isUserFont(const QString& family) const
{
    return m_userFamilies.contains(family);
}

QString FontsCenter::writingSystemName(QFontDatabase::WritingSystem system)
{
    switch (system) {
    case QFontDatabase::Any: return guiKeyed("LANG_Any", "Any");
    case QFontDatabase::Latin: return guiKeyed("LANG_Latin", "Latin");
    case QFontDatabase::Greek: return guiKeyed("LANG_Greek", "Greek");
    case QFontDatabase::Cyrillic: return guiKeyed("LANG_Cyrillic", "Cyrillic");
    case QFontDatabase::Armenian: return guiKeyed("LANG_Armenian", "Armenian");
    case QFontDatabase::Hebrew: return guiKeyed("LANG_Hebrew", "Hebrew");
    case QFontDatabase::Arabic: return guiKeyed("LANG_Arabic", "Arabic");
    case QFontDatabase::Syriac: return guiKeyed("LANG_Syriac", "Syriac");
    case QFontDatabase::Thaana: return guiKeyed("LANG_Thaana", "Thaana");
    case QFontDatabase::Devanagari: return guiKeyed("LANG_Devanagari", "Devanagari");
    case QFontDatabase::Bengali: return guiKeyed("LANG_Bengali", "Bengali");
    case QFontDatabase::Gurmukhi: return guiKeyed("LANG_Gurmukhi", "Gurmukhi");
    case QFontDatabase::Gujarati: return guiKeyed("LANG_Gujarati", "Gujarati");
    case QFontDatabase::Oriya: return guiKeyed("LANG_Oriya", "Oriya");
    case QFontDatabase::Tamil: return guiKeyed("LANG_Tamil", "Tamil");
    case QFontDatabase::Telugu: return guiKeyed("LANG_Telugu", "Telugu");
    case QFontDatabase::Kannada: return guiKeyed("LANG_Kannada", "Kannada");
    case QFontDatabase::Malayalam: return guiKeyed("LANG_Malayalam", "Malayalam");
    case QFontDatabase::Sinhala: return guiKeyed("LANG_Sinhala", "Sinhala");
    case QFontDatabase::Thai: return guiKeyed("LANG_Thai", "Thai");
    case QFontDatabase::Lao: return guiKeyed("LANG_Lao", "Lao");
    case QFontDatabase::Tibetan: return guiKeyed("LANG_Tibetan", "Tibetan");
    case QFontDatabase::Myanmar: return guiKeyed("LANG_Myanmar", "Myanmar");
    case QFontDatabase::Georgian: return guiKeyed("LANG_Georgian", "Georgian");
    case QFontDatabase::Khmer: return guiKeyed("LANG_Khmer", "Khmer");
    case QFontDatabase::SimplifiedChinese: return guiKeyed("LANG_SimplifiedChinese", "Simplified Chinese");
    case QFontDatabase::TraditionalChinese: return guiKeyed("LANG_TraditionalChinese", "Traditional Chinese");
    case QFontDatabase::Japanese: return guiKeyed("LANG_Japanese", "Japanese");
    case QFontDatabase::Korean: return guiKeyed("LANG_Korean", "Korean");
    case QFontDatabase::Vietnamese: return guiKeyed("LANG_Vietnamese", "Vietnamese");
    case QFontDatabase::Symbol: return guiKeyed("LANG_Symbol", "Symbol");
    case QFontDatabase::Ogham: return guiKeyed("LANG_Ogham", "Ogham");
    case QFontDatabase::Runic: return guiKeyed("LANG_Runic", "Runic");
    case QFontDatabase::Nko: return guiKeyed("LANG_Nko", "N'Ko");
    default: return guiKeyed("LANG_Undefined", "Undefined");
    }
}

QStringList FontsCenter::getLanguagesForFont(const QFont& font)
{
    QStringList names;
    const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(font.family());
    for (QFontDatabase::WritingSystem system : systems)
        names << writingSystemName(system);
    return names;
}

QStringList FontsCenter::removeFontFiles(const QStringList& files)
{
    // Loaded font files cannot be deleted while in use.
    QFontDatabase::removeAllApplicationFonts();
    const QString folder = QFileInfo(userFontDirectory()).canonicalFilePath();
    QStringList kept;
    for (const QString& file : files) {
        const QFileInfo info(file);
        const bool inUserFolder = !folder.isEmpty() && info.isFile()
                                  && QFileInfo(info.absolutePath()).canonicalFilePath() == folder;
        if (!inUserFolder || !QFile::remove(info.absoluteFilePath())) {
            qCWarning(lcFonts).noquote() << "Cannot remove font file" << file;
            kept << file;
        } else {
            qCDebug(lcFonts).noquote() << "Removed font file" << file;
        }
    }
    return kept;
}

QString FontsCenter::fontInformationHtml(const QString& family) const
{
    const QStringList languages = getLanguagesForFont(QFont(family));
    QString head;
    if (languages.isEmpty()) {
        head = guiText("%1 was unable to obtain the supported languages for font \"%2\".")
                   .arg(QCoreApplication::applicationName(), family);
    } else {
        head = (languages.size() == 1
                    ? guiText("Font \"%1\" supports the following language: ")
                    : guiText("Font \"%1\" supports the following languages: "))
                   .arg(family.toHtmlEscaped());
        head += QStringLiteral("<ul>");
        for (const QString& language : languages)
            head += QStringLiteral("<li>%1</li>").arg(language.toHtmlEscaped());
        head += QStringLiteral("</ul>");
    }
    const QStringList files = fontPath(family);
    const QString filesHead = files.size() == 1
        ? guiText("The font is using the following file: ")
        : guiText("The font is using the following files: ");
    QString items;
    for (const QString& file : files) {
        const QString name = QFileInfo(file).fileName().toHtmlEscaped();
        // Built-in files live in the resources and have no place on disk to open.
        if (file.startsWith(QLatin1Char(':')))
            items += QStringLiteral("<li>%1</li>").arg(file.toHtmlEscaped());
        else
            items += QStringLiteral("<li><a href=\"%1\">%2</a></li>").arg(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded), name);
    }
    return QStringLiteral("<html>%1<br/>%2<ul>%3</ul></html>").arg(head, filesHead, items);
}

int FontsCenter::addFontFromPath(const QString& path)
{
    const QString source = FileHelper::normalizeFilePath(path);
    const QFileInfo sourceInfo(source);
    if (source.isEmpty() || !sourceInfo.isFile())
        return FontDoesNotExist;

    const QString digest = digestOf(source);
    if (digest.isEmpty())
        return FontCannotBeCopied;
    const auto known = m_digests.constFind(digest);
    if (known != m_digests.constEnd())
        return known.value() == UserFolder ? FontAlreadyAdded : FontBuiltIn;

    const QString directory = userFontDirectory();
    if (!QDir().mkpath(directory) || !QFileInfo(directory).isDir())
        return FontCannotBeCopied;
    const QString target = QStringLiteral("%1/%2").arg(directory, sourceInfo.fileName());
    // A different file of that name is in the folder already (and may be in use).
    if (QFileInfo(target).isFile())
        return FontAlreadyAddedRename;

    {
        // Written to a temporary file and renamed at the end: never a half copy.
        QFile in(source);
        QSaveFile out(target);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return FontCannotBeCopied;
        while (!in.atEnd()) {
            const QByteArray block = in.read(1 << 16);
            if (block.isEmpty() || out.write(block) != block.size()) {
                out.cancelWriting();
                return FontCannotBeCopied;
            }
        }
        if (!out.commit())
            return FontCannotBeCopied;
    }

    const int id = QFontDatabase::addApplicationFont(target);
    if (id < 0) {
        QFile::remove(target);
        return FontNotValid;
    }
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        QFontDatabase::removeApplicationFont(id);
        QFile::remove(target);
        return FontCannotBeAdded;
    }
    const QStringList existing = knownFamilies();
    for (const QString& family : families) {
        if (existing.contains(family, Qt::CaseInsensitive)) {
            QFontDatabase::removeApplicationFont(id);
            QFile::remove(target);
            return FontAlreadyAddedRename;
        }
    }

    recordFile(target, families.first(), digest, id, UserFolder);
    emit fontAdded(families);
    return FontAdded;
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
