#pragma once
// Loops a span of what a Qt player plays without a gap and to the sample:
// the span is played as a GStreamer segment whose end the file's reader stops
// at, and each time it has given out the span's end, playback is sent back to
// the span's start by a seek that does not flush. The sound already on its
// way to the output plays to the end, and the start follows it at once.
//
// It works on the pipeline around one element of the player's audio path,
// the element that keeps the pitch (workaround 7 in audioplayer.cpp), and
// watches the stream as it passes that element. A seek of the Qt player's
// own ends the segment; the loop is then armed again by the next arm().
#include <QObject>
#include <memory>

typedef struct _GstElement GstElement;

namespace syj {

class GaplessLoop : public QObject
{
    Q_OBJECT

public:
    explicit GaplessLoop(QObject *parent = nullptr);
    ~GaplessLoop() override;

    // Called as each audio path element is made; attach() takes the newest.
    static void noteAudioPathElement(GstElement *element);
    // Takes the audio path element made last, that of the Qt audio output
    // just made; false if there is none.
    bool attach();

    // Plays from `fromMs` to `endMs` (-1: the end of the media) at `rate` as
    // a segment that loops back to `startMs`; the sound goes there at once
    // (a flushing seek). False if the pipeline cannot be reached or refuses,
    // and then the caller jumps as it would without this.
    bool arm(qint64 fromMs, qint64 startMs, qint64 endMs, double rate);
    // Whether the stream now passing is a looping segment that ends at
    // `endMs`.
    bool isArmed(qint64 endMs) const;
    // The span the next going back is to; a negative start ends the loop, and
    // the segment playing then plays on past its end.
    void follow(qint64 startMs, qint64 endMs);

    // Shared with the stream's thread.
    struct Shared;

Q_SIGNALS:
    // The segment reached its end and playback was sent back to its start;
    // the sound of the end is still playing.
    void wentBack();

private:
    void onSegmentDone(qint64 atMs);
    GstElement *pipeline() const;
    bool seek(double rate, bool flush, bool segment, qint64 fromMs, qint64 toMs);

    std::shared_ptr<Shared> m_shared;
    GstElement *m_element = nullptr;
    unsigned long m_probe = 0;
    qint64 m_startMs = -1;
    qint64 m_endMs = -1;
    // The end of the segment last sent.
    qint64 m_armedEndMs = -1;
    double m_rate = 1.0;
    bool m_looping = false;
};

} // namespace syj
