#ifndef BATCHDEVICEMODEL_H
#define BATCHDEVICEMODEL_H

#include "batchresult.h"
#include "gui_global.h"
#include "rolloutplan.h"

#include <QAbstractTableModel>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class BatchPackage;
class OperationResult;
class OperationRun;
}
namespace Designer {

class BatchDeviceModelPrivate;
class BatchLine;

// The devices of the batch window, one line each (two devices with one serial number are
// two lines, told apart by port), and the runs of one package on them. Every identified
// device is listed with whether the package fits it; start() runs the package on every
// ticked device, each on its own device link, at once or in the stages of the rules
// (RolloutPlan), and each line follows its device's progress, speed and time left, its
// result, and its restart and return. In production mode every fitting device plugged in
// later that has not had the package gets it, a failed or lost one plugged in again too.
// A line stays while its device is gone if it took part in a run. Another package starts
// fresh lines.
class GUI_EXPORT BatchDeviceModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        DeviceColumn, // the device's name, and the tick
        SerialColumn,
        SlotColumn, // the USB slot's name, else the port
        ModelColumn,
        SoftwareColumn,
        FitColumn,
        ProgressColumn,
        SpeedColumn,
        TimeLeftColumn,
        StatusColumn,
        ColumnCount
    };
    enum Phase {
        Idle,       // not in a run (perhaps with the result of an earlier one)
        Waiting,    // to start once its link is free
        Running,    // the operation runs on its link
        Restarting, // done; waiting for the device to be back from its restart
        Ended
    };
    // The progress column's value for its delegate: percent, or -1 for none.
    static constexpr int ProgressRole = Qt::UserRole + 1;

    explicit BatchDeviceModel(QObject* parent = nullptr);
    ~BatchDeviceModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The package of the next runs (not owned; it outlives the model's use of it). The
    // results of earlier runs go, every line is judged again and the fitting ones are ticked.
    void setPackage(const Runtime::BatchPackage* package);
    // Tells whether a device is busy elsewhere (a window of its row is open); the port tells
    // twins apart.
    void setBusyCheck(const std::function<bool(const QString& serial, const QString& port)>& check);
    // Asks the busy check again for every line.
    void refreshBusy();

    QString serialAt(int row) const;
    QString portAt(int row) const;
    Common::BatchResult resultAt(int row) const;
    // The first line of a serial number (a twin has a line of its own: see the row functions).
    int rowOf(const QString& serial) const;
    Phase phase(const QString& serial) const;
    bool isTicked(const QString& serial) const;
    void setTicked(const QString& serial, bool ticked);
    // The package fits, the device is here, not busy and not in a run: it may be ticked.
    bool isTickable(const QString& serial) const;
    Common::BatchResult result(const QString& serial) const;
    // The lines with a result, in the list's order: one CSV line each.
    QList<Common::BatchResult> results() const;

    // The ticked devices that start() will run the package on: serial numbers, the devices
    // as questions name them, and their records.
    QStringList startable() const;
    QStringList startableDevices() const;
    QList<QMap<QString, QString>> startableInformation() const;
    // Ticks the lines that failed or were skipped and can take the package now, and no other.
    int tickFailed();
    bool hasFailed() const;
    // How the next start goes in stages; the stage of the current one.
    void setRules(const Runtime::RolloutPlan::Rules& rules);
    Runtime::RolloutPlan::Rules rules() const;
    QString stageText() const;
    // Lines of a started run still wait for their turn or run.
    bool isStaging() const;
    // Starts the package on every ticked device, in stages when there are rules; the devices
    // that do not fit or are busy are skipped. With failedOnly, the lines that ended well are
    // left as they are. Returns how many were started or wait for their turn.
    int start(bool failedOnly = false);
    // A line waits, runs or waits for its device to come back.
    bool isActive() const;
    // Lines still sending their files (their transfer could be abandoned).
    QStringList transferring() const;
    // Cancels what has not started; returns how many.
    int cancelWaiting();
    // Abandons the transfers still running; the devices restart with what they had.
    int abandonTransfers();
    // The runs of the lines that run or wait for their device's return.
    QList<Runtime::OperationRun*> runs() const;
    // Stops every running line safely (see OperationRun::stopSafely).
    void stopSafely();

    // From now on every device plugged in that fits and has not had the package gets it.
    void setProductionMode(bool on);
    bool isProductionMode() const;

    int count(Common::BatchResult::Outcome outcome) const;
    // "Done: 3  Failed: 1  Skipped: 2"
    QString countsText() const;

    static QString speedText(double bytesPerSecond);
    static QString timeLeftText(double seconds);

signals:
    // A run started or ended somewhere, or a count changed.
    void runChanged();

private:
    void onDeviceConnected(const QMap<QString, QString>& info);
    void onDeviceDisconnected(const QMap<QString, QString>& info);
    BatchLine* line(const QString& serial) const;
    BatchLine* lineById(int id) const;
    // The line of the device at port, else one of its serial number that is (not) present.
    BatchLine* lineOf(const QString& serial, const QString& port, bool present) const;
    bool isTickable(const BatchLine* line) const;
    static bool isRetryable(const BatchLine* line);
    // Starts and skips what the staged run's plan says now.
    void advance();
    BatchLine* addLine(const QMap<QString, QString>& info);
    void judge(BatchLine* line);
    void judgeBusy(BatchLine* line);
    void startLine(BatchLine* line);
    void onRunEnded(BatchLine* line, const Runtime::OperationResult& result);
    void finish(BatchLine* line, Common::BatchResult::Outcome outcome, const QString& reason);
    void retryWaiting();
    void refreshRunning();
    void changed(BatchLine* line, int first = 0, int last = ColumnCount - 1);

    BatchDeviceModelPrivate* d;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // BATCHDEVICEMODEL_H
