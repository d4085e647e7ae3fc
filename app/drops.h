// Files dropped on the main window. A file dropped anywhere on the window is
// opened as the original lyrics, as if it had been chosen in 打开原唱歌词; a
// sound or video file dropped on one of the two players is given to that
// player, as its open button does. A lyric file dropped on a player still goes
// to the sheet. Only one local file at a time is taken, and the pointer shows
// a drop as possible only where the file would be taken.
#pragma once

#include <QObject>

class QDropEvent;
class QWidget;

namespace syj {

class LyricSheetCommands;
class LyricSheetModel;
class MediaPlayer;
class Playback;

class DropHandler : public QObject
{
    Q_OBJECT
public:
    // Takes the drops on `window`, which must accept drops.
    DropHandler(QWidget &window, const MediaPlayer &accompaniment, const MediaPlayer &original,
                LyricSheetCommands &commands, Playback &playback, const LyricSheetModel &sheet);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Where a file dragged over the window would go if it were dropped there.
    enum class Target { Nothing, Sheet, Accompaniment, Original };
    Target targetOf(const QDropEvent &event, QString *file = nullptr) const;
    void answerDrag(QDropEvent &event) const;
    void drop(QDropEvent &event);

    QWidget &m_window;
    const MediaPlayer &m_accompaniment;
    const MediaPlayer &m_original;
    LyricSheetCommands &m_commands;
    Playback &m_playback;
    const LyricSheetModel &m_sheet;
};

} // namespace syj
