// The two players: giving them their files, and playing either of them from a
// row's time. Whenever one is given a file or a start time, the other pauses.
#pragma once

#include <QObject>

namespace syj {

class Form1;
class MediaPlayer;

class Playback : public QObject
{
    Q_OBJECT
public:
    explicit Playback(Form1 &form);

    void dcButton1_Click();          // 打开伴奏音乐
    void dcButton4_Click();          // 打开原唱音乐
    void dcButton2_Click(int Index); // 伴奏 of a row
    void dcButton5_Click(int Index); // 原唱 of a row

private:
    void openInto(MediaPlayer *player, MediaPlayer *other);
    void playFromRow(int index, MediaPlayer *player, MediaPlayer *other);

    Form1 &m_form;
};

} // namespace syj
