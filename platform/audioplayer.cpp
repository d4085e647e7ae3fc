#include "platform/audioplayer.h"

#include <QAudio>
#include <QAudioOutput>
#include <QDateTime>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// How long to wait, silent, for a file to tell its length before jumping
// to a position anyway.
constexpr int kHoldLimitMs = 3000;
// How long a file that reported an error while loading has to prove it
// loads after all (see AudioPlayer::onPlayerError).
constexpr int kFailGraceMs = 500;
// How long the player stays without a source between two files, for the
// first file's last messages to come in (see AudioPlayer::loadSource).
constexpr int kSwitchGapMs = 100;
// An end reported this soon after starting, far from the end, is not one
// (see AudioPlayer::endedTooSoon).
constexpr int kEarlyEndMs = 500;
constexpr int kEarlyEndRetries = 3;

// Size and modification time: enough to tell a file written anew.
QString fileStamp(const QUrl &url)
{
    if (!url.isLocalFile())
        return QString();
    const QFileInfo info(url.toLocalFile());
    if (!info.exists())
        return QString();
    return QString::number(info.size()) + u'/' +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

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

} // namespace

QUrl AudioPlayer::sourceUrl(const QString &path)
{
    const QUrl url(path, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1 && path.contains(u"://"_s))
        return url;
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

AudioPlayer::AudioPlayer(QObject *parent)
    : QObject(parent), m_holdTimer(new QTimer(this)), m_failTimer(new QTimer(this)),
      m_switchTimer(new QTimer(this))
{
    m_holdTimer->setSingleShot(true);
    m_holdTimer->setInterval(kHoldLimitMs);
    connect(m_holdTimer, &QTimer::timeout, this, [this] {
        // The length never came; try the position all the same rather than
        // stay silent.
        m_seekAnyway = true;
        applyPending();
    });

    m_failTimer->setSingleShot(true);
    m_failTimer->setInterval(kFailGraceMs);
    connect(m_failTimer, &QTimer::timeout, this, &AudioPlayer::confirmLoadFailure);
    m_switchTimer->setSingleShot(true);
    m_switchTimer->setInterval(kSwitchGapMs);
    connect(m_switchTimer, &QTimer::timeout, this, &AudioPlayer::finishSwitch);
}

void AudioPlayer::ensurePlayer()
{
    // The player and its audio output are made when the first file comes: they
    // start the media framework and look for a sound device, which the window
    // need not wait for at start-up.
    if (m_player)
        return;
    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    applyVolume();
    applyMuted();

    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        // A position still waiting to be taken up is what counts.
        if (!m_pendingPosition && isCurrentSource())
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

void AudioPlayer::setURL(const QString &path)
{
    ensurePlayer();
    const QUrl url = path.isEmpty() ? QUrl() : sourceUrl(path);
    const QString stamp = fileStamp(url);

    // The same file again, loaded without trouble and unchanged on disk:
    // start it over rather than load it again. Loading is the slow and
    // fragile part (see loadSource()), and the program asks for this often.
    if (!url.isEmpty() && url == m_source && stamp == m_sourceStamp && isReady()) {
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
    m_loadError.clear();
    m_failTimer->stop();
    m_startClock.invalidate();
    m_earlyEnds = 0;
    m_url = path;
    m_sourceStamp = stamp;
    // Until the new source is set, whatever the player reports is about the
    // old one (setSource() stops the old one first, reporting as it goes).
    m_source = QUrl();
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

void AudioPlayer::loadSource(const QUrl &url)
{
    // Two faults of Qt 6.4's GStreamer player shape this.
    //
    // It hands the last messages of the file before (an error, an end of
    // stream) to the next file when they arrive after the switch: a good file
    // given right after a broken one could stop at once, "at its end". So
    // the old file is let go first, its last words arrive while the player
    // has no source at all, and only then the new file is given.
    //
    // And, rarely, it deadlocks inside setSource(): it seeks the new pipeline
    // while the pipeline's own thread is still wiring up the decoder. Nothing
    // here can close that window; calling setSource() no more often than a
    // new file needs keeps the exposure small (see setURL()).
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
    m_holdTimer->stop();
    m_seekAnyway = false;
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
    return static_cast<double>(m_player->position()) / 1000.0;
}

double AudioPlayer::duration() const
{
    if (!isReady())
        return 0.0;
    return static_cast<double>(m_player->duration()) / 1000.0;
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

bool AudioPlayer::isCurrentSource() const
{
    return m_player && !m_source.isEmpty() && m_player->source() == m_source;
}

bool AudioPlayer::isReady() const
{
    return isCurrentSource() && m_error.isEmpty() && hasLoaded(m_player->mediaStatus());
}

bool AudioPlayer::canSeek() const
{
    // A seek made before the player knows the length is lost without a word:
    // the player takes it, then carries on from where it was. An MP3 with no
    // length header gets its length only after a little playing.
    return isReady() && m_player->isSeekable() && m_player->duration() > 0;
}

void AudioPlayer::scheduleApply()
{
    // Not from inside the player's own reports: a seek made while it is still
    // telling the world it has loaded is lost as well.
    QMetaObject::invokeMethod(this, &AudioPlayer::applyPending, Qt::QueuedConnection);
}

void AudioPlayer::applyPending()
{
    if (!isReady())
        return;
    if (m_pendingPosition && !canSeek() && !m_seekAnyway) {
        if (m_pendingPlay) {
            // Play without sound until the length is known, then jump: the
            // listener hears the place asked for and nothing before it.
            holdSound(true);
            if (!m_holdTimer->isActive())
                m_holdTimer->start();
            startPlayer(m_player->position());
        }
        return;
    }
    m_holdTimer->stop();
    m_seekAnyway = false;
    qint64 from = m_player->position();
    if (m_pendingPosition) {
        from = *m_pendingPosition;
        m_pendingPosition.reset();
        const qint64 length = m_player->duration();
        if (length > 0)
            from = std::min(from, length);
        m_player->setPosition(from);
        Q_EMIT positionChanged(from);
    }
    if (m_pendingPlay) {
        startPlayer(from);
        m_pendingPlay = false;
    }
    holdSound(false);
    notePlaying();
}

void AudioPlayer::startPlayer(qint64 fromMs)
{
    m_startedFromMs = fromMs;
    m_startClock.start();
    m_player->play();
}

bool AudioPlayer::endedTooSoon()
{
    // Right after a file that failed, Qt 6.4's player may report the end of
    // the next one the moment it starts, having played nothing: an end of
    // stream left over in the output from the file before. A real end this
    // soon would need a start within a second of the end, which this rules
    // out; a few retries at most, so a file that truly ends early stops.
    if (!m_startClock.isValid() || m_startClock.elapsed() > kEarlyEndMs)
        return false;
    const qint64 length = m_player->duration();
    if (length <= 0 || length - m_startedFromMs < 1000 || m_earlyEnds >= kEarlyEndRetries)
        return false;
    ++m_earlyEnds;
    return true;
}

void AudioPlayer::clearPending()
{
    m_pendingPosition.reset();
    m_pendingPlay = false;
    m_seekAnyway = false;
    m_holdTimer->stop();
    holdSound(false);
}

void AudioPlayer::holdSound(bool hold)
{
    if (m_holdingSound == hold)
        return;
    m_holdingSound = hold;
    applyMuted();
}

void AudioPlayer::onMediaStatusChanged(QMediaPlayer::MediaStatus status)
{
    if (!isCurrentSource())
        return;
    switch (status) {
    case QMediaPlayer::InvalidMedia:
        m_failTimer->start(); // see onPlayerError()
        return;
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferedMedia:
        // It loaded: whatever came in while it was loading was not about it.
        m_failTimer->stop();
        m_loadError.clear();
        break;
    case QMediaPlayer::EndOfMedia:
        if (endedTooSoon()) {
            if (!m_pendingPosition)
                m_pendingPosition = m_startedFromMs;
            m_pendingPlay = true;
        } else {
            m_startClock.invalidate();
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

    if (!hasLoaded(m_player->mediaStatus())) {
        // Not yet loaded. An error from the file before may still come in
        // after the switch to this one, read as this one's, and even turn its
        // status to InvalidMedia, which the new file's own LoadedMedia then
        // follows. So wait a moment and see which it was.
        if (m_loadError.isEmpty())
            m_loadError = reason;
        m_failTimer->start();
        return;
    }
    fail(reason); // broke while playing
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

} // namespace syj
