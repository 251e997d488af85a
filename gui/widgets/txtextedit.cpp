#include "txtextedit.h"

#include "editmenuhelper.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextDocument>

namespace Orvane {
namespace Tavrix {
namespace Designer {

TxTextEdit::TxTextEdit(QWidget* parent)
    : QTextEdit(parent)
    , m_undoEnabled(true)
    , m_customUndo(false)
{
}

bool TxTextEdit::isUndoEnabled() const
{
    return m_undoEnabled;
}

void TxTextEdit::setUndoEnabled(bool enabled)
{
    m_undoEnabled = enabled;
    setUndoRedoEnabled(enabled && !m_customUndo);
}

bool TxTextEdit::isUsingCustomUndo() const
{
    return m_customUndo;
}

void TxTextEdit::setCustomUndo(bool custom)
{
    m_customUndo = custom;
    // The owner keeps the history; the document's own would only disagree with it.
    setUndoRedoEnabled(m_undoEnabled && !custom);
}

bool TxTextEdit::canUndo() const
{
    if (!m_undoEnabled || isReadOnly())
        return false;
    return m_customUndo || document()->isUndoAvailable();
}

bool TxTextEdit::canRedo() const
{
    if (!m_undoEnabled || isReadOnly())
        return false;
    return m_customUndo || document()->isRedoAvailable();
}

void TxTextEdit::doUndo()
{
    if (m_customUndo)
        emit requestUndo();
    else
        undo();
}

void TxTextEdit::doRedo()
{
    if (m_customUndo)
        emit requestRedo();
    else
        redo();
}

void TxTextEdit::copySelection()
{
    copy();
}

void TxTextEdit::cutSelection()
{
    if (!isReadOnly())
        cut();
}

void TxTextEdit::pasteFromClipboard()
{
    if (!isReadOnly())
        paste();
}

void TxTextEdit::deleteSelection()
{
    if (isReadOnly())
        return;
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

QMenu* TxTextEdit::createContextMenu()
{
    const bool selection = textCursor().hasSelection();
    const bool editable = !isReadOnly();
    auto* menu = new QMenu(this);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Undo, canUndo()), &QAction::triggered, this,
            &TxTextEdit::doUndo);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Redo, canRedo()), &QAction::triggered, this,
            &TxTextEdit::doRedo);
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Copy, selection), &QAction::triggered, this,
            &TxTextEdit::copySelection);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Cut, selection && editable), &QAction::triggered, this,
            &TxTextEdit::cutSelection);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Paste, editable && EditMenuHelper::clipboardHasText()),
            &QAction::triggered, this, &TxTextEdit::pasteFromClipboard);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Delete, selection && editable), &QAction::triggered, this,
            &TxTextEdit::deleteSelection);
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::SelectAll, !document()->isEmpty()), &QAction::triggered,
            this, &TxTextEdit::selectAll);
    return menu;
}

void TxTextEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TxTextEdit::keyPressEvent(QKeyEvent* event)
{
    const EditMenuHelper::KeyActions actions { [this]() { doUndo(); }, [this]() { doRedo(); },
                                               [this]() { copySelection(); }, [this]() { cutSelection(); },
                                               [this]() { pasteFromClipboard(); } };
    if (!EditMenuHelper::handleEditKey(event, m_undoEnabled, isReadOnly(), actions))
        QTextEdit::keyPressEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
