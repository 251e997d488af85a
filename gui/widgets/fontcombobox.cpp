#include "fontcombobox.h"

#include "editmenuhelper.h"
#include "fontscenter.h"
#include "localizationhelper.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {
} // namespace

FontComboBox::FontComboBox(QWidget* parent)
    : ComboBox(parent)
{
    connect(this, qOverload<int>(&QComboBox::currentIndexChanged), this, [this]() {
        if (!m_refreshing)
            emit currentFontChanged();
    });
    connect(FontsCenter::instance(), &FontsCenter::fontAdded, this, &FontComboBox::refresh);
    refresh();
}

QStringList FontComboBox::availableFonts() const
{
    return FontsCenter::instance()->fonts();
}

QStringList FontComboBox::extraFonts() const
{
    return m_extraFonts;
}

void FontComboBox::setExtraFont(const QString& family)
{
    setExtraFonts(family.isEmpty() ? QStringList() : QStringList{family});
}

void FontComboBox::setExtraFonts(const QStringList& families)
{
    if (families == m_extraFonts)
        return;
    m_extraFonts = families;
    refresh();
}

QString FontComboBox::currentFont() const
{
    return currentText();
}

void FontComboBox::setCurrentFont(const QString& family)
{
    const int index = findText(family, Qt::MatchExactly);
    if (index >= 0)
        setCurrentIndex(index);
}

bool FontComboBox::isRefreshing() const
{
    return m_refreshing;
}

void FontComboBox::refresh()
{
    const QString previous = currentText();
    m_refreshing = true;
    clear();

    const QStringList available = availableFonts();
    int widest = 0;
    auto addFont = [&](const QString& family, bool isAvailable) {
        QFont font(isAvailable ? family : FontsCenter::defaultFamily());
        const QString tip = isAvailable
            ? guiText("Supported Languages of \"%1\": %2")
                  .arg(family, FontsCenter::getLanguagesForFont(QFont(family)).join(QStringLiteral(", ")))
            : guiText("The font \"%1\" is not available.").arg(family);
        addItem(family);
        const int index = count() - 1;
        setItemData(index, font, Qt::FontRole);
        setItemData(index, tip, Qt::ToolTipRole);
        widest = qMax(widest, QFontMetrics(font).horizontalAdvance(family));
    };
    for (const QString& family : available)
        addFont(family, true);
    for (const QString& family : std::as_const(m_extraFonts)) {
        if (!family.isEmpty() && !available.contains(family) && findText(family, Qt::MatchExactly) < 0)
            addFont(family, false);
    }
    // Room for the text, the item margins and a scroll bar.
    view()->setMinimumWidth(qMax(width(), widest + 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 40));

    const int index = findText(previous, Qt::MatchExactly);
    setCurrentIndex(index >= 0 ? index : 0);
    m_refreshing = false;
    emit fontsChanged();
    if (currentText() != previous)
        emit currentFontChanged();
}

QMenu* FontComboBox::createContextMenu()
{
    auto* menu = new QMenu(this);
    QLineEdit* edit = lineEdit();
    const bool writable = edit && !edit->isReadOnly() && !isReadOnly();
    const bool undoable = writable && isUndoEnabled();
    // Without a line edit the chosen font's name is what can be copied.
    const bool hasSelection = edit ? edit->hasSelectedText() : !currentText().isEmpty();

    QAction* undo = EditMenuHelper::addEntry(menu, EditMenuHelper::Undo, undoable && edit->isUndoAvailable());
    connect(undo, &QAction::triggered, this, [edit]() { edit->undo(); });
    QAction* redo = EditMenuHelper::addEntry(menu, EditMenuHelper::Redo, undoable && edit->isRedoAvailable());
    connect(redo, &QAction::triggered, this, [edit]() { edit->redo(); });
    menu->addSeparator();
    QAction* copy = EditMenuHelper::addEntry(menu, EditMenuHelper::Copy, hasSelection);
    connect(copy, &QAction::triggered, this, [this, edit]() {
        if (edit)
            edit->copy();
        else
            QApplication::clipboard()->setText(currentText());
    });
    QAction* cut = EditMenuHelper::addEntry(menu, EditMenuHelper::Cut, writable && hasSelection);
    connect(cut, &QAction::triggered, this, [edit]() { edit->cut(); });
    QAction* paste = EditMenuHelper::addEntry(menu, EditMenuHelper::Paste, writable && EditMenuHelper::clipboardHasText());
    connect(paste, &QAction::triggered, this, [edit]() { edit->paste(); });
    QAction* remove = EditMenuHelper::addEntry(menu, EditMenuHelper::Delete, writable && hasSelection);
    connect(remove, &QAction::triggered, this, [edit]() { edit->del(); });
    menu->addSeparator();
    QAction* selectAll = EditMenuHelper::addEntry(menu, EditMenuHelper::SelectAll, edit && !edit->text().isEmpty());
    connect(selectAll, &QAction::triggered, this, [edit]() { edit->selectAll(); });
    return menu;
}

void FontComboBox::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->exec(event->globalPos());
    delete menu;
    event->accept();
}

void FontComboBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        emit requestHelp();
        event->accept();
        return;
    }
    ComboBox::keyPressEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
