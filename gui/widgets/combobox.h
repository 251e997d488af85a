#ifndef COMBOBOX_H
#define COMBOBOX_H

#include "gui_global.h"

#include <QComboBox>
#include <QMap>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// QComboBox whose items carry a key besides their text (the text is shown and may be translated,
// the key is what the program stores). The wheel changes the choice only when allowed.
class GUI_EXPORT ComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent = nullptr);
    // Items from key to text, sorted by text.
    explicit ComboBox(const QMap<QString, QString>& keyToText, QWidget* parent = nullptr);

    // An empty key makes the text its own key.
    void addItem(const QString& text, const QString& key = QString());
    void insertItem(int index, const QString& text, const QString& key = QString());
    void addItems(const QStringList& texts, const QStringList& keys = QStringList());
    void insertItems(int index, const QStringList& texts, const QStringList& keys = QStringList());
    void removeItem(int index);
    void removeItemText(const QString& text);
    void removeItemKey(const QString& key);
    void clear();

    QStringList items() const;
    QStringList keys() const;
    int indexOfItem(const QString& text) const;
    int indexOfKey(const QString& key) const;
    QString itemAtIndex(int index) const;
    QString keyAtIndex(int index) const;
    QString itemForKey(const QString& key) const;
    QString keyForItem(const QString& text) const;
    QString currentItemKey() const;
    // False when no item has the key.
    bool setCurrentItemKey(const QString& key);

    bool acceptWheel() const;
    void setAcceptWheel(bool accept);
    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    bool isUndoEnabled() const;
    void setUndoEnabled(bool enabled);

    bool isShowingPopup() const;
    void showPopup() override;
    void hidePopup() override;
    void closePopup();
    bool uniformItemSizes() const;
    void setUniformItemSizes(bool uniform);
    int minimumItemHeight() const;
    void setMinimumItemHeight(int height);
    // Widens the popup list so that the longest text fits.
    void adjustViewSize();

signals:
    void userModified();
    void userModified(int index);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private slots:
    void onActivated(int index);

private:
    void setUp();
    void emitUserModified(int index);

    bool m_acceptWheel;
    bool m_readOnly;
    bool m_undoEnabled;
    int m_minimumItemHeight;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // COMBOBOX_H
