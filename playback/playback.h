// The two players of the sheet: giving them their files, and playing either of
// them from a row's time. Whenever one is given a file or a start time, the
// other pauses. A row can be looped, from a lead-in before its time to the
// next row's time; playback can move from one track to the other at the same
// place; each player has its own speed.
#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace syj {

class AudioPlayer;
class FileRequests;
class LyricSheetModel;

class Playback : public QObject
{
    Q_OBJECT
public:
    enum class Track { Accompaniment, Original };
    Q_ENUM(Track)

    Playback(AudioPlayer &accompaniment, AudioPlayer &original, const LyricSheetModel &sheet,
             FileRequests &files, QObject *parent = nullptr);

    // 打开伴奏音乐 / 打开原唱音乐: asks for a file, plays it from its beginning
    // and pauses the other player.
    void openTrack(Track track);
    // The same for a file chosen elsewhere (dropped on the player).
    void openTrackFrom(Track track, const QString &path);

    // Plays the track from the time of row `row` (from 0) and pauses the other
    // player. An info row plays nothing and pauses nothing.
    void cueRow(int row, Track track);

    AudioPlayer &player(Track track) const;

    // The span a row loops, in seconds: from the lead-in before the row's time
    // to the time of the next row whose time is later (end -1: the end of the
    // media). An info row loops the stretch it stands in: from the nearest
    // timed row above it (or the beginning) to the next one below (or the
    // end). None, and why, for a row whose tag is no number and for an info
    // row with no timed row around it.
    struct Span {
        double start = 0;
        double end = -1;
    };
    std::optional<Span> loopSpan(int row, QString *whyNot = nullptr) const;

    // Seconds of lead-in before a looped row's time, 0 to 3; 1 at first.
    void setLeadIn(double seconds);
    double leadIn() const { return m_leadIn; }

    // Loops row `row` on the track, from the start of its span, and pauses
    // the other player (which loops no more).
    void loopRow(int row, Track track);
    // Whether a loop is running on either player. While it is, a row cued
    // is looped.
    bool isLooping() const;
    // Loop on: loops `row` on the track last played; off: both players play
    // on without a loop.
    void toggleLoop(int row);

    // Moves playback to the other track at the same place in the song, with
    // the loop, and pauses the track it leaves. False if the other track has
    // nothing to play.
    bool switchTrack();
    // The track last played or given a file.
    Track activeTrack() const { return m_active; }

    // One speed step slower or faster on the track last played.
    void slower();
    void faster();
    void pauseBoth();

Q_SIGNALS:
    // A timed row whose tag is no number has no time to play from.
    void noPlayPosition(int row, Track track, const QString &tag);
    // A row that cannot be looped, and why.
    void noLoop(int row, Track track, const QString &why);
    void loopingChanged(bool looping);

private:
    AudioPlayer &otherPlayer(Track track) const;
    static Track other(Track track);
    void notePlaying(Track track, bool playing);

    AudioPlayer &m_accompaniment;
    AudioPlayer &m_original;
    const LyricSheetModel &m_sheet;
    FileRequests &m_files;
    double m_leadIn = 1.0;
    Track m_active = Track::Accompaniment;
    bool m_looping = false;
    // The row the running loop is of.
    int m_loopRow = -1;
};

} // namespace syj
