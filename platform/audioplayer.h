#pragma once

// The player behind each of the window's two embedded players: it opens a
// media file, plays, pauses, stops and seeks it, and sets its volume. It holds
// a QMediaPlayer and a QAudioOutput, made when the first file comes, and
// reports what a face needs to show. Qt Core and Qt Multimedia only: code that
// only drives playback needs no widgets.

#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

class QAudioOutput;
class QTimer;

namespace syj {

class GaplessLoop;

class AudioPlayer : public QObject
{
    Q_OBJECT

public:
    explicit AudioPlayer(QObject *parent = nullptr);
    ~AudioPlayer() override;

    // Opens the file and plays it from the beginning. Giving the file that is
    // already open plays it again from the beginning; an empty path closes it.
    void setURL(const QString &path);
    QString URL() const { return m_url; }

    // Starts or resumes at the current position. Without a file, or with one
    // that cannot be played, nothing happens.
    void play();
    // Halts where it is; does nothing unless playing.
    void pause();
    // Halts and goes back to the beginning.
    void stop();

    // Moves the position. Before the file has finished loading the position is
    // remembered and taken up as soon as it has.
    void setCurrentPosition(double seconds);
    // Seconds; a position not yet taken up by the player reads back as given.
    double currentPosition() const;
    // Length of the open file in seconds, 0 while unknown.
    double duration() const;

    // Percent of full volume, 0 to 100, on a logarithmic scale; 50 at first.
    void setVolume(int percent);
    int volume() const { return m_volume; }
    void setMuted(bool muted);
    bool isMuted() const { return m_muted; }

    // True while playing, and while a file is loading that will start
    // playing once loaded.
    bool isPlaying() const;
    // Why the open file cannot be played; empty if it can.
    QString errorText() const { return m_error; }

    // Playing speed, 0.5 to 1.0 of the normal speed, with the pitch kept
    // (workaround 7). It stays as set for every file opened afterwards.
    void setRate(double rate);
    double rate() const { return m_rate; }

    // Plays the span from `startSeconds` to `endSeconds` again and again: on
    // reaching the end, playback goes back to the start. A negative end is
    // the end of the media. The span stays over a new file (it belongs to a
    // line of the lyrics, not to the file) until cleared.
    void setLoop(double startSeconds, double endSeconds);
    void clearLoop();
    bool hasLoop() const { return m_loopStartMs >= 0; }
    double loopStart() const { return static_cast<double>(m_loopStartMs) / 1000.0; }
    // Seconds; negative while the loop runs to the end of the media.
    double loopEnd() const
    {
        return m_loopEndMs < 0 ? -1.0 : static_cast<double>(m_loopEndMs) / 1000.0;
    }
    // How many times playback has gone back to the loop's start.
    int loopRounds() const { return m_loopRounds; }

    // The Qt player inside (made on first use).
    QMediaPlayer *mediaPlayer() const;

    // The source a path as the program gives it stands for: a URL with a
    // scheme ("file:///…") as it is, anything else as a local file.
    static QUrl sourceUrl(const QString &path);

Q_SIGNALS:
    void playingChanged(bool playing);
    void errorOccurred(const QString &message);

    // What a face shows. Each is sent whenever the player sets it anew, which
    // may repeat the value it had.
    // The file opened (empty: none), before it has loaded.
    void fileChanged(const QString &path);
    // The file cannot be played, and why.
    void fileFailed(const QString &path, const QString &message);
    // Whether there is a file that the transport commands can work on.
    void mediaAvailableChanged(bool available);
    void playbackStateChanged(QMediaPlayer::PlaybackState state);
    void positionChanged(qint64 ms);
    void durationChanged(qint64 ms);
    void volumeChanged(int percent);
    void mutedChanged(bool muted);
    void rateChanged(double rate);
    // The loop's span in ms (end -1: to the end of the media), or none
    // (start -1).
    void loopChanged(qint64 startMs, qint64 endMs);
    // Playback went back to the loop's start from `atMs`.
    void loopedBack(qint64 atMs);

private:
    void ensurePlayer();
    bool isReady() const;
    void applyPending();
    void clearPending();
    void onMediaStatusChanged(QMediaPlayer::MediaStatus status);
    void onPlaybackStateChanged(QMediaPlayer::PlaybackState state);
    void onPlayerError(QMediaPlayer::Error error, const QString &message);
    void fail(const QString &message);
    void applyMuted();
    void applyVolume();
    void notePlaying();
    void checkLoop();
    void jumpToLoopStart();
    void seekInLoop(qint64 ms);
    // Whether the Qt player still tells the place before a looping
    // segment's start.
    bool catchingUp() const;

    // Workarounds for faults of Qt 6.4's GStreamer backend, numbered as in
    // the section of that name in audioplayer.cpp.
    void setUpWorkarounds();
    // 1: messages of the file before reach the next one.
    void beginSwitch(const QString &stamp);
    void loadSource(const QUrl &url);
    void unloadSource();
    void finishSwitch();
    bool isCurrentSource() const;
    // 2: a deadlock in setSource().
    static QString fileStamp(const QUrl &url);
    bool canRestartWithoutLoading(const QUrl &url, const QString &stamp) const;
    // 3: a seek before the length is known is lost.
    bool canSeek() const;
    void holdUntilSeekable();
    void cancelHold();
    void holdSound(bool hold);
    // 4: a seek from inside the player's reports is lost.
    void scheduleApply();
    // 5: load errors of the file before.
    void suspectLoadFailure(const QString &reason);
    void clearLoadFailure();
    void confirmLoadFailure();
    // 6: an end of stream left over from the file before.
    void startPlayer(qint64 fromMs);
    void checkEarlyEnd();
    // 7: a slower rate lowers the pitch.
    static bool keepPitchAtOtherRates();
    void applyRate();

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;

    QString m_url;
    // The source the player was given for m_url; empty while there is none,
    // or while the player is being switched over to it.
    QUrl m_source;
    QString m_error;
    // A position and a start asked for before the player could take them.
    std::optional<qint64> m_pendingPosition;
    bool m_pendingPlay = false;
    bool m_wasPlaying = false;
    int m_volume = 50;
    bool m_muted = false;
    double m_rate = 1.0;
    // The loop, in ms; start -1 while there is none, end -1 for the end of
    // the media. The watch reads the position often while looping, and a
    // jump back is not repeated until the player has taken it up.
    qint64 m_loopStartMs = -1;
    qint64 m_loopEndMs = -1;
    int m_loopRounds = 0;
    QTimer *m_loopWatch = nullptr;
    QElapsedTimer m_loopJumped;
    bool m_loopPlanned = false;
    qint64 m_loopLastPosition = -1;
    QElapsedTimer m_loopStill;
    // Goes back to the loop's start without a gap, where it can; set when it
    // has, until the position is seen to have gone back.
    GaplessLoop *m_gapless = nullptr;
    bool m_loopWentBack = false;
    // Where the position was last seen, and when (on the loop's clock), and
    // where it went back from, until the start is heard going on.
    QElapsedTimer m_loopClock;
    qint64 m_loopLastLook = 0;
    qint64 m_loopTurnFrom = -1;
    qint64 m_loopTurnFromAt = 0;
    // Where the last looping segment was started, and when.
    std::optional<qint64> m_loopArmedAt;
    QElapsedTimer m_loopArmed;

    // State of the workarounds.
    QTimer *m_switchTimer = nullptr; // 1: the gap between two sources
    // 2: size and time of the file when it was loaded.
    QString m_sourceStamp;
    // 3: playing silently until the position can be set; the hold's time
    // limit, and whether it has run out.
    bool m_holdingSound = false;
    QTimer *m_holdTimer = nullptr;
    bool m_seekAnyway = false;
    // 5: why loading failed, as far as the player said before giving up on
    // it, and the grace it is given.
    QString m_loadError;
    QTimer *m_failTimer = nullptr;
    // 6: when and from where the player was last told to play, and how many
    // early ends have been retried.
    QElapsedTimer m_startClock;
    qint64 m_startedFromMs = 0;
    int m_earlyEnds = 0;
};

} // namespace syj
