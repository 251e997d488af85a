#ifndef DATALOGSERIES_P_H
#define DATALOGSERIES_P_H

#include "datalogseries.h"

#include <QSharedData>

#include <limits>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Data of DataLogSeries, shared between copies: a read log travels from the reading
// thread to the window without copying its points. Internal to the library.
class DataLogSeriesData : public QSharedData
{
public:
    // Which field a text date holds first.
    enum DateOrder { NoDate, YearMonthDay, DayMonthYear, MonthDayYear };

    QString name;
    DataLogSeries::TimeFormat format = DataLogSeries::UnknownTime;
    DateOrder dateOrder = NoDate;
    QString error;
    bool cancelled = false;
    qint64 rows = 0;
    qint64 skipped = 0;
    QVector<qint64> times;
    QVector<double> values;
    double minimum = std::numeric_limits<double>::quiet_NaN();
    double maximum = std::numeric_limits<double>::quiet_NaN();
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // DATALOGSERIES_P_H
