#include "playback/playback.h"

#include "platform/audioplayer.h"
#include "sheet/commondialog.h"
#include "sheet/lyricsheetmodel.h"

namespace syj {

Playback::Playback(AudioPlayer &accompaniment, AudioPlayer &original, const LyricSheetModel &sheet,
                   PlatformTools &tools, CommonDialog &dialog, QObject *parent)
    : QObject(parent), m_accompaniment(accompaniment), m_original(original), m_sheet(sheet),
      m_tools(tools), m_dialog(dialog)
{}

AudioPlayer &Playback::player(Track track) const
{
    return track == Track::Accompaniment ? m_accompaniment : m_original;
}

AudioPlayer &Playback::otherPlayer(Track track) const
{
    return track == Track::Accompaniment ? m_original : m_accompaniment;
}

void Playback::openTrack(Track track)
{
    const QString chosen = askOpenFile(m_dialog);
    if (chosen.isEmpty()) {
        showNoFileChosen(m_tools);
        return;
    }
    openTrackFrom(track, chosen);
}

void Playback::openTrackFrom(Track track, const QString &path)
{
    player(track).setURL(path);
    otherPlayer(track).pause();
}

void Playback::cueRow(int row, Track track)
{
    if (!m_sheet.hasRow(row))
        return;
    const LyricRow &r = m_sheet.at(row);
    if (!r.isTimed())
        return;
    otherPlayer(track).pause();
    if (!r.seconds) {
        Q_EMIT noPlayPosition(row, track, r.tag);
        return;
    }
    AudioPlayer &p = player(track);
    p.setCurrentPosition(*r.seconds);
    p.play();
}

} // namespace syj
