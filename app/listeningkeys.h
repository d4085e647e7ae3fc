// Listening while writing: the window's keys for the players and the rows,
// moving between the rows' new words, and the right-click menu and tips of
// a row's buttons (the loop, its lead-in, the speed).
//
//   F2 / F3  play the current row on the accompaniment / the original
//   F4       loop the current row on or off
//   F5       move playback to the other track at the same place
//   F6 / F7  one speed step slower / faster
//   F8       pause both players
//   Ctrl+S   保存新歌词; Ctrl+O 打开原唱歌词 (as their buttons, while they take it)
// In a row's box, Enter (unless the input method is composing) and Down go
// to the next row's new words, Up to the row before.
//
// The keys are function keys and Ctrl with a letter that input methods leave
// alone: an input method owns Space, Shift+Space, Ctrl+Space and, while it
// composes, Enter and the arrow keys (its candidate list). None of the
// players' keys moves the focus, so typing goes on in the same box.
#pragma once

#include "playback/playback.h"

#include <QList>
#include <QObject>

class QAction;
class QKeyEvent;
class QMenu;
class QPushButton;
class QWidget;

namespace syj {

class MediaPlayer;
class RowPanel;

class ListeningKeys : public QObject
{
    Q_OBJECT
public:
    struct Window {
        QWidget *window;
        MediaPlayer *accompaniment, *original;
        // The buttons Ctrl+O and Ctrl+S stand for.
        QPushButton *openLyrics, *saveLyrics;
    };
    ListeningKeys(const Window &window, RowPanel &rows, Playback &playback);

    void playCurrentRow(Playback::Track track);
    void toggleLoop();
    void switchTrack();
    // The right-click menu of the row's button for the track.
    QMenu *makeRowMenu(int row, Playback::Track track, QWidget *parent);
    QList<QAction *> keyActions() const { return m_keyActions; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildKeys();
    bool moveBetweenRows(QKeyEvent *event);
    bool rowPanelEvent(QEvent *event);
    // Said briefly beside the row's button, without a modal box.
    void showBesideButton(int row, Playback::Track track, const QString &text);

    Window m_window;
    RowPanel &m_rows;
    Playback &m_playback;
    QList<QAction *> m_keyActions;
};

} // namespace syj
