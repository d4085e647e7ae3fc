// The two players of the sheet: giving them their files, and playing either of
// them from a row's time. Whenever one is given a file or a start time, the
// other pauses.
#pragma once

#include <QObject>
#include <QString>

namespace syj {

class AudioPlayer;
class CommonDialog;
class LyricSheetModel;
class PlatformTools;

class Playback : public QObject
{
    Q_OBJECT
public:
    enum class Track { Accompaniment, Original };
    Q_ENUM(Track)

    Playback(AudioPlayer &accompaniment, AudioPlayer &original, const LyricSheetModel &sheet,
             PlatformTools &tools, CommonDialog &dialog, QObject *parent = nullptr);

    // 打开伴奏音乐 / 打开原唱音乐: asks for a file, plays it from its beginning
    // and pauses the other player.
    void openTrack(Track track);
    // The same for a file chosen elsewhere (dropped on the player).
    void openTrackFrom(Track track, const QString &path);

    // Plays the track from the time of row `row` (from 0) and pauses the other
    // player. An info row plays nothing and pauses nothing.
    void cueRow(int row, Track track);

    AudioPlayer &player(Track track) const;

Q_SIGNALS:
    // A timed row whose tag is no number has no time to play from.
    void noPlayPosition(int row, Track track, const QString &tag);

private:
    AudioPlayer &otherPlayer(Track track) const;

    AudioPlayer &m_accompaniment;
    AudioPlayer &m_original;
    const LyricSheetModel &m_sheet;
    PlatformTools &m_tools;
    CommonDialog &m_dialog;
};

} // namespace syj
