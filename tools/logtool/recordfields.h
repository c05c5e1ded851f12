#pragma once
// Named fields of a control frame's payload, decoded with the station's record codecs.
// The names are the column names of zarnik-log and the field names of the Wireshark dissector.

#include <QByteArray>
#include <QVector>

struct RecordField {
    enum Kind { Number, Text, NumberList, TextList }; // list items are joined by ','
    const char* name = nullptr;
    Kind kind = Number;
    int begin = 0; // the value's bytes in RecordFields::values()
    int length = 0;
};

class RecordFields {
public:
    // Fields of the payload; none when it is shorter than its record or the opcode is unknown.
    void decode(quint16 opcode, const QByteArray& payload);

    const QVector<RecordField>& fields() const { return m_fields; }
    const char* value(const RecordField& field) const { return m_values.constData() + field.begin; }
    QByteArray valueBytes(const RecordField& field) const { return m_values.mid(field.begin, field.length); }
    // The value of the first field with this name; empty when there is none.
    QByteArray find(const char* name) const;

    void clear();
    void number(const char* name, qint64 value);
    void unsignedNumber(const char* name, quint64 value);
    void hexNumber(const char* name, quint64 value, int digits);
    void text(const char* name, const QByteArray& value);
    void ipv4(const char* name, quint32 hostOrder);
    // Lists: open one, then add items.
    void list(const char* name, RecordField::Kind kind);
    void item(quint64 value);
    void itemIpv4(quint32 hostOrder);

private:
    void begin(const char* name, RecordField::Kind kind);
    void end();
    void appendUnsigned(quint64 value);
    void appendIpv4(quint32 hostOrder);

    QVector<RecordField> m_fields;
    QByteArray m_values;
};
