#pragma once
// A bounded ring of link samples, oldest first; its storage grows only as samples come, so a
// modem heard once costs little.

#include "linksample.h"

#include <vector>

class SampleRing {
public:
    explicit SampleRing(int capacity = 0) : m_capacity(qMax(1, capacity)) {}

    // Adds the newest sample, pushing out the oldest when full.
    void append(const LinkSample& sample);
    // Drops samples older than `ms`.
    void dropBefore(qint64 ms);

    int size() const { return m_count; }
    int capacity() const { return m_capacity; }
    bool isEmpty() const { return m_count == 0; }
    // 0 is the oldest.
    const LinkSample& at(int i) const { return m_store[size_t((m_head + i) % int(m_store.size()))]; }
    LinkSample& newest() { return m_store[size_t((m_head + m_count - 1) % int(m_store.size()))]; }
    // Index of the first sample at or after `ms`.
    int lowerBound(qint64 ms) const;

private:
    std::vector<LinkSample> m_store;
    int m_capacity;
    int m_head = 0;
    int m_count = 0;
};
