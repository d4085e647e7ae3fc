#include "platform/gaplessloop.h"

#include <QMetaObject>
#include <gst/gst.h>
#include <mutex>

namespace syj {

// What the stream's thread and the window's thread share: the loop (null once
// it is gone) and whether the stream now passing is a looping segment.
struct GaplessLoop::Shared {
    std::mutex mutex;
    GaplessLoop *owner = nullptr;
    bool segmentLoops = false;

    // Called on the stream's thread for each event that passes downstream.
    void watch(GstEvent *event)
    {
        switch (GST_EVENT_TYPE(event)) {
        case GST_EVENT_SEGMENT: {
            const GstSegment *segment = nullptr;
            gst_event_parse_segment(event, &segment);
            const std::lock_guard<std::mutex> lock(mutex);
            segmentLoops = segment->format == GST_FORMAT_TIME &&
                           (segment->flags & GST_SEGMENT_FLAG_SEGMENT) != 0;
            break;
        }
        case GST_EVENT_SEGMENT_DONE: {
            GstFormat format = GST_FORMAT_UNDEFINED;
            gint64 position = -1;
            gst_event_parse_segment_done(event, &format, &position);
            const qint64 atMs = format == GST_FORMAT_TIME && position >= 0
                                    ? static_cast<qint64>(position / GST_MSECOND)
                                    : -1;
            const std::lock_guard<std::mutex> lock(mutex);
            if (owner) {
                GaplessLoop *loop = owner;
                QMetaObject::invokeMethod(
                    loop, [loop, atMs] { loop->onSegmentDone(atMs); }, Qt::QueuedConnection);
            }
            break;
        }
        default:
            break;
        }
    }
};

namespace {

// The audio path element made last, on the window's thread, where Qt makes
// its audio outputs.
std::mutex g_newestMutex;
GstElement *g_newest = nullptr;

GstPadProbeReturn watchStream(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *shared = static_cast<std::shared_ptr<GaplessLoop::Shared> *>(data);
    if (GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info))
        (*shared)->watch(event);
    return GST_PAD_PROBE_OK;
}

void releaseShared(gpointer data)
{
    delete static_cast<std::shared_ptr<GaplessLoop::Shared> *>(data);
}

GstClockTime toClockTime(qint64 ms)
{
    return ms < 0 ? GST_CLOCK_TIME_NONE : static_cast<GstClockTime>(ms) * GST_MSECOND;
}

} // namespace

GaplessLoop::GaplessLoop(QObject *parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

GaplessLoop::~GaplessLoop()
{
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->owner = nullptr;
    }
    if (!m_element)
        return;
    if (m_probe) {
        if (GstPad *pad = gst_element_get_static_pad(m_element, "sink")) {
            gst_pad_remove_probe(pad, m_probe);
            gst_object_unref(pad);
        }
    }
    gst_object_unref(m_element);
}

void GaplessLoop::noteAudioPathElement(GstElement *element)
{
    const std::lock_guard<std::mutex> lock(g_newestMutex);
    g_newest = element;
}

bool GaplessLoop::attach()
{
    GstElement *element = nullptr;
    {
        const std::lock_guard<std::mutex> lock(g_newestMutex);
        std::swap(element, g_newest);
    }
    if (!element || m_element)
        return false;
    GstPad *pad = gst_element_get_static_pad(element, "sink");
    if (!pad)
        return false;
    m_element = GST_ELEMENT(gst_object_ref(element));
    m_probe = gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, watchStream,
                                new std::shared_ptr<Shared>(m_shared), releaseShared);
    gst_object_unref(pad);
    return m_probe != 0;
}

GstElement *GaplessLoop::pipeline() const
{
    if (!m_element)
        return nullptr;
    GstObject *top = GST_OBJECT(gst_object_ref(m_element));
    while (GstObject *parent = gst_object_get_parent(top)) {
        gst_object_unref(top);
        top = parent;
    }
    if (GST_IS_PIPELINE(top))
        return GST_ELEMENT(top);
    gst_object_unref(top);
    return nullptr;
}

bool GaplessLoop::seek(double rate, bool flush, bool segment, qint64 fromMs, qint64 toMs)
{
    GstElement *p = pipeline();
    if (!p)
        return false;
    int flags = GST_SEEK_FLAG_ACCURATE;
    if (flush)
        flags |= GST_SEEK_FLAG_FLUSH;
    if (segment)
        flags |= GST_SEEK_FLAG_SEGMENT;
    const bool done = gst_element_seek(p, rate, GST_FORMAT_TIME, GstSeekFlags(flags),
                                       GST_SEEK_TYPE_SET, toClockTime(std::max<qint64>(fromMs, 0)),
                                       GST_SEEK_TYPE_SET, toClockTime(toMs));
    gst_object_unref(p);
    return done;
}

bool GaplessLoop::arm(qint64 fromMs, qint64 startMs, qint64 endMs, double rate)
{
    if (!m_probe || rate <= 0)
        return false;
    m_startMs = startMs;
    m_endMs = endMs;
    m_rate = rate;
    m_looping = seek(rate, true, true, fromMs, endMs);
    if (m_looping) {
        // Until the new segment has come through, the one passing is ours.
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->segmentLoops = true;
        m_armedEndMs = endMs;
    }
    return m_looping;
}

bool GaplessLoop::isArmed(qint64 endMs) const
{
    if (!m_looping || m_armedEndMs != endMs)
        return false;
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->segmentLoops;
}

void GaplessLoop::follow(qint64 startMs, qint64 endMs)
{
    m_startMs = startMs;
    m_endMs = endMs;
    m_looping = m_looping && startMs >= 0;
}

void GaplessLoop::onSegmentDone(qint64 atMs)
{
    if (!m_looping) {
        // The loop ended while its segment played: play on past its end.
        if (atMs >= 0)
            seek(m_rate, false, false, atMs, -1);
        return;
    }
    // The span was made longer while its old end was playing: on to the new
    // end first.
    if (m_endMs >= 0 && atMs >= 0 && atMs < m_endMs - 1) {
        if (seek(m_rate, false, true, atMs, m_endMs))
            m_armedEndMs = m_endMs;
        return;
    }
    if (seek(m_rate, false, true, m_startMs, m_endMs)) {
        m_armedEndMs = m_endMs;
        Q_EMIT wentBack();
    }
}

} // namespace syj
