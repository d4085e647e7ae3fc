// Painting a window at most once a frame while a long loop changes it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace syj {

// While it lives, the window's own requests to paint are held back, and
// frame() paints everything that changed at once when a frame is due: the
// screen shows no more than ~60 frames a second, and a loop that painted on
// every step would spend its time painting. When painting gets expensive (a
// window with very many widgets) frames are spaced so that painting takes at
// most about a third of the time. Input, timers and everything else go on as
// usual. What the last frame did not show is painted when it goes.
class FramePainter : public QObject
{
public:
    explicit FramePainter(QWidget *window);
    ~FramePainter() override;

    // Paints the window if a frame is due.
    void frame();

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
