#include "app/listeningkeys.h"

#include "app/rowpanel.h"
#include "platform/mediaplayer.h"
#include "platform/picturebox.h"
#include "player/audioplayer.h"
#include "player/speedsteps.h"

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

ListeningKeys::ListeningKeys(const Window &window, RowPanel &rows, Playback &playback)
    : QObject(window.window), m_window(window), m_rows(rows), m_playback(playback)
{
    buildKeys();
    rows.panel()->installEventFilter(this);
    connect(&playback, &Playback::noLoop, this, &ListeningKeys::showBesideButton);
    connect(&playback, &Playback::noPlayPosition, this,
            [this](int row, Playback::Track track, const QString &tag) {
                showBesideButton(row, track,
                                 u"这一句的时间标签“%1”不是数字，无法定位播放。"_s.arg(tag));
            });
}

void ListeningKeys::buildKeys()
{
    QWidget *window = m_window.window;
    const auto add = [this, window](const QString &text, const QKeySequence &key, auto slot) {
        auto *a = new QAction(text, window);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, slot);
        window->addAction(a);
        m_keyActions << a;
    };
    add(u"从当前句播放伴奏"_s, Qt::Key_F2,
        [this] { playCurrentRow(Playback::Track::Accompaniment); });
    add(u"从当前句播放原唱"_s, Qt::Key_F3, [this] { playCurrentRow(Playback::Track::Original); });
    add(u"循环当前句：开/关"_s, Qt::Key_F4, &ListeningKeys::toggleLoop);
    add(u"切换伴奏/原唱，位置不变"_s, Qt::Key_F5, &ListeningKeys::switchTrack);
    add(u"慢一档"_s, Qt::Key_F6, [this] { m_playback.slower(); });
    add(u"快一档"_s, Qt::Key_F7, [this] { m_playback.faster(); });
    add(u"全部暂停"_s, Qt::Key_F8, [this] { m_playback.pauseBoth(); });
    // The same commands as the buttons, and only while the buttons take them
    // (not while the original lyrics load).
    // (A disabled button takes no click.)
    add(u"保存新歌词"_s, QKeySequence(Qt::CTRL | Qt::Key_S),
        [this] { m_window.saveLyrics->click(); });
    add(u"打开原唱歌词"_s, QKeySequence(Qt::CTRL | Qt::Key_O),
        [this] { m_window.openLyrics->click(); });
    m_window.openLyrics->setToolTip(u"打开原唱歌词（Ctrl+O）"_s);
    m_window.saveLyrics->setToolTip(u"保存新歌词（Ctrl+S）"_s);
    for (MediaPlayer *w : {m_window.accompaniment, m_window.original}) {
        w->setToolTip(u"F2/F3：从当前句播放伴奏/原唱　F4：循环当前句　F5：切换伴奏/原唱\n"
                      u"F6/F7：慢一档/快一档（音高不变）　F8：全部暂停"_s);
    }
}

void ListeningKeys::playCurrentRow(Playback::Track track)
{
    if (const int row = m_rows.currentRow(); row >= 0)
        m_playback.cueRow(row, track);
}

void ListeningKeys::toggleLoop()
{
    m_playback.toggleLoop(m_rows.currentRow());
}

void ListeningKeys::switchTrack()
{
    if (m_playback.switchTrack())
        return;
    // Said beside the player that has nothing to play.
    const bool toOriginal = m_playback.activeTrack() == Playback::Track::Accompaniment;
    QWidget *anchor = toOriginal ? static_cast<QWidget *>(m_window.original)
                                 : static_cast<QWidget *>(m_window.accompaniment);
    if (anchor->isVisible())
        QToolTip::showText(
            anchor->mapToGlobal(QPoint(0, 0)),
            u"%1播放器还没有可以播放的音乐，无法切换。"_s.arg(toOriginal ? u"原唱"_s : u"伴奏"_s),
            anchor);
}

bool ListeningKeys::moveBetweenRows(QKeyEvent *event)
{
    auto *box = qobject_cast<TextBox *>(QApplication::focusWidget());
    const int row = box ? m_rows.rowOf(box) : -1;
    if (row < 0 || (box != m_rows.newWordsBox(row) && box != m_rows.originalBox(row)) ||
        box->isComposing())
        return false;
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    int to = row;
    switch (event->key()) {
    case Qt::Key_Up:
        --to;
        break;
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ++to;
        break;
    default:
        return false;
    }
    if (to >= 0 && to < m_rows.count())
        m_rows.goToRow(to);
    return true;
}

bool ListeningKeys::rowPanelEvent(QEvent *event)
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
    QWidget *w = m_rows.panel()->childAt(at);
    const int row = w ? m_rows.rowOf(w) : -1;
    if (row < 0 || (w != m_rows.accompanimentButton(row) && w != m_rows.recordingButton(row)))
        return false;
    const Playback::Track track = w == m_rows.accompanimentButton(row)
                                      ? Playback::Track::Accompaniment
                                      : Playback::Track::Original;
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(
            static_cast<QHelpEvent *>(event)->globalPos(),
            u"从这一句播放%1（当前句：%2）\n右键：循环本句、循环前置时间、速度"_s.arg(
                trackName(track), track == Playback::Track::Accompaniment ? u"F2"_s : u"F3"_s),
            w);
        return true;
    }
    const std::unique_ptr<QMenu> menu(makeRowMenu(row, track, m_window.window));
    menu->exec(static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
}

QMenu *ListeningKeys::makeRowMenu(int row, Playback::Track track, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setToolTipsVisible(true);
    const QString name = trackName(track);
    menu->addAction(u"从本句播放%1"_s.arg(name), this,
                    [this, row, track] { m_playback.cueRow(row, track); });

    QString why;
    const bool loopable = m_playback.loopSpan(row, &why).has_value();
    QAction *loop = menu->addAction(u"循环本句（%1）"_s.arg(name), this,
                                    [this, row, track] { m_playback.loopRow(row, track); });
    loop->setEnabled(loopable);
    loop->setToolTip(loopable ? u"F4：循环当前句"_s : why);
    QAction *stop = menu->addAction(u"停止循环\tF4"_s, this, [this] {
        if (m_playback.isLooping())
            m_playback.toggleLoop(0);
    });
    stop->setEnabled(m_playback.isLooping());

    QMenu *lead = menu->addMenu(u"循环前置时间"_s);
    for (const double s : {0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0}) {
        QAction *a =
            lead->addAction(u"%1 秒"_s.arg(s), this, [this, s] { m_playback.setLeadIn(s); });
        a->setCheckable(true);
        a->setChecked(std::abs(m_playback.leadIn() - s) < 1e-6);
    }

    AudioPlayer *player = &m_playback.player(track);
    QMenu *speed = menu->addMenu(u"%1速度（音高不变）"_s.arg(name));
    for (const double r : speedSteps()) {
        QAction *a = speed->addAction(u"%1×"_s.arg(r), player, [player, r] { player->setRate(r); });
        a->setCheckable(true);
        a->setChecked(std::abs(player->rate() - r) < 1e-6);
    }
    speed->addSeparator();
    speed->addAction(u"慢一档\tF6"_s, this, [this] { m_playback.slower(); })
        ->setToolTip(u"正在播放的播放器"_s);
    speed->addAction(u"快一档\tF7"_s, this, [this] { m_playback.faster(); })
        ->setToolTip(u"正在播放的播放器"_s);

    menu->addSeparator();
    menu->addAction(u"切换伴奏/原唱，位置不变\tF5"_s, this, &ListeningKeys::switchTrack);
    menu->addAction(u"全部暂停\tF8"_s, this, [this] { m_playback.pauseBoth(); });
    return menu;
}

void ListeningKeys::showBesideButton(int row, Playback::Track track, const QString &text)
{
    QWidget *anchor = track == Playback::Track::Accompaniment ? m_rows.accompanimentButton(row)
                                                              : m_rows.recordingButton(row);
    if (anchor && anchor->isVisible())
        QToolTip::showText(anchor->mapToGlobal(QPoint(0, anchor->height())), text, anchor);
}

bool ListeningKeys::eventFilter(QObject *watched, QEvent *event)
{
    // Keys the rows' boxes did not take, and the menus and tips of the rows.
    if (watched == m_rows.panel() && rowPanelEvent(event))
        return true;
    return QObject::eventFilter(watched, event);
}

} // namespace syj
