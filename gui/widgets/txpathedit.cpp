#include "txpathedit.h"

#include "editmenuhelper.h"
#include "filehelper.h"
#include "texthelper.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::FileHelper;
using Common::TextHelper;

namespace {

// Enough steps back for a path field; older ones are dropped.
constexpr int MaximumHistory = 100;

QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QChar(0x2028), QLatin1Char(' '));
    return text;
}

} // namespace

TxPathEdit::TxPathEdit(FileType fileType, QWidget* parent)
    : TxPathEdit(QString(), fileType, parent)
{
}

TxPathEdit::TxPathEdit(const QString& text, FileType fileType, QWidget* parent)
    : QLineEdit(oneLine(text), parent)
    , m_fileType(fileType)
    , m_undoEnabled(true)
    , m_customUndo(false)
    , m_history{oneLine(text)}
    , m_historyIndex(0)
    , m_applyingHistory(false)
{
    setAcceptDrops(true);
    connect(this, &QLineEdit::textChanged, this, &TxPathEdit::onTextChanged);
}

QString TxPathEdit::text() const
{
    return oneLine(QLineEdit::text());
}

void TxPathEdit::setText(const QString& text)
{
    QLineEdit::setText(oneLine(text));
}

QString TxPathEdit::toStandardPath() const
{
    return TextHelper::toStandardPath(text());
}

TxPathEdit::FileType TxPathEdit::fileType() const
{
    return m_fileType;
}

void TxPathEdit::setFileType(FileType fileType)
{
    m_fileType = fileType;
}

QStringList TxPathEdit::validExtensions() const
{
    return m_validExtensions;
}

void TxPathEdit::setValidExtensions(const QStringList& extensions)
{
    m_validExtensions = extensions;
}

QString TxPathEdit::acceptablePath(const QString& droppedPath) const
{
    if (droppedPath.isEmpty())
        return QString();
    // A symbolic link (and on Windows a shortcut) stands for its target.
    const QString path = FileHelper::findFileTarget(droppedPath);
    const QFileInfo info(path);
    if (m_fileType == FolderPath)
        return info.isDir() ? path : QString();
    if (!info.isFile())
        return QString();
    if (m_validExtensions.isEmpty())
        return path;
    const QString suffix = info.suffix();
    for (QString extension : m_validExtensions) {
        if (extension.startsWith(QLatin1Char('.')))
            extension.remove(0, 1);
        if (!suffix.isEmpty() && suffix.compare(extension, Qt::CaseInsensitive) == 0)
            return path;
    }
    return QString();
}

QString TxPathEdit::droppedPath(const QMimeData* data) const
{
    if (!data || !data->hasUrls() || isReadOnly())
        return QString();
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return QString();
    return acceptablePath(urls.first().toLocalFile());
}

void TxPathEdit::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedPath(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TxPathEdit::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppedPath(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TxPathEdit::dropEvent(QDropEvent* event)
{
    const QString path = droppedPath(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    setText(path);
    setFocus(Qt::OtherFocusReason);
    event->acceptProposedAction();
}

bool TxPathEdit::isUndoEnabled() const
{
    return m_undoEnabled;
}

void TxPathEdit::setUndoEnabled(bool enabled)
{
    m_undoEnabled = enabled;
}

bool TxPathEdit::isUsingCustomUndo() const
{
    return m_customUndo;
}

void TxPathEdit::setCustomUndo(bool custom)
{
    m_customUndo = custom;
}

bool TxPathEdit::isUndoAvailable() const
{
    return m_historyIndex > 0;
}

bool TxPathEdit::isRedoAvailable() const
{
    return m_historyIndex < m_history.size() - 1;
}

bool TxPathEdit::canPaste() const
{
    return !isReadOnly() && EditMenuHelper::clipboardHasText();
}

void TxPathEdit::pasteFromClipboard()
{
    if (isReadOnly())
        return;
    const QString pasted = oneLine(EditMenuHelper::clipboardText());
    if (!pasted.isEmpty() || hasSelectedText())
        insert(pasted);
}

void TxPathEdit::deleteSelection()
{
    if (!isReadOnly() && hasSelectedText())
        del();
}

void TxPathEdit::undo()
{
    if (!m_undoEnabled || isReadOnly())
        return;
    if (m_customUndo) {
        emit requestUndo();
        return;
    }
    if (isUndoAvailable())
        applyHistory(m_historyIndex - 1);
}

void TxPathEdit::redo()
{
    if (!m_undoEnabled || isReadOnly())
        return;
    if (m_customUndo) {
        emit requestRedo();
        return;
    }
    if (isRedoAvailable())
        applyHistory(m_historyIndex + 1);
}

void TxPathEdit::applyHistory(int index)
{
    m_historyIndex = index;
    m_applyingHistory = true;
    QLineEdit::setText(m_history.at(index));
    m_applyingHistory = false;
}

void TxPathEdit::onTextChanged(const QString& text)
{
    if (m_applyingHistory)
        return;
    const QString line = oneLine(text);
    if (m_history.value(m_historyIndex) == line)
        return;
    while (m_history.size() > m_historyIndex + 1)
        m_history.removeLast();
    m_history.append(line);
    while (m_history.size() > MaximumHistory)
        m_history.removeFirst();
    m_historyIndex = m_history.size() - 1;
}

QMenu* TxPathEdit::createContextMenu()
{
    const bool editable = !isReadOnly();
    const bool selection = hasSelectedText();
    const bool undoable = m_undoEnabled && editable;
    auto* menu = new QMenu(this);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Undo, undoable && (m_customUndo || isUndoAvailable())),
            &QAction::triggered, this, &TxPathEdit::undo);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Redo, undoable && (m_customUndo || isRedoAvailable())),
            &QAction::triggered, this, &TxPathEdit::redo);
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Copy, selection && echoMode() == Normal),
            &QAction::triggered, this, &QLineEdit::copy);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Cut, selection && editable && echoMode() == Normal),
            &QAction::triggered, this, &QLineEdit::cut);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Paste, canPaste()), &QAction::triggered, this,
            &TxPathEdit::pasteFromClipboard);
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::Delete, selection && editable), &QAction::triggered, this,
            &TxPathEdit::deleteSelection);
    menu->addSeparator();
    connect(EditMenuHelper::addEntry(menu, EditMenuHelper::SelectAll, !QLineEdit::text().isEmpty()),
            &QAction::triggered, this, &QLineEdit::selectAll);
    return menu;
}

void TxPathEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TxPathEdit::keyPressEvent(QKeyEvent* event)
{
    const EditMenuHelper::KeyActions actions { [this]() { undo(); }, [this]() { redo(); }, [this]() { copy(); },
                                               [this]() { cut(); }, [this]() { pasteFromClipboard(); } };
    if (!EditMenuHelper::handleEditKey(event, m_undoEnabled, isReadOnly(), actions))
        QLineEdit::keyPressEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
