#pragma once
// A queue of at most a fixed number of items between a producer that must never
// wait (the bus side) and a consumer that takes everything at once (a window's
// timer). A full queue drops the new item and counts it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

template <typename T>
class CBoundedQueue {
public:
    explicit CBoundedQueue(size_t capacity) : m_nCapacity(capacity) {}

    // false (and one more drop counted) when the queue is full.
    bool TryPush(T item)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_items.size() >= m_nCapacity) {
            ++m_nDropped;
            return false;
        }
        m_items.push_back(std::move(item));
        return true;
    }

    // Moves every queued item to the end of out, oldest first; returns how many.
    size_t DrainTo(std::vector<T>& out)
    {
        std::deque<T> taken;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            taken.swap(m_items);
        }
        for (T& item : taken)
            out.push_back(std::move(item));
        return taken.size();
    }

    size_t Size() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_items.size();
    }
    size_t Capacity() const { return m_nCapacity; }
    uint64_t Dropped() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_nDropped;
    }
    void ResetDropped()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_nDropped = 0;
    }

private:
    const size_t m_nCapacity;
    mutable std::mutex m_lock;
    std::deque<T> m_items;
    uint64_t m_nDropped = 0;
};
