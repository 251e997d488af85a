#ifndef DEVICESPLASHPREVIEWDIALOG_H
#define DEVICESPLASHPREVIEWDIALOG_H

#include "gui_global.h"

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// Shows a splash image as the device will show it and asks whether to go on with it.
class GUI_EXPORT DeviceSplashPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DeviceSplashPreviewDialog(const QImage& image, QWidget* parent = nullptr);
    ~DeviceSplashPreviewDialog() override;

    QString questionText() const;
    QPushButton* yesButton() const { return m_yesButton; }
    QPushButton* noButton() const { return m_noButton; }

private:
    QLabel* m_imageLabel = nullptr;
    QLabel* m_textLabel = nullptr;
    QPushButton* m_yesButton = nullptr;
    QPushButton* m_noButton = nullptr;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICESPLASHPREVIEWDIALOG_H
