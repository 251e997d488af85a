#ifndef FILEDIALOGUSER_H
#define FILEDIALOGUSER_H

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

// What a file dialog showed when it opened.
struct FileDialogSeen
{
    bool seen = false;
    QString title;
    QString folder;
    QStringList filters;
};

// Plays the user in a file dialog (Qt's own, as under the offscreen platform): notes what it
// shows, then types `path` into its name field and presses Return. An empty path, or a
// window that is not a file dialog, is left with Escape.
inline void chooseInFileDialog(QWidget* modal, const QString& path, FileDialogSeen* seen)
{
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
    if (dialog) {
        seen->seen = true;
        seen->title = dialog->windowTitle();
        seen->folder = dialog->directory().absolutePath();
        seen->filters = dialog->nameFilters();
    }
    if (!name || path.isEmpty()) {
        QTest::keyClick(modal, Qt::Key_Escape);
        return;
    }
    name->setText(QDir::toNativeSeparators(path));
    QTest::keyClick(name, Qt::Key_Return);
}

#endif // FILEDIALOGUSER_H
