#include "samplering.h"

#include <algorithm>

void SampleRing::append(const LinkSample& sample)
{
    if (m_count == int(m_store.size()) && int(m_store.size()) < m_capacity) {
        // Full but allowed to grow: lay the ring out flat, then extend it.
        std::rotate(m_store.begin(), m_store.begin() + m_head, m_store.end());
        m_head = 0;
        m_store.push_back(sample);
        ++m_count;
        return;
    }
    if (m_count == int(m_store.size())) {
        m_store[size_t(m_head)] = sample;
        m_head = (m_head + 1) % int(m_store.size());
        return;
    }
    m_store[size_t((m_head + m_count) % int(m_store.size()))] = sample;
    ++m_count;
}

void SampleRing::dropBefore(qint64 ms)
{
    while (m_count > 0 && m_store[size_t(m_head)].ms < ms) {
        m_head = (m_head + 1) % int(m_store.size());
        --m_count;
    }
}

int SampleRing::lowerBound(qint64 ms) const
{
    int low = 0;
    int high = m_count;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (at(mid).ms < ms)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}
