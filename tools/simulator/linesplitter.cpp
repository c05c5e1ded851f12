#include "linesplitter.h"

#include <cstring>

LineSplitter::LineSplitter(int maxLength)
    : m_maxLength(maxLength)
{
}

QVector<LineSplitter::Piece> LineSplitter::feed(const char* data, int size)
{
    QVector<Piece> pieces;
    int start = 0;
    while (start < size) {
        const char* newline = static_cast<const char*>(std::memchr(data + start, '\n', size_t(size - start)));
        const int end = newline ? int(newline - data) : size;
        if (!m_dropping) {
            m_pending.append(data + start, end - start);
            if (m_pending.size() > m_maxLength) {
                pieces.append({Kind::TooLong, {}});
                m_pending.clear();
                m_dropping = true;
            }
        }
        if (!newline)
            break;
        if (m_dropping)
            m_dropping = false;
        else if (m_pending.contains('\0'))
            pieces.append({Kind::HasNul, {}});
        else
            pieces.append({Kind::Line, m_pending});
        m_pending.clear();
        start = end + 1;
    }
    return pieces;
}
