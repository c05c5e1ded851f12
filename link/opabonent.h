#pragma once
// One modem heard on the control socket: where its status reports come from and the last one.
// A plain value, copied into the abonent-list signals (also across queued connections).

#include "protocol.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMetaType>

struct OpAbonent {
    QHostAddress address;
    quint16 port = 0;
    qint64 last_seen = 0; // ms since the epoch, UTC
    quint32 seqnum = 0;
    QByteArray status = QByteArray(protocol::kContStatusSize, '\0'); // last REP_CONT_STATUS payload
    quint8 updated = 0;
    quint8 delete_mark = 0;
};
Q_DECLARE_METATYPE(OpAbonent)
