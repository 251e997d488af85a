#ifndef BATCHWINDOW_H
#define BATCHWINDOW_H

#include "gui_global.h"

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class BatchDeviceModel;
class BatchWindowPrivate;

// One runtime project or device software package to many devices at once. The window
// lists every connected device and whether the package fits it, runs the upload or
// upgrade on every ticked device at the same time or in stages (canary devices first, so
// many at once, stop after so many failures), tries the failed ones again, and in
// production mode gives it to every fitting device plugged in later that has not had it.
// The results are saved as CSV.
// Not modal: the main window and the rows stay usable while it works.
class GUI_EXPORT BatchWindow : public QDialog
{
    Q_OBJECT
public:
    explicit BatchWindow(QWidget* parent = nullptr);
    ~BatchWindow() override;

    // Tells whether a device is busy with a window of its row; such a device is skipped.
    void setBusyCheck(const std::function<bool(const QString& serial, const QString& port)>& check);

    // Takes a package (".txdevproj" or ".txsw"); false, with a box saying why, when it
    // cannot be used. Not while a run is going.
    bool setPackage(const QString& path);
    QString packagePath() const;
    // The results as CSV; false with a box saying why.
    bool saveCsv(const QString& filePath);

    BatchDeviceModel* model() const;
    QTableView* table() const;
    QPushButton* chooseButton() const;
    QPushButton* startButton() const;
    QPushButton* cancelButton() const;
    QPushButton* retryButton() const;
    // The stages: canary devices first, at most so many at once, stop after so many failures.
    QSpinBox* canaryBox() const;
    QSpinBox* maxParallelBox() const;
    QSpinBox* stopAfterFailuresBox() const;
    QLabel* stageLabel() const;
    QPushButton* saveButton() const;
    QCheckBox* productionBox() const;
    QLabel* packageLabel() const;
    QLabel* countsLabel() const;
    // Who signed the package, and whether signed packages are required.
    QLabel* signatureLabel() const;
    QLabel* signatureRuleLabel() const;

public slots:
    void onChoosePackage();
    // Asks as the row does (a project deletes the data log), then starts.
    void onStart();
    // Starts only the lines that failed or were skipped, asking as Start does.
    void onRetryFailed();
    // Stops what has not started; asks before it abandons a running transfer.
    void onCancel();
    void onSaveCsv();
    // Production mode off, waiting lines cancelled, running ones stopped safely.
    void stopSafely();
    // Closing while lines run asks first: wait for them, stop them safely, or stay.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void onProductionToggled(bool on);
    void onRulesChanged();
    // Asks once, naming the devices, then starts the ticked lines.
    void startRun(bool failedOnly);
    // The setting "Require signed packages" changed: production mode stops for a package it refuses.
    void onSignatureRequirementChanged();
    // Whether the package may go to devices under the setting; a box says why not.
    bool signatureAllows(const QString& title);
    void updateControls();
    void removeWorkFolder();
    void askBeforeClosing();

    BatchWindowPrivate* d;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // BATCHWINDOW_H
