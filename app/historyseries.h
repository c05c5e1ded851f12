#pragma once
// The quantities the history plots and exports, taken out of link samples, and the thinning
// that keeps a long plot cheap to draw.

#include "linksample.h"

#include <QPointF>
#include <QString>
#include <QVector>

namespace historyseries {

enum Quantity { Rssi, Received, Errors, Lost, Sent, Temp1, Temp2, TxPower, QuantityCount };

double value(const LinkSample& s, Quantity q);
// Column names of the CSV export, one per quantity.
QString columnName(Quantity q);

// (time in ms, value) of one quantity, skipping unknown values.
QVector<QPointF> points(const QVector<LinkSample>& samples, Quantity q);

// At most about 2 × `buckets` points that keep each bucket's lowest and highest value in time
// order, so spikes survive; fewer points than that are returned unchanged.
QVector<QPointF> thin(const QVector<QPointF>& points, int buckets);

// The samples as CSV: a header line, then one line per sample with UTC time in ISO form and
// the quantities; unknown values are empty fields.
QByteArray toCsv(const QVector<LinkSample>& samples);

} // namespace historyseries
