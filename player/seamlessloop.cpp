#include "player/seamlessloop.h"

#include <gst/gst.h>
#include <mutex>
#include <vector>

namespace syj {

struct SeamlessLoop::State {
    mutable std::mutex mutex;
    std::function<void(unsigned)> onEnd;
    // Whether the stream going in is a loop's, since its first segment.
    bool looping = false;
    // What is added to the times of the round now going in (ns), and where
    // the last buffer in ended, on the stream.
    qint64 offset = 0;
    qint64 lastEnd = -1;
    // Each turn since the flush: where on the stream the new round starts,
    // the offset from there on, and the place in the file it went back from.
    struct Turn {
        qint64 at;
        qint64 offset;
        qint64 from;
    };
    std::vector<Turn> turns;
    unsigned flushCount = 0;

    void flushed()
    {
        looping = false;
        offset = 0;
        lastEnd = -1;
        turns.clear();
    }

    GstPadProbeReturn onEvent(GstPadProbeInfo *info);
    void onBuffer(GstPadProbeInfo *info);
};

namespace {

GstPadProbeReturn watch(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *state = static_cast<std::shared_ptr<SeamlessLoop::State> *>(data)->get();
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        state->onBuffer(info);
        return GST_PAD_PROBE_OK;
    }
    return state->onEvent(info);
}

void release(gpointer data)
{
    delete static_cast<std::shared_ptr<SeamlessLoop::State> *>(data);
}

} // namespace

GstPadProbeReturn SeamlessLoop::State::onEvent(GstPadProbeInfo *info)
{
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_STOP: {
        const std::lock_guard<std::mutex> lock(mutex);
        flushed();
        ++flushCount;
        return GST_PAD_PROBE_OK;
    }
    case GST_EVENT_SEGMENT: {
        const GstSegment *segment = nullptr;
        gst_event_parse_segment(event, &segment);
        const bool loops =
            segment->format == GST_FORMAT_TIME && (segment->flags & GST_SEGMENT_FLAG_SEGMENT) != 0;
        const std::lock_guard<std::mutex> lock(mutex);
        if (!loops) {
            flushed();
            return GST_PAD_PROBE_OK;
        }
        if (looping && lastEnd >= 0) {
            // A turn: the new round goes on from where the last one ended.
            const auto start = static_cast<qint64>(segment->start);
            const qint64 from = lastEnd - offset;
            offset = lastEnd - start;
            turns.push_back({lastEnd, offset, from});
            return GST_PAD_PROBE_DROP;
        }
        // The loop's first segment: open-ended, so that the rounds stamped on
        // after its end are not cut off.
        looping = true;
        offset = 0;
        GstSegment open;
        gst_segment_copy_into(segment, &open);
        open.stop = GST_CLOCK_TIME_NONE;
        GstEvent *replaced = gst_event_new_segment(&open);
        gst_event_set_seqnum(replaced, gst_event_get_seqnum(event));
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = replaced;
        return GST_PAD_PROBE_OK;
    }
    case GST_EVENT_SEGMENT_DONE: {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!looping)
            return GST_PAD_PROBE_OK;
        if (onEnd)
            onEnd(flushCount);
        // The stream goes on: nothing downstream is to take this as an end.
        return GST_PAD_PROBE_DROP;
    }
    default:
        return GST_PAD_PROBE_OK;
    }
}

void SeamlessLoop::State::onBuffer(GstPadProbeInfo *info)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (!looping)
        return;
    GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    if (!GST_BUFFER_PTS_IS_VALID(buffer))
        return;
    GST_BUFFER_PTS(buffer) += offset;
    if (GST_BUFFER_DTS_IS_VALID(buffer))
        GST_BUFFER_DTS(buffer) += offset;
    // The sound goes on without a break.
    GST_BUFFER_FLAG_UNSET(buffer, GST_BUFFER_FLAG_DISCONT);
    lastEnd = static_cast<qint64>(GST_BUFFER_PTS(buffer));
    if (GST_BUFFER_DURATION_IS_VALID(buffer))
        lastEnd += static_cast<qint64>(GST_BUFFER_DURATION(buffer));
}

SeamlessLoop::SeamlessLoop(GstPad *pad)
    : m_state(std::make_shared<State>()), m_pad(GST_PAD(gst_object_ref(pad)))
{
    m_probe = gst_pad_add_probe(pad,
                                GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER |
                                                GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                                GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                                watch, new std::shared_ptr<State>(m_state), release);
}

SeamlessLoop::~SeamlessLoop()
{
    stopCalling();
    if (m_probe)
        gst_pad_remove_probe(m_pad, m_probe);
    gst_object_unref(m_pad);
}

void SeamlessLoop::setOnSegmentEnd(std::function<void(unsigned)> onEnd)
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->onEnd = std::move(onEnd);
}

void SeamlessLoop::stopCalling()
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->onEnd = nullptr;
}

unsigned SeamlessLoop::flushes() const
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->flushCount;
}

qint64 SeamlessLoop::filePlace(qint64 streamTimeNs) const
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    for (auto turn = m_state->turns.rbegin(); turn != m_state->turns.rend(); ++turn) {
        if (streamTimeNs >= turn->at)
            return streamTimeNs - turn->offset;
    }
    return streamTimeNs;
}

SeamlessLoop::Turns SeamlessLoop::turnsHeardBy(qint64 streamTimeNs) const
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    const auto &turns = m_state->turns;
    auto count = static_cast<int>(turns.size());
    while (count > 0 && streamTimeNs < turns[static_cast<size_t>(count - 1)].at)
        --count;
    return {count, count > 0 ? turns[static_cast<size_t>(count - 1)].from : -1};
}

} // namespace syj
