// Files dropped on the main window. A file dropped anywhere on the window is
// opened as the original lyrics, as if it had been chosen in 打开原唱歌词; a
// sound or video file dropped on one of the two players is given to that
// player, as its open button does. A lyric file dropped on a player still goes
// to the sheet. Only one local file at a time is taken, and the pointer shows
// a drop as possible only where the file would be taken.
#include "app/form1.h"
#include "platform/mediaplayer.h"
#include "sheet/lyricsheetmodel.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// The one local file a drag brings; empty when it brings anything else (no
// file, several, a web address, a folder, a file that is not there).
QString draggedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    const QFileInfo info(path);
    return info.exists() && !info.isDir() ? path : QString();
}

bool isLyricFile(const QString &path)
{
    return path.endsWith(u".lrc"_s, Qt::CaseInsensitive);
}

// A file the players can be given: sound or video, by its name or, when the
// name does not tell, by its first bytes.
bool isPlayable(const QString &path)
{
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    return type.startsWith(u"audio/"_s) || type.startsWith(u"video/"_s);
}

// The file is copied, never moved: a file manager deletes the source of a move.
Qt::DropAction dropActionFor(const QDropEvent &event)
{
    if (event.possibleActions() & Qt::CopyAction)
        return Qt::CopyAction;
    if (event.possibleActions() & Qt::LinkAction)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

} // namespace

Form1::DropTarget Form1::dropTarget(const QDropEvent &event, QString *file) const
{
    const QString path = draggedFile(event.mimeData());
    if (path.isEmpty() || dropActionFor(event) == Qt::IgnoreAction)
        return DropTarget::Nothing;
    if (file)
        *file = path;
    const QPoint at = event.position().toPoint();
    const auto over = [this, at](const QWidget *player) {
        return player->rect().contains(player->mapFrom(this, at));
    };
    if (!isLyricFile(path)) {
        if (over(WindowsMediaPlayer1))
            return isPlayable(path) ? DropTarget::Accompaniment : DropTarget::Nothing;
        if (over(WindowsMediaPlayer2))
            return isPlayable(path) ? DropTarget::Original : DropTarget::Nothing;
    }
    // 打开原唱歌词 waits while the original lyrics load, and so does a drop.
    return m_sheet->isLoading() ? DropTarget::Nothing : DropTarget::Sheet;
}

void Form1::answerDrag(QDropEvent &event)
{
    if (dropTarget(event) == DropTarget::Nothing) {
        event.ignore();
        return;
    }
    event.setDropAction(dropActionFor(event));
    event.accept();
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    answerDrag(*event);
}

void Form1::dragMoveEvent(QDragMoveEvent *event)
{
    // The answer changes as the pointer moves onto a player and off it again.
    answerDrag(*event);
}

void Form1::dropEvent(QDropEvent *event)
{
    QString file;
    const DropTarget target = dropTarget(*event, &file);
    if (target == DropTarget::Nothing) {
        event->ignore();
        return;
    }
    event->setDropAction(dropActionFor(*event));
    event->accept();
    // Opened once the drop has ended: the file manager waits for the drop to
    // be answered, and a load or a question would keep it waiting.
    QMetaObject::invokeMethod(
        this,
        [this, target, file] {
            switch (target) {
            case DropTarget::Nothing:
                break;
            case DropTarget::Sheet:
                openFromOutside(file);
                break;
            case DropTarget::Accompaniment:
                m_playback->openTrackFrom(Playback::Track::Accompaniment, file);
                break;
            case DropTarget::Original:
                m_playback->openTrackFrom(Playback::Track::Original, file);
                break;
            }
        },
        Qt::QueuedConnection);
}

} // namespace syj
