#ifndef MESSAGEBOX_H
#define MESSAGEBOX_H

#include "gui_global.h"

#include <QDialog>
#include <QPixmap>
#include <QScopedPointer>

class QPushButton;

namespace Orvane {
namespace Tavrix {
namespace Designer {

struct MessageBoxPrivate;

// Modal box with an icon, a text and up to three buttons whose meaning is given by a role.
class GUI_EXPORT MessageBox : public QDialog
{
    Q_OBJECT
public:
    enum Icon {
        Information = 0,
        Critical,
        Warning,
        Question,
        NoIcon
    };
    Q_ENUM(Icon)

    // Button roles; NoButton hides the button.
    enum Button {
        OK = 0,
        Cancel,
        Yes,
        No,
        Close,
        Custom,
        NoButton
    };
    Q_ENUM(Button)

    // Message codes a box answers with.
    enum Code {
        UndecidedCode = -1,
        AcceptCode = 0, // OK, Yes, Close
        NoCode = 1,
        CancelCode = 2,
        CustomCode = 3
    };

    MessageBox(QWidget* parent, const QString& title, const QString& text, Icon icon = Information,
               const QPixmap& pixmap = QPixmap(), Button button1 = OK, Button button2 = NoButton,
               Button button3 = NoButton);
    ~MessageBox() override;

    int messageCode() const;

    void setWordWrap(bool wordWrap);
    void setText(const QString& text);
    QString text() const;
    void setIcon(const QPixmap& pixmap);
    void setIcon(Icon icon);
    // The icon as shown (already scaled); null when no icon is shown.
    QPixmap shownIcon() const;

    QPushButton* button1() const;
    QPushButton* button2() const;
    QPushButton* button3() const;
    Button roleOfButton1() const;
    Button roleOfButton2() const;
    Button roleOfButton3() const;
    void setRoleOfButton1(Button role);
    void setRoleOfButton2(Button role);
    void setRoleOfButton3(Button role);
    QString textOfButton1() const;
    QString textOfButton2() const;
    QString textOfButton3() const;
    void setTextOfButton1(const QString& text);
    void setTextOfButton2(const QString& text);
    void setTextOfButton3(const QString& text);
    QString toolTipOfButton1() const;
    QString toolTipOfButton2() const;
    QString toolTipOfButton3() const;
    void setToolTipOfButton1(const QString& toolTip);
    void setToolTipOfButton2(const QString& toolTip);
    void setToolTipOfButton3(const QString& toolTip);

    Button roleOfButton(QPushButton* button) const;

    QPushButton* defaultButton() const;
    void setDefaultButton(QPushButton* button);
    QPushButton* clickedButton() const;

    // The text a role's button shows, in the user's language.
    static QString textOfRole(Button role);
    // Scales a picture so that neither side exceeds the icon size, keeping its aspect ratio.
    static QPixmap scaledIcon(const QPixmap& pixmap);
    static QPixmap iconPixmap(Icon icon);

    static void message(QWidget* parent, const QString& title, const QString& text);
    static void information(QWidget* parent, const QString& title, const QString& text);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    static void critical(QWidget* parent, const QString& title, const QString& text);
    // 0 yes, 1 no, 2 cancel.
    static int question(QWidget* parent, const QString& title, const QString& text, bool withCancel = false);

public slots:
    int exec() override;

signals:
    void buttonClicked(QPushButton* button);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onButton1Clicked();
    void onButton2Clicked();
    void onButton3Clicked();

private:
    QPushButton* buttonAt(int index) const;
    Button roleAt(int index) const;
    void setRoleAt(int index, Button role);
    void setButtonText(int index, const QString& text);
    void setButtonToolTip(int index, const QString& toolTip);
    void onButtonClicked(int index);
    // Escape and the close button: the answer the roles allow, false when none does.
    bool finishByKeyboard();
    void finish(int code, bool accepted);

    QScopedPointer<MessageBoxPrivate> d;
    Button m_roles[3];
    int m_messageCode;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // MESSAGEBOX_H
