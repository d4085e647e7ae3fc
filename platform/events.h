// Letting the window handle its pending events from inside a handler.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

namespace syj {

// Processes the events that are waiting (input, repaints, timers), then returns.
void DoEvents();

// Pumps events once per step of a long loop that changes a window, and repaints
// that window at most once a frame: the screen shows no more than ~60 frames a
// second, and a loop that painted on every step would spend its time painting.
// Input, timers and everything else are handled at every step. When painting
// gets expensive (a window with very many widgets) frames are spaced so that
// painting takes at most about a third of the time.
class EventPump
{
public:
    explicit EventPump(QWidget *window);
    ~EventPump();
    EventPump(const EventPump &) = delete;
    EventPump &operator=(const EventPump &) = delete;

    void operator()();

private:
    QPointer<QWidget> m_window;
    bool m_wasEnabled = true;
    QElapsedTimer m_sinceFrame;
    qint64 m_frameNs = 16'000'000;
};

} // namespace syj
