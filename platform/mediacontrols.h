#pragma once

// The face of an embedded media player: the file's name, the transport
// buttons, the seek bar, the time and the volume, with a right-click menu that
// carries the same commands. It holds no player: it shows what it is told and
// turns the user's clicks, drags and keys into intent signals, which
// MediaPlayer (mediaplayer.h) hands to the AudioPlayer that does the playing.

#include "player/audioplayer.h"

#include <QString>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class QSlider;
class QToolButton;

namespace syj {

class MediaControls : public QWidget
{
    Q_OBJECT

public:
    explicit MediaControls(QWidget *parent = nullptr);

    // What the player is doing now: switches the play/pause button and the
    // enabled state of the commands.
    void setPlaybackState(PlaybackState state);
    PlaybackState playbackState() const { return m_state; }

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

    // The loop the player plays, drawn as a band on the seek bar, and said in
    // the state line beside the time; start -1: none, end -1: to the end.
    void setLoop(qint64 startMs, qint64 endMs);
    qint64 loopStart() const { return m_loopStart; }
    qint64 loopEnd() const { return m_loopEnd; }
    // The playing speed, shown in the state line and checked in the menu.
    void setRate(double rate);
    double rate() const { return m_rate; }
    // "循环 0.75×", "0.5×", empty at the normal speed without a loop.
    QString stateText() const;

    // The right-click menu, with the same commands as the buttons.
    QMenu *contextMenu() const { return m_menu; }

    // "mm:ss"; minutes go past 59 rather than wrap.
    static QString formatTime(qint64 ms);

    // Whose controls these are, for a screen reader: each control's accessible
    // name says it ("伴奏播放器：播放"), as a sighted user sees from its place.
    void setAccessibleOwner(const QString &owner);

Q_SIGNALS:
    void play();
    void pause();
    void stop();
    void seek(qint64 ms);
    void volumeChanged(int percent);
    void mutedChanged(bool muted);
    void rateRequested(double rate);
    void loopOffRequested();

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
    void updateAccessibleNames();
    void updateState();

    QLabel *m_fileLabel = nullptr;
    QLabel *m_timeLabel = nullptr;
    QLabel *m_stateLabel = nullptr;
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
    QMenu *m_rateMenu = nullptr;
    QAction *m_loopOffAction = nullptr;

    PlaybackState m_state = PlaybackState::Stopped;
    bool m_mediaAvailable = false;
    qint64 m_duration = 0;
    qint64 m_position = 0;
    QString m_fileText;
    QString m_owner;
    bool m_showsError = false;
    qint64 m_loopStart = -1;
    qint64 m_loopEnd = -1;
    double m_rate = 1.0;
};

} // namespace syj
