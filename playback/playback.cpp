#include "playback/playback.h"

#include "player/audioplayer.h"
#include "player/speedsteps.h"
#include "sheet/filerequests.h"
#include "sheet/lyricsheetmodel.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace syj {

Playback::Playback(AudioPlayer &accompaniment, AudioPlayer &original, const LyricSheetModel &sheet,
                   FileRequests &files, QObject *parent)
    : QObject(parent), m_accompaniment(accompaniment), m_original(original), m_sheet(sheet),
      m_files(files)
{
    for (const Track t : {Track::Accompaniment, Track::Original}) {
        AudioPlayer *p = &player(t);
        connect(p, &AudioPlayer::playingChanged, this,
                [this, t](bool playing) { notePlaying(t, playing); });
        connect(p, &AudioPlayer::loopChanged, this, [this] {
            const bool looping = isLooping();
            if (looping != m_looping) {
                m_looping = looping;
                Q_EMIT loopingChanged(looping);
            }
        });
    }
    // A loop belongs to a row of the sheet: when the rows go, so does the loop.
    connect(&m_sheet, &LyricSheetModel::rowsAboutToBeRemoved, this, [this] {
        m_accompaniment.clearLoop();
        m_original.clearLoop();
    });
}

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
    const QString chosen = m_files.choose(FileRequests::Kind::OpenMusic);
    if (chosen.isEmpty()) {
        showNoFileChosen(m_files.tools());
        return;
    }
    openTrackFrom(track, chosen);
}

void Playback::openTrackFrom(Track track, const QString &path)
{
    AudioPlayer &p = player(track);
    p.setURL(path);
    // The speed stays; a loop stays too, being a line of the same sheet, and
    // the new file starts where the loop does.
    if (p.hasLoop())
        p.setCurrentPosition(p.loopStart());
    otherPlayer(track).pause();
    m_active = track;
}

void Playback::cueRow(int row, Track track)
{
    if (!m_sheet.hasRow(row))
        return;
    if (isLooping()) {
        loopRow(row, track);
        return;
    }
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
    m_active = track;
}

Playback::Track Playback::other(Track track)
{
    return track == Track::Accompaniment ? Track::Original : Track::Accompaniment;
}

void Playback::notePlaying(Track track, bool playing)
{
    if (playing)
        m_active = track;
}

std::optional<Playback::Span> Playback::loopSpan(int row, QString *whyNot) const
{
    const auto fail = [whyNot](const QString &why) -> std::optional<Span> {
        if (whyNot)
            *whyNot = why;
        return std::nullopt;
    };
    if (!m_sheet.hasRow(row))
        return fail(u"没有这一句"_s);
    const LyricRow &r = m_sheet.at(row);
    const auto timeOf = [this](int i) -> std::optional<double> {
        const LyricRow &x = m_sheet.at(i);
        return x.isTimed() ? x.seconds : std::nullopt;
    };
    std::optional<double> from;
    if (r.isTimed()) {
        if (!r.seconds)
            return fail(u"这一句的时间标签“%1”不是数字，无法循环。"_s.arg(r.tag));
        from = r.seconds;
    } else {
        for (int i = row - 1; i >= 0 && !from; --i)
            from = timeOf(i);
    }
    std::optional<double> to;
    for (int i = row + 1; i < m_sheet.count() && !to; ++i) {
        const std::optional<double> t = timeOf(i);
        if (t && (!from || *t > *from))
            to = t;
    }
    if (!from && !to)
        return fail(u"这一句没有时间标签，前后也没有带时间的句子，无法循环。"_s);
    Span span;
    span.start = from ? std::max(0.0, *from - m_leadIn) : 0.0;
    span.end = to ? *to : -1.0;
    return span;
}

void Playback::setLeadIn(double seconds)
{
    m_leadIn = std::isnan(seconds) ? 1.0 : std::clamp(seconds, 0.0, 3.0);
    // A loop running takes the new lead-in from its next round on.
    for (AudioPlayer *p : {&m_accompaniment, &m_original}) {
        if (!p->hasLoop())
            continue;
        if (const std::optional<Span> span = loopSpan(m_loopRow))
            p->setLoop(span->start, span->end);
    }
}

void Playback::loopRow(int row, Track track)
{
    QString why;
    const std::optional<Span> span = loopSpan(row, &why);
    otherPlayer(track).pause();
    if (!span) {
        Q_EMIT noLoop(row, track, why);
        return;
    }
    AudioPlayer &p = player(track);
    m_loopRow = row;
    p.setLoop(span->start, span->end);
    otherPlayer(track).clearLoop();
    p.setCurrentPosition(span->start);
    p.play();
    m_active = track;
}

bool Playback::isLooping() const
{
    return m_accompaniment.hasLoop() || m_original.hasLoop();
}

void Playback::toggleLoop(int row)
{
    if (isLooping()) {
        m_accompaniment.clearLoop();
        m_original.clearLoop();
        return;
    }
    loopRow(row, m_active);
}

bool Playback::switchTrack()
{
    const Track target = other(m_active);
    AudioPlayer &from = player(m_active);
    AudioPlayer &to = player(target);
    if (to.URL().isEmpty() || !to.errorText().isEmpty())
        return false;
    const double at = from.currentPosition();
    if (from.hasLoop())
        to.setLoop(from.loopStart(), from.loopEnd());
    else
        to.clearLoop();
    from.clearLoop();
    from.pause();
    to.setCurrentPosition(at);
    to.play();
    m_active = target;
    return true;
}

void Playback::slower()
{
    AudioPlayer &p = player(m_active);
    p.setRate(slowerSpeed(p.rate()));
}

void Playback::faster()
{
    AudioPlayer &p = player(m_active);
    p.setRate(fasterSpeed(p.rate()));
}

void Playback::pauseBoth()
{
    m_accompaniment.pause();
    m_original.pause();
}

} // namespace syj
