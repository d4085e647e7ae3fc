#include "platform/mediacontrols.h"

#include "player/audioplayer.h"
#include "player/speedsteps.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

constexpr qint64 kSkipMs = 5000;
constexpr int kVolumeStep = 10;
constexpr int kDefaultVolume = 50;

// A horizontal slider that jumps to the place clicked rather than paging
// towards it, and keeps the handle under the pointer for dragging on.
class JumpSlider : public QSlider
{
public:
    using QSlider::QSlider;

    // A span drawn as a band along the groove; start -1: none.
    void setSpan(qint64 startMs, qint64 endMs)
    {
        m_spanStart = startMs;
        m_spanEnd = endMs;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QSlider::paintEvent(event);
        if (m_spanStart < 0 || maximum() <= minimum())
            return;
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const QRect groove =
            style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
        const int span = std::max(1, groove.width() - handle.width());
        const auto x = [&](qint64 ms) {
            const int v = static_cast<int>(std::clamp<qint64>(ms, minimum(), maximum()));
            return groove.x() + handle.width() / 2 +
                   QStyle::sliderPositionFromValue(minimum(), maximum(), v, span);
        };
        const int left = x(m_spanStart);
        const int right = x(m_spanEnd < 0 ? maximum() : m_spanEnd);
        QPainter p(this);
        QColor band(0x2e, 0x7d, 0x32);
        band.setAlpha(110);
        p.fillRect(
            QRect(QPoint(left, groove.center().y() - 3), QPoint(right, groove.center().y() + 3)),
            band);
    }

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

private:
    qint64 m_spanStart = -1;
    qint64 m_spanEnd = -1;
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

// Wide enough for any "mm:ss / mm:ss", so the seek bar does not twitch.
int timeLabelWidth(const QLabel *label)
{
    return label->fontMetrics().horizontalAdvance(u"88:88 / 88:88"_s);
}

QString displayName(const QString &path)
{
    const QUrl url = AudioPlayer::sourceUrl(path);
    const QString name =
        url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.fileName();
    return name.isEmpty() ? path : name;
}

} // namespace

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

    // Shown only while the player loops or plays slower, so the line is as
    // it always was otherwise.
    m_stateLabel = new QLabel(this);
    m_stateLabel->setObjectName(u"stateLabel"_s);
    m_stateLabel->setTextFormat(Qt::PlainText);
    m_stateLabel->setStyleSheet(u"QLabel { color: #2e7d32; font-weight: bold; }"_s);
    m_stateLabel->hide();

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
    top->addWidget(m_stateLabel);
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
    m_menu->addSeparator();
    m_rateMenu = m_menu->addMenu(u"速度（音高不变）"_s);
    for (const double r : speedSteps()) {
        QAction *a =
            m_rateMenu->addAction(u"%1×"_s.arg(r), this, [this, r] { Q_EMIT rateRequested(r); });
        a->setCheckable(true);
        a->setData(r);
    }
    m_loopOffAction = m_menu->addAction(u"停止循环"_s, this, &MediaControls::loopOffRequested);

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

void MediaControls::setLoop(qint64 startMs, qint64 endMs)
{
    m_loopStart = startMs;
    m_loopEnd = startMs < 0 ? -1 : endMs;
    static_cast<JumpSlider *>(m_seekSlider)->setSpan(m_loopStart, m_loopEnd);
    updateState();
}

void MediaControls::setRate(double rate)
{
    m_rate = rate;
    updateState();
}

QString MediaControls::stateText() const
{
    QStringList parts;
    if (m_loopStart >= 0)
        parts << u"循环"_s;
    if (std::abs(m_rate - 1.0) > 1e-6)
        parts << u"%1×"_s.arg(m_rate);
    return parts.join(u' ');
}

void MediaControls::updateState()
{
    const QString text = stateText();
    m_stateLabel->setText(text);
    m_stateLabel->setVisible(!text.isEmpty());
    QString tip;
    if (m_loopStart >= 0) {
        tip = u"循环播放 %1 到 %2"_s.arg(formatTime(m_loopStart),
                                         m_loopEnd < 0 ? u"结尾"_s : formatTime(m_loopEnd));
    }
    if (std::abs(m_rate - 1.0) > 1e-6)
        tip += (tip.isEmpty() ? QString() : u"\n"_s) + u"速度 %1×，音高不变"_s.arg(m_rate);
    m_stateLabel->setToolTip(tip);
    m_stateLabel->setAccessibleName(m_owner.isEmpty() ? tip : m_owner + u"："_s + tip);
    for (QAction *a : m_rateMenu->actions())
        a->setChecked(std::abs(a->data().toDouble() - m_rate) < 1e-6);
    m_loopOffAction->setEnabled(m_loopStart >= 0);
}

QString MediaControls::formatTime(qint64 ms)
{
    const qint64 totalSeconds = std::max<qint64>(ms, 0) / 1000;
    return u"%1:%2"_s.arg(totalSeconds / 60, 2, 10, QLatin1Char('0'))
        .arg(totalSeconds % 60, 2, 10, QLatin1Char('0'));
}

void MediaControls::setPlaybackState(PlaybackState state)
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
    if (m_state == PlaybackState::Playing)
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
    updateAccessibleNames();
}

void MediaControls::setAccessibleOwner(const QString &owner)
{
    m_owner = owner;
    // The time keeps its own text as its name; whose time it is goes beside it.
    m_timeLabel->setAccessibleDescription(owner + u"："_s + m_timeLabel->toolTip());
    updateAccessibleNames();
}

void MediaControls::updateAccessibleNames()
{
    if (m_owner.isEmpty())
        return;
    // The names say what the tooltips say, and whose player it is.
    const auto name = [this](QWidget *w, const QString &what) {
        const QString named = m_owner + u"："_s + what;
        if (w->accessibleName() != named)
            w->setAccessibleName(named);
    };
    name(m_playButton, m_playButton->toolTip());
    name(m_stopButton, m_stopButton->toolTip());
    name(m_seekSlider, m_seekSlider->toolTip());
    name(m_muteButton, m_muteButton->toolTip());
    name(m_volumeSlider, u"音量"_s);
    name(m_fileLabel, m_fileText);
}

void MediaControls::updateCommands()
{
    const bool playing = m_state == PlaybackState::Playing;
    const bool seekable = m_mediaAvailable && m_duration > 0;

    m_playAction->setEnabled(m_mediaAvailable && !playing);
    m_pauseAction->setEnabled(m_mediaAvailable && playing);
    m_stopAction->setEnabled(m_mediaAvailable && m_state != PlaybackState::Stopped);
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
    updateAccessibleNames();
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
    updateAccessibleNames();
}

} // namespace syj
