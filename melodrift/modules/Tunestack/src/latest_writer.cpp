// One file written on a thread of its own.
#include "latest_writer.h"

#include "library_store.h"

namespace tunestack {

void LatestWriter::Write(std::wstring path, std::function<std::string()> make)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_path = std::move(path);
    m_pending = std::move(make);
    if (!m_thread.joinable()) {
        m_stop = false;
        m_thread = std::thread([this] {
            std::unique_lock<std::mutex> lock(m_lock);
            for (;;) {
                m_wake.wait(lock, [&] { return m_stop || m_pending; });
                if (!m_pending) return;   // stopped with nothing left
                std::function<std::string()> make = std::move(m_pending);
                m_pending = nullptr;
                const std::wstring path = m_path;
                lock.unlock();
                const bool ok = WriteFileAtomically(path, make());
                lock.lock();
                m_failed = !ok;
            }
        });
    }
    m_wake.notify_one();
}

void LatestWriter::Finish()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) m_thread.join();
}

bool LatestWriter::Failed() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_failed;
}

}  // namespace tunestack
