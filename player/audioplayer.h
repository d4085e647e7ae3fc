#pragma once

// The player behind each of the window's two embedded players: it opens a
// media file, plays, pauses, stops and moves in it, loops a span of it,
// plays it slower with the pitch kept, and sets its volume. Each file gets a
// pipeline of its own (pipeline.h), made when the file comes. Qt Core and
// GStreamer only: code that only drives playback needs no widgets.
//
// Everything here runs on the window's thread and never waits on GStreamer:
// commands are handed to the pipeline's own thread, and what the pipeline
// reports comes back as queued calls, each tagged with the file it belongs
// to, so that a file before's late words are dropped for not being its own.

#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

class QTimer;

namespace syj {

class Pipeline;

// What a player is doing, as its face shows it: stopped (no file, played to
// the end, or stopped: play starts from the beginning), paused (play goes on
// from there), or playing (or about to, once the file has opened or a move
// has been made).
enum class PlaybackState { Stopped, Paused, Playing };

class AudioPlayer : public QObject
{
    Q_OBJECT

public:
    explicit AudioPlayer(QObject *parent = nullptr);
    ~AudioPlayer() override;

    // Opens the file and plays it from the beginning (the file already open:
    // again); an empty path closes it. A file that does not open, or make a
    // move, within kOpenLimitMs is given up.
    void setURL(const QString &path);
    QString URL() const { return m_url; }
    static constexpr int kOpenLimitMs = 5000;

    // Starts or resumes at the current position; after the end, from the
    // beginning. Without a file, or with one that cannot be played, nothing
    // happens.
    void play();
    // Halts where it is; does nothing unless playing.
    void pause();
    // Halts and goes back to the beginning.
    void stop();

    // Moves the position, before any sound of the file if it has not opened
    // yet; from pause the move is made paused and play starts once the new
    // place is ready: the first sound heard is the place asked for.
    void setCurrentPosition(double seconds);
    // Seconds; a position not yet taken up reads back as given.
    double currentPosition() const;
    // Length of the open file in seconds, 0 while unknown; it may be refined
    // while the file plays (an MP3 of varying bit rate).
    double duration() const;

    // Percent of full volume, 0 to 100, on a logarithmic scale; 50 at first.
    void setVolume(int percent);
    int volume() const { return m_volume; }
    void setMuted(bool muted);
    bool isMuted() const { return m_muted; }
    // The gain a volume gives the sound: linear, 0 to 1.
    static double gainOf(int percent);

    // True while playing, and while a file opens or a move is made that will
    // play once done.
    bool isPlaying() const;
    PlaybackState playbackState() const { return m_state; }
    // Whether the open file has been opened up to its first sound.
    bool isLoaded() const { return m_loaded; }
    // Why the open file cannot be played; empty if it can.
    QString errorText() const { return m_error; }

    // Playing speed, 0.5 to 1.0 of the normal speed, with the pitch kept. It
    // stays as set for every file opened afterwards.
    void setRate(double rate);
    double rate() const { return m_rate; }

    // Plays the span from `startSeconds` to `endSeconds` again and again,
    // without a gap: on reaching the end, playback goes on at the start. A
    // negative end is the end of the media. The span stays over a new file
    // (it belongs to a line of the lyrics, not to the file) until cleared.
    void setLoop(double startSeconds, double endSeconds);
    void clearLoop();
    bool hasLoop() const { return m_loopStartMs >= 0; }
    double loopStart() const { return static_cast<double>(m_loopStartMs) / 1000.0; }
    // Seconds; negative while the loop runs to the end of the media.
    double loopEnd() const
    {
        return m_loopEndMs < 0 ? -1.0 : static_cast<double>(m_loopEndMs) / 1000.0;
    }
    // How many times playback has been heard going back to the loop's start.
    int loopRounds() const { return m_loopRounds; }

    // The source a path as the program gives it stands for: a URL with a
    // scheme ("file:///…") as it is, anything else as a local file.
    static QUrl sourceUrl(const QString &path);

    // Readies GStreamer and its plugins on a thread of its own, so that the
    // first file opens as quickly as the next. Returns at once.
    static void prepareInBackground();

Q_SIGNALS:
    void playingChanged(bool playing);
    void errorOccurred(const QString &message);

    // What a face shows, sent whenever set anew (perhaps to what it was).
    // The file opened (empty: none), before it has opened.
    void fileChanged(const QString &path);
    // The file cannot be played, and why.
    void fileFailed(const QString &path, const QString &message);
    // Whether there is a file that the transport commands can work on.
    void mediaAvailableChanged(bool available);
    void playbackStateChanged(syj::PlaybackState state);
    void positionChanged(qint64 ms);
    void durationChanged(qint64 ms);
    void volumeChanged(int percent);
    void mutedChanged(bool muted);
    void rateChanged(double rate);
    // The loop's span in ms (end -1: to the end of the media), or none
    // (start -1).
    void loopChanged(qint64 startMs, qint64 endMs);
    // Playback was heard going back to the loop's start from `atMs`.
    void loopedBack(qint64 atMs);

private:
    struct Mailbox;
    void onReport(quint64 file, int kind, const QString &reason);
    void onPrerolled();
    void fail(const QString &message);
    // Pauses the pipeline if it plays.
    void halt();
    bool openPipeline();
    void closePipeline();
    // Shows the state, and whether playing, where either changed.
    void show(PlaybackState state);
    void updateDuration();
    void onTick();

    // One move at a time: one asked for while the file opens or a move is
    // made waits, and only the last one waiting is made.
    void moveTo(qint64 ms);
    void moveSoon();
    void makeMove();
    bool canMoveNow() const;
    qint64 heardMs() const;

    std::unique_ptr<Pipeline> m_pipeline;
    std::shared_ptr<Mailbox> m_mailbox;
    // Which file the pipeline is for: reports of any other are stale.
    quint64 m_file = 0;

    QString m_url;
    QString m_error;
    PlaybackState m_state = PlaybackState::Stopped;
    bool m_wasPlaying = false;
    // Whether the file has opened once, the pipeline now has, and its tempo
    // filter has worked.
    bool m_loaded = false;
    bool m_pipelineReady = false;
    bool m_tempoUsed = false;
    // The file was opened once more on a pipeline of its own after the
    // first did not answer in half the limit.
    bool m_openedAgain = false;
    bool m_atEnd = false;
    // Whether sound is wanted, and whether the pipeline was told to play.
    bool m_wantPlay = false;
    bool m_pipelinePlays = false;
    // A move waiting to be made (a place, or here: where the sound is, for a
    // new speed or loop), and one being made.
    std::optional<qint64> m_moveTo;
    bool m_moveHere = false;
    bool m_moveHereSoon = false;
    std::optional<qint64> m_moving;
    qint64 m_lastHeardMs = 0;
    qint64 m_durationMs = 0;

    int m_volume = 50;
    bool m_muted = false;
    double m_rate = 1.0;
    // The loop, in ms; start -1 while there is none, end -1 for the end of
    // the media; whether the stream now playing loops, and the turns of it
    // counted so far.
    qint64 m_loopStartMs = -1;
    qint64 m_loopEndMs = -1;
    int m_loopRounds = 0;
    bool m_streamLoops = false;
    int m_turnsCounted = 0;

    QTimer *m_tick = nullptr;
    QTimer *m_answerLimit = nullptr;
};

} // namespace syj
