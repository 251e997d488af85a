#ifndef ABOUTDIALOG_H
#define ABOUTDIALOG_H

#include "gui_global.h"

#include <QDialog>
#include <QScopedPointer>

namespace Orvane {
namespace Tavrix {
namespace Designer {

struct AboutDialogPrivate;

// Names the product, its version and the legal notice. Built hidden; the main window shows it.
class GUI_EXPORT AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

    // The version shown: the application's, or the build's when the application sets none.
    static QString productVersion();

private:
    QScopedPointer<AboutDialogPrivate> d;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // ABOUTDIALOG_H
