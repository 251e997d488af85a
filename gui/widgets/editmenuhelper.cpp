#include "editmenuhelper.h"

#include "localizationhelper.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
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

QMenu* EditMenuHelper::spinBoxMenu(QAbstractSpinBox* box, QLineEdit* edit, bool undoable, bool stepUp, bool stepDown,
                                   const std::function<void()>& deleteSelection)
{
    const bool editable = !box->isReadOnly();
    const bool selection = edit->hasSelectedText();
    auto* menu = new QMenu(box);
    QObject::connect(addEntry(menu, Undo, undoable && editable && edit->isUndoAvailable()), &QAction::triggered, edit,
                     &QLineEdit::undo);
    QObject::connect(addEntry(menu, Redo, undoable && editable && edit->isRedoAvailable()), &QAction::triggered, edit,
                     &QLineEdit::redo);
    menu->addSeparator();
    QObject::connect(addEntry(menu, Copy, selection), &QAction::triggered, edit, &QLineEdit::copy);
    QObject::connect(addEntry(menu, Cut, selection && editable), &QAction::triggered, edit, &QLineEdit::cut);
    QObject::connect(addEntry(menu, Paste, editable && clipboardHasText()), &QAction::triggered, edit, &QLineEdit::paste);
    QObject::connect(addEntry(menu, Delete, selection && editable), &QAction::triggered, box, deleteSelection);
    menu->addSeparator();
    QObject::connect(addEntry(menu, SelectAll, !edit->text().isEmpty()), &QAction::triggered, box,
                     &QAbstractSpinBox::selectAll);
    menu->addSeparator();
    QObject::connect(addEntry(menu, StepUp, editable && stepUp), &QAction::triggered, box, &QAbstractSpinBox::stepUp);
    QObject::connect(addEntry(menu, StepDown, editable && stepDown), &QAction::triggered, box,
                     &QAbstractSpinBox::stepDown);
    return menu;
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
