// One file written on a thread of its own, so that the window never waits
// for the disk: the window hands over how to make the file's bytes (from a
// snapshot it took) and goes on. A hand-over not yet written is replaced by
// the next one (the last wins); what was handed over is written before the
// writer ends.
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

    // `make` runs on the writer's thread; its bytes replace the file at
    // `path` (WriteFileAtomically).
    void Write(std::wstring path, std::function<std::string()> make);
    // Waits until everything handed over is written, then ends the thread (a
    // later Write starts it again). Not to be called with the loader lock held.
    void Finish();
    // Whether the last file written could not be.
    bool Failed() const;

private:
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::wstring m_path;                      // under m_lock
    std::function<std::string()> m_pending;   // under m_lock
    bool m_stop = false;                      // under m_lock
    bool m_failed = false;                    // under m_lock
};

}  // namespace tunestack
