// Files written on a thread of their own, so that the window never waits for
// the disk: the window hands over how to write them (from a snapshot it took)
// and goes on. A hand-over not yet written is replaced by the next one (the
// last wins); what was handed over is written before the writer ends.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tunestack {

class LatestWriter {
public:
    LatestWriter() = default;
    ~LatestWriter() { Finish(); }
    LatestWriter(const LatestWriter&) = delete;
    LatestWriter& operator=(const LatestWriter&) = delete;

    // Told on the writer's thread after each write whether it was done
    // (set before the first write).
    void OnWritten(std::function<void(bool)> told) { m_told = std::move(told); }
    // `make` runs on the writer's thread; its bytes replace the file at
    // `path` (WriteFileAtomically).
    void Write(std::wstring path, std::function<std::string()> make);
    // `write` runs on the writer's thread and says whether it wrote everything.
    void Run(std::function<bool()> write);
    // Waits until everything handed over is written, then ends the thread (a
    // later hand-over starts it again). Not to be called with the loader lock held.
    void Finish();
    // Whether the last write could not be done.
    bool Failed() const;

private:
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::function<void(bool)> m_told;
    std::function<bool()> m_pending;   // under m_lock
    bool m_stop = false;               // under m_lock
    bool m_failed = false;             // under m_lock
};

}  // namespace tunestack
