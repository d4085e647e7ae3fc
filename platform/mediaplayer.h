#pragma once

// The embedded media player as the main window has it: in the 377 x 65 pixels
// that the window's bottom toolbar gives each of its two players
// (accompaniment and original), a thin sunken panel holding the player's face.
//
// Three parts make it up. MediaControls (mediacontrols.h) is the face: it
// shows what it is told and turns clicks into intent signals. AudioPlayer
// (audioplayer.h) does the playing. This widget holds both and is the one
// place where they are wired together: the face's intents go to the player,
// the player's reports go to the face.

#include "platform/mediacontrols.h"
#include "player/audioplayer.h"

#include <QWidget>

namespace syj {

class MediaPlayer : public QWidget
{
    Q_OBJECT

public:
    explicit MediaPlayer(QWidget *parent = nullptr);
    ~MediaPlayer() override;

    // Everything about playing the file: opening it, the transport commands,
    // the position and the volume.
    AudioPlayer *player() const { return m_player; }
    MediaControls *controls() const { return m_controls; }

    QSize sizeHint() const override;

private:
    AudioPlayer *m_player = nullptr;
    MediaControls *m_controls = nullptr;
};

} // namespace syj
