#include "platform/audioplayer.h"

#include "platform/gaplessloop.h"

#include <QAudio>
#include <QAudioOutput>
#include <QDateTime>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <gst/gst.h>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// Whether the player has the file loaded: it knows the file and can play it.
bool hasLoaded(QMediaPlayer::MediaStatus status)
{
    switch (status) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::StalledMedia:
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::BufferedMedia:
    case QMediaPlayer::EndOfMedia:
        return true;
    case QMediaPlayer::NoMedia:
    case QMediaPlayer::LoadingMedia:
    case QMediaPlayer::InvalidMedia:
        return false;
    }
    return false;
}

// The shortest loop: a span this short cannot be heard as a line.
constexpr qint64 kMinLoopMs = 100;
// How often the position is looked at while looping, and how a jump back is
// told to have been taken up: the player tells a place this far before the
// end, or the time is up. A sound server may keep telling the old place for
// a second or more after a jump; jumping again meanwhile would only start
// its stream over and over, and it would never play.
constexpr int kLoopWatchMs = 10;
constexpr qint64 kLoopSettledMs = 50;
constexpr qint64 kLoopSettleLimitMs = 3000;
// How long a position may stay put while playing before it is moved to again.
constexpr qint64 kLoopStallMs = 1000;
constexpr qint64 kLoopBeforeEndMs = 30;
// How far past a looping segment's end the position may go before the reader
// is taken not to have stopped there, and the loop jumps as it would without.
constexpr qint64 kLoopOverrunMs = 150;
// How long the Qt player may tell the place before a looping segment's start
// (it learns of the move only from the pipeline, once the move is made).
constexpr qint64 kArmCatchUpMs = 1000;

} // namespace

QUrl AudioPlayer::sourceUrl(const QString &path)
{
    const QUrl url(path, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1 && path.contains(u"://"_s))
        return url;
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

AudioPlayer::AudioPlayer(QObject *parent) : QObject(parent)
{
    m_loopWatch = new QTimer(this);
    m_loopWatch->setTimerType(Qt::PreciseTimer);
    m_loopWatch->setInterval(kLoopWatchMs);
    connect(m_loopWatch, &QTimer::timeout, this, &AudioPlayer::checkLoop);
    setUpWorkarounds();
}

AudioPlayer::~AudioPlayer()
{
    // The player may still report while it shuts down; by then this object is
    // half gone, so cut it off and let it go first.
    if (m_player) {
        m_player->disconnect(this);
        delete m_player;
        m_player = nullptr;
    }
}

void AudioPlayer::ensurePlayer()
{
    // The player and its audio output are made when the first file comes: they
    // start the media framework and look for a sound device, which the window
    // need not wait for at start-up.
    if (m_player)
        return;
    keepPitchAtOtherRates();
    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    m_gapless = new GaplessLoop(this);
    if (m_gapless->attach()) {
        connect(m_gapless, &GaplessLoop::wentBack, this, [this] { m_loopWentBack = true; });
    } else {
        delete m_gapless;
        m_gapless = nullptr;
    }
    applyVolume();
    applyMuted();

    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        // A position still waiting to be taken up is what counts.
        if (!m_pendingPosition && isCurrentSource() && !catchingUp())
            Q_EMIT positionChanged(ms);
    });
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        Q_EMIT durationChanged(ms);
        scheduleApply();
    });
    connect(m_player, &QMediaPlayer::seekableChanged, this, &AudioPlayer::scheduleApply);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &AudioPlayer::onMediaStatusChanged);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this,
            &AudioPlayer::onPlaybackStateChanged);
    connect(m_player, &QMediaPlayer::errorOccurred, this, &AudioPlayer::onPlayerError);
}

QMediaPlayer *AudioPlayer::mediaPlayer() const
{
    const_cast<AudioPlayer *>(this)->ensurePlayer();
    return m_player;
}

// ---------------------------------------------------------------------------
// Commands

void AudioPlayer::setURL(const QString &path)
{
    ensurePlayer();
    const QUrl url = path.isEmpty() ? QUrl() : sourceUrl(path);
    const QString stamp = fileStamp(url);

    // The same file again is started over rather than loaded anew where it
    // can be (workaround 2).
    if (canRestartWithoutLoading(url, stamp)) {
        m_url = path;
        clearPending();
        m_pendingPosition = 0;
        m_pendingPlay = true;
        Q_EMIT positionChanged(0);
        applyPending();
        notePlaying();
        return;
    }

    clearPending();
    m_error.clear();
    m_url = path;
    beginSwitch(stamp);
    Q_EMIT positionChanged(0);

    if (path.isEmpty()) {
        unloadSource();
        Q_EMIT fileChanged(QString());
        Q_EMIT mediaAvailableChanged(false);
        Q_EMIT durationChanged(0);
        notePlaying();
        return;
    }

    if (url.isLocalFile()) {
        const QFileInfo info(url.toLocalFile());
        if (!info.exists() || !info.isFile()) {
            unloadSource();
            Q_EMIT durationChanged(0);
            fail(info.exists() ? u"不是一个文件"_s : u"找不到文件"_s);
            return;
        }
    }

    m_pendingPlay = true;
    Q_EMIT fileChanged(path);
    Q_EMIT mediaAvailableChanged(true);
    loadSource(url);
    notePlaying();
}

void AudioPlayer::play()
{
    if (m_source.isEmpty() || !m_error.isEmpty())
        return;
    m_pendingPlay = true;
    applyPending();
    notePlaying();
}

void AudioPlayer::pause()
{
    m_pendingPlay = false;
    cancelHold();
    // QMediaPlayer::pause() would make a stopped player paused.
    if (m_player && m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
    holdSound(false);
    notePlaying();
}

void AudioPlayer::stop()
{
    clearPending();
    if (m_player && m_player->playbackState() != QMediaPlayer::StoppedState)
        m_player->stop();
    else if (canSeek() && m_player->position() != 0)
        m_player->setPosition(0);
    Q_EMIT positionChanged(0);
    notePlaying();
}

void AudioPlayer::setCurrentPosition(double seconds)
{
    if (m_source.isEmpty() || !m_error.isEmpty())
        return;
    // NaN and negatives mean the beginning; the cap only keeps the
    // conversion to milliseconds in range.
    const double s = (std::isnan(seconds) || seconds < 0) ? 0.0 : std::min(seconds, 1e9);
    const qint64 ms = std::llround(s * 1000.0);
    m_pendingPosition = ms;
    Q_EMIT positionChanged(ms);
    applyPending();
}

double AudioPlayer::currentPosition() const
{
    if (m_pendingPosition)
        return static_cast<double>(*m_pendingPosition) / 1000.0;
    if (!isReady())
        return 0.0;
    if (catchingUp())
        return static_cast<double>(*m_loopArmedAt) / 1000.0;
    return static_cast<double>(m_player->position()) / 1000.0;
}

double AudioPlayer::duration() const
{
    if (!isReady())
        return 0.0;
    return static_cast<double>(m_player->duration()) / 1000.0;
}

void AudioPlayer::setRate(double rate)
{
    rate = std::isnan(rate) ? 1.0 : std::clamp(rate, 0.5, 1.0);
    if (rate == m_rate)
        return;
    m_rate = rate;
    applyRate();
    Q_EMIT rateChanged(rate);
}

void AudioPlayer::setLoop(double startSeconds, double endSeconds)
{
    const auto toMs = [](double s) {
        return std::llround((std::isnan(s) || s < 0 ? 0.0 : std::min(s, 1e9)) * 1000.0);
    };
    m_loopStartMs = toMs(startSeconds);
    m_loopEndMs = endSeconds < 0 ? -1 : std::max(toMs(endSeconds), m_loopStartMs + kMinLoopMs);
    m_loopRounds = 0;
    m_loopJumped.invalidate();
    m_loopWentBack = false;
    m_loopTurnFrom = -1;
    m_loopClock.start();
    m_loopWatch->start();
    if (m_gapless)
        m_gapless->follow(m_loopStartMs, m_loopEndMs);
    Q_EMIT loopChanged(m_loopStartMs, m_loopEndMs);
}

void AudioPlayer::clearLoop()
{
    if (!hasLoop())
        return;
    m_loopStartMs = -1;
    m_loopEndMs = -1;
    m_loopWatch->stop();
    if (m_gapless)
        m_gapless->follow(-1, -1);
    Q_EMIT loopChanged(-1, -1);
}

void AudioPlayer::checkLoop()
{
    if (!hasLoop() || m_pendingPosition || !canSeek() ||
        m_player->playbackState() != QMediaPlayer::PlayingState)
        return;
    // A loop to the end turns just before it: at the end the player would
    // stop, and start again from the beginning.
    const qint64 end = m_loopEndMs < 0 ? m_player->duration() - kLoopBeforeEndMs : m_loopEndMs;
    const qint64 at = m_player->position();
    // A sound server now and then stops taking the sound after a jump,
    // with the player still playing: a position that stays put is moved to
    // again, which starts the sound anew. (The Qt player takes a move to
    // where it is as nothing to do, hence the millisecond.)
    if (at != m_loopLastPosition || !m_loopStill.isValid()) {
        m_loopStill.start();
    } else if (m_loopStill.elapsed() >= kLoopStallMs) {
        m_loopStill.start();
        seekInLoop(at + 1);
        return;
    }
    const qint64 before = m_loopLastPosition;
    const qint64 beforeAt = m_loopLastLook;
    m_loopLastPosition = at;
    m_loopLastLook = m_loopClock.elapsed();

    if (m_gapless && m_gapless->isArmed(m_loopEndMs)) {
        // The looping segment goes back by itself. The output tells its
        // start as soon as the start reaches it, while the end's sound it
        // holds is still playing; once the start is heard going on, the
        // moment it began is known, and the place the sound went back from
        // is where the end would have been by then.
        if (m_loopWentBack && at < before) {
            m_loopWentBack = false;
            m_loopTurnFrom = before;
            m_loopTurnFromAt = beforeAt;
        }
        if (m_loopTurnFrom >= 0 && at > m_loopStartMs) {
            const double startHeardAt = static_cast<double>(m_loopLastLook) -
                                        static_cast<double>(at - m_loopStartMs) / m_rate;
            const qint64 turnedAt =
                m_loopTurnFrom +
                std::llround((startHeardAt - static_cast<double>(m_loopTurnFromAt)) * m_rate);
            m_loopTurnFrom = -1;
            ++m_loopRounds;
            Q_EMIT loopedBack(turnedAt);
        }
        if (at <= end + kLoopOverrunMs)
            return;
        // The file's reader did not stop at the segment's end.
    }
    if (m_loopJumped.isValid()) {
        // Until the player has taken up the jump it may still tell the
        // place it jumped from.
        if (at >= end - kLoopSettledMs && m_loopJumped.elapsed() < kLoopSettleLimitMs)
            return;
        m_loopJumped.invalidate();
    }
    const qint64 left = end - at;
    if (left <= 0) {
        jumpToLoopStart();
        return;
    }
    // The end comes before the next look: be there on time.
    const auto wallMs = static_cast<qint64>(static_cast<double>(left) / m_rate);
    if (wallMs < kLoopWatchMs && !m_loopPlanned) {
        m_loopPlanned = true;
        QTimer::singleShot(static_cast<int>(wallMs), Qt::PreciseTimer, this, [this] {
            m_loopPlanned = false;
            if (hasLoop() && !m_loopJumped.isValid() && canSeek() &&
                !(m_gapless && m_gapless->isArmed(m_loopEndMs)) &&
                m_player->playbackState() == QMediaPlayer::PlayingState)
                jumpToLoopStart();
        });
    }
}

void AudioPlayer::jumpToLoopStart()
{
    const qint64 at = m_player->position();
    ++m_loopRounds;
    m_loopJumped.start();
    m_loopWentBack = false;
    seekInLoop(m_loopStartMs);
    Q_EMIT positionChanged(m_loopStartMs);
    Q_EMIT loopedBack(at);
}

void AudioPlayer::seekInLoop(qint64 ms)
{
    // From here on the loop goes back without a gap, where the pipeline can
    // be reached; else the Qt player moves, and the watch jumps back.
    if (hasLoop() && m_gapless && m_player->mediaStatus() != QMediaPlayer::EndOfMedia &&
        m_gapless->arm(ms, m_loopStartMs, m_loopEndMs, m_player->playbackRate())) {
        m_loopArmedAt = ms;
        m_loopArmed.start();
        m_loopTurnFrom = -1;
        return;
    }
    m_loopArmedAt.reset();
    m_player->setPosition(ms);
}

bool AudioPlayer::catchingUp() const
{
    if (!m_loopArmedAt || !m_loopArmed.isValid() || m_loopArmed.elapsed() >= kArmCatchUpMs)
        return false;
    const qint64 told = m_player->position();
    const auto since = static_cast<qint64>(static_cast<double>(m_loopArmed.elapsed()) * m_rate);
    return told < *m_loopArmedAt - kLoopSettledMs || told > *m_loopArmedAt + since + 250;
}

void AudioPlayer::setVolume(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_volume)
        return;
    m_volume = percent;
    applyVolume();
    Q_EMIT volumeChanged(percent);
}

void AudioPlayer::setMuted(bool muted)
{
    if (muted == m_muted)
        return;
    m_muted = muted;
    applyMuted();
    Q_EMIT mutedChanged(muted);
}

bool AudioPlayer::isPlaying() const
{
    if (!m_error.isEmpty())
        return false;
    return m_pendingPlay || (m_player && m_player->playbackState() == QMediaPlayer::PlayingState);
}

// ---------------------------------------------------------------------------
// Taking up a position and a start once the player can

bool AudioPlayer::isReady() const
{
    return isCurrentSource() && m_error.isEmpty() && hasLoaded(m_player->mediaStatus());
}

void AudioPlayer::applyPending()
{
    if (!isReady())
        return;
    if (m_pendingPosition && !canSeek() && !m_seekAnyway) {
        if (m_pendingPlay)
            holdUntilSeekable();
        return;
    }
    cancelHold();
    qint64 from = m_player->position();
    if (m_pendingPosition) {
        from = *m_pendingPosition;
        m_pendingPosition.reset();
        const qint64 length = m_player->duration();
        if (length > 0)
            from = std::min(from, length);
        // A new rate is a move of the player's own, which would end a
        // looping segment: it goes first.
        if (m_pendingPlay)
            applyRate();
        m_loopArmedAt.reset();
        if (hasLoop() && from >= m_loopStartMs && (m_loopEndMs < 0 || from < m_loopEndMs))
            seekInLoop(from);
        else
            m_player->setPosition(from);
        Q_EMIT positionChanged(from);
    }
    if (m_pendingPlay) {
        startPlayer(from);
        m_pendingPlay = false;
    }
    // Only now, with the jump made, is the sound let through (workaround 3).
    holdSound(false);
    notePlaying();
}

void AudioPlayer::clearPending()
{
    m_pendingPosition.reset();
    m_loopArmedAt.reset();
    m_pendingPlay = false;
    cancelHold();
    holdSound(false);
}

// ---------------------------------------------------------------------------
// Reports from the Qt player

void AudioPlayer::onMediaStatusChanged(QMediaPlayer::MediaStatus status)
{
    // Workarounds 1, 5 and 6 sift what the player says about loading and
    // ending.
    if (!isCurrentSource())
        return;
    switch (status) {
    case QMediaPlayer::InvalidMedia:
        suspectLoadFailure(QString());
        return;
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferedMedia:
        clearLoadFailure();
        break;
    case QMediaPlayer::EndOfMedia:
        checkEarlyEnd();
        if (hasLoop() && !m_pendingPlay) {
            // The end came before the watch turned back (a file shorter than
            // it said). The Qt player starts an ended file from its beginning,
            // so it is started first and then moved.
            ++m_loopRounds;
            Q_EMIT loopedBack(m_player->duration());
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!hasLoop() || !isReady())
                        return;
                    startPlayer(m_loopStartMs);
                    m_player->setPosition(m_loopStartMs);
                    Q_EMIT positionChanged(m_loopStartMs);
                },
                Qt::QueuedConnection);
        }
        break;
    case QMediaPlayer::NoMedia:
    case QMediaPlayer::LoadingMedia:
    case QMediaPlayer::StalledMedia:
    case QMediaPlayer::BufferingMedia:
        break;
    }
    scheduleApply();
}

void AudioPlayer::onPlaybackStateChanged(QMediaPlayer::PlaybackState state)
{
    Q_EMIT playbackStateChanged(state);
    notePlaying();
}

void AudioPlayer::onPlayerError(QMediaPlayer::Error error, const QString &message)
{
    if (error == QMediaPlayer::NoError || !isCurrentSource() || !m_error.isEmpty())
        return; // nothing, no file of ours, or the first reason given stands
    // The backend's words are terse and English ("Internal data stream
    // error."), and a file it has no decoder for reads the same as a broken
    // one; say it plainly and keep its words for the details.
    QString reason;
    switch (error) {
    case QMediaPlayer::AccessDeniedError:
        reason = u"没有读取此文件的权限"_s;
        break;
    case QMediaPlayer::NetworkError:
        reason = u"网络错误"_s;
        break;
    case QMediaPlayer::FormatError:
        reason = u"不支持此文件的格式"_s;
        break;
    case QMediaPlayer::ResourceError:
    case QMediaPlayer::NoError:
        reason = u"文件已损坏、不是音频文件，或缺少相应的解码器"_s;
        break;
    }
    if (!message.isEmpty())
        reason += u"（"_s + message + u"）"_s;

    if (!hasLoaded(m_player->mediaStatus()))
        suspectLoadFailure(reason);
    else
        fail(reason); // broke while playing
}

void AudioPlayer::fail(const QString &message)
{
    const bool changed = message != m_error;
    m_error = message;
    clearPending();
    Q_EMIT fileFailed(m_url, message);
    Q_EMIT mediaAvailableChanged(false);
    if (changed)
        Q_EMIT errorOccurred(message);
    notePlaying();
}

void AudioPlayer::applyMuted()
{
    if (m_audio)
        m_audio->setMuted(m_muted || m_holdingSound);
}

void AudioPlayer::applyVolume()
{
    const float linear =
        QAudio::convertVolume(static_cast<float>(m_volume) / 100.0f, QAudio::LogarithmicVolumeScale,
                              QAudio::LinearVolumeScale);
    if (m_audio)
        m_audio->setVolume(linear);
}

void AudioPlayer::notePlaying()
{
    const bool playing = isPlaying();
    if (playing == m_wasPlaying)
        return;
    m_wasPlaying = playing;
    Q_EMIT playingChanged(playing);
}

// ===========================================================================
// Workarounds for Qt 6.4's GStreamer backend
//
// Everything this class does only because of a fault of the Qt player it
// drives is here, below; the code above calls on it by name. Each fault, what
// it looks like from outside, and how it is met:
//
// 1. Messages of the file before reach the next one. When the player is given
//    a new source, the last messages of the old one (an error, an end of
//    stream) may still arrive afterwards and are taken for the new file's: a
//    good file given right after a broken one stops at once, "at its end", or
//    shows the broken file's error. So the old source is let go first
//    (unloadSource()), and the new one is given only after a gap of
//    kSwitchGapMs with no source at all (loadSource(), finishSwitch()), in
//    which the old file's last words arrive and are dropped: until the player
//    holds the source asked for, nothing it reports counts
//    (isCurrentSource(), beginSwitch()).
//
// 2. It may deadlock inside setSource(), seeking the new pipeline while the
//    pipeline's own thread is still wiring up the decoder; rare, and nothing
//    here can close the window. The exposure is kept small by giving a
//    source no more often than a new file needs: the same file asked for
//    again, loaded without trouble and unchanged on disk (same size and
//    time), is started over from its beginning instead of being loaded anew
//    (canRestartWithoutLoading(), fileStamp()). The program asks for that
//    often: every open of the same file.
//
// 3. A seek made before the player knows the length is lost without a word:
//    it is taken, then the player carries on from where it was. An MP3 with
//    no length header gets its length only after some playing. So a position
//    is set only once the length is known (canSeek()); asked to play from a
//    position before that, it plays muted from where it is until the length
//    comes, then jumps and lets the sound through, so the listener hears the
//    place asked for and nothing before it (holdUntilSeekable(),
//    holdSound()). Should the length not come within kHoldLimitMs, the jump
//    is made all the same rather than stay silent.
//
// 4. A seek made from inside the player's own reports (while it is still
//    telling the world that it has loaded, or its length) is lost as well. A
//    position or start waiting for such a report is therefore taken up from
//    a queued call, after the report has returned (scheduleApply()).
//
// 5. An error of the file before can arrive after the switch (despite 1),
//    read as the new file's, and even turn its status to InvalidMedia, which
//    the new file's own LoadedMedia then follows. An error or InvalidMedia
//    while a file has not yet loaded is therefore only a suspicion: the file
//    has kFailGraceMs to load after all before it is shown as unplayable,
//    with the first reason given (suspectLoadFailure(), clearLoadFailure(),
//    confirmLoadFailure()). An error after loading counts at once.
//
// 6. Right after a file that failed, the next one may report its end the
//    moment it starts, having played nothing: an end of stream left in the
//    output from the file before. An end within kEarlyEndMs of a start that
//    was a second or more before the end cannot be real; the file is started
//    again from the same place, at most kEarlyEndRetries times, so that a
//    file that truly ends early stops (startPlayer(), checkEarlyEnd()).
//
// 7. A rate below 1 plays the sound lower, as a tape does: at 0.5 a 440 Hz
//    tone sounds at 220 Hz (measured on the real output). Qt's audio path is
//    its own pipeline of queue, converter, resampler, volume and sink, made by
//    name from GStreamer's registry; before the first player is made, the
//    name of the resampler is given to a bin of the resampler followed by
//    GStreamer's tempo filter (scaletempo), which keeps the pitch and lets the
//    sink play at the rate asked for (keepPitchAtOtherRates()). The rate is
//    given to the Qt player each time it starts (applyRate()), so that it
//    holds for every file. Without the tempo filter, the rate still works and
//    the pitch follows it.
// ===========================================================================

namespace {

// 1: how long the player stays without a source between two files.
constexpr int kSwitchGapMs = 100;
// 3: how long to wait, silent, for the length before jumping anyway.
constexpr int kHoldLimitMs = 3000;
// 5: how long a file suspected of failing to load has to load after all.
constexpr int kFailGraceMs = 500;
// 6: an end this soon after a start far from the end is not one.
constexpr int kEarlyEndMs = 500;
constexpr int kEarlyEndRetries = 3;

} // namespace

void AudioPlayer::setUpWorkarounds()
{
    m_switchTimer = new QTimer(this);
    m_switchTimer->setSingleShot(true);
    m_switchTimer->setInterval(kSwitchGapMs);
    connect(m_switchTimer, &QTimer::timeout, this, &AudioPlayer::finishSwitch);

    m_holdTimer = new QTimer(this);
    m_holdTimer->setSingleShot(true);
    m_holdTimer->setInterval(kHoldLimitMs);
    connect(m_holdTimer, &QTimer::timeout, this, [this] {
        // The length never came; try the position all the same.
        m_seekAnyway = true;
        applyPending();
    });

    m_failTimer = new QTimer(this);
    m_failTimer->setSingleShot(true);
    m_failTimer->setInterval(kFailGraceMs);
    connect(m_failTimer, &QTimer::timeout, this, &AudioPlayer::confirmLoadFailure);
}

// 1: messages of the file before.

void AudioPlayer::beginSwitch(const QString &stamp)
{
    // A new file, or none, from here on: the old file's troubles are
    // forgotten, and until the new source is set whatever the player reports
    // is about the old one (setSource() stops the old one first, reporting as
    // it goes).
    m_source = QUrl();
    m_sourceStamp = stamp;
    m_loadError.clear();
    m_failTimer->stop();
    m_startClock.invalidate();
    m_earlyEnds = 0;
}

void AudioPlayer::loadSource(const QUrl &url)
{
    m_source = url;
    if (!m_player->source().isEmpty())
        unloadSource(); // finishSwitch() follows
    else if (!m_switchTimer->isActive())
        finishSwitch();
}

void AudioPlayer::unloadSource()
{
    m_player->setSource(QUrl());
    m_switchTimer->start();
}

void AudioPlayer::finishSwitch()
{
    if (m_source.isEmpty() || m_player->source() == m_source)
        return;
    m_player->setSource(m_source);
    scheduleApply();
}

bool AudioPlayer::isCurrentSource() const
{
    return m_player && !m_source.isEmpty() && m_player->source() == m_source;
}

// 2: no more setSource() than a new file needs.

QString AudioPlayer::fileStamp(const QUrl &url)
{
    if (!url.isLocalFile())
        return QString();
    const QFileInfo info(url.toLocalFile());
    if (!info.exists())
        return QString();
    return QString::number(info.size()) + u'/' +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

bool AudioPlayer::canRestartWithoutLoading(const QUrl &url, const QString &stamp) const
{
    return !url.isEmpty() && url == m_source && stamp == m_sourceStamp && isReady();
}

// 3: no seek before the length is known; silent until it can be made.

bool AudioPlayer::canSeek() const
{
    return isReady() && m_player->isSeekable() && m_player->duration() > 0;
}

void AudioPlayer::holdUntilSeekable()
{
    holdSound(true);
    if (!m_holdTimer->isActive())
        m_holdTimer->start();
    startPlayer(m_player->position());
}

void AudioPlayer::cancelHold()
{
    m_holdTimer->stop();
    m_seekAnyway = false;
}

void AudioPlayer::holdSound(bool hold)
{
    if (m_holdingSound == hold)
        return;
    m_holdingSound = hold;
    applyMuted();
}

// 4: no seek from inside the player's own reports.

void AudioPlayer::scheduleApply()
{
    QMetaObject::invokeMethod(this, &AudioPlayer::applyPending, Qt::QueuedConnection);
}

// 5: load errors that may belong to the file before.

void AudioPlayer::suspectLoadFailure(const QString &reason)
{
    if (m_loadError.isEmpty())
        m_loadError = reason;
    m_failTimer->start();
}

void AudioPlayer::clearLoadFailure()
{
    m_failTimer->stop();
    m_loadError.clear();
}

void AudioPlayer::confirmLoadFailure()
{
    if (!isCurrentSource() || !m_error.isEmpty())
        return;
    if (hasLoaded(m_player->mediaStatus()))
        m_loadError.clear();
    else
        fail(m_loadError.isEmpty() ? u"无法识别此文件的格式"_s : m_loadError);
}

// 6: an end of stream left over from the file before.

void AudioPlayer::startPlayer(qint64 fromMs)
{
    applyRate();
    m_startedFromMs = fromMs;
    m_startClock.start();
    m_player->play();
}

void AudioPlayer::checkEarlyEnd()
{
    const qint64 length = m_player->duration();
    const bool tooSoon = m_startClock.isValid() && m_startClock.elapsed() <= kEarlyEndMs &&
                         length > 0 && length - m_startedFromMs >= 1000 &&
                         m_earlyEnds < kEarlyEndRetries;
    if (!tooSoon) {
        m_startClock.invalidate();
        return;
    }
    ++m_earlyEnds;
    if (!m_pendingPosition)
        m_pendingPosition = m_startedFromMs;
    m_pendingPlay = true;
}

// 7: the pitch kept at other rates.

namespace {

// The audio resampler's own factory, taken before ours stands in for it.
GstElementFactory *g_resampler = nullptr;

// Ours: the resampler, then the tempo filter, in one bin that shows the
// resampler's "sink" and "src" pads. The tempo filter always gets the same
// format: it crashes when the format changes under it, as it does when a
// player goes from one file to another of a different sample rate.
void makeResamplerKeepingPitch(GTypeInstance *instance, gpointer)
{
    GstElement *bin = GST_ELEMENT(instance);
    GstElement *resample = gst_element_factory_create(g_resampler, nullptr);
    GstElement *fixed = gst_element_factory_make("capsfilter", nullptr);
    GstElement *tempo = gst_element_factory_make("scaletempo", nullptr);
    if (!resample || !fixed || !tempo) {
        for (GstElement *e : {resample, fixed, tempo}) {
            if (e)
                gst_object_unref(e);
        }
        return;
    }
    GstCaps *caps =
        gst_caps_from_string("audio/x-raw,format=F32LE,rate=48000,channels=2,layout=interleaved");
    g_object_set(fixed, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(bin), resample, fixed, tempo, nullptr);
    gst_element_link_many(resample, fixed, tempo, nullptr);
    GstPad *in = gst_element_get_static_pad(resample, "sink");
    GstPad *out = gst_element_get_static_pad(tempo, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", in));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", out));
    gst_object_unref(in);
    gst_object_unref(out);
    // The loop without a gap reaches the pipeline through it.
    GaplessLoop::noteAudioPathElement(bin);
}

bool installResamplerKeepingPitch()
{
    if (!gst_init_check(nullptr, nullptr, nullptr))
        return false;
    GstElementFactory *resampler = gst_element_factory_find("audioresample");
    GstElementFactory *tempo = gst_element_factory_find("scaletempo");
    const bool found = resampler && tempo;
    if (tempo)
        gst_object_unref(tempo);
    if (!found) {
        if (resampler)
            gst_object_unref(resampler);
        return false;
    }
    // Loaded now: a factory not yet loaded would load by looking its name up
    // in the registry, where it would find ours.
    g_resampler = GST_ELEMENT_FACTORY(gst_plugin_feature_load(GST_PLUGIN_FEATURE(resampler)));
    gst_object_unref(resampler);
    if (!g_resampler)
        return false;
    const GType type = g_type_register_static_simple(GST_TYPE_BIN, "SyjResamplerKeepingPitch",
                                                     sizeof(GstBinClass), nullptr, sizeof(GstBin),
                                                     makeResamplerKeepingPitch, GTypeFlags(0));
    return gst_element_register(nullptr, "audioresample", GST_RANK_NONE, type);
}

} // namespace

bool AudioPlayer::keepPitchAtOtherRates()
{
    static const bool installed = installResamplerKeepingPitch();
    return installed;
}

void AudioPlayer::applyRate()
{
    if (m_player && m_player->playbackRate() != m_rate)
        m_player->setPlaybackRate(m_rate);
}

// End of the workarounds for Qt 6.4's GStreamer backend.
// ===========================================================================

} // namespace syj
