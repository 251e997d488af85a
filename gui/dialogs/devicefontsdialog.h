#ifndef DEVICEFONTSDIALOG_H
#define DEVICEFONTSDIALOG_H

#include "devicetarget.h"
#include "gui_global.h"
#include "operationresult.h"
#include "operationrun.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class AppUserFontsListWidget;
class DeviceFontsListWidget;
class DeviceNewFontsListWidget;
class FontPreviewWidget;
class TransferStatusLabel;
class TxTextBrowser;

// Shows the fonts installed on one device, and removes and uploads fonts in one run.
class GUI_EXPORT DeviceFontsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DeviceFontsDialog(QWidget* parent = nullptr);
    ~DeviceFontsDialog() override;

    void setActivePort(const QString& portName);
    QString activePort() const { return m_portName; }
    // The device this dialog is for, known by its serial number through restarts.
    void setDeviceSerial(const QString& serial);

    AppUserFontsListWidget* userFontsList() const { return m_userFonts; }
    DeviceFontsListWidget* deviceFontsList() const { return m_deviceFonts; }
    DeviceNewFontsListWidget* newFontsList() const { return m_newFonts; }
    QPushButton* startButton() const { return m_startButton; }
    QPushButton* closeButton() const { return m_closeButton; }
    // Shown while fonts are being changed: stops the run safely (see OperationRun::stopSafely).
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QProgressBar* progressBar() const { return m_progressBar; }
    TxTextBrowser* informationBrowser() const { return m_information; }
    FontPreviewWidget* previewWidget() const { return m_preview; }
    QLabel* deviceLabel() const { return m_deviceLabel; }
    QLabel* fontsHintLabel() const { return m_fontsHint; }
    QPushButton* fontSettingsButton() const { return m_fontSettingsButton; }
    TransferStatusLabel* transferLabel() const { return m_transferLabel; }
    bool isBusy() const;

public slots:
    void onReceivedInstalledFonts(const QStringList& fonts, bool isError);
    void onPreviewFont(const QString& family);
    void onFontSelectionChanged();
    void onAddFonts(const QStringList& families);
    void onStart();
    void onCancel();
    void onBytesTransferred(qint64 bytes);
    void onReceivedError(const QString& error, bool needReboot);
    void onReceivedMessage(const QString& message);
    void onFinished();
    void onDeviceDisconnected(const QMap<QString, QString>& info);
    void reject() override;

signals:
    // The user asks for the program's font settings, where fonts join the list to choose from.
    void fontSettingsRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onOperationEnded(const Orvane::Tavrix::Runtime::OperationResult& result);
    void onCountdownTick();

private:
    void setupWidgets();
    void requestInstalledFonts();
    void setListsEnabled(bool enabled);
    void showStatus(const QString& text, bool error, int clearAfterMs = 0);
    void startCountdown();
    void stopTimers();
    // Font files of the family in the program's collection.
    QStringList filesOf(const QString& family) const;
    // Whether a device font (a file name) is the family or one of its files.
    bool sameFont(const QString& deviceFont, const QString& family) const;

    // The link of this dialog's device when an operation may start on it.
    Runtime::DeviceLink* deviceLink() const;

    QString m_portName;
    DeviceTarget m_device;
    AppUserFontsListWidget* m_userFonts = nullptr;
    DeviceFontsListWidget* m_deviceFonts = nullptr;
    DeviceNewFontsListWidget* m_newFonts = nullptr;
    TxTextBrowser* m_information = nullptr;
    FontPreviewWidget* m_preview = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_deviceLabel = nullptr;
    QLabel* m_fontsHint = nullptr;
    QPushButton* m_fontSettingsButton = nullptr;
    TransferStatusLabel* m_transferLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    bool m_cancelled = false;
    qint64 m_totalBytes = 0;
    qint64 m_sentBytes = 0;
    int m_countdown = 0;
    QTimer* m_countdownTimer = nullptr;
    QTimer* m_statusTimer = nullptr;
    bool m_listPending = false;
    bool m_shownOnce = false;
    QList<QMetaObject::Connection> m_listConnections;
    QPointer<Runtime::OperationRun> m_run;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICEFONTSDIALOG_H
