#pragma once
// Cuts a byte stream (standard input, a pseudo-terminal) into lines, whatever way the reads split it.
// An overlong line is refused once and dropped up to its line end, so its tail never runs as a line.

#include <QByteArray>
#include <QVector>

class LineSplitter
{
public:
    enum class Kind {
        Line,    // a complete line, without its LF
        TooLong, // longer than the limit; everything up to its LF is dropped
        HasNul,  // held a NUL byte, which would silently cut it anywhere it is read as text
    };
    struct Piece {
        Kind kind;
        QByteArray line; // empty but for Kind::Line
    };

    explicit LineSplitter(int maxLength);

    QVector<Piece> feed(const char* data, int size);

private:
    int m_maxLength;
    QByteArray m_pending;
    bool m_dropping = false;
};
