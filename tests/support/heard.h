// Which place of a file is heard when, on the output of a sound server: a
// test signal in which every few milliseconds sound unlike any others, a
// recorder of the null sink that dates each sample on the monotonic clock,
// and a decoder that finds, in the recording, the stretches of continuous
// playback of each file and where in the file they are.
#pragma once

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace syj::test {

class NullSinkServer;

// Nanoseconds on the monotonic clock (CLOCK_MONOTONIC, as QElapsedTimer).
qint64 monotonicNowNs();

// A sine whose frequency rises linearly, from `startHz` by `hzPerSecond`,
// its phase wobbled a little by a fixed pseudo-random sequence: the frequency
// says roughly where in the file a stretch of sound is, and the wobble makes
// each window of a few milliseconds unlike any other (without it, windows a
// period apart would look the same). Two chirps in bands far enough apart
// tell two players apart while both sound.
struct Chirp {
    double startHz = 300;
    double hzPerSecond = 20;
    double seconds = 60;
    int rate = 44100;
    double amplitude = 0.3;
    // The wobble: smooth noise of about this bandwidth, of this size (RMS),
    // and its seed (each file its own).
    double wobbleHz = 400;
    double wobbleRadians = 1.3;
    quint32 seed = 1;

    double endHz() const { return startHz + hzPerSecond * seconds; }
    // The band the chirp's energy lies in, with its wobble.
    double lowHz() const { return std::max(0.0, startHz - 2 * wobbleHz); }
    double highHz() const { return endHz() + 2 * wobbleHz; }
};

// The chirp's samples, -1 to 1.
std::vector<float> chirpSamples(const Chirp &chirp);
// Writes the chirp as a 16-bit mono PCM WAV file at its rate.
bool writeChirpWav(const QString &path, const Chirp &chirp);

// The samples of a media file as a player's decoder gives them, mono at
// `rate`, -1 to 1: a 16-bit mono WAV as it is, anything else decoded once
// with GStreamer (gst-launch-1.0 … decodebin). An MP3 keeps its encoder's
// delay at the start, as the players play it. Empty on failure.
std::vector<float> decodedSamples(const QString &path, int rate = 44100);

// A recording and when each of its samples was heard.
struct Recording {
    std::vector<float> samples;
    qint64 startNs = 0;
    int rate = 44100;
    // The dating by pieces: from the end of the piece before to `pieceEnds[k]`,
    // sample i was heard at pieceStartNs[k] + i / rate. Empty: from startNs.
    std::vector<qsizetype> pieceEnds;
    std::vector<qint64> pieceStartNs;
    qint64 nsAt(double sample) const;
    // The first sample heard at `ns` or later.
    qsizetype sampleAt(qint64 ns) const;
};

// Records the null sink's monitor (signed 16-bit mono at 44.1 kHz) with
// parec, read by a thread of its own as the samples come. It dates each
// sample on the monotonic clock: sample i was heard at start + i / rate, the
// start being the earliest that the pieces read over the next 2 s allow
// (each piece's arrival less the length of all recorded up to its end). That
// leaves out how late a piece was read, and follows the null sink's clock,
// which runs apart from the monotonic one (here about 0.2 ms a second fast,
// 36 ms over a recording of three minutes), as well as any step (samples
// lost on the way) from where it happened on. What is dated is when the null sink rendered a
// sample, which is at most its latency (parec asks for pieces of 5 ms) before it would be played.
class TimedSinkRecorder
{
public:
    static constexpr int kRate = 44100;
    TimedSinkRecorder() = default;
    ~TimedSinkRecorder();
    TimedSinkRecorder(const TimedSinkRecorder &) = delete;
    TimedSinkRecorder &operator=(const TimedSinkRecorder &) = delete;

    // Starts parec with pieces of `latencyMs` and returns once the first
    // samples have come.
    bool start(const NullSinkServer &server, int latencyMs = 5);
    // Stops parec; the samples stay.
    void stop();

    // The samples recorded so far, -1 to 1.
    std::vector<float> samples() const;
    qsizetype sampleCount() const;
    // When sample 0 was heard, in ns on the monotonic clock.
    qint64 startNs() const;
    // The spread of the pieces' lateness (arrival less the earliest of the 2 s
    // after it), in ms: the median and the largest; and how far the dating
    // moved from the first piece to the last (later: samples were lost).
    double medianLatenessMs() const;
    double worstLatenessMs() const;
    double datingMovedMs() const;

private:
    void readLoop(int fd);

    int m_pid = -1;
    std::thread m_reader;
    mutable std::mutex m_lock;
    // The earliest offset of the pieces from each one to 2 s after it.
    std::vector<qint64> datings() const;
    friend Recording recordingOf(const TimedSinkRecorder &recorder);

    std::vector<qint16> m_samples;
    // Per piece read: how many samples had come with it, and its arrival less
    // their length.
    std::vector<qsizetype> m_ends;
    std::vector<qint64> m_offsets;
    std::atomic<bool> m_started{false};
    char m_oddByte = 0;
    bool m_haveOddByte = false;
};

// The samples recorded so far, dated.
Recording recordingOf(const TimedSinkRecorder &recorder);

// A file the decoder looks for: its samples as the player's decoder gives
// them, and the chirp it was made of.
struct HeardSource {
    int id = 0;
    Chirp chirp;
    std::vector<float> reference;
};

// A stretch of continuous playback of one source: from where to where on the
// recording (samples, and ns on the monotonic clock), from where to where in
// the file (seconds of the player's time: for an MP3, of the decoded file,
// encoder's delay included).
struct HeardSegment {
    int source = 0;
    qsizetype recFrom = 0;
    qsizetype recTo = 0;
    qint64 fromNs = 0;
    qint64 toNs = 0;
    double placeFrom = 0;
    double placeTo = 0;
    // How loud it was heard against the file.
    double gain = 0;
    double ms() const { return static_cast<double>(toNs - fromNs) / 1e6; }
};

// What is heard between two moments of the recording: milliseconds of
// silence and of sound that is none of the sources' places found.
struct HeardGap {
    double quietMs = 0;
    double foreignMs = 0;
};

// The chirps of the window's two players, in bands far apart: the first
// from 300 to 1500 Hz, the second from 4000 to 5200 Hz, over 60 s.
Chirp playerChirp(int player);
// Writes `player`'s chirp to `path`, a WAV or, when the name ends in ".mp3",
// an MP3 encoded from one (see encodeMp3), and returns what the decoder looks
// for, with `player` as its id; an empty reference on failure.
HeardSource writeHeardFile(const QString &path, int player, double seconds = 60);

// The first stretch of `source` that starts from `fromNs` to `untilNs`
// which `fits` (any, without it); null if none.
const HeardSegment *firstHeard(const std::vector<HeardSegment> &segments, int source, qint64 fromNs,
                               qint64 untilNs, bool (*fits)(const HeardSegment &, double) = nullptr,
                               double arg = 0);
// The stretch of `source` heard at `ns`, or the last one that ended before it
// within `graceNs`; null if none.
const HeardSegment *heardAt(const std::vector<HeardSegment> &segments, int source, qint64 ns,
                            qint64 graceNs = 0);

// Finds the sources' stretches of playback in a recording. `speed` is the
// players' rate: at 1.0 a stretch goes on while the place follows the
// recording to within 2 ms; below it, where the player copies overlapping
// pieces of the file to keep the pitch (the place moving on at 1.0 inside a
// piece and at `speed` on average), while it keeps within 45 ms of that.
class HeardDecoder
{
public:
    HeardDecoder(std::vector<HeardSource> sources, double speed = 1.0);
    // The stretches of all sources, by their start on the recording.
    std::vector<HeardSegment> decode(const Recording &recording) const;
    // Silence and foreign sound between two samples of the recording, given
    // the stretches found in it.
    HeardGap gapBetween(const Recording &recording, const std::vector<HeardSegment> &segments,
                        qsizetype from, qsizetype to) const;

    const std::vector<HeardSource> &sources() const { return m_sources; }

private:
    struct Band;
    std::vector<HeardSegment> decodeSource(const Recording &recording, size_t index) const;

    std::vector<HeardSource> m_sources;
    double m_speed;
};

// One turn of a loop as heard: how much of the span's end was not heard
// (file ms, from where the round went furthest into it), how long from there
// to the start heard again, how much of that was silence and how much sound
// other than the file's (ms heard; a piece of the line heard again counts),
// how much of the start
// was skipped (file ms); and the round's length error against the span (ms
// of the file; for the rounds between two turns, else 0).
struct HeardTurn {
    double lostEndMs = 0;
    double gapMs = 0;
    double quietMs = 0;
    double foreignMs = 0;
    double skippedStartMs = 0;
    double roundErrorMs = 0;
};

// The turns heard of a loop of `source` over [spanFrom, spanTo] s of its
// file, at `rate`, in what was heard from `fromNs` on.
std::vector<HeardTurn> loopTurns(const HeardDecoder &decoder, const Recording &recording,
                                 const std::vector<HeardSegment> &segments, int source,
                                 qint64 fromNs, double spanFrom, double spanTo, double rate);

} // namespace syj::test
