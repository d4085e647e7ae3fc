#pragma once

// A thread of one pipeline's own that runs the calls into the pipeline which
// may block (state changes, seeks, the output's volume), one after another in
// the order they were given. The window's thread hands them over and goes
// on: a file on a hung network mount, or a sound server that stopped
// answering, can hold this thread, never the window.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace syj {

class CommandThread
{
public:
    CommandThread();
    ~CommandThread(); // finish(2000), unless finished before
    CommandThread(const CommandThread &) = delete;
    CommandThread &operator=(const CommandThread &) = delete;

    // Runs `command` after every command given before it. Ignored once
    // finish() has been called.
    void post(std::function<void()> command);

    // Takes no more commands, lets those given run, and waits up to
    // `waitMs` for them; a thread still held after that is let go, to end by
    // itself whenever what holds it lets go.
    void finish(int waitMs);

private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable done;
        std::deque<std::function<void()>> commands;
        bool closing = false;
        bool finished = false;
    };
    static void run(const std::shared_ptr<Queue> &queue);

    // Shared with the thread, which may outlive this object.
    std::shared_ptr<Queue> m_queue;
    std::thread m_thread;
};

} // namespace syj
