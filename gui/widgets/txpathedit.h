#ifndef TXPATHEDIT_H
#define TXPATHEDIT_H

#include "gui_global.h"

#include <QLineEdit>
#include <QStringList>

class QMenu;
class QMimeData;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// One-line field for a file or folder path: takes dropped files, keeps its text on one line,
// has the common context menu and an undo history of its own.
class GUI_EXPORT TxPathEdit : public QLineEdit
{
    Q_OBJECT
public:
    enum FileType {
        FilePath = 0,
        FolderPath
    };
    Q_ENUM(FileType)

    explicit TxPathEdit(FileType fileType = FilePath, QWidget* parent = nullptr);
    TxPathEdit(const QString& text, FileType fileType = FilePath, QWidget* parent = nullptr);

    // The text with every line break turned into a space.
    QString text() const;
    void setText(const QString& text);
    QString toStandardPath() const;

    FileType fileType() const;
    void setFileType(FileType fileType);
    // Extensions a dropped file may have (with or without the dot, any case); empty accepts all.
    QStringList validExtensions() const;
    void setValidExtensions(const QStringList& extensions);
    // The path a dropped local file stands for (a link followed to its target), or empty when the
    // field does not take it.
    QString acceptablePath(const QString& droppedPath) const;

    bool isUndoEnabled() const;
    void setUndoEnabled(bool enabled);
    bool isUsingCustomUndo() const;
    void setCustomUndo(bool custom);
    bool isUndoAvailable() const;
    bool isRedoAvailable() const;
    bool canPaste() const;

    QMenu* createContextMenu();

public slots:
    void pasteFromClipboard();
    void undo();
    void redo();
    void deleteSelection();

signals:
    void requestUndo();
    void requestRedo();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void onTextChanged(const QString& text);

private:
    QString droppedPath(const QMimeData* data) const;
    void applyHistory(int index);

    FileType m_fileType;
    QStringList m_validExtensions;
    bool m_undoEnabled;
    bool m_customUndo;
    QStringList m_history;
    int m_historyIndex;
    bool m_applyingHistory;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXPATHEDIT_H
