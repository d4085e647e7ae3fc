// Letting the window handle its pending events from inside a handler.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace syj {

// Processes the events that are waiting (input, repaints, timers), then returns.
void DoEvents();

// Pumps events once per step of a long loop that changes a window, and paints
// that window at most once a frame: the screen shows no more than ~60 frames a
// second, and a loop that painted on every step would spend its time painting.
// Input, timers and everything else are handled at every step. When painting
// gets expensive (a window with very many widgets) frames are spaced so that
// painting takes at most about a third of the time.
class EventPump : public QObject
{
public:
    explicit EventPump(QWidget *window);
    ~EventPump() override;

    void operator()();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintNow();

    QPointer<QWidget> m_window;
    QElapsedTimer m_sinceFrame;
    qint64 m_frameNs;
    bool m_painting = false;
};

} // namespace syj
