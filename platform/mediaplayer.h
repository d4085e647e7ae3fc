#pragma once

// The embedded media player: a file name, transport buttons, a seek bar, the
// time and the volume, all in the 377 x 65 pixels the main window's bottom
// toolbar gives each of its two players (accompaniment and original).
//
// MediaControls is only the face: it shows what it is told and turns clicks
// into intent signals. MediaPlayer owns the QMediaPlayer and wires the two.

#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <optional>

class QAction;
class QAudioOutput;
class QLabel;
class QMenu;
class QSlider;
class QTimer;
class QToolButton;

namespace syj {

class MediaControls : public QWidget
{
    Q_OBJECT

public:
    explicit MediaControls(QWidget *parent = nullptr);

    // What the player is doing now: switches the play/pause button and the
    // enabled state of the commands.
    void setPlaybackState(QMediaPlayer::PlaybackState state);
    QMediaPlayer::PlaybackState playbackState() const { return m_state; }

    // Whether there is something to play at all; without it the transport
    // commands are disabled.
    void setMediaAvailable(bool available);
    bool isMediaAvailable() const { return m_mediaAvailable; }

    void setDuration(qint64 ms);
    void setPosition(qint64 ms);
    qint64 position() const { return m_position; }
    qint64 duration() const { return m_duration; }

    void setVolume(int percent);
    int volume() const;
    void setMuted(bool muted);
    bool isMuted() const;

    // The file shown in the name line; an empty path shows "未打开文件".
    void setFileName(const QString &path);
    // Shows that the file cannot be played: the name line turns red and its
    // tooltip carries the reason.
    void setError(const QString &path, const QString &message);
    // The whole text of the name line, before eliding.
    QString fileText() const { return m_fileText; }
    bool showsError() const { return m_showsError; }

    // The right-click menu, with the same commands as the buttons.
    QMenu *contextMenu() const { return m_menu; }

    // "mm:ss"; minutes go past 59 rather than wrap.
    static QString formatTime(qint64 ms);

Q_SIGNALS:
    void play();
    void pause();
    void stop();
    void seek(qint64 ms);
    void volumeChanged(int percent);
    void mutedChanged(bool muted);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void togglePlayPause();
    void seekBy(qint64 deltaMs);
    void updateTimeLabel(qint64 positionMs);
    void updateFileLabel();
    void updateCommands();
    void updateMuteIcon();

    QLabel *m_fileLabel = nullptr;
    QLabel *m_timeLabel = nullptr;
    QToolButton *m_playButton = nullptr;
    QToolButton *m_stopButton = nullptr;
    QSlider *m_seekSlider = nullptr;
    QToolButton *m_muteButton = nullptr;
    QSlider *m_volumeSlider = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_playAction = nullptr;
    QAction *m_pauseAction = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_restartAction = nullptr;
    QAction *m_backAction = nullptr;
    QAction *m_forwardAction = nullptr;
    QAction *m_muteAction = nullptr;
    QAction *m_louderAction = nullptr;
    QAction *m_quieterAction = nullptr;

    QMediaPlayer::PlaybackState m_state = QMediaPlayer::StoppedState;
    bool m_mediaAvailable = false;
    qint64 m_duration = 0;
    qint64 m_position = 0;
    QString m_fileText;
    bool m_showsError = false;
};

class MediaPlayer : public QWidget
{
    Q_OBJECT

public:
    explicit MediaPlayer(QWidget *parent = nullptr);
    ~MediaPlayer() override;

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

    void setVolume(int percent);
    int volume() const;

    // True while playing, and while a file is loading that will start
    // playing once loaded.
    bool isPlaying() const;
    // Why the open file cannot be played; empty if it can.
    QString errorText() const { return m_error; }

    // The Qt player inside (made on first use).
    QMediaPlayer *mediaPlayer() const;
    MediaControls *controls() const { return m_controls; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void playingChanged(bool playing);
    void errorOccurred(const QString &message);

private:
    void ensurePlayer();
    void loadSource(const QUrl &url);
    void unloadSource();
    void finishSwitch();
    bool isCurrentSource() const;
    bool isReady() const;
    bool canSeek() const;
    void scheduleApply();
    void applyPending();
    void startPlayer(qint64 fromMs);
    bool endedTooSoon();
    void clearPending();
    void holdSound(bool hold);
    void onMediaStatusChanged(QMediaPlayer::MediaStatus status);
    void onPlaybackStateChanged(QMediaPlayer::PlaybackState state);
    void onPlayerError(QMediaPlayer::Error error, const QString &message);
    void confirmLoadFailure();
    void fail(const QString &message);
    void applyMuted();
    void applyVolume();
    void notePlaying();

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    MediaControls *m_controls = nullptr;
    QTimer *m_holdTimer = nullptr;
    QTimer *m_failTimer = nullptr;
    QTimer *m_switchTimer = nullptr;

    QString m_url;
    // The source the player was given for m_url; empty while there is none,
    // or while the player is being switched over to it.
    QUrl m_source;
    // Size and time of the file when it was loaded.
    QString m_sourceStamp;
    QString m_error;
    // Why loading failed, as far as the player said before giving up on it.
    QString m_loadError;
    // A position and a start asked for before the player could take them.
    std::optional<qint64> m_pendingPosition;
    bool m_pendingPlay = false;
    bool m_seekAnyway = false;
    // Playing silently until the position can be set.
    bool m_holdingSound = false;
    bool m_wasPlaying = false;
    // When and from where the player was last told to play.
    QElapsedTimer m_startClock;
    qint64 m_startedFromMs = 0;
    int m_earlyEnds = 0;
};

} // namespace syj
