#include "historyseries.h"

#include <QDateTime>
#include <cmath>

namespace historyseries {

double value(const LinkSample& s, Quantity q)
{
    switch (q) {
    case Rssi: return s.rssiDbm();
    case Received: return s.perSecond(s.received);
    case Errors: return s.perSecond(s.errors);
    case Lost: return s.perSecond(s.lost);
    case Sent: return s.perSecond(s.sent);
    case Temp1: return s.temp1();
    case Temp2: return s.temp2();
    case TxPower: return s.power();
    case QuantityCount: break;
    }
    return NAN;
}

QString columnName(Quantity q)
{
    static const char* const names[QuantityCount] = {"rssi_dbm", "received_per_s", "errors_per_s", "lost_per_s",
                                                     "sent_per_s", "temp1_c", "temp2_c", "tx_power_pct"};
    return QLatin1String(names[q]);
}

QVector<QPointF> points(const QVector<LinkSample>& samples, Quantity q)
{
    QVector<QPointF> out;
    out.reserve(samples.size());
    for (const LinkSample& s : samples) {
        const double v = value(s, q);
        if (!std::isnan(v))
            out.append(QPointF(double(s.ms), v));
    }
    return out;
}

QVector<QPointF> thin(const QVector<QPointF>& points, int buckets)
{
    if (buckets <= 0 || points.size() <= 2 * buckets)
        return points;
    QVector<QPointF> out;
    out.reserve(2 * buckets + 2);
    const double first = points.first().x();
    const double width = (points.last().x() - first) / buckets;
    int i = 0;
    while (i < points.size()) {
        const int bucket = width > 0 ? qMin(buckets - 1, int((points[i].x() - first) / width)) : 0;
        int low = i;
        int high = i;
        int j = i + 1;
        for (; j < points.size(); ++j) {
            if (width > 0 && qMin(buckets - 1, int((points[j].x() - first) / width)) != bucket)
                break;
            if (points[j].y() < points[low].y())
                low = j;
            if (points[j].y() > points[high].y())
                high = j;
        }
        out.append(points[qMin(low, high)]);
        if (low != high)
            out.append(points[qMax(low, high)]);
        i = j;
    }
    return out;
}

QByteArray toCsv(const QVector<LinkSample>& samples)
{
    QByteArray out = "time_utc,sync";
    for (int q = 0; q < QuantityCount; ++q)
        out += ',' + columnName(Quantity(q)).toLatin1();
    out += '\n';
    for (const LinkSample& s : samples) {
        out += QDateTime::fromMSecsSinceEpoch(s.ms, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
        out += s.sync ? ",1" : ",0";
        for (int q = 0; q < QuantityCount; ++q) {
            out += ',';
            const double v = value(s, Quantity(q));
            if (!std::isnan(v))
                out += QByteArray::number(v, 'f', 2);
        }
        out += '\n';
    }
    return out;
}

} // namespace historyseries
