#include "foldertree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

QMap<QString, QByteArray> FolderTree::read(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        tree.insert(QDir(root).relativeFilePath(path), file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return tree;
}

QStringList FolderTree::files(const QString& root)
{
    return read(root).keys();
}

bool FolderTree::write(const QString& root, const QMap<QString, QByteArray>& tree)
{
    for (auto it = tree.constBegin(); it != tree.constEnd(); ++it) {
        if (!writeFile(QDir(root).filePath(it.key()), it.value()))
            return false;
    }
    return true;
}

bool FolderTree::writeFile(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
