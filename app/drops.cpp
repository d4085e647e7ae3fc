#include "app/drops.h"

#include "platform/mediaplayer.h"
#include "playback/playback.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"

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

DropHandler::Target DropHandler::targetOf(const QDropEvent &event, QString *file) const
{
    const QString path = draggedFile(event.mimeData());
    if (path.isEmpty() || dropActionFor(event) == Qt::IgnoreAction)
        return Target::Nothing;
    if (file)
        *file = path;
    const QPoint at = event.position().toPoint();
    const auto over = [this, at](const QWidget &player) {
        return player.rect().contains(player.mapFrom(&m_window, at));
    };
    if (!isLyricFile(path)) {
        if (over(m_accompaniment))
            return isPlayable(path) ? Target::Accompaniment : Target::Nothing;
        if (over(m_original))
            return isPlayable(path) ? Target::Original : Target::Nothing;
    }
    // 打开原唱歌词 waits while the original lyrics load, and so does a drop.
    return m_sheet.isLoading() ? Target::Nothing : Target::Sheet;
}

void DropHandler::answerDrag(QDropEvent &event) const
{
    if (targetOf(event) == Target::Nothing) {
        event.ignore();
        return;
    }
    event.setDropAction(dropActionFor(event));
    event.accept();
}

DropHandler::DropHandler(QWidget &window, const MediaPlayer &accompaniment,
                         const MediaPlayer &original, LyricSheetCommands &commands,
                         Playback &playback, const LyricSheetModel &sheet)
    : QObject(&window), m_window(window), m_accompaniment(accompaniment), m_original(original),
      m_commands(commands), m_playback(playback), m_sheet(sheet)
{
    window.installEventFilter(this);
}

bool DropHandler::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_window)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        // The answer changes as the pointer moves onto a player and off it again.
        answerDrag(*static_cast<QDropEvent *>(event));
        return true;
    case QEvent::Drop:
        drop(*static_cast<QDropEvent *>(event));
        return true;
    default:
        return false;
    }
}

void DropHandler::drop(QDropEvent &event)
{
    QString file;
    const Target target = targetOf(event, &file);
    if (target == Target::Nothing) {
        event.ignore();
        return;
    }
    event.setDropAction(dropActionFor(event));
    event.accept();
    // Opened once the drop has ended: the file manager waits for the drop to
    // be answered, and a load or a question would keep it waiting.
    QMetaObject::invokeMethod(
        this,
        [this, target, file] {
            switch (target) {
            case Target::Nothing:
                break;
            case Target::Sheet:
                m_commands.openOriginalLyricsFrom(file);
                break;
            case Target::Accompaniment:
                m_playback.openTrackFrom(Playback::Track::Accompaniment, file);
                break;
            case Target::Original:
                m_playback.openTrackFrom(Playback::Track::Original, file);
                break;
            }
        },
        Qt::QueuedConnection);
}

} // namespace syj
