#pragma once

// A loop without a seam, at every speed. The file's reader plays a loop as a
// segment it stops at; at its end a seek without a flush sends it back to the
// start. But slowed, the tempo filter loses the end's last samples at each new
// segment and the output plays some 100 ms of silence. So the filter never
// sees a turn: the first looping segment is made open-ended, every later one
// is dropped, and each new round is stamped on from where the last one ended.
// To the filter and the output it is one stream; this class knows where each
// round began on it, and turns the stream's times back into places in the
// file. Its state is shared with the stream's thread, which calls on it for
// every event and buffer: every member may be called from any thread.

#include <QtGlobal>
#include <functional>
#include <memory>

typedef struct _GstPad GstPad;

namespace syj {

class SeamlessLoop
{
public:
    // Watches what goes into `pad`, the tempo filter's input.
    explicit SeamlessLoop(GstPad *pad);
    ~SeamlessLoop();
    SeamlessLoop(const SeamlessLoop &) = delete;
    SeamlessLoop &operator=(const SeamlessLoop &) = delete;

    // Called on the stream's thread each time a looping segment's sound has
    // all gone in: the moment to send the reader back to the loop's start.
    // It is told the count of flushes() then, and must not call back here.
    void setOnSegmentEnd(std::function<void(unsigned flushes)> onEnd);
    // No more calls of it from here on, once any call under way has returned.
    void stopCalling();

    // The place in the file, in ns, of what the stream plays at
    // `streamTimeNs`; a time before any turn is a place in the file already.
    qint64 filePlace(qint64 streamTimeNs) const;

    // How many flushes have come through: a round asked for at one count
    // is not to be started at another.
    unsigned flushes() const;

    // How many times the sound heard by `streamTimeNs` has gone back to the
    // loop's start since the last flush, and the place in the file the last
    // of those turns went back from (ns).
    struct Turns {
        int count = 0;
        qint64 lastFromNs = -1;
    };
    Turns turnsHeardBy(qint64 streamTimeNs) const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    GstPad *m_pad = nullptr;
    unsigned long m_probe = 0;
};

} // namespace syj
