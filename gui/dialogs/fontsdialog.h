#ifndef FONTSDIALOG_H
#define FONTSDIALOG_H

#include "gui_global.h"

#include <QDialog>
#include <QStringList>

class QPushButton;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class FontsSettingsWidget;

// "Font settings": the application fonts, with adding and marking for removal.
class GUI_EXPORT FontsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FontsDialog(QWidget* parent = nullptr);

    // The files of the fonts marked for removal when the dialog was accepted.
    QStringList fontsToRemove() const;
    // True after acceptance with fonts marked: files in use are deleted at the next start.
    bool needsRestart() const;

    FontsSettingsWidget* settingsWidget() const { return m_settings; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

public slots:
    void accept() override;
    void reject() override;

private:
    FontsSettingsWidget* m_settings = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QStringList m_fontsToRemove;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // FONTSDIALOG_H
