#include "devicefilesystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

const QString DeviceFileSystem::DeviceHome = QStringLiteral("/home/DuDov_ODU");

namespace {

bool exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool isDir(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

QString parentOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

QString baseName(const QString& path)
{
    return QFileInfo(path).fileName();
}

bool removeAny(const QString& path)
{
    if (isDir(path))
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

bool copyTree(const QString& source, const QString& target, QString* reason)
{
    if (!isDir(source)) {
        if (exists(target)) {
            if (isDir(target)) {
                *reason = QStringLiteral("cannot overwrite directory %1 with non-directory").arg(target);
                return false;
            }
            QFile::remove(target);
        }
        if (!QFile::copy(source, target)) {
            *reason = QStringLiteral("cannot copy %1").arg(source);
            return false;
        }
        return true;
    }
    if (exists(target) && !isDir(target)) {
        *reason = QStringLiteral("cannot overwrite non-directory %1 with directory").arg(target);
        return false;
    }
    if (!isDir(target) && !QDir().mkdir(target)) {
        *reason = QStringLiteral("cannot create directory %1").arg(target);
        return false;
    }
    const QStringList entries = QDir(source).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (!copyTree(source + QLatin1Char('/') + entry, target + QLatin1Char('/') + entry, reason))
            return false;
    }
    return true;
}

} // namespace

DeviceFileSystem::DeviceFileSystem(const QString& root)
    : m_root(QDir::cleanPath(QFileInfo(root).absoluteFilePath()))
    , m_canonicalRoot(QFileInfo(m_root).canonicalFilePath())
{
    if (m_canonicalRoot.isEmpty())
        m_canonicalRoot = m_root;
}

QString DeviceFileSystem::resolve(const QString& devicePath) const
{
    QString path = devicePath.trimmed();
    if (path.isEmpty())
        return QString();
    if (path.startsWith(QLatin1Char('/'))) {
        if (path != DeviceHome && !path.startsWith(DeviceHome + QLatin1Char('/')))
            return QString();
        path = path.mid(DeviceHome.size());
    }
    const QString local = QDir::cleanPath(m_root + QLatin1Char('/') + path);
    if (local != m_root && !local.startsWith(m_root + QLatin1Char('/')))
        return QString();
    // A symbolic link inside the folder must not lead out of it either.
    QString probe = local;
    while (probe != m_root && !QFileInfo::exists(probe))
        probe = parentOf(probe);
    const QString canonical = QFileInfo(probe).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != m_canonicalRoot
        && !canonical.startsWith(m_canonicalRoot + QLatin1Char('/')))
        return QString();
    return local;
}

QString DeviceFileSystem::relativeName(const QString& localPath) const
{
    return QDir(m_root).relativeFilePath(localPath);
}

QStringList DeviceFileSystem::splitCommandLine(const QString& line, bool* ok)
{
    QStringList words;
    QString current;
    bool inWord = false;
    QChar quote;
    *ok = true;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                current.append(c);
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words.append(current);
            current.clear();
            inWord = false;
        } else if (c == QLatin1Char(';') || c == QLatin1Char('|') || c == QLatin1Char('&')
                   || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('>')
                   || c == QLatin1Char('<')) {
            *ok = false; // no pipelines, lists, redirections or expansions
            return {};
        } else {
            current.append(c);
            inWord = true;
        }
    }
    if (!quote.isNull())
        *ok = false;
    if (inWord)
        words.append(current);
    return words;
}

bool DeviceFileSystem::runShell(const QString& commandLine, QString* reason)
{
    QString dummy;
    if (!reason)
        reason = &dummy;
    bool ok = false;
    const QStringList words = splitCommandLine(commandLine, &ok);
    if (!ok || words.isEmpty()) {
        *reason = QStringLiteral("unsupported command line");
        return false;
    }
    const QString program = words.first();
    QStringList flags;
    QStringList operands;
    bool optionsDone = false;
    for (int i = 1; i < words.size(); ++i) {
        const QString& w = words.at(i);
        if (!optionsDone && w == QLatin1String("--")) {
            optionsDone = true;
        } else if (!optionsDone && w.size() > 1 && w.startsWith(QLatin1Char('-'))) {
            for (int k = 1; k < w.size(); ++k)
                flags.append(w.at(k));
        } else {
            operands.append(w);
        }
    }
    if (program == QLatin1String("mkdir"))
        return mkdirCmd(flags, operands, reason);
    if (program == QLatin1String("rm"))
        return rmCmd(flags, operands, reason);
    if (program == QLatin1String("mv"))
        return mvCmd(operands, reason);
    if (program == QLatin1String("cp"))
        return cpCmd(flags, operands, reason);
    if (program == QLatin1String("ls"))
        return lsCmd(operands, reason);
    if (program == QLatin1String("touch"))
        return touchCmd(operands, reason);
    if (program == QLatin1String("sync"))
        return true;
    *reason = QStringLiteral("%1: command not found").arg(program);
    return false;
}

bool DeviceFileSystem::mkdirCmd(const QStringList& flags, const QStringList& operands, QString* reason)
{
    if (operands.isEmpty()) {
        *reason = QStringLiteral("mkdir: missing operand");
        return false;
    }
    const bool parents = flags.contains(QStringLiteral("p"));
    bool allOk = true;
    for (const QString& operand : operands) {
        const QString path = resolve(operand);
        if (path.isEmpty()) {
            *reason = QStringLiteral("mkdir: %1: outside the device home").arg(operand);
            allOk = false;
        } else if (exists(path)) {
            if (!parents || !isDir(path)) {
                *reason = QStringLiteral("mkdir: cannot create directory '%1': File exists").arg(operand);
                allOk = false;
            }
        } else if (parents) {
            if (!QDir().mkpath(path)) {
                *reason = QStringLiteral("mkdir: cannot create '%1'").arg(operand);
                allOk = false;
            }
        } else if (!isDir(parentOf(path)) || !QDir().mkdir(path)) {
            *reason = QStringLiteral("mkdir: cannot create directory '%1': No such file or directory").arg(operand);
            allOk = false;
        }
    }
    return allOk;
}

bool DeviceFileSystem::rmCmd(const QStringList& flags, const QStringList& operands, QString* reason)
{
    const bool recursive = flags.contains(QStringLiteral("r")) || flags.contains(QStringLiteral("R"));
    const bool force = flags.contains(QStringLiteral("f"));
    if (operands.isEmpty()) {
        *reason = QStringLiteral("rm: missing operand");
        return force;
    }
    bool allOk = true;
    for (const QString& operand : operands) {
        const QString path = resolve(operand);
        if (path.isEmpty() || path == m_root) {
            *reason = QStringLiteral("rm: refusing to remove '%1'").arg(operand);
            allOk = false;
        } else if (!exists(path)) {
            if (!force) {
                *reason = QStringLiteral("rm: cannot remove '%1': No such file or directory").arg(operand);
                allOk = false;
            }
        } else if (isDir(path) && !recursive) {
            *reason = QStringLiteral("rm: cannot remove '%1': Is a directory").arg(operand);
            allOk = false;
        } else if (!removeAny(path)) {
            *reason = QStringLiteral("rm: cannot remove '%1'").arg(operand);
            allOk = false;
        }
    }
    return allOk;
}

bool DeviceFileSystem::mvCmd(const QStringList& operands, QString* reason)
{
    if (operands.size() < 2) {
        *reason = QStringLiteral("mv: missing operand");
        return false;
    }
    const QString destination = resolve(operands.last());
    if (destination.isEmpty()) {
        *reason = QStringLiteral("mv: %1: outside the device home").arg(operands.last());
        return false;
    }
    const bool intoDir = isDir(destination);
    if (operands.size() > 2 && !intoDir) {
        *reason = QStringLiteral("mv: target '%1' is not a directory").arg(operands.last());
        return false;
    }
    bool allOk = true;
    for (int i = 0; i < operands.size() - 1; ++i) {
        const QString source = resolve(operands.at(i));
        if (source.isEmpty() || source == m_root) {
            *reason = QStringLiteral("mv: cannot move '%1'").arg(operands.at(i));
            allOk = false;
            continue;
        }
        if (!exists(source)) {
            *reason = QStringLiteral("mv: cannot stat '%1': No such file or directory").arg(operands.at(i));
            allOk = false;
            continue;
        }
        const QString target = intoDir ? destination + QLatin1Char('/') + baseName(source) : destination;
        if (target == source) {
            *reason = QStringLiteral("mv: '%1' and '%2' are the same file").arg(operands.at(i), operands.last());
            allOk = false;
            continue;
        }
        if (isDir(source) && target.startsWith(source + QLatin1Char('/'))) {
            *reason = QStringLiteral("mv: cannot move '%1' to a subdirectory of itself").arg(operands.at(i));
            allOk = false;
            continue;
        }
        if (exists(target)) {
            if (isDir(source)) {
                if (!isDir(target)) {
                    *reason = QStringLiteral("mv: cannot overwrite non-directory with directory");
                    allOk = false;
                    continue;
                }
                if (!QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
                    *reason = QStringLiteral("mv: cannot move '%1': Directory not empty").arg(operands.at(i));
                    allOk = false;
                    continue;
                }
                QDir().rmdir(target);
            } else {
                if (isDir(target)) {
                    *reason = QStringLiteral("mv: cannot overwrite directory with non-directory");
                    allOk = false;
                    continue;
                }
                QFile::remove(target);
            }
        } else if (!isDir(parentOf(target))) {
            *reason = QStringLiteral("mv: cannot move '%1': No such file or directory").arg(operands.at(i));
            allOk = false;
            continue;
        }
        if (!QDir().rename(source, target)) {
            *reason = QStringLiteral("mv: cannot move '%1'").arg(operands.at(i));
            allOk = false;
        }
    }
    return allOk;
}

bool DeviceFileSystem::cpCmd(const QStringList& flags, const QStringList& operands, QString* reason)
{
    const bool recursive = flags.contains(QStringLiteral("r")) || flags.contains(QStringLiteral("R"))
                        || flags.contains(QStringLiteral("a"));
    if (operands.size() < 2) {
        *reason = QStringLiteral("cp: missing operand");
        return false;
    }
    const QString destination = resolve(operands.last());
    if (destination.isEmpty()) {
        *reason = QStringLiteral("cp: %1: outside the device home").arg(operands.last());
        return false;
    }
    const bool intoDir = isDir(destination);
    if (operands.size() > 2 && !intoDir) {
        *reason = QStringLiteral("cp: target '%1' is not a directory").arg(operands.last());
        return false;
    }
    bool allOk = true;
    for (int i = 0; i < operands.size() - 1; ++i) {
        const QString source = resolve(operands.at(i));
        if (source.isEmpty() || !exists(source)) {
            *reason = QStringLiteral("cp: cannot stat '%1': No such file or directory").arg(operands.at(i));
            allOk = false;
            continue;
        }
        if (isDir(source) && !recursive) {
            *reason = QStringLiteral("cp: -r not specified; omitting directory '%1'").arg(operands.at(i));
            allOk = false;
            continue;
        }
        const QString target = intoDir ? destination + QLatin1Char('/') + baseName(source) : destination;
        if (target == source) {
            *reason = QStringLiteral("cp: '%1' and '%2' are the same file").arg(operands.at(i), operands.last());
            allOk = false;
            continue;
        }
        if (isDir(source) && target.startsWith(source + QLatin1Char('/'))) {
            *reason = QStringLiteral("cp: cannot copy a directory into itself");
            allOk = false;
            continue;
        }
        if (!exists(target) && !isDir(parentOf(target))) {
            *reason = QStringLiteral("cp: cannot create '%1': No such file or directory").arg(operands.last());
            allOk = false;
            continue;
        }
        if (!copyTree(source, target, reason))
            allOk = false;
    }
    return allOk;
}

bool DeviceFileSystem::lsCmd(const QStringList& operands, QString* reason)
{
    bool allOk = true;
    for (const QString& operand : operands) {
        const QString path = resolve(operand);
        if (path.isEmpty() || !exists(path)) {
            *reason = QStringLiteral("ls: cannot access '%1': No such file or directory").arg(operand);
            allOk = false;
        }
    }
    return allOk;
}

bool DeviceFileSystem::touchCmd(const QStringList& operands, QString* reason)
{
    if (operands.isEmpty()) {
        *reason = QStringLiteral("touch: missing file operand");
        return false;
    }
    bool allOk = true;
    for (const QString& operand : operands) {
        const QString path = resolve(operand);
        QFile file(path);
        if (path.isEmpty() || (!isDir(path) && !file.open(QIODevice::Append))) {
            *reason = QStringLiteral("touch: cannot touch '%1'").arg(operand);
            allOk = false;
        }
    }
    return allOk;
}

bool DeviceFileSystem::writeFile(const QString& localPath, const QByteArray& content)
{
    if (!QDir().mkpath(parentOf(localPath)))
        return false;
    if (isDir(localPath))
        return false;
    QSaveFile file(localPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content);
    return file.commit();
}

QStringList DeviceFileSystem::projectFiles() const
{
    const QString base = m_root + QStringLiteral("/qml/project");
    QStringList files;
    QDirIterator it(base, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(base).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QStringList DeviceFileSystem::userFonts() const
{
    return QDir(m_root + QStringLiteral("/fonts")).entryList(QDir::Files, QDir::Name);
}

bool DeviceFileSystem::installWaitingFonts(QStringList* installed)
{
    const QString fontsDir = m_root + QStringLiteral("/fonts");
    const QStringList waiting = QDir(m_root + QStringLiteral("/tmp"))
        .entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, // case-insensitive
                   QDir::Files, QDir::Name);
    if (waiting.isEmpty())
        return true;
    if (!QDir().mkpath(fontsDir))
        return false;
    bool allOk = true;
    for (const QString& name : waiting) {
        const QString target = fontsDir + QLatin1Char('/') + name;
        if (exists(target))
            QFile::remove(target);
        if (QDir().rename(m_root + QStringLiteral("/tmp/") + name, target)) {
            if (installed)
                installed->append(name);
        } else {
            allOk = false;
        }
    }
    return allOk;
}
