#include "player/audioplayer.h"

#include "player/pipeline.h"

#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <gst/gst.h>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// The shortest loop: a span this short cannot be heard as a line.
constexpr qint64 kMinLoopMs = 100;
// How often the position shown follows the sound while playing.
constexpr int kTickMs = 40;
// How long the program's end waits for a pipeline to be torn down.
constexpr int kFinishMs = 1000;

qint64 toMs(double seconds)
{
    // NaN and negatives mean the beginning; the cap only keeps the
    // conversion to milliseconds in range.
    const double s = (std::isnan(seconds) || seconds < 0) ? 0.0 : std::min(seconds, 1e9);
    return std::llround(s * 1000.0);
}

} // namespace

// Where the pipelines' reports are handed to the player, on whichever thread
// they come; the player is gone once `owner` is null.
struct AudioPlayer::Mailbox {
    std::mutex mutex;
    AudioPlayer *owner = nullptr;
};

QUrl AudioPlayer::sourceUrl(const QString &path)
{
    const QUrl url(path, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1 && path.contains(u"://"_s))
        return url;
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

double AudioPlayer::gainOf(int percent)
{
    // The volume slider's scale: equal steps sound equally louder.
    const double v = std::clamp(percent, 0, 100) / 100.0;
    return v < 1.0 ? -std::log(1.0 - v) / std::log(100.0) : 1.0;
}

void AudioPlayer::prepareInBackground()
{
    static std::once_flag once;
    std::call_once(once, [] {
        std::thread([] {
            if (!gst_init_check(nullptr, nullptr, nullptr))
                return;
            // What opening a WAV, an MP3 or another common file loads.
            for (const char *name :
                 {"coreelements", "playback", "typefindfunctions", "audioconvert", "audioresample",
                  "audiofx", "autodetect", "pulseaudio", "volume", "wavparse", "audioparsers",
                  "mpg123", "libav", "ogg", "vorbis", "flac", "isomp4"}) {
                if (GstPlugin *plugin = gst_plugin_load_by_name(name))
                    gst_object_unref(plugin);
            }
        }).detach();
    });
}

AudioPlayer::AudioPlayer(QObject *parent) : QObject(parent), m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->owner = this;
    m_tick = new QTimer(this);
    m_tick->setInterval(kTickMs);
    connect(m_tick, &QTimer::timeout, this, &AudioPlayer::onTick);
    // A file that does not open, or a move it never makes (a stream whose
    // server stopped answering), is given up rather than waited for.
    m_answerLimit = new QTimer(this);
    m_answerLimit->setSingleShot(true);
    m_answerLimit->setInterval(kOpenLimitMs);
    connect(m_answerLimit, &QTimer::timeout, this, [this] {
        if (!m_pipeline || !m_error.isEmpty())
            return;
        // Now and then a pipeline never finishes opening a file that opens at
        // once on another: it is given up halfway, and the file opened again.
        if (!m_loaded && !m_openedAgain) {
            m_openedAgain = true;
            m_pipeline.reset();
            openPipeline();
            return;
        }
        if (!m_loaded)
            fail(u"文件没有响应：%1 秒内没能打开"_s.arg(kOpenLimitMs / 1000));
        else if (m_moving)
            fail(u"文件没有响应：%1 秒内没能换到要播放的地方"_s.arg(kOpenLimitMs / 1000));
    });
}

AudioPlayer::~AudioPlayer()
{
    {
        const std::lock_guard<std::mutex> lock(m_mailbox->mutex);
        m_mailbox->owner = nullptr;
    }
    if (m_pipeline)
        m_pipeline->finish(kFinishMs);
}

// ---------------------------------------------------------------------------
// Files

void AudioPlayer::setURL(const QString &path)
{
    closePipeline();
    m_error.clear();
    m_openedAgain = false;
    m_url = path;
    Q_EMIT positionChanged(0);
    Q_EMIT durationChanged(0);
    if (path.isEmpty()) {
        m_wantPlay = false;
        Q_EMIT fileChanged(QString());
        Q_EMIT mediaAvailableChanged(false);
        show(PlaybackState::Stopped);
        return;
    }

    m_wantPlay = true;
    Q_EMIT fileChanged(path);
    if (!openPipeline())
        return;
    Q_EMIT mediaAvailableChanged(true);
    show(PlaybackState::Playing);
}

bool AudioPlayer::openPipeline()
{
    const quint64 file = ++m_file;
    const QUrl url = sourceUrl(m_url);
    auto deliver = [mailbox = m_mailbox, file](const Pipeline::Event &event) {
        const std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (AudioPlayer *owner = mailbox->owner) {
            QMetaObject::invokeMethod(
                owner,
                [owner, file, event] { owner->onReport(file, int(event.kind), event.reason); },
                Qt::QueuedConnection);
        }
    };
    m_pipeline = std::make_unique<Pipeline>(url.toString(QUrl::FullyEncoded),
                                            url.isLocalFile() ? url.toLocalFile() : QString(),
                                            std::move(deliver));
    m_pipelineReady = false;
    m_pipelinePlays = false;
    m_tempoUsed = false;
    if (!m_pipeline->isValid()) {
        fail(u"缺少 GStreamer 的播放组件"_s);
        return false;
    }
    m_pipeline->setOutput(gainOf(m_volume), m_muted);
    m_pipeline->open();
    // A file being opened has half the limit, and the rest when it is opened
    // again; a move opened on a pipeline of its own has the whole.
    m_answerLimit->start(m_loaded        ? kOpenLimitMs
                         : m_openedAgain ? kOpenLimitMs - kOpenLimitMs / 2
                                         : kOpenLimitMs / 2);
    return true;
}

void AudioPlayer::closePipeline()
{
    m_pipeline.reset();
    ++m_file;
    m_answerLimit->stop();
    m_loaded = false;
    m_atEnd = false;
    m_pipelinePlays = false;
    m_moveTo.reset();
    m_moveHere = false;
    m_moving.reset();
    m_streamLoops = false;
    m_turnsCounted = 0;
    m_lastHeardMs = 0;
    m_durationMs = 0;
    show(m_state);
}

void AudioPlayer::onReport(quint64 file, int kind, const QString &reason)
{
    if (file != m_file || !m_pipeline || !m_error.isEmpty())
        return; // a file before's, or after the file failed
    switch (static_cast<Pipeline::Event::Kind>(kind)) {
    case Pipeline::Event::Kind::Prerolled:
        onPrerolled();
        break;
    case Pipeline::Event::Kind::DurationChanged:
        updateDuration();
        break;
    case Pipeline::Event::Kind::Ended:
        m_atEnd = true;
        m_wantPlay = false;
        m_moving.reset();
        halt();
        updateDuration();
        m_lastHeardMs = m_durationMs;
        Q_EMIT positionChanged(m_durationMs);
        show(PlaybackState::Stopped);
        break;
    case Pipeline::Event::Kind::Failed:
        fail(reason);
        break;
    }
}

void AudioPlayer::onPrerolled()
{
    const bool first = !m_loaded;
    m_loaded = true;
    m_pipelineReady = true;
    m_answerLimit->stop();
    if (first) {
        updateDuration();
        // A speed or loop already set plays from the first sound on.
        if (!m_moveTo && (m_rate != 1.0 || hasLoop()))
            m_moveTo = 0;
    }
    if (m_moving) {
        m_lastHeardMs = *m_moving;
        m_moving.reset();
    }
    if (m_moveTo || m_moveHere) {
        makeMove();
        return;
    }
    if (m_wantPlay && !m_pipelinePlays) {
        m_pipeline->setPlaying(true);
        m_pipelinePlays = true;
    }
    show(m_state);
}

void AudioPlayer::fail(const QString &message)
{
    const bool changed = message != m_error;
    m_error = message;
    m_wantPlay = false;
    closePipeline();
    Q_EMIT fileFailed(m_url, message);
    Q_EMIT mediaAvailableChanged(false);
    if (changed)
        Q_EMIT errorOccurred(message);
    show(PlaybackState::Stopped);
}

void AudioPlayer::updateDuration()
{
    if (!m_pipeline)
        return;
    const qint64 length = m_pipeline->durationMs();
    if (length <= 0 || length == m_durationMs)
        return;
    m_durationMs = length;
    Q_EMIT durationChanged(length);
}

// ---------------------------------------------------------------------------
// Transport

void AudioPlayer::play()
{
    if (!m_pipeline || !m_error.isEmpty())
        return;
    m_wantPlay = true;
    if (m_atEnd && !m_moveTo)
        moveTo(0);
    if (canMoveNow() && !m_moveTo && !m_moveHere && !m_pipelinePlays) {
        m_pipeline->setPlaying(true);
        m_pipelinePlays = true;
    }
    show(PlaybackState::Playing);
}

void AudioPlayer::pause()
{
    m_wantPlay = false;
    halt();
    show(m_state == PlaybackState::Playing ? PlaybackState::Paused : m_state);
}

void AudioPlayer::halt()
{
    if (!m_pipelinePlays)
        return;
    m_lastHeardMs = heardMs();
    m_pipeline->setPlaying(false);
    m_pipelinePlays = false;
}

void AudioPlayer::stop()
{
    if (!m_pipeline || !m_error.isEmpty()) {
        Q_EMIT positionChanged(0);
        return;
    }
    m_wantPlay = false;
    halt();
    moveTo(0);
    show(PlaybackState::Stopped);
}

void AudioPlayer::setCurrentPosition(double seconds)
{
    if (!m_pipeline || !m_error.isEmpty())
        return;
    moveTo(toMs(seconds));
}

double AudioPlayer::currentPosition() const
{
    if (!m_pipeline || !m_error.isEmpty())
        return 0.0;
    return static_cast<double>(heardMs()) / 1000.0;
}

double AudioPlayer::duration() const
{
    return static_cast<double>(m_durationMs) / 1000.0;
}

bool AudioPlayer::isPlaying() const
{
    return m_error.isEmpty() && m_wantPlay;
}

void AudioPlayer::show(PlaybackState state)
{
    if (state != m_state) {
        m_state = state;
        Q_EMIT playbackStateChanged(state);
    }
    if (isPlaying() != m_wasPlaying) {
        m_wasPlaying = isPlaying();
        Q_EMIT playingChanged(m_wasPlaying);
    }
    // The position shown follows the sound while there is sound to follow.
    const bool tick = m_pipelinePlays && !m_moving;
    if (tick != m_tick->isActive())
        tick ? m_tick->start() : m_tick->stop();
}

// ---------------------------------------------------------------------------
// Moves

void AudioPlayer::moveTo(qint64 ms)
{
    if (m_durationMs > 0)
        ms = std::min(ms, m_durationMs);
    m_moveTo = ms;
    m_moveHere = false;
    m_atEnd = false;
    Q_EMIT positionChanged(ms);
    if (canMoveNow())
        makeMove();
}

void AudioPlayer::moveSoon()
{
    // A new speed or loop is a move to where the sound is. Made once the
    // caller is done: a move it asks for next (a loop and its start) is
    // then the only one.
    if (!m_pipeline || !m_error.isEmpty() || m_moveTo || m_moveHereSoon)
        return;
    m_moveHereSoon = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_moveHereSoon)
                return;
            m_moveHereSoon = false;
            if (!m_pipeline || !m_error.isEmpty() || m_moveTo || !m_loaded)
                return; // a file that opens takes them up at its first sound
            m_moveHere = true;
            if (canMoveNow())
                makeMove();
        },
        Qt::QueuedConnection);
}

bool AudioPlayer::canMoveNow() const
{
    return m_pipeline && m_pipelineReady && !m_moving && m_error.isEmpty();
}

void AudioPlayer::makeMove()
{
    qint64 from = m_moveTo ? *m_moveTo : heardMs();
    m_moveTo.reset();
    m_moveHere = false;
    m_moveHereSoon = false;
    if (m_durationMs > 0)
        from = std::min(from, m_durationMs);
    // From before the loop's end, playback runs into the loop; from past it,
    // the loop starts over.
    m_streamLoops = hasLoop();
    if (m_streamLoops && m_loopEndMs >= 0 && from >= m_loopEndMs)
        from = m_loopStartMs;
    // The tempo filter keeps what it holds over a flush, and would play some
    // 50 ms of the place before first: once it has worked, a slowed move is
    // made on a pipeline of its own, opened at the new place (in 20 ms).
    if (m_tempoUsed && m_rate < 1.0) {
        m_moveTo = from;
        m_pipeline.reset();
        openPipeline();
        m_moving = from;
        show(m_state);
        return;
    }
    m_tempoUsed = m_tempoUsed || m_rate < 1.0;
    m_atEnd = false;
    m_moving = from;
    m_answerLimit->start(kOpenLimitMs);
    m_turnsCounted = 0;
    m_pipeline->seek(from, m_rate, m_loopStartMs, m_loopEndMs);
    show(m_state);
}

qint64 AudioPlayer::heardMs() const
{
    if (m_moveTo)
        return *m_moveTo;
    if (m_moving)
        return *m_moving;
    if (m_atEnd)
        return m_durationMs;
    if (!m_pipeline || !m_loaded)
        return 0;
    if (!m_pipelinePlays)
        return m_lastHeardMs;
    const qint64 at = m_pipeline->heard().placeMs;
    return at >= 0 ? at : m_lastHeardMs;
}

// ---------------------------------------------------------------------------
// Following the sound

void AudioPlayer::onTick()
{
    if (!m_pipeline || !m_pipelinePlays || m_moving)
        return;
    const Pipeline::Heard heard = m_pipeline->heard();
    if (heard.placeMs < 0)
        return;
    m_lastHeardMs = heard.placeMs;
    Q_EMIT positionChanged(heard.placeMs);
    if (m_streamLoops) {
        while (m_turnsCounted < heard.turns) {
            ++m_turnsCounted;
            ++m_loopRounds;
            Q_EMIT loopedBack(heard.lastTurnFromMs);
        }
    }
}

// ---------------------------------------------------------------------------
// Volume, speed, loop

void AudioPlayer::setVolume(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_volume)
        return;
    m_volume = percent;
    if (m_pipeline)
        m_pipeline->setOutput(gainOf(percent), m_muted);
    Q_EMIT volumeChanged(percent);
}

void AudioPlayer::setMuted(bool muted)
{
    if (muted == m_muted)
        return;
    m_muted = muted;
    if (m_pipeline)
        m_pipeline->setOutput(gainOf(m_volume), muted);
    Q_EMIT mutedChanged(muted);
}

void AudioPlayer::setRate(double rate)
{
    rate = std::isnan(rate) ? 1.0 : std::clamp(rate, 0.5, 1.0);
    if (rate == m_rate)
        return;
    m_rate = rate;
    Q_EMIT rateChanged(rate);
    moveSoon();
}

void AudioPlayer::setLoop(double startSeconds, double endSeconds)
{
    m_loopStartMs = toMs(startSeconds);
    m_loopEndMs = endSeconds < 0 ? -1 : std::max(toMs(endSeconds), m_loopStartMs + kMinLoopMs);
    m_loopRounds = 0;
    Q_EMIT loopChanged(m_loopStartMs, m_loopEndMs);
    moveSoon();
}

void AudioPlayer::clearLoop()
{
    if (!hasLoop())
        return;
    m_loopStartMs = -1;
    m_loopEndMs = -1;
    Q_EMIT loopChanged(-1, -1);
    if (m_streamLoops)
        moveSoon();
}

} // namespace syj
