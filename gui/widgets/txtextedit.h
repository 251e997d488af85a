#ifndef TXTEXTEDIT_H
#define TXTEXTEDIT_H

#include "gui_global.h"

#include <QTextEdit>

class QMenu;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// QTextEdit with the common localized context menu; undo can be switched off or left to the owner.
class GUI_EXPORT TxTextEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit TxTextEdit(QWidget* parent = nullptr);

    bool isUndoEnabled() const;
    void setUndoEnabled(bool enabled);
    // With custom undo, the undo and redo entries and keys only emit requestUndo() and requestRedo().
    bool isUsingCustomUndo() const;
    void setCustomUndo(bool custom);

    // The context menu as it would be shown now; the caller owns it.
    QMenu* createContextMenu();

public slots:
    void copySelection();
    void cutSelection();
    void pasteFromClipboard();
    void deleteSelection();

signals:
    void requestUndo();
    void requestRedo();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool canUndo() const;
    bool canRedo() const;
    void doUndo();
    void doRedo();

    bool m_undoEnabled;
    bool m_customUndo;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TXTEXTEDIT_H
