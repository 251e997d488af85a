// bench_datalogexport: writes a data log of 100 000 rows (time, value, note) and times
//  1. DataLogExporter::exportLog alone (best and median of 5 runs), and
//  2. the same export through LogSelectionDialog's "Download", offscreen, with the longest
//     pause of a 10 ms timer during it: how long the window could not repaint.
// Goal: under 2 s for the export; the window keeps painting while it runs.
// "bench_datalogexport ROWS" uses another row count.
#include "datalogexporter.h"
#include "logselectiondialog.h"
#include "messagebox.h"
#include "txlistwidget.h"
#include "txpathedit.h"
#include "ziphelper.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using Orvane::Tavrix::Common::DataLogExporter;
using Orvane::Tavrix::Common::ZipHelper;
using Orvane::Tavrix::Designer::LogSelectionDialog;
using Orvane::Tavrix::Designer::MessageBox;

namespace {

const QString LogName = QStringLiteral("Tank Level");

bool makeDatabase(const QString& path, int rows)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(QStringLiteral("CREATE TABLE \"Tank Level\" (time TEXT, value REAL, note TEXT)"));
        db.transaction();
        ok = ok && query.prepare(QStringLiteral("INSERT INTO \"Tank Level\" VALUES (?, ?, ?)"));
        for (int i = 0; ok && i < rows; ++i) {
            query.addBindValue(QStringLiteral("2026-12-08 %1:%2:%3").arg(i / 3600 % 24, 2, 10, QLatin1Char('0'))
                                   .arg(i / 60 % 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0')));
            query.addBindValue(1000.0 + i * 0.125);
            query.addBindValue(QStringLiteral("sensor %1").arg(i % 7));
            ok = query.exec();
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    const QString logFolder = dir.filePath(QStringLiteral("log"));
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(source);
    QDir().mkpath(logFolder);
    QDir().mkpath(out);
    const QString database = source + QStringLiteral("/dataLogging.txdb");
    if (!makeDatabase(database, rows)
        || !ZipHelper::zipWithFiles({ database }, logFolder + QStringLiteral("/dataLogging.txdb.zip"))) {
        std::fprintf(stderr, "could not build the test data log\n");
        return 1;
    }
    std::printf("data log: %d rows, database %lld bytes\n", rows, QFileInfo(database).size());

    QList<qint64> times;
    for (int run = 0; run < 5; ++run) {
        DataLogExporter exporter(database);
        QElapsedTimer clock;
        clock.start();
        if (exporter.exportLog(LogName, out, true) != DataLogExporter::Exported) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(exporter.lastError()));
            return 1;
        }
        times << clock.elapsed();
    }
    std::sort(times.begin(), times.end());
    const qint64 fileSize = QFileInfo(out + QStringLiteral("/Tank Level.txt")).size();
    std::printf("exportLog alone: best %lld ms, median %lld ms (file %lld bytes)\n", times.first(), times.at(2), fileSize);

    // Through the dialog: "Download", then "Keep files" on the delete question.
    QFile::remove(out + QStringLiteral("/Tank Level.txt"));
    LogSelectionDialog dialog(logFolder);
    dialog.show();
    dialog.destinationEdit()->setText(out);
    dialog.logList()->item(0)->setSelected(true);
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&answer]() {
        if (auto* box = qobject_cast<MessageBox*>(QApplication::activeModalWidget())) {
            answer.stop();
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    qint64 longestPause = 0;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&]() {
        longestPause = std::max(longestPause, sinceTick.restart());
    });
    QElapsedTimer clock;
    bool questionShown = false;
    QObject::connect(&answer, &QTimer::timeout, [&]() { questionShown = questionShown || QApplication::activeModalWidget(); });
    QTimer::singleShot(0, [&]() {
        answer.start();
        sinceTick.start();
        tick.start();
        clock.start();
        dialog.onCopyFiles();
        tick.stop();
        app.quit();
    });
    qint64 dialogMs = 0;
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&]() { dialogMs = clock.elapsed(); });
    app.exec();
    std::printf("through the dialog (including the delete question): %lld ms, longest pause of the window %lld ms, status \"%s\"\n",
                dialogMs, longestPause, qPrintable(dialog.statusLabel()->text()));
    const bool ok = times.at(2) < 2000;
    std::printf("%s: median export %s 2000 ms\n", ok ? "PASS" : "FAIL", ok ? "<" : ">=");
    return ok ? 0 : 1;
}
