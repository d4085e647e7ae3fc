#include "platform/mediaplayer.h"

#include <QFrame>
#include <QVBoxLayout>

namespace syj {

namespace {

constexpr QSize kPlaceSize(377, 65);

} // namespace

MediaPlayer::MediaPlayer(QWidget *parent)
    : QWidget(parent), m_player(new AudioPlayer(this)), m_controls(new MediaControls(this))
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

    // The face starts from the player's volume and mute, and the two stay in
    // step whichever of them changes.
    m_controls->setVolume(m_player->volume());
    m_controls->setMuted(m_player->isMuted());

    // The player's reports, to the face.
    connect(m_player, &AudioPlayer::fileChanged, m_controls, &MediaControls::setFileName);
    connect(m_player, &AudioPlayer::fileFailed, m_controls, &MediaControls::setError);
    connect(m_player, &AudioPlayer::mediaAvailableChanged, m_controls,
            &MediaControls::setMediaAvailable);
    connect(m_player, &AudioPlayer::playbackStateChanged, m_controls,
            &MediaControls::setPlaybackState);
    connect(m_player, &AudioPlayer::positionChanged, m_controls, &MediaControls::setPosition);
    connect(m_player, &AudioPlayer::durationChanged, m_controls, &MediaControls::setDuration);
    connect(m_player, &AudioPlayer::volumeChanged, m_controls, &MediaControls::setVolume);
    connect(m_player, &AudioPlayer::mutedChanged, m_controls, &MediaControls::setMuted);
    connect(m_player, &AudioPlayer::rateChanged, m_controls, &MediaControls::setRate);
    connect(m_player, &AudioPlayer::loopChanged, m_controls, &MediaControls::setLoop);

    // The face's intents, to the player.
    connect(m_controls, &MediaControls::play, m_player, &AudioPlayer::play);
    connect(m_controls, &MediaControls::pause, m_player, &AudioPlayer::pause);
    connect(m_controls, &MediaControls::stop, m_player, &AudioPlayer::stop);
    connect(m_controls, &MediaControls::seek, m_player,
            [this](qint64 ms) { m_player->setCurrentPosition(static_cast<double>(ms) / 1000.0); });
    connect(m_controls, &MediaControls::volumeChanged, m_player, &AudioPlayer::setVolume);
    connect(m_controls, &MediaControls::mutedChanged, m_player, &AudioPlayer::setMuted);
    connect(m_controls, &MediaControls::rateRequested, m_player, &AudioPlayer::setRate);
    connect(m_controls, &MediaControls::loopOffRequested, m_player, &AudioPlayer::clearLoop);
}

MediaPlayer::~MediaPlayer()
{
    // The sound goes before the face: nothing the player says on its way out
    // reaches a half-destroyed widget.
    delete m_player;
    m_player = nullptr;
}

QSize MediaPlayer::sizeHint() const
{
    return kPlaceSize;
}

} // namespace syj
