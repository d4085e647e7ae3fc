#pragma once

// One file's pipeline: GStreamer's player element for the file, the tempo
// filter that keeps the pitch at other speeds, and the desktop's sound
// output. Made for one file and thrown away with it, so that nothing of a
// file before (its messages, its end, its errors) can reach the next.
//
// The calls that may block (opening the file, state changes, seeks) run on
// the pipeline's own command thread; the window's thread never waits on
// GStreamer. What the pipeline reports comes back through `Deliver`, called
// on whichever thread GStreamer reports on: its owner hands it on to the
// window's thread.

#include "player/commandthread.h"
#include "player/seamlessloop.h"

#include <QString>
#include <functional>
#include <memory>

typedef struct _GstElement GstElement;

namespace syj {

class Pipeline
{
public:
    // Prerolled: the sound at the place last asked for waits at the output.
    // DurationChanged: the file's length, or a better guess, is known.
    // Failed: the file cannot be played; the reason says why.
    struct Event {
        enum class Kind { Prerolled, Ended, DurationChanged, Failed } kind;
        QString reason;
    };
    using Deliver = std::function<void(const Event &)>;

    // A pipeline for `url` (a URL as the player element takes it) that has
    // not started to open it; `localFile`, if not empty, is checked first.
    Pipeline(const QString &url, const QString &localFile, Deliver deliver);
    // Stops reporting at once, and tears the pipeline down on its thread
    // without waiting for it.
    ~Pipeline();
    Pipeline(const Pipeline &) = delete;
    Pipeline &operator=(const Pipeline &) = delete;

    // Whether the pipeline could be made at all (GStreamer and the player
    // element are there).
    bool isValid() const { return m_shared != nullptr; }

    // Opens the file, up to the first sound, and waits there (paused).
    void open();
    void setPlaying(bool playing);
    // An accurate flushing seek to `fromMs` at `rate`. With a loop (a start
    // not below 0), the file plays from there to `loopEndMs` (-1: the end of
    // the media), then goes back to `loopStartMs`, seamlessly, until the next
    // seek.
    void seek(qint64 fromMs, double rate, qint64 loopStartMs = -1, qint64 loopEndMs = -1);
    // The output's gain (linear, 0 to 1), and whether it is muted.
    void setOutput(double gain, bool muted);

    // What the output plays now: the place in the file (ms, -1 while
    // unknown) and the loop's turns heard since the last seek, with the
    // place the last one went back from (ms). Asked on the window's thread:
    // the answer comes from the output without waiting for the stream.
    struct Heard {
        qint64 placeMs = -1, lastTurnFromMs = -1;
        int turns = 0;
    };
    Heard heard() const;
    // How long the file is, in ms; -1 while unknown.
    qint64 durationMs() const;

    // Waits up to `waitMs` for the teardown (at the program's end).
    void finish(int waitMs);

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    QString m_localFile;
    CommandThread m_commands;
};

} // namespace syj
