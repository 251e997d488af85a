#include "editmenuhelper.h"

#include "localizationhelper.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>

using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::LocalizationHelper;

namespace {

QString iconPath(EditMenuHelper::Entry entry)
{
    switch (entry) {
    case EditMenuHelper::Undo:
        return QStringLiteral(":/images/undo");
    case EditMenuHelper::Redo:
        return QStringLiteral(":/images/redo");
    case EditMenuHelper::Copy:
        return QStringLiteral(":/images/copy");
    case EditMenuHelper::Cut:
        return QStringLiteral(":/images/cut");
    case EditMenuHelper::Paste:
        return QStringLiteral(":/images/paste");
    case EditMenuHelper::Delete:
        return QStringLiteral(":/images/delete");
    case EditMenuHelper::StepUp:
        return QStringLiteral(":/images/moveUp");
    case EditMenuHelper::StepDown:
        return QStringLiteral(":/images/moveDown");
    case EditMenuHelper::SelectAll:
    case EditMenuHelper::CopyLinkLocation:
        break;
    }
    return QString();
}

QKeySequence shortcut(EditMenuHelper::Entry entry)
{
    switch (entry) {
    case EditMenuHelper::Undo:
        return QKeySequence::Undo;
    case EditMenuHelper::Redo:
        return QKeySequence::Redo;
    case EditMenuHelper::Copy:
        return QKeySequence::Copy;
    case EditMenuHelper::Cut:
        return QKeySequence::Cut;
    case EditMenuHelper::Paste:
        return QKeySequence::Paste;
    case EditMenuHelper::Delete:
        return QKeySequence::Delete;
    case EditMenuHelper::SelectAll:
        return QKeySequence::SelectAll;
    case EditMenuHelper::StepUp:
        return QKeySequence(QStringLiteral("Up"));
    case EditMenuHelper::StepDown:
        return QKeySequence(QStringLiteral("Down"));
    case EditMenuHelper::CopyLinkLocation:
        break;
    }
    return QKeySequence();
}

} // namespace

QString EditMenuHelper::entryText(Entry entry)
{
    switch (entry) {
    case Undo:
        return guiText("&Undo");
    case Redo:
        return guiText("&Redo");
    case Copy:
        return guiText("&Copy");
    case Cut:
        return guiText("Cu&t");
    case Paste:
        return guiText("&Paste");
    case Delete:
        return guiText("&Delete");
    case SelectAll:
        return guiText("Select &All");
    case StepUp:
        return guiText("&Step Up");
    case StepDown:
        return guiText("Step D&own");
    case CopyLinkLocation:
        return guiText("Copy &Link Location");
    }
    return QString();
}

QAction* EditMenuHelper::addEntry(QMenu* menu, Entry entry, bool enabled)
{
    QAction* action = menu->addAction(entryText(entry));
    const QString icon = iconPath(entry);
    if (!icon.isEmpty())
        action->setIcon(QIcon(icon));
    // Shown as a hint only: the widget handles the keys itself.
    action->setShortcut(shortcut(entry));
    action->setShortcutContext(Qt::WidgetShortcut);
    action->setEnabled(enabled);
    action->setData(int(entry));
    return action;
}

bool EditMenuHelper::handleEditKey(QKeyEvent* event, bool undoEnabled, bool readOnly, const KeyActions& actions)
{
    switch (entryForKey(event)) {
    case Undo:
    case Redo:
        if (!undoEnabled || readOnly) {
            event->ignore();
            return true;
        }
        if (event->matches(QKeySequence::Undo))
            actions.undo();
        else
            actions.redo();
        break;
    case Copy:
        actions.copy();
        break;
    case Cut:
        if (readOnly)
            return false;
        actions.cut();
        break;
    case Paste:
        if (readOnly)
            return false;
        actions.paste();
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}

int EditMenuHelper::entryForKey(const QKeyEvent* event)
{
    if (event->matches(QKeySequence::Undo))
        return Undo;
    if (event->matches(QKeySequence::Redo))
        return Redo;
    if (event->matches(QKeySequence::Copy))
        return Copy;
    if (event->matches(QKeySequence::Cut))
        return Cut;
    if (event->matches(QKeySequence::Paste))
        return Paste;
    return -1;
}

bool EditMenuHelper::clipboardHasText()
{
    return !clipboardText().isEmpty();
}

QString EditMenuHelper::clipboardText()
{
    const QClipboard* clipboard = QApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
