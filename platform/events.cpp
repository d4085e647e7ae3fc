#include "platform/events.h"

#include <QCoreApplication>
#include <algorithm>

namespace syj {

void DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace {
constexpr qint64 kMinFrameNs = 16'000'000; // ~60 frames a second
}

EventPump::EventPump(QWidget *window) : m_window(window)
{
    m_wasEnabled = window->updatesEnabled();
    m_sinceFrame.start();
    // Changes collect between frames; each frame paints them at once.
    if (m_wasEnabled)
        window->setUpdatesEnabled(false);
}

EventPump::~EventPump()
{
    if (!m_window || !m_wasEnabled)
        return;
    // Paint what the last frame did not show, now: an update request that came
    // while updates were off is not repeated by the window system.
    m_window->setUpdatesEnabled(true);
    if (m_window->isVisible())
        m_window->repaint();
}

void EventPump::operator()()
{
    DoEvents();
    if (!m_window || !m_wasEnabled || m_sinceFrame.nsecsElapsed() < m_frameNs)
        return;
    QElapsedTimer paint;
    paint.start();
    m_window->setUpdatesEnabled(true);
    if (m_window->isVisible())
        m_window->repaint();
    m_window->setUpdatesEnabled(false);
    m_frameNs = std::max(kMinFrameNs, 3 * paint.nsecsElapsed());
    m_sinceFrame.start();
}

} // namespace syj
