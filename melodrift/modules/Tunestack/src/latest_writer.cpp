// Files written on a thread of their own.
#include "latest_writer.h"

#include "library_store.h"

namespace tunestack {

void LatestWriter::Write(std::wstring path, std::function<std::string()> make)
{
    Run([path = std::move(path), make = std::move(make)] { return WriteFileAtomically(path, make()); });
}

void LatestWriter::Run(std::function<bool()> write)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_pending = std::move(write);
    if (!m_thread.joinable()) {
        m_stop = false;
        m_thread = std::thread([this] {
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
