#include "platform/framepainter.h"

#include <QEvent>
#include <algorithm>

namespace syj {

namespace {
constexpr qint64 kMinFrameNs = 16'000'000; // ~60 frames a second
}

// Changes collect between frames: the window's requests to paint them are held
// back, and each frame paints everything that changed at once. (Turning the
// window's updates off instead would make every widget repaint itself on each
// frame, which grows with the square of the number of widgets.)
FramePainter::FramePainter(QWidget *window) : m_window(window), m_frameNs(kMinFrameNs)
{
    m_sinceFrame.start();
    window->installEventFilter(this);
}

FramePainter::~FramePainter()
{
    if (!m_window)
        return;
    m_window->removeEventFilter(this);
    // Paint what the last frame did not show, now: a request held back is not
    // repeated by the window.
    paintNow();
}

bool FramePainter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::UpdateRequest && !m_painting)
        return true;
    return QObject::eventFilter(watched, event);
}

void FramePainter::paintNow()
{
    if (!m_window || !m_window->isVisible())
        return;
    m_painting = true;
    m_window->repaint();
    m_painting = false;
}

void FramePainter::frame()
{
    if (!m_window || m_sinceFrame.nsecsElapsed() < m_frameNs)
        return;
    QElapsedTimer paint;
    paint.start();
    paintNow();
    m_frameNs = std::max(kMinFrameNs, 3 * paint.nsecsElapsed());
    m_sinceFrame.start();
}

} // namespace syj
