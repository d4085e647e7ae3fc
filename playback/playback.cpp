#include "playback/playback.h"

#include "app/form1.h"
#include "platform/commondialog.h"
#include "platform/mediaplayer.h"
#include "sheet/linerule.h"

#include <QLabel>
#include <QPushButton>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace syj {

Playback::Playback(Form1 &form) : QObject(&form), m_form(form) {}

void Playback::openInto(MediaPlayer *player, MediaPlayer *other)
{
    const QString chosen = askOpenFile(*m_form.CommonDialog1);
    if (chosen.isEmpty()) {
        showNoFileChosen(&m_form);
        return;
    }
    player->player()->setURL(chosen);
    other->player()->pause();
}

void Playback::dcButton1_Click()
{
    openInto(m_form.WindowsMediaPlayer1, m_form.WindowsMediaPlayer2);
}
void Playback::dcButton4_Click()
{
    openInto(m_form.WindowsMediaPlayer2, m_form.WindowsMediaPlayer1);
}

void Playback::playFromRow(int index, MediaPlayer *player, MediaPlayer *other)
{
    const QLabel *label = m_form.Label1(index);
    if (!label)
        return;
    const QString caption = label->text();
    if (caption == QString::fromUtf16(kInfoLabel))
        return;
    other->player()->pause();
    const std::optional<double> seconds = TagSeconds(caption);
    if (!seconds) {
        // No play position: say so briefly beside the button, without a modal box.
        QWidget *anchor = player == m_form.WindowsMediaPlayer1
                              ? static_cast<QWidget *>(m_form.dcButton2(index))
                              : static_cast<QWidget *>(m_form.dcButton5(index));
        if (anchor && anchor->isVisible())
            QToolTip::showText(anchor->mapToGlobal(QPoint(0, anchor->height())),
                               u"这一句的时间标签“%1”不是数字，无法定位播放。"_s.arg(caption),
                               anchor);
        return;
    }
    player->player()->setCurrentPosition(*seconds);
    player->player()->play();
}

void Playback::dcButton2_Click(int Index)
{
    playFromRow(Index, m_form.WindowsMediaPlayer1, m_form.WindowsMediaPlayer2);
}

void Playback::dcButton5_Click(int Index)
{
    playFromRow(Index, m_form.WindowsMediaPlayer2, m_form.WindowsMediaPlayer1);
}

} // namespace syj
