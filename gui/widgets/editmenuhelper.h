#ifndef EDITMENUHELPER_H
#define EDITMENUHELPER_H

#include "gui_global.h"

#include <QString>

#include <functional>

class QAbstractSpinBox;
class QAction;
class QKeyEvent;
class QLineEdit;
class QMenu;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The entries of the editing widgets' context menus: one text, picture and shortcut per entry,
// so that every widget's menu looks and reads the same.
class GUI_EXPORT EditMenuHelper
{
public:
    enum Entry {
        Undo,
        Redo,
        Copy,
        Cut,
        Paste,
        Delete,
        SelectAll,
        StepUp,
        StepDown,
        CopyLinkLocation
    };

    // Adds the entry, localized and with its picture, enabled or not.
    static QAction* addEntry(QMenu* menu, Entry entry, bool enabled);
    static QString entryText(Entry entry);
    // The entry a standard key sequence stands for (undo, redo, copy, cut, paste), or -1.
    static int entryForKey(const QKeyEvent* event);
    // What an editing widget does for the standard editing keys.
    struct KeyActions
    {
        std::function<void()> undo, redo, copy, cut, paste;
    };
    // Handles undo, redo, copy, cut and paste the same way in every editing widget:
    // undo and redo only where enabled and writable (else the key is ignored), cut and
    // paste only where writable. False when the key is left to the widget's base class.
    static bool handleEditKey(QKeyEvent* event, bool undoEnabled, bool readOnly, const KeyActions& actions);
    // The context menu of a spin box or date-time edit: undo, redo (where undoable), the
    // clipboard entries, delete, select all, step up and step down. stepUp and stepDown say
    // whether the box can step that way now; deleteSelection removes the selected text.
    static QMenu* spinBoxMenu(QAbstractSpinBox* box, QLineEdit* edit, bool undoable, bool stepUp, bool stepDown,
                              const std::function<void()>& deleteSelection);
    // Whether the clipboard holds text to paste.
    static bool clipboardHasText();
    static QString clipboardText();
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // EDITMENUHELPER_H
