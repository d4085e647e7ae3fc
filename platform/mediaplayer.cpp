#include "platform/mediaplayer.h"

#include <QAudio>
#include <QAudioOutput>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

constexpr qint64 kSkipMs = 5000;
constexpr int kVolumeStep = 10;
constexpr int kDefaultVolume = 50;
constexpr QSize kPlaceSize(377, 65);
// How long to wait, silent, for a file to tell its length before jumping
// to a position anyway.
constexpr int kHoldLimitMs = 3000;
// How long a file that reported an error while loading has to prove it
// loads after all (see MediaPlayer::onPlayerError).
constexpr int kFailGraceMs = 500;
// How long the player stays without a source between two files, for the
// first file's last messages to come in (see MediaPlayer::loadSource).
constexpr int kSwitchGapMs = 100;
// An end reported this soon after starting, far from the end, is not one
// (see MediaPlayer::endedTooSoon).
constexpr int kEarlyEndMs = 500;
constexpr int kEarlyEndRetries = 3;

// A horizontal slider that jumps to the place clicked rather than paging
// towards it, and keeps the handle under the pointer for dragging on.
class JumpSlider : public QSlider
{
public:
    using QSlider::QSlider;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && maximum() > minimum()) {
            QStyleOptionSlider opt;
            initStyleOption(&opt);
            const QRect handle =
                style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
            const QPoint at = event->position().toPoint();
            if (!handle.contains(at)) {
                const QRect groove =
                    style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
                const int span = std::max(1, groove.width() - handle.width());
                const int x = std::clamp(at.x() - groove.x() - handle.width() / 2, 0, span);
                // Held down from here on, so the jump and the drag that may
                // follow count as one move that ends on release.
                setSliderDown(true);
                setValue(
                    QStyle::sliderValueFromPosition(minimum(), maximum(), x, span, opt.upsideDown));
            }
        }
        QSlider::mousePressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QSlider::mouseReleaseEvent(event);
        // Should the style have placed the handle a pixel off the pointer,
        // QSlider never took the press as its own and would leave it held.
        if (isSliderDown() && !(event->buttons() & Qt::LeftButton))
            setSliderDown(false);
    }
};

QToolButton *makeButton(QWidget *parent, const QString &objectName)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(objectName);
    b->setAutoRaise(true);
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(26, 24);
    // A tab stop also where the platform lets Tab visit only text boxes and lists.
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

int toSliderValue(qint64 ms)
{
    return static_cast<int>(std::clamp<qint64>(ms, 0, INT_MAX));
}

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

// A path as the program gives it, or a URL with a scheme ("file:///…").
QUrl toUrl(const QString &path)
{
    const QUrl url(path, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1 && path.contains(u"://"_s))
        return url;
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
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

// Wide enough for any "mm:ss / mm:ss", so the seek bar does not twitch.
int timeLabelWidth(const QLabel *label)
{
    return label->fontMetrics().horizontalAdvance(u"88:88 / 88:88"_s);
}

QString displayName(const QString &path)
{
    const QUrl url = toUrl(path);
    const QString name =
        url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.fileName();
    return name.isEmpty() ? path : name;
}

} // namespace

// ---------------------------------------------------------------------------
// MediaControls

MediaControls::MediaControls(QWidget *parent) : QWidget(parent)
{
    m_fileLabel = new QLabel(this);
    m_fileLabel->setObjectName(u"fileLabel"_s);
    m_fileLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_fileLabel->setMinimumWidth(1);
    m_fileLabel->setTextFormat(Qt::PlainText);

    m_timeLabel = new QLabel(this);
    m_timeLabel->setObjectName(u"timeLabel"_s);
    m_timeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_timeLabel->setToolTip(u"位置 / 长度"_s);

    m_playButton = makeButton(this, u"playButton"_s);
    m_stopButton = makeButton(this, u"stopButton"_s);
    m_stopButton->setToolTip(u"停止"_s);

    m_seekSlider = new JumpSlider(Qt::Horizontal, this);
    m_seekSlider->setObjectName(u"seekSlider"_s);
    m_seekSlider->setRange(0, 0);
    m_seekSlider->setSingleStep(1000);
    m_seekSlider->setPageStep(static_cast<int>(kSkipMs));
    m_seekSlider->setFocusPolicy(Qt::StrongFocus);
    m_seekSlider->setToolTip(u"播放位置"_s);

    m_muteButton = makeButton(this, u"muteButton"_s);

    m_volumeSlider = new JumpSlider(Qt::Horizontal, this);
    m_volumeSlider->setObjectName(u"volumeSlider"_s);
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setSingleStep(5);
    m_volumeSlider->setPageStep(kVolumeStep);
    m_volumeSlider->setValue(kDefaultVolume);
    m_volumeSlider->setFixedWidth(64);
    m_volumeSlider->setFocusPolicy(Qt::StrongFocus);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(2, 0, 0, 0);
    top->setSpacing(6);
    top->addWidget(m_fileLabel, 1);
    top->addWidget(m_timeLabel);

    auto *bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(2);
    bottom->addWidget(m_playButton);
    bottom->addWidget(m_stopButton);
    bottom->addSpacing(4);
    bottom->addWidget(m_seekSlider, 1);
    bottom->addSpacing(6);
    bottom->addWidget(m_muteButton);
    bottom->addWidget(m_volumeSlider);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(5, 3, 5, 3);
    column->setSpacing(2);
    column->addLayout(top);
    column->addLayout(bottom);

    m_menu = new QMenu(this);
    m_playAction = m_menu->addAction(u"播放"_s, this, &MediaControls::play);
    m_pauseAction = m_menu->addAction(u"暂停"_s, this, &MediaControls::pause);
    m_stopAction = m_menu->addAction(u"停止"_s, this, &MediaControls::stop);
    m_restartAction = m_menu->addAction(u"从头播放"_s, this, [this] {
        Q_EMIT seek(0);
        Q_EMIT play();
    });
    m_menu->addSeparator();
    m_backAction = m_menu->addAction(u"后退 5 秒"_s, this, [this] { seekBy(-kSkipMs); });
    m_forwardAction = m_menu->addAction(u"前进 5 秒"_s, this, [this] { seekBy(kSkipMs); });
    m_menu->addSeparator();
    m_louderAction =
        m_menu->addAction(u"增大音量"_s, this, [this] { setVolume(volume() + kVolumeStep); });
    m_quieterAction =
        m_menu->addAction(u"减小音量"_s, this, [this] { setVolume(volume() - kVolumeStep); });
    m_muteAction = m_menu->addAction(u"静音"_s);
    m_muteAction->setCheckable(true);

    connect(m_playButton, &QToolButton::clicked, this, &MediaControls::togglePlayPause);
    connect(m_stopButton, &QToolButton::clicked, this, &MediaControls::stop);
    connect(m_muteButton, &QToolButton::clicked, m_muteAction, &QAction::toggle);
    connect(m_muteAction, &QAction::toggled, this, [this](bool muted) {
        updateMuteIcon();
        Q_EMIT mutedChanged(muted);
    });
    connect(m_volumeSlider, &QSlider::valueChanged, this, [this](int percent) {
        updateMuteIcon();
        Q_EMIT volumeChanged(percent);
    });
    connect(m_seekSlider, &QSlider::valueChanged, this, [this](int ms) {
        // While the handle is held only the time follows it; the move is
        // made on release. Keys and wheel move at once.
        if (m_seekSlider->isSliderDown())
            updateTimeLabel(ms);
        else
            Q_EMIT seek(ms);
    });
    connect(m_seekSlider, &QSlider::sliderReleased, this,
            [this] { Q_EMIT seek(m_seekSlider->value()); });

    m_timeLabel->setMinimumWidth(timeLabelWidth(m_timeLabel));
    updateTimeLabel(0);
    updateMuteIcon();
    updateCommands();
    setFileName(QString());
}

QString MediaControls::formatTime(qint64 ms)
{
    const qint64 totalSeconds = std::max<qint64>(ms, 0) / 1000;
    return u"%1:%2"_s.arg(totalSeconds / 60, 2, 10, QLatin1Char('0'))
        .arg(totalSeconds % 60, 2, 10, QLatin1Char('0'));
}

void MediaControls::setPlaybackState(QMediaPlayer::PlaybackState state)
{
    m_state = state;
    updateCommands();
}

void MediaControls::setMediaAvailable(bool available)
{
    m_mediaAvailable = available;
    updateCommands();
}

void MediaControls::setDuration(qint64 ms)
{
    m_duration = std::max<qint64>(ms, 0);
    {
        const QSignalBlocker block(m_seekSlider);
        m_seekSlider->setMaximum(toSliderValue(m_duration));
    }
    if (!m_seekSlider->isSliderDown())
        updateTimeLabel(m_position);
    updateCommands();
}

void MediaControls::setPosition(qint64 ms)
{
    m_position = std::max<qint64>(ms, 0);
    if (m_seekSlider->isSliderDown())
        return;
    {
        const QSignalBlocker block(m_seekSlider);
        m_seekSlider->setValue(toSliderValue(m_position));
    }
    updateTimeLabel(m_position);
}

void MediaControls::setVolume(int percent)
{
    m_volumeSlider->setValue(std::clamp(percent, 0, 100));
}

int MediaControls::volume() const
{
    return m_volumeSlider->value();
}

void MediaControls::setMuted(bool muted)
{
    m_muteAction->setChecked(muted);
}

bool MediaControls::isMuted() const
{
    return m_muteAction->isChecked();
}

void MediaControls::setFileName(const QString &path)
{
    m_showsError = false;
    m_fileText = path.isEmpty() ? u"未打开文件"_s : displayName(path);
    m_fileLabel->setStyleSheet(QString());
    m_fileLabel->setEnabled(!path.isEmpty());
    m_fileLabel->setToolTip(path.isEmpty() ? QString() : QDir::toNativeSeparators(path));
    updateFileLabel();
}

void MediaControls::setError(const QString &path, const QString &message)
{
    m_showsError = true;
    m_fileText = u"无法播放："_s + displayName(path);
    m_fileLabel->setEnabled(true);
    m_fileLabel->setStyleSheet(u"QLabel { color: #c62828; }"_s);
    m_fileLabel->setToolTip(message + u'\n' + QDir::toNativeSeparators(path));
    updateFileLabel();
}

void MediaControls::contextMenuEvent(QContextMenuEvent *event)
{
    m_menu->exec(event->globalPos());
    event->accept();
}

void MediaControls::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateFileLabel();
}

void MediaControls::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) {
        m_timeLabel->setMinimumWidth(timeLabelWidth(m_timeLabel));
        updateCommands();
        updateMuteIcon();
        updateFileLabel();
    }
}

void MediaControls::togglePlayPause()
{
    if (m_state == QMediaPlayer::PlayingState)
        Q_EMIT pause();
    else
        Q_EMIT play();
}

void MediaControls::seekBy(qint64 deltaMs)
{
    qint64 target = std::max<qint64>(m_position + deltaMs, 0);
    if (m_duration > 0)
        target = std::min(target, m_duration);
    Q_EMIT seek(target);
}

void MediaControls::updateTimeLabel(qint64 positionMs)
{
    m_timeLabel->setText(formatTime(positionMs) + u" / "_s + formatTime(m_duration));
}

void MediaControls::updateFileLabel()
{
    const int width = std::max(0, m_fileLabel->contentsRect().width());
    m_fileLabel->setText(m_fileLabel->fontMetrics().elidedText(m_fileText, Qt::ElideMiddle, width));
}

void MediaControls::updateCommands()
{
    const bool playing = m_state == QMediaPlayer::PlayingState;
    const bool seekable = m_mediaAvailable && m_duration > 0;

    m_playAction->setEnabled(m_mediaAvailable && !playing);
    m_pauseAction->setEnabled(m_mediaAvailable && playing);
    m_stopAction->setEnabled(m_mediaAvailable && m_state != QMediaPlayer::StoppedState);
    m_restartAction->setEnabled(m_mediaAvailable);
    m_backAction->setEnabled(seekable);
    m_forwardAction->setEnabled(seekable);

    m_playButton->setEnabled(m_mediaAvailable);
    m_playButton->setIcon(
        style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_playButton->setToolTip(playing ? u"暂停"_s : u"播放"_s);
    m_stopButton->setEnabled(m_stopAction->isEnabled());
    m_stopButton->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    m_seekSlider->setEnabled(seekable);
    m_timeLabel->setEnabled(m_mediaAvailable);
}

void MediaControls::updateMuteIcon()
{
    const bool muted = isMuted();
    m_muteButton->setIcon(
        style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    m_muteButton->setToolTip(muted ? u"取消静音"_s : u"静音"_s);
    m_volumeSlider->setToolTip(u"音量 %1%"_s.arg(volume()));
    m_louderAction->setEnabled(volume() < 100);
    m_quieterAction->setEnabled(volume() > 0);
}

// ---------------------------------------------------------------------------
// MediaPlayer

MediaPlayer::MediaPlayer(QWidget *parent)
    : QWidget(parent), m_controls(new MediaControls(this)), m_holdTimer(new QTimer(this)),
      m_failTimer(new QTimer(this)), m_switchTimer(new QTimer(this))
{
    // A thin panel sets the player off from the toolbar around it.
    auto *panel = new QFrame(this);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto *inPanel = new QVBoxLayout(panel);
    inPanel->setContentsMargins(0, 0, 0, 0);
    inPanel->addWidget(m_controls);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);

    m_controls->setVolume(kDefaultVolume);
    applyVolume();

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
    connect(m_failTimer, &QTimer::timeout, this, &MediaPlayer::confirmLoadFailure);
    m_switchTimer->setSingleShot(true);
    m_switchTimer->setInterval(kSwitchGapMs);
    connect(m_switchTimer, &QTimer::timeout, this, &MediaPlayer::finishSwitch);

    connect(m_controls, &MediaControls::play, this, &MediaPlayer::play);
    connect(m_controls, &MediaControls::pause, this, &MediaPlayer::pause);
    connect(m_controls, &MediaControls::stop, this, &MediaPlayer::stop);
    connect(m_controls, &MediaControls::seek, this,
            [this](qint64 ms) { setCurrentPosition(static_cast<double>(ms) / 1000.0); });
    connect(m_controls, &MediaControls::volumeChanged, this, &MediaPlayer::applyVolume);
    connect(m_controls, &MediaControls::mutedChanged, this, &MediaPlayer::applyMuted);
}

void MediaPlayer::ensurePlayer()
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
            m_controls->setPosition(ms);
    });
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        m_controls->setDuration(ms);
        scheduleApply();
    });
    connect(m_player, &QMediaPlayer::seekableChanged, this, &MediaPlayer::scheduleApply);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &MediaPlayer::onMediaStatusChanged);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this,
            &MediaPlayer::onPlaybackStateChanged);
    connect(m_player, &QMediaPlayer::errorOccurred, this, &MediaPlayer::onPlayerError);
}

QMediaPlayer *MediaPlayer::mediaPlayer() const
{
    const_cast<MediaPlayer *>(this)->ensurePlayer();
    return m_player;
}

MediaPlayer::~MediaPlayer()
{
    // The player may still report while it shuts down; by then this object is
    // half gone, so cut it off and let it go first.
    m_controls->disconnect(this);
    if (m_player) {
        m_player->disconnect(this);
        delete m_player;
        m_player = nullptr;
    }
}

QSize MediaPlayer::sizeHint() const
{
    return kPlaceSize;
}

void MediaPlayer::setURL(const QString &path)
{
    ensurePlayer();
    const QUrl url = path.isEmpty() ? QUrl() : toUrl(path);
    const QString stamp = fileStamp(url);

    // The same file again, loaded without trouble and unchanged on disk:
    // start it over rather than load it again. Loading is the slow and
    // fragile part (see loadSource()), and the program asks for this often.
    if (!url.isEmpty() && url == m_source && stamp == m_sourceStamp && isReady()) {
        m_url = path;
        clearPending();
        m_pendingPosition = 0;
        m_pendingPlay = true;
        m_controls->setPosition(0);
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
    m_controls->setPosition(0);

    if (path.isEmpty()) {
        unloadSource();
        m_controls->setFileName(QString());
        m_controls->setMediaAvailable(false);
        m_controls->setDuration(0);
        notePlaying();
        return;
    }

    if (url.isLocalFile()) {
        const QFileInfo info(url.toLocalFile());
        if (!info.exists() || !info.isFile()) {
            unloadSource();
            m_controls->setDuration(0);
            fail(info.exists() ? u"不是一个文件"_s : u"找不到文件"_s);
            return;
        }
    }

    m_pendingPlay = true;
    m_controls->setFileName(path);
    m_controls->setMediaAvailable(true);
    loadSource(url);
    notePlaying();
}

void MediaPlayer::loadSource(const QUrl &url)
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

void MediaPlayer::unloadSource()
{
    m_player->setSource(QUrl());
    m_switchTimer->start();
}

void MediaPlayer::finishSwitch()
{
    if (m_source.isEmpty() || m_player->source() == m_source)
        return;
    m_player->setSource(m_source);
    scheduleApply();
}

void MediaPlayer::play()
{
    if (m_source.isEmpty() || !m_error.isEmpty())
        return;
    m_pendingPlay = true;
    applyPending();
    notePlaying();
}

void MediaPlayer::pause()
{
    m_pendingPlay = false;
    m_holdTimer->stop();
    m_seekAnyway = false;
    if (m_player && m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
    holdSound(false);
    notePlaying();
}

void MediaPlayer::stop()
{
    clearPending();
    if (m_player && m_player->playbackState() != QMediaPlayer::StoppedState)
        m_player->stop();
    else if (canSeek() && m_player->position() != 0)
        m_player->setPosition(0);
    m_controls->setPosition(0);
    notePlaying();
}

void MediaPlayer::setCurrentPosition(double seconds)
{
    if (m_source.isEmpty() || !m_error.isEmpty())
        return;
    // NaN and negatives mean the beginning; the cap only keeps the
    // conversion to milliseconds in range.
    const double s = (std::isnan(seconds) || seconds < 0) ? 0.0 : std::min(seconds, 1e9);
    const qint64 ms = std::llround(s * 1000.0);
    m_pendingPosition = ms;
    m_controls->setPosition(ms);
    applyPending();
}

double MediaPlayer::currentPosition() const
{
    if (m_pendingPosition)
        return static_cast<double>(*m_pendingPosition) / 1000.0;
    if (!isReady())
        return 0.0;
    return static_cast<double>(m_player->position()) / 1000.0;
}

double MediaPlayer::duration() const
{
    if (!isReady())
        return 0.0;
    return static_cast<double>(m_player->duration()) / 1000.0;
}

void MediaPlayer::setVolume(int percent)
{
    m_controls->setVolume(percent);
}

int MediaPlayer::volume() const
{
    return m_controls->volume();
}

bool MediaPlayer::isPlaying() const
{
    if (!m_error.isEmpty())
        return false;
    return m_pendingPlay || (m_player && m_player->playbackState() == QMediaPlayer::PlayingState);
}

bool MediaPlayer::isCurrentSource() const
{
    return m_player && !m_source.isEmpty() && m_player->source() == m_source;
}

bool MediaPlayer::isReady() const
{
    return isCurrentSource() && m_error.isEmpty() && hasLoaded(m_player->mediaStatus());
}

bool MediaPlayer::canSeek() const
{
    // A seek made before the player knows the length is lost without a word:
    // the player takes it, then carries on from where it was. An MP3 with no
    // length header gets its length only after a little playing.
    return isReady() && m_player->isSeekable() && m_player->duration() > 0;
}

void MediaPlayer::scheduleApply()
{
    // Not from inside the player's own reports: a seek made while it is still
    // telling the world it has loaded is lost as well.
    QMetaObject::invokeMethod(this, &MediaPlayer::applyPending, Qt::QueuedConnection);
}

void MediaPlayer::applyPending()
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
        m_controls->setPosition(from);
    }
    if (m_pendingPlay) {
        startPlayer(from);
        m_pendingPlay = false;
    }
    holdSound(false);
    notePlaying();
}

void MediaPlayer::startPlayer(qint64 fromMs)
{
    m_startedFromMs = fromMs;
    m_startClock.start();
    m_player->play();
}

bool MediaPlayer::endedTooSoon()
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

void MediaPlayer::clearPending()
{
    m_pendingPosition.reset();
    m_pendingPlay = false;
    m_seekAnyway = false;
    m_holdTimer->stop();
    holdSound(false);
}

void MediaPlayer::holdSound(bool hold)
{
    if (m_holdingSound == hold)
        return;
    m_holdingSound = hold;
    applyMuted();
}

void MediaPlayer::onMediaStatusChanged(QMediaPlayer::MediaStatus status)
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

void MediaPlayer::onPlaybackStateChanged(QMediaPlayer::PlaybackState state)
{
    m_controls->setPlaybackState(state);
    notePlaying();
}

void MediaPlayer::onPlayerError(QMediaPlayer::Error error, const QString &message)
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

void MediaPlayer::confirmLoadFailure()
{
    if (!isCurrentSource() || !m_error.isEmpty())
        return;
    if (hasLoaded(m_player->mediaStatus()))
        m_loadError.clear();
    else
        fail(m_loadError.isEmpty() ? u"无法识别此文件的格式"_s : m_loadError);
}

void MediaPlayer::fail(const QString &message)
{
    const bool changed = message != m_error;
    m_error = message;
    clearPending();
    m_controls->setError(m_url, message);
    m_controls->setMediaAvailable(false);
    if (changed)
        Q_EMIT errorOccurred(message);
    notePlaying();
}

void MediaPlayer::applyMuted()
{
    if (m_audio)
        m_audio->setMuted(m_controls->isMuted() || m_holdingSound);
}

void MediaPlayer::applyVolume()
{
    const float linear =
        QAudio::convertVolume(static_cast<float>(volume()) / 100.0f, QAudio::LogarithmicVolumeScale,
                              QAudio::LinearVolumeScale);
    if (m_audio)
        m_audio->setVolume(linear);
}

void MediaPlayer::notePlaying()
{
    const bool playing = isPlaying();
    if (playing == m_wasPlaying)
        return;
    m_wasPlaying = playing;
    Q_EMIT playingChanged(playing);
}

} // namespace syj
