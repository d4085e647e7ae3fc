#include "player/commandthread.h"

#include <chrono>

namespace syj {

CommandThread::CommandThread() : m_queue(std::make_shared<Queue>())
{
    m_thread = std::thread([queue = m_queue] { run(queue); });
}

CommandThread::~CommandThread()
{
    finish(2000);
}

void CommandThread::post(std::function<void()> command)
{
    {
        const std::lock_guard<std::mutex> lock(m_queue->mutex);
        if (m_queue->closing)
            return;
        m_queue->commands.push_back(std::move(command));
    }
    m_queue->wake.notify_one();
}

void CommandThread::finish(int waitMs)
{
    if (!m_thread.joinable())
        return;
    std::unique_lock<std::mutex> lock(m_queue->mutex);
    m_queue->closing = true;
    m_queue->wake.notify_one();
    const bool ended = m_queue->done.wait_for(lock, std::chrono::milliseconds(waitMs),
                                              [this] { return m_queue->finished; });
    lock.unlock();
    ended ? m_thread.join() : m_thread.detach();
}

void CommandThread::run(const std::shared_ptr<Queue> &queue)
{
    std::unique_lock<std::mutex> lock(queue->mutex);
    for (;;) {
        queue->wake.wait(lock, [&] { return queue->closing || !queue->commands.empty(); });
        if (queue->commands.empty())
            break; // closing, and nothing left to do
        std::function<void()> command = std::move(queue->commands.front());
        queue->commands.pop_front();
        lock.unlock();
        command();
        command = nullptr;
        lock.lock();
    }
    queue->finished = true;
    queue->done.notify_all();
}

} // namespace syj
