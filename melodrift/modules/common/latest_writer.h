// Writing on a thread of its own, so that a module's window never waits for
// the disk: the window hands over what to write (made from a snapshot it took)
// and goes on. A hand-over not yet begun is replaced by the next one (the last
// wins, so each must write the whole state, not a step from the one before);
// what was handed over is written before the writer ends.
// Needs no Windows header (the standard library's thread only).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace module_common {

class LatestWriter {
public:
    LatestWriter() = default;
    ~LatestWriter() { Finish(); }
    LatestWriter(const LatestWriter&) = delete;
    LatestWriter& operator=(const LatestWriter&) = delete;

    // Told on the writer's thread after each write whether it was done (set
    // before the first hand-over).
    void OnWritten(std::function<void(bool)> told) { m_told = std::move(told); }
    // `write` runs on the writer's thread and says whether all of it was written.
    void Hand(std::function<bool()> write) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_pending = std::move(write);
        if (!m_thread.joinable()) {
            m_stop = false;
            m_thread = std::thread([this] { Run(); });
        }
        m_wake.notify_one();
    }
    // Waits until everything handed over is written, then ends the thread (a
    // later Hand starts it again). Not to be called with the loader lock held,
    // nor from the writer's thread.
    void Finish() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable()) m_thread.join();
    }
    // Whether the last hand-over written could not be (wholly).
    bool Failed() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_failed;
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_pending; });
            if (!m_pending) return;   // stopped with nothing left
            std::function<bool()> write = std::move(m_pending);
            m_pending = nullptr;
            lock.unlock();
            const bool ok = write();
            if (m_told) m_told(ok);
            lock.lock();
            m_failed = !ok;
        }
    }

    std::thread m_thread;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::function<void(bool)> m_told;
    std::function<bool()> m_pending;   // under m_lock
    bool m_stop = false;               // under m_lock
    bool m_failed = false;             // under m_lock
};

}  // namespace module_common
