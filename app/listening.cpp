// Listening while writing: the window's keys for the players and the rows,
// moving between the rows' new words, and the right-click menu of a row's
// buttons with the loop, its lead-in and the speed.
//
// The keys are function keys and Ctrl with a letter that input methods leave
// alone: an input method owns Space, Shift+Space, Ctrl+Space and, while it
// composes, Enter and the arrow keys (its candidate list). None of the
// players' keys moves the focus, so typing goes on in the same box.
#include "app/form1.h"
#include "platform/classicscrollbar.h"
#include "platform/mediacontrols.h"
#include "platform/mediaplayer.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "player/audioplayer.h"
#include "player/speedsteps.h"
#include "sheet/lyricsheetmodel.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QToolTip>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

QString trackName(Playback::Track track)
{
    return track == Playback::Track::Accompaniment ? u"伴奏"_s : u"原唱"_s;
}

} // namespace

void Form1::buildKeys()
{
    const auto add = [this](const QString &text, const QKeySequence &key, auto slot) {
        auto *a = new QAction(text, this);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        m_keyActions << a;
    };
    add(u"从当前句播放伴奏"_s, Qt::Key_F2,
        [this] { playCurrentRow(Playback::Track::Accompaniment); });
    add(u"从当前句播放原唱"_s, Qt::Key_F3, [this] { playCurrentRow(Playback::Track::Original); });
    add(u"循环当前句：开/关"_s, Qt::Key_F4, &Form1::toggleLoop);
    add(u"切换伴奏/原唱，位置不变"_s, Qt::Key_F5, &Form1::switchTrack);
    add(u"慢一档"_s, Qt::Key_F6, &Form1::slower);
    add(u"快一档"_s, Qt::Key_F7, &Form1::faster);
    add(u"全部暂停"_s, Qt::Key_F8, &Form1::pauseBoth);
    // The same commands as the buttons, and only while the buttons take them
    // (not while the original lyrics load).
    add(u"保存新歌词"_s, QKeySequence(Qt::CTRL | Qt::Key_S), [this] {
        if (dcButton8->isEnabled())
            dcButton8_Click();
    });
    add(u"打开原唱歌词"_s, QKeySequence(Qt::CTRL | Qt::Key_O), [this] {
        if (dcButton3->isEnabled())
            dcButton3_Click();
    });
    dcButton3->setToolTip(u"打开原唱歌词（Ctrl+O）"_s);
    dcButton8->setToolTip(u"保存新歌词（Ctrl+S）"_s);
    for (MediaPlayer *w : {WindowsMediaPlayer1, WindowsMediaPlayer2}) {
        w->setToolTip(u"F2/F3：从当前句播放伴奏/原唱　F4：循环当前句　F5：切换伴奏/原唱\n"
                      u"F6/F7：慢一档/快一档（音高不变）　F8：全部暂停"_s);
    }
}

int Form1::currentRow() const
{
    if (m_sheet->hasRow(m_currentRow - 1))
        return m_currentRow;
    return m_sheet->count() > 0 ? 1 : 0;
}

void Form1::playCurrentRow(Playback::Track track)
{
    if (const int k = currentRow(); k > 0)
        m_playback->cueRow(k - 1, track);
}

void Form1::toggleLoop()
{
    m_playback->toggleLoop(currentRow() - 1);
}

void Form1::switchTrack()
{
    if (m_playback->switchTrack())
        return;
    // Said beside the player that has nothing to play.
    const bool toOriginal = m_playback->activeTrack() == Playback::Track::Accompaniment;
    QWidget *anchor = toOriginal ? WindowsMediaPlayer2 : WindowsMediaPlayer1;
    if (anchor->isVisible())
        QToolTip::showText(
            anchor->mapToGlobal(QPoint(0, 0)),
            u"%1播放器还没有可以播放的音乐，无法切换。"_s.arg(toOriginal ? u"原唱"_s : u"伴奏"_s),
            anchor);
}

void Form1::slower()
{
    m_playback->slower();
}

void Form1::faster()
{
    m_playback->faster();
}

void Form1::pauseBoth()
{
    m_playback->pauseBoth();
}

void Form1::goToRow(int k)
{
    TextBox *box = Text2(k);
    if (!box || k < 1)
        return;
    // The row and its highlight come into view; a row already in view stays
    // where it is.
    const int top = twipsTop(box) - kHighlightAboveRow;
    const int bottom = twipsTop(box) + twipsHeight(box) + kHighlightAboveRow;
    const int value = VScroll1->value();
    if (top < value)
        VScroll1->setValue(top);
    else if (bottom > value + kLyricAreaHeight)
        VScroll1->setValue(bottom - kLyricAreaHeight);
    // Not a tab focus: that would select the words, and the next key typed
    // would replace them.
    box->setFocus(Qt::OtherFocusReason);
}

bool Form1::moveBetweenRows(QKeyEvent *event)
{
    auto *box = qobject_cast<TextBox *>(QApplication::focusWidget());
    const int k = box ? controlIndex(box) : 0;
    if (k <= 0 || (box != Text2(k) && box != Text1(k)) || box->isComposing())
        return false;
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    int to = 0;
    switch (event->key()) {
    case Qt::Key_Up:
        to = k - 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        to = k + 1;
        break;
    default:
        return false;
    }
    if (to >= 1 && to <= m_sheet->count())
        goToRow(to);
    return true;
}

bool Form1::rowPanelEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // Keys a row's box did not take come up to the panel.
        return moveBetweenRows(static_cast<QKeyEvent *>(event));
    case QEvent::ContextMenu:
    case QEvent::ToolTip:
        break;
    default:
        return false;
    }
    // Menus and tips of the row buttons, which have none of their own: one
    // place for all rows, so a long sheet costs nothing per row.
    const QPoint at = event->type() == QEvent::ContextMenu
                          ? static_cast<QContextMenuEvent *>(event)->pos()
                          : static_cast<QHelpEvent *>(event)->pos();
    QWidget *w = Picture2->childAt(at);
    const int k = w ? controlIndex(w) : 0;
    if (k <= 0 || (w != dcButton2(k) && w != dcButton5(k)))
        return false;
    const Playback::Track track =
        w == dcButton2(k) ? Playback::Track::Accompaniment : Playback::Track::Original;
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(
            static_cast<QHelpEvent *>(event)->globalPos(),
            u"从这一句播放%1（当前句：%2）\n右键：循环本句、循环前置时间、速度"_s.arg(
                trackName(track), track == Playback::Track::Accompaniment ? u"F2"_s : u"F3"_s),
            w);
        return true;
    }
    const std::unique_ptr<QMenu> menu(makeRowMenu(k, track, this));
    menu->exec(static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
}

QMenu *Form1::makeRowMenu(int k, Playback::Track track, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setToolTipsVisible(true);
    const QString name = trackName(track);
    menu->addAction(u"从本句播放%1"_s.arg(name), this,
                    [this, k, track] { m_playback->cueRow(k - 1, track); });

    QString why;
    const bool loopable = m_playback->loopSpan(k - 1, &why).has_value();
    QAction *loop = menu->addAction(u"循环本句（%1）"_s.arg(name), this,
                                    [this, k, track] { m_playback->loopRow(k - 1, track); });
    loop->setEnabled(loopable);
    loop->setToolTip(loopable ? u"F4：循环当前句"_s : why);
    QAction *stop = menu->addAction(u"停止循环\tF4"_s, this, [this] {
        if (m_playback->isLooping())
            m_playback->toggleLoop(0);
    });
    stop->setEnabled(m_playback->isLooping());

    QMenu *lead = menu->addMenu(u"循环前置时间"_s);
    for (const double s : {0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0}) {
        QAction *a =
            lead->addAction(u"%1 秒"_s.arg(s), this, [this, s] { m_playback->setLeadIn(s); });
        a->setCheckable(true);
        a->setChecked(std::abs(m_playback->leadIn() - s) < 1e-6);
    }

    AudioPlayer *player = &m_playback->player(track);
    QMenu *speed = menu->addMenu(u"%1速度（音高不变）"_s.arg(name));
    for (const double r : speedSteps()) {
        QAction *a = speed->addAction(u"%1×"_s.arg(r), player, [player, r] { player->setRate(r); });
        a->setCheckable(true);
        a->setChecked(std::abs(player->rate() - r) < 1e-6);
    }
    speed->addSeparator();
    speed->addAction(u"慢一档\tF6"_s, this, &Form1::slower)->setToolTip(u"正在播放的播放器"_s);
    speed->addAction(u"快一档\tF7"_s, this, &Form1::faster)->setToolTip(u"正在播放的播放器"_s);

    menu->addSeparator();
    menu->addAction(u"切换伴奏/原唱，位置不变\tF5"_s, this, &Form1::switchTrack);
    menu->addAction(u"全部暂停\tF8"_s, this, &Form1::pauseBoth);
    return menu;
}

void Form1::showNoLoop(int row, Playback::Track track, const QString &why)
{
    QWidget *anchor =
        track == Playback::Track::Accompaniment ? dcButton2(row + 1) : dcButton5(row + 1);
    if (anchor && anchor->isVisible())
        QToolTip::showText(anchor->mapToGlobal(QPoint(0, anchor->height())), why, anchor);
}

} // namespace syj
