#include "datalogseries.h"
#include "datalogseries_p.h"

#include "datalogexporter.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <algorithm>
#include <iterator>
#include <cmath>
#include <numeric>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

constexpr qint64 SecondMs = 1000;
constexpr qint64 MinuteMs = 60 * SecondMs;
constexpr qint64 HourMs = 60 * MinuteMs;
constexpr qint64 DayMs = 24 * HourMs;
// Numbers from here on are epoch milliseconds (in seconds they would be past the year 5000).
constexpr double MillisecondsFrom = 1e11;
// The first rows that decide how the log holds its times.
constexpr int SampleRows = 64;

// The digit groups of a text and the character before each ("2026-01-01 08:00" gives
// 2026, '-' 01, '-' 01, ' ' 08, ':' 00).
struct DigitGroups {
    static constexpr int Max = 8;
    int count = 0;
    qint64 value[Max] = {};
    int length[Max] = {};
    char16_t separator[Max] = {};
};

bool splitDigits(QStringView text, DigitGroups* groups)
{
    char16_t separator = 0;
    bool inGroup = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') {
            if (!inGroup) {
                if (groups->count == DigitGroups::Max)
                    return true; // the rest (a zone offset) is not read
                groups->separator[groups->count] = separator;
                ++groups->count;
                inGroup = true;
            }
            const int i = groups->count - 1;
            if (++groups->length[i] > 9)
                return false;
            groups->value[i] = groups->value[i] * 10 + (u - u'0');
        } else {
            inGroup = false;
            separator = u;
        }
    }
    return groups->count > 0;
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
qint64 daysFromCivil(qint64 y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool validDate(qint64 y, qint64 m, qint64 d)
{
    static const int days[] = { 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > days[m - 1])
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m != 2 || d <= 28 || leap;
}

// Hours, minutes, optional seconds and fraction from group `first` on; no groups is midnight.
bool timeFromGroups(const DigitGroups& g, int first, bool dateBefore, qint64* ms)
{
    const int n = g.count - first;
    if (n <= 0) {
        *ms = 0;
        return dateBefore;
    }
    if (n < 2 || g.length[first] > 2 || g.length[first + 1] != 2 || g.separator[first + 1] != u':')
        return false;
    const qint64 hours = g.value[first];
    const qint64 minutes = g.value[first + 1];
    qint64 seconds = 0;
    qint64 fraction = 0;
    if (n >= 3 && g.separator[first + 2] == u':') {
        if (g.length[first + 2] != 2)
            return false;
        seconds = g.value[first + 2];
        if (n >= 4 && (g.separator[first + 3] == u'.' || g.separator[first + 3] == u',')) {
            qint64 scale = 1;
            for (int i = 0; i < g.length[first + 3]; ++i)
                scale *= 10;
            fraction = g.value[first + 3] * 1000 / scale;
        }
    }
    if (hours > 23 || minutes > 59 || seconds > 60)
        return false;
    *ms = hours * HourMs + minutes * MinuteMs + std::min<qint64>(seconds, 59) * SecondMs + fraction;
    return true;
}

// How a text looks, before the day and month order of "01/02/2026" is settled.
enum TextShape { NoShape, YearFirstShape, YearLastShape, TimeOfDayShape };

TextShape shapeOf(const DigitGroups& g)
{
    if (g.count >= 3 && g.length[0] == 4 && g.separator[1] == g.separator[2] && g.separator[1] != u':')
        return YearFirstShape;
    if (g.count >= 3 && g.length[0] <= 2 && g.length[1] <= 2 && g.length[2] == 4 && g.separator[1] == g.separator[2]
        && g.separator[1] != u':')
        return YearLastShape;
    if (g.count >= 2 && g.count <= 4 && g.separator[1] == u':')
        return TimeOfDayShape;
    return NoShape;
}

bool parseTextTime(QStringView text, DataLogSeriesData::DateOrder order, qint64* ms)
{
    DigitGroups g;
    if (!splitDigits(text, &g))
        return false;
    qint64 year = 0;
    qint64 month = 0;
    qint64 day = 0;
    switch (order) {
    case DataLogSeriesData::NoDate:
        return shapeOf(g) == TimeOfDayShape && timeFromGroups(g, 0, false, ms);
    case DataLogSeriesData::YearMonthDay:
        if (shapeOf(g) != YearFirstShape)
            return false;
        year = g.value[0], month = g.value[1], day = g.value[2];
        break;
    case DataLogSeriesData::DayMonthYear:
    case DataLogSeriesData::MonthDayYear:
        if (shapeOf(g) != YearLastShape)
            return false;
        year = g.value[2];
        month = order == DataLogSeriesData::DayMonthYear ? g.value[1] : g.value[0];
        day = order == DataLogSeriesData::DayMonthYear ? g.value[0] : g.value[1];
        break;
    }
    qint64 timeOfDay = 0;
    if (!validDate(year, month, day) || !timeFromGroups(g, 3, true, &timeOfDay))
        return false;
    *ms = daysFromCivil(year, int(month), int(day)) * DayMs + timeOfDay;
    return true;
}

bool parseNumber(const QVariant& value, double* number)
{
    if (value.isNull())
        return false;
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        *number = value.toDouble(&ok);
        break;
    case QMetaType::QString: {
        const QString text = value.toString();
        *number = text.toDouble(&ok);
        // A device set up for a decimal comma writes "12,5".
        if (!ok && text.count(QLatin1Char(',')) == 1 && !text.contains(QLatin1Char('.')))
            *number = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        break;
    }
    default:
        *number = value.toDouble(&ok);
        break;
    }
    return ok && std::isfinite(*number);
}

struct Layout {
    DataLogSeries::TimeFormat format = DataLogSeries::UnknownTime;
    DataLogSeriesData::DateOrder order = DataLogSeriesData::NoDate;
};

// The layout most samples have; a tie goes to the one seen first.
Layout detectLayout(const QVariantList& samples)
{
    enum Kind { Seconds, Milliseconds, YearFirst, YearLast, TimeOfDay, KindCount };
    int counts[KindCount] = {};
    int firstSeen[KindCount];
    std::fill(std::begin(firstSeen), std::end(firstSeen), std::numeric_limits<int>::max());
    bool dayFirstSeen = false;
    bool monthFirstSeen = false;
    for (int i = 0; i < samples.size(); ++i) {
        const QVariant& sample = samples.at(i);
        double number = 0;
        int kind = KindCount;
        if (parseNumber(sample, &number)) {
            kind = std::fabs(number) >= MillisecondsFrom ? Milliseconds : Seconds;
        } else if (!sample.isNull()) {
            DigitGroups g;
            if (splitDigits(sample.toString(), &g)) {
                switch (shapeOf(g)) {
                case YearFirstShape: kind = YearFirst; break;
                case YearLastShape:
                    kind = YearLast;
                    dayFirstSeen = dayFirstSeen || g.value[0] > 12;
                    monthFirstSeen = monthFirstSeen || g.value[1] > 12;
                    break;
                case TimeOfDayShape: kind = TimeOfDay; break;
                case NoShape: break;
                }
            }
        }
        if (kind == KindCount)
            continue;
        ++counts[kind];
        firstSeen[kind] = std::min(firstSeen[kind], i);
    }
    int best = KindCount;
    for (int kind = 0; kind < KindCount; ++kind) {
        if (counts[kind] > 0
            && (best == KindCount || counts[kind] > counts[best] || (counts[kind] == counts[best] && firstSeen[kind] < firstSeen[best])))
            best = kind;
    }
    switch (best) {
    case Seconds: return { DataLogSeries::EpochSeconds, DataLogSeriesData::NoDate };
    case Milliseconds: return { DataLogSeries::EpochMilliseconds, DataLogSeriesData::NoDate };
    case YearFirst: return { DataLogSeries::TextDateTime, DataLogSeriesData::YearMonthDay };
    case YearLast:
        // "01/02/2026" reads day first unless some row can only be month first.
        return { DataLogSeries::TextDateTime,
                 monthFirstSeen && !dayFirstSeen ? DataLogSeriesData::MonthDayYear : DataLogSeriesData::DayMonthYear };
    case TimeOfDay: return { DataLogSeries::TextTimeOfDay, DataLogSeriesData::NoDate };
    default: return {};
    }
}

// Epoch times as the computer's wall clock; the zone's offset is looked up once per quarter of an hour.
class WallClock
{
public:
    qint64 fromUtc(qint64 ms)
    {
        const qint64 bucket = ms >= 0 ? ms / QuarterMs : (ms - QuarterMs + 1) / QuarterMs;
        if (bucket != m_bucket) {
            m_bucket = bucket;
            m_offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(bucket * QuarterMs).offsetFromUtc()) * SecondMs;
        }
        return ms + m_offsetMs;
    }

private:
    static constexpr qint64 QuarterMs = 15 * MinuteMs;
    qint64 m_bucket = std::numeric_limits<qint64>::min();
    qint64 m_offsetMs = 0;
};

// Turns rows into points: the first rows are held back until they tell the time layout.
class SeriesBuilder
{
public:
    explicit SeriesBuilder(DataLogSeriesData* data)
        : d(data)
    {
    }

    void add(const QVariant& time, const QVariant& value)
    {
        ++d->rows;
        if (m_detected) {
            addPoint(time, value);
            return;
        }
        m_pending.append(qMakePair(time, value));
        if (m_pending.size() >= SampleRows)
            detect();
    }

    void finish()
    {
        if (!m_detected)
            detect();
        if (!m_sorted) {
            // Rows written out of order (a clock set back) are drawn in time order.
            std::vector<int> order(d->times.size());
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(), [this](int a, int b) { return d->times.at(a) < d->times.at(b); });
            QVector<qint64> times(d->times.size());
            QVector<double> values(d->values.size());
            for (int i = 0; i < int(order.size()); ++i) {
                times[i] = d->times.at(order[i]);
                values[i] = d->values.at(order[i]);
            }
            d->times.swap(times);
            d->values.swap(values);
        }
        if (!d->values.isEmpty()) {
            const auto [low, high] = std::minmax_element(d->values.cbegin(), d->values.cend());
            d->minimum = *low;
            d->maximum = *high;
        }
    }

private:
    void detect()
    {
        QVariantList samples;
        samples.reserve(m_pending.size());
        for (const auto& row : std::as_const(m_pending))
            samples << row.first;
        const Layout layout = detectLayout(samples);
        d->format = layout.format;
        d->dateOrder = layout.order;
        m_detected = true;
        for (const auto& row : std::as_const(m_pending))
            addPoint(row.first, row.second);
        m_pending.clear();
    }

    bool readTime(const QVariant& time, qint64* ms)
    {
        double number = 0;
        switch (d->format) {
        case DataLogSeries::UnknownTime:
            return false;
        case DataLogSeries::EpochSeconds:
        case DataLogSeries::EpochMilliseconds:
            if (!parseNumber(time, &number))
                return false;
            number = d->format == DataLogSeries::EpochSeconds ? number * 1000.0 : number;
            if (std::fabs(number) > 1e15) // beyond the year 30000
                return false;
            *ms = m_clock.fromUtc(qint64(std::llround(number)));
            return true;
        case DataLogSeries::TextDateTime:
            return time.typeId() == QMetaType::QString && parseTextTime(time.toString(), d->dateOrder, ms);
        case DataLogSeries::TextTimeOfDay:
            if (time.typeId() != QMetaType::QString || !parseTextTime(time.toString(), DataLogSeriesData::NoDate, ms))
                return false;
            // A log of times of day that runs past midnight goes on into the next day.
            if (!d->times.isEmpty() && *ms + m_dayShift < d->times.constLast() - DayMs / 2)
                m_dayShift += DayMs;
            *ms += m_dayShift;
            return true;
        }
        return false;
    }

    void addPoint(const QVariant& time, const QVariant& value)
    {
        qint64 ms = 0;
        double number = 0;
        if (!parseNumber(value, &number) || !readTime(time, &ms)) {
            ++d->skipped;
            return;
        }
        if (!d->times.isEmpty() && ms < d->times.constLast())
            m_sorted = false;
        d->times.append(ms);
        d->values.append(number);
    }

    DataLogSeriesData* d;
    QList<QPair<QVariant, QVariant>> m_pending;
    bool m_detected = false;
    bool m_sorted = true;
    qint64 m_dayShift = 0;
    WallClock m_clock;
};

// Reads the first two columns of a log, row by row, as the export does.
void readRows(const QSqlDatabase& db, const QString& log, const std::atomic_bool* cancel, DataLogSeriesData* data)
{
    const QString table = DataLogExporter::quotedIdentifier(log);
    QStringList columns;
    {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(table))) {
            data->error = probe.lastError().text();
            return;
        }
        const QSqlRecord record = probe.record();
        for (int i = 0; i < std::min(2, record.count()); ++i)
            columns << DataLogExporter::quotedIdentifier(record.fieldName(i));
    }
    if (columns.isEmpty())
        return;
    // Only the two columns drawn: a wide log would convert every field of every row.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QLatin1Char(',')), table))) {
        data->error = query.lastError().text();
        return;
    }
    SeriesBuilder builder(data);
    const bool hasValue = columns.size() > 1;
    while (query.next()) {
        if ((data->rows & 0xfff) == 0 && cancel && cancel->load()) {
            data->cancelled = true;
            break;
        }
        builder.add(query.value(0), hasValue ? query.value(1) : QVariant());
    }
    if (!data->cancelled && query.lastError().isValid())
        data->error = query.lastError().text();
    builder.finish();
}

} // namespace

DataLogSeries::DataLogSeries()
    : d(new DataLogSeriesData)
{
}

DataLogSeries::DataLogSeries(const QString& name)
    : d(new DataLogSeriesData)
{
    d->name = name;
}

DataLogSeries::DataLogSeries(const DataLogSeries& other) = default;
DataLogSeries& DataLogSeries::operator=(const DataLogSeries& other) = default;
DataLogSeries::~DataLogSeries() = default;

DataLogSeries DataLogSeries::read(const QString& databasePath, const QString& log, const std::atomic_bool* cancel)
{
    DataLogSeries series(log);
    DataLogSeriesData* data = series.d.data();
    const QString connection = QStringLiteral("DataLogSeries-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(databasePath);
        // The chart only looks; the database may be sent back to the device later.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!QFileInfo(databasePath).isFile())
            data->error = QStringLiteral("No database at %1").arg(databasePath);
        else if (!db.open())
            data->error = db.lastError().text();
        else
            readRows(db, log, cancel, data);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return series;
}

DataLogSeries DataLogSeries::fromRows(const QString& name, const QList<QPair<QVariant, QVariant>>& rows)
{
    DataLogSeries series(name);
    SeriesBuilder builder(series.d.data());
    for (const auto& row : rows)
        builder.add(row.first, row.second);
    builder.finish();
    return series;
}

QString DataLogSeries::name() const { return d->name; }
DataLogSeries::TimeFormat DataLogSeries::timeFormat() const { return d->format; }
QString DataLogSeries::error() const { return d->error; }
bool DataLogSeries::wasCancelled() const { return d->cancelled; }
qint64 DataLogSeries::rowCount() const { return d->rows; }
qint64 DataLogSeries::skippedRows() const { return d->skipped; }
int DataLogSeries::count() const { return int(d->times.size()); }
const QVector<qint64>& DataLogSeries::times() const { return d->times; }
const QVector<double>& DataLogSeries::values() const { return d->values; }
double DataLogSeries::minimum() const { return d->minimum; }
double DataLogSeries::maximum() const { return d->maximum; }

QList<QPointF> DataLogSeries::decimated(double from, double to, int columns) const
{
    QList<QPointF> points;
    const QVector<qint64>& times = d->times;
    const QVector<double>& values = d->values;
    if (times.isEmpty() || !(to >= from))
        return points;
    columns = std::max(1, columns);
    const auto timeBefore = [](qint64 time, double limit) { return double(time) < limit; };
    const int first = int(std::lower_bound(times.cbegin(), times.cend(), from, timeBefore) - times.cbegin());
    const int last = int(std::upper_bound(times.cbegin(), times.cend(), to, [](double limit, qint64 time) { return limit < double(time); })
                         - times.cbegin());
    const int begin = std::max(0, first - 1);
    const int end = std::min(int(times.size()), last + 1);
    const auto point = [&](int i) { return QPointF(double(times.at(i)), values.at(i)); };
    if (end - begin <= 4 * columns) {
        points.reserve(end - begin);
        for (int i = begin; i < end; ++i)
            points << point(i);
        return points;
    }

    points.reserve(4 * columns + 2);
    if (begin < first)
        points << point(begin);
    const double width = (to - from) / columns;
    const auto columnOf = [&](int i) { return std::min(columns - 1, int((double(times.at(i)) - from) / width)); };
    int i = first;
    while (i < last) {
        const int column = columnOf(i);
        int low = i;
        int high = i;
        int j = i + 1;
        for (; j < last && columnOf(j) == column; ++j) {
            if (values.at(j) < values.at(low))
                low = j;
            if (values.at(j) > values.at(high))
                high = j;
        }
        const int picks[4] = { i, std::min(low, high), std::max(low, high), j - 1 };
        for (int k = 0; k < 4; ++k) {
            if (k == 0 || picks[k] != picks[k - 1])
                points << point(picks[k]);
        }
        i = j;
    }
    if (last < end)
        points << point(last);
    return points;
}

int DataLogSeries::indexNear(double time) const
{
    const QVector<qint64>& times = d->times;
    if (times.isEmpty())
        return -1;
    const auto it = std::lower_bound(times.cbegin(), times.cend(), time, [](qint64 t, double limit) { return double(t) < limit; });
    const int after = int(it - times.cbegin());
    if (after == 0)
        return 0;
    if (after == times.size())
        return after - 1;
    return time - double(times.at(after - 1)) <= double(times.at(after)) - time ? after - 1 : after;
}

QString DataLogSeries::timeText(qint64 time) const
{
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(time, Qt::UTC);
    const bool milliseconds = time % SecondMs != 0;
    if (d->format == TextTimeOfDay && time < DayMs)
        return moment.toString(milliseconds ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
    return moment.toString(milliseconds ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

double DataLogSeries::valueStep(double from, double to, int maxTicks)
{
    const double range = std::fabs(to - from);
    if (!std::isfinite(range) || range <= 0)
        return 1;
    const double rough = range / std::max(1, maxTicks - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : { 1.0, 2.0, 2.5, 5.0 }) {
        // A hair's tolerance: 0.3 / 3 must give 0.1, not 0.2.
        if (factor * power >= rough * (1 - 1e-9))
            return factor * power;
    }
    return 10 * power;
}

QList<QPair<double, QString>> DataLogSeries::timeTicks(double from, double to, int maxTicks)
{
    QList<QPair<double, QString>> ticks;
    if (!(to > from))
        return ticks;
    maxTicks = std::max(2, maxTicks);
    struct Step {
        qint64 ms;
        int months;
    };
    static const Step steps[] = {
        { 100, 0 }, { 200, 0 }, { 500, 0 },
        { SecondMs, 0 }, { 2 * SecondMs, 0 }, { 5 * SecondMs, 0 }, { 10 * SecondMs, 0 }, { 15 * SecondMs, 0 }, { 30 * SecondMs, 0 },
        { MinuteMs, 0 }, { 2 * MinuteMs, 0 }, { 5 * MinuteMs, 0 }, { 10 * MinuteMs, 0 }, { 15 * MinuteMs, 0 }, { 30 * MinuteMs, 0 },
        { HourMs, 0 }, { 2 * HourMs, 0 }, { 3 * HourMs, 0 }, { 6 * HourMs, 0 }, { 12 * HourMs, 0 },
        { DayMs, 0 }, { 2 * DayMs, 0 }, { 7 * DayMs, 0 },
        { 0, 1 }, { 0, 2 }, { 0, 3 }, { 0, 6 }, { 0, 12 }, { 0, 24 }, { 0, 60 }, { 0, 120 }, { 0, 240 }, { 0, 600 }, { 0, 1200 },
    };
    const double span = to - from;
    Step step = steps[std::size(steps) - 1];
    for (const Step& candidate : steps) {
        const double length = candidate.ms ? double(candidate.ms) : candidate.months * 30.44 * DayMs;
        if (span / length <= maxTicks) {
            step = candidate;
            break;
        }
    }

    QList<qint64> marks;
    if (step.ms) {
        // Weeks start on Mondays (1970-01-05); shorter steps count from midnight.
        const qint64 anchor = step.ms == 7 * DayMs ? 4 * DayMs : 0;
        qint64 mark = qint64(std::ceil((from - anchor) / double(step.ms))) * step.ms + anchor;
        for (; double(mark) <= to; mark += step.ms)
            marks << mark;
    } else {
        const QDate start = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(from)), Qt::UTC).date();
        qint64 month = qint64(start.year()) * 12 + (start.month() - 1);
        month = (month + step.months - 1) / step.months * step.months;
        for (;; month += step.months) {
            const qint64 mark = daysFromCivil(month / 12, int(month % 12) + 1, 1) * DayMs;
            if (double(mark) > to || marks.size() > 1000)
                break;
            if (double(mark) >= from)
                marks << mark;
        }
    }
    if (marks.isEmpty())
        return ticks;

    const auto dateOf = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC); };
    const bool severalDays = marks.constLast() - marks.constFirst() >= DayMs
        || dateOf(marks.constFirst()).date() != dateOf(marks.constLast()).date();
    const bool severalYears = dateOf(marks.constFirst()).date().year() != dateOf(marks.constLast()).date().year();
    QString format;
    if (step.months >= 12)
        format = QStringLiteral("yyyy");
    else if (step.months)
        format = QStringLiteral("MMM yyyy");
    else if (step.ms >= DayMs)
        format = severalYears ? QStringLiteral("d MMM yyyy") : QStringLiteral("d MMM");
    else if (step.ms < SecondMs)
        format = QStringLiteral("HH:mm:ss.zzz");
    else if (step.ms < MinuteMs)
        format = QStringLiteral("HH:mm:ss");
    else
        format = QStringLiteral("HH:mm");
    // Within a day a time is enough; over several days midnight shows the date and the
    // other marks carry it too, so that no two marks read alike.
    const QString dateFormat = severalYears ? QStringLiteral("d MMM yyyy") : QStringLiteral("d MMM");
    const QLocale locale;
    QSet<QString> seen;
    for (const qint64 mark : std::as_const(marks)) {
        QString label;
        if (step.ms && step.ms < DayMs && severalDays)
            label = mark % DayMs == 0 ? locale.toString(dateOf(mark), dateFormat)
                                      : locale.toString(dateOf(mark), dateFormat + QLatin1Char(' ') + format);
        else
            label = locale.toString(dateOf(mark), format);
        if (!seen.contains(label)) {
            seen.insert(label);
            ticks << qMakePair(double(mark), label);
        }
    }
    return ticks;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
