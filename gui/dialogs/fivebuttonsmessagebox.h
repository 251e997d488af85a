#ifndef FIVEBUTTONSMESSAGEBOX_H
#define FIVEBUTTONSMESSAGEBOX_H

#include "gui_global.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// Question with the answers yes, yes to all, no, no to all and abort; created only by question().
class GUI_EXPORT FiveButtonsMessageBox : public QDialog
{
    Q_OBJECT
public:
    enum Result {
        AbortResult = -1,
        YesResult = 1,
        YesToAllResult = 2,
        NoResult = 3,
        NoToAllResult = 4
    };

    // Shows the question and answers one of Result. With noAbort there is no fifth button;
    // an empty abortText gives the fifth button the text "Abort".
    static int question(QWidget* parent, const QString& title, const QString& text, bool noAbort = true,
                        bool wordWrap = false, const QString& abortText = QString());

public slots:
    int exec() override;

protected:
    FiveButtonsMessageBox(QWidget* parent, const QString& title, const QString& text, bool noAbort,
                          bool wordWrap, const QString& abortText);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onYes();
    void onNo();
    void onYesToAll();
    void onNoToAll();
    void onAbort();

private:
    // Escape and the close button: abort when it is offered, else no.
    int keyboardResult() const;
    void finish(int result);

    QLabel* m_iconLabel;
    QLabel* m_textLabel;
    QPushButton* m_yesButton;
    QPushButton* m_yesToAllButton;
    QPushButton* m_noButton;
    QPushButton* m_noToAllButton;
    QPushButton* m_abortButton;
    bool m_finishing;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // FIVEBUTTONSMESSAGEBOX_H
