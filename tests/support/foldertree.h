#ifndef FOLDERTREE_H
#define FOLDERTREE_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// A folder's files as the tests compare them: relative paths ("a/b.txt") with
// their content, hidden files included, links not followed.
class FolderTree
{
public:
    // Relative path -> content of every file below root.
    static QMap<QString, QByteArray> read(const QString& root);
    // The relative paths alone, sorted.
    static QStringList files(const QString& root);
    // Writes every entry below root, creating folders; false on the first failure.
    static bool write(const QString& root, const QMap<QString, QByteArray>& tree);
    // One file, its folders created.
    static bool writeFile(const QString& path, const QByteArray& bytes);
};

#endif // FOLDERTREE_H
