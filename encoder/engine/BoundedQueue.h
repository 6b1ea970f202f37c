// A blocking queue of fixed capacity between two pipeline stages.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace quenlar::encoder {

// One producer closes the queue when it has nothing more; a stop request wakes both sides.
// A side that had to wait is woken once `batch` items (or places) are there, not for each one:
// a fast consumer would otherwise sleep and wake once an item. The mutex protects the items and
// the closed flag.
template <typename T>
class BoundedQueue {
public:
    BoundedQueue(std::size_t capacity, const std::atomic<bool>& stop, std::size_t batch = 1)
        : m_capacity(capacity), m_batch(std::clamp<std::size_t>(batch, 1, capacity)), m_stop(stop) {}

    // Blocks while full. False when the job is stopping; the item is then dropped.
    bool Push(T item)
    {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [&] { return m_items.size() < m_capacity || m_stop.load(); });
        if (m_stop.load())
            return false;
        m_items.push_back(std::move(item));
        if (m_items.size() >= m_batch)
            m_notEmpty.notify_one();
        return true;
    }

    // Blocks while empty. Nothing when the queue is closed and drained, or the job is stopping.
    std::optional<T> Pop()
    {
        std::unique_lock lock(m_mutex);
        if (m_items.empty())
            m_notEmpty.wait(lock, [&] { return m_items.size() >= m_batch || m_closed || m_stop.load(); });
        if (m_stop.load() || m_items.empty())
            return std::nullopt;
        T item = std::move(m_items.front());
        m_items.pop_front();
        if (m_items.size() + m_batch <= m_capacity)
            m_notFull.notify_one();
        return item;
    }

    void Close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_notEmpty.notify_all();
    }

    // Called after the stop flag was set, so that waiting threads see it.
    void WakeAll()
    {
        std::lock_guard lock(m_mutex);
        m_notEmpty.notify_all();
        m_notFull.notify_all();
    }

private:
    const std::size_t m_capacity;
    const std::size_t m_batch;
    const std::atomic<bool>& m_stop;
    std::mutex m_mutex;
    std::condition_variable m_notEmpty;
    std::condition_variable m_notFull;
    std::deque<T> m_items;
    bool m_closed = false;
};

}  // namespace quenlar::encoder
