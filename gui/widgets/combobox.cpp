#include "combobox.h"

#include "texthelper.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QMultiMap>
#include <QStyledItemDelegate>
#include <QWheelEvent>

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::TextHelper;

namespace {

// QComboBox keeps an item's user data under Qt::UserRole; the key lives there.
constexpr int KeyRole = Qt::UserRole;

// Gives every row of the popup list at least the minimum item height.
class MinimumHeightDelegate : public QStyledItemDelegate
{
public:
    MinimumHeightDelegate(const ComboBox* box, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_box(box)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(qMax(size.height(), m_box->minimumItemHeight()));
        return size;
    }

private:
    const ComboBox* m_box;
};

} // namespace

ComboBox::ComboBox(QWidget* parent)
    : QComboBox(parent)
{
    setUp();
}

ComboBox::ComboBox(const QMap<QString, QString>& keyToText, QWidget* parent)
    : QComboBox(parent)
{
    setUp();
    QMultiMap<QString, QString> textToKeys;
    for (auto it = keyToText.constBegin(); it != keyToText.constEnd(); ++it)
        textToKeys.insert(it.value(), it.key());
    QStringList texts = keyToText.values();
    texts.removeDuplicates();
    for (const QString& text : TextHelper::sortStringList(texts)) {
        // Keys of equal texts in key order.
        QStringList keysOfText = textToKeys.values(text);
        std::sort(keysOfText.begin(), keysOfText.end());
        for (const QString& key : keysOfText)
            addItem(text, key);
    }
}

void ComboBox::setUp()
{
    m_acceptWheel = true;
    m_readOnly = false;
    m_undoEnabled = true;
    m_minimumItemHeight = 0;
    auto* list = new QListView(this);
    setView(list);
    list->setItemDelegate(new MinimumHeightDelegate(this, list));
    connect(this, qOverload<int>(&QComboBox::activated), this, &ComboBox::onActivated);
}

void ComboBox::addItem(const QString& text, const QString& key)
{
    QComboBox::addItem(text, key.isEmpty() ? text : key);
}

void ComboBox::insertItem(int index, const QString& text, const QString& key)
{
    QComboBox::insertItem(index, text, key.isEmpty() ? text : key);
}

void ComboBox::addItems(const QStringList& texts, const QStringList& keys)
{
    insertItems(count(), texts, keys);
}

void ComboBox::insertItems(int index, const QStringList& texts, const QStringList& keys)
{
    int at = qBound(0, index, count());
    for (int i = 0; i < texts.size(); ++i)
        insertItem(at++, texts.at(i), keys.value(i));
}

void ComboBox::removeItem(int index)
{
    QComboBox::removeItem(index);
}

void ComboBox::removeItemText(const QString& text)
{
    const int index = indexOfItem(text);
    if (index >= 0)
        removeItem(index);
}

void ComboBox::removeItemKey(const QString& key)
{
    const int index = indexOfKey(key);
    if (index >= 0)
        removeItem(index);
}

void ComboBox::clear()
{
    QComboBox::clear();
}

QStringList ComboBox::items() const
{
    QStringList result;
    for (int i = 0; i < count(); ++i)
        result << itemText(i);
    return result;
}

QStringList ComboBox::keys() const
{
    QStringList result;
    for (int i = 0; i < count(); ++i)
        result << keyAtIndex(i);
    return result;
}

int ComboBox::indexOfItem(const QString& text) const
{
    return findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

int ComboBox::indexOfKey(const QString& key) const
{
    for (int i = 0; i < count(); ++i) {
        if (keyAtIndex(i) == key)
            return i;
    }
    return -1;
}

QString ComboBox::itemAtIndex(int index) const
{
    return itemText(index);
}

QString ComboBox::keyAtIndex(int index) const
{
    return itemData(index, KeyRole).toString();
}

QString ComboBox::itemForKey(const QString& key) const
{
    const int index = indexOfKey(key);
    return index >= 0 ? itemText(index) : QString();
}

QString ComboBox::keyForItem(const QString& text) const
{
    const int index = indexOfItem(text);
    return index >= 0 ? keyAtIndex(index) : QString();
}

QString ComboBox::currentItemKey() const
{
    return keyAtIndex(currentIndex());
}

bool ComboBox::setCurrentItemKey(const QString& key)
{
    const int index = indexOfKey(key);
    if (index < 0)
        return false;
    setCurrentIndex(index);
    return true;
}

bool ComboBox::acceptWheel() const
{
    return m_acceptWheel;
}

void ComboBox::setAcceptWheel(bool accept)
{
    m_acceptWheel = accept;
}

bool ComboBox::isReadOnly() const
{
    return m_readOnly;
}

void ComboBox::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    if (QLineEdit* edit = lineEdit())
        edit->setReadOnly(readOnly);
    if (readOnly)
        closePopup();
}

bool ComboBox::isUndoEnabled() const
{
    return m_undoEnabled;
}

void ComboBox::setUndoEnabled(bool enabled)
{
    m_undoEnabled = enabled;
}

bool ComboBox::isShowingPopup() const
{
    // Asked of the list itself: a popup closed by a click elsewhere never passes through hidePopup().
    return view() && view()->isVisible();
}

void ComboBox::showPopup()
{
    if (m_readOnly)
        return;
    QComboBox::showPopup();
}

void ComboBox::hidePopup()
{
    QComboBox::hidePopup();
}

void ComboBox::closePopup()
{
    if (isShowingPopup())
        hidePopup();
}

bool ComboBox::uniformItemSizes() const
{
    auto* list = qobject_cast<QListView*>(view());
    return list && list->uniformItemSizes();
}

void ComboBox::setUniformItemSizes(bool uniform)
{
    if (auto* list = qobject_cast<QListView*>(view()))
        list->setUniformItemSizes(uniform);
}

int ComboBox::minimumItemHeight() const
{
    return m_minimumItemHeight;
}

void ComboBox::setMinimumItemHeight(int height)
{
    m_minimumItemHeight = qMax(0, height);
    view()->doItemsLayout();
}

void ComboBox::adjustViewSize()
{
    const QFontMetrics metrics(view()->font());
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
        int width = metrics.horizontalAdvance(itemText(i));
        if (!itemIcon(i).isNull())
            width += iconSize().width() + 4;
        widest = qMax(widest, width);
    }
    // Room for the frame, the item margins and a vertical scroll bar.
    const int extra = 2 * view()->frameWidth() + 16 + view()->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    view()->setMinimumWidth(qMax(width(), widest + extra));
}

void ComboBox::onActivated(int index)
{
    emitUserModified(index);
}

void ComboBox::emitUserModified(int index)
{
    emit userModified();
    emit userModified(index);
}

void ComboBox::wheelEvent(QWheelEvent* event)
{
    if (!m_acceptWheel || m_readOnly || count() == 0) {
        event->ignore();
        return;
    }
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta == 0) {
        event->ignore();
        return;
    }
    // Down selects the next item, up the previous one; no wrap-around.
    const int next = qBound(0, currentIndex() + (delta < 0 ? 1 : -1), count() - 1);
    event->accept();
    if (next == currentIndex())
        return;
    setCurrentIndex(next);
    emitUserModified(next);
}

void ComboBox::keyPressEvent(QKeyEvent* event)
{
    if ((event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) && (!m_undoEnabled || m_readOnly)) {
        event->ignore();
        return;
    }
    if (m_readOnly) {
        // Navigation keys would change the choice; leave them to the parent.
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Space:
        case Qt::Key_F4:
            event->ignore();
            return;
        default:
            break;
        }
        if (!isEditable() && !event->text().isEmpty()) {
            event->ignore();
            return;
        }
    }
    QComboBox::keyPressEvent(event);
}

void ComboBox::mousePressEvent(QMouseEvent* event)
{
    if (m_readOnly) {
        event->ignore();
        return;
    }
    QComboBox::mousePressEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
