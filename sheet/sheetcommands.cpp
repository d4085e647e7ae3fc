#include "sheet/sheetcommands.h"

#include "sheet/filerequests.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/platformtools.h"
#include "sheet/recovery.h"

#include <QCoreApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Lets the window handle what is waiting (input, repaints, timers) between
// two lines of a load.
void letEventsIn()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace

LyricSheetCommands::LyricSheetCommands(LyricSheetModel &model, FileRequests &files, QObject *parent)
    : QObject(parent), m_model(model), m_tools(files.tools()), m_files(files)
{}

bool LyricSheetCommands::refuseWhileLoading()
{
    if (!m_model.isLoading())
        return false;
    messageBox(m_tools, u"正在载入原唱歌词，请等载入完成后再试。"_s, MsgButtons::Ok,
               MsgIcon::Information);
    return true;
}

void LyricSheetCommands::reportUnreadable(const LyricFileRead &read, const QString &path)
{
    QString text;
    switch (read.status) {
    case LyricFileRead::Status::Ok:
        return;
    case LyricFileRead::Status::NotFound:
        text =
            u"没有找到歌词文件：\n%1\n\n声韵笺读取与所选文件同名、扩展名为“.lrc”的歌词文件。"_s.arg(
                shown(path));
        break;
    case LyricFileRead::Status::Unreadable:
        text = u"无法读取歌词文件：\n%1\n\n原因：%2"_s.arg(shown(path), read.errorString);
        break;
    case LyricFileRead::Status::TooLarge:
        text =
            u"文件太大，不像是歌词文件（歌词文件最大 %1 MB）：\n%2\n\n没有载入，现有的内容都没有改动。"_s
                .arg(QString::number(kMaxLyricFileBytes / (1024 * 1024)), shown(path));
        break;
    case LyricFileRead::Status::NotText:
        text =
            u"这不是文本歌词文件（文件里有空字节）：\n%1\n\n没有载入，现有的内容都没有改动。"_s.arg(
                shown(path));
        break;
    case LyricFileRead::Status::LineTooLong:
        text =
            u"文件里有一行超过 %1 个字符，不像是歌词文件：\n%2\n\n没有载入，现有的内容都没有改动。"_s
                .arg(QString::number(kMaxLyricLineCharacters), shown(path));
        break;
    }
    messageBox(m_tools, text, MsgButtons::Ok, MsgIcon::Warning);
}

// ---------------------------------------------------------------------------
// Opening the original lyrics

void LyricSheetCommands::openOriginalLyrics()
{
    if (refuseWhileLoading())
        return;
    const QString chosen = m_files.choose(FileRequests::Kind::OpenLyrics);
    if (chosen.isEmpty()) {
        showNoFileChosen(m_tools);
        return;
    }
    openOriginalLyricsFrom(chosen);
}

void LyricSheetCommands::openOriginalLyricsFrom(const QString &chosen)
{
    if (refuseWhileLoading())
        return;
    // Read ahead, so that a file that is no lyric file costs no row.
    const QString path = lyricFileName(chosen);
    LyricFileRead read = readLyricFile(path);
    if (read.refused()) {
        reportUnreadable(read, path);
        return;
    }
    if (!confirmDiscard())
        return;
    loadRead(path, std::move(read));
}

void LyricSheetCommands::loadOriginalLyrics(const QString &chosen)
{
    if (m_model.isLoading())
        return;
    const QString path = lyricFileName(chosen);
    loadRead(path, readLyricFile(path));
}

void LyricSheetCommands::loadRead(const QString &path, LyricFileRead read)
{
    // A file that is there but is no lyric file costs no row.
    if (read.refused()) {
        reportUnreadable(read, path);
        return;
    }

    m_stopLoading = false;
    m_model.beginLoad(path);
    if (read.status == LyricFileRead::Status::NotFound) {
        m_model.endLoad();
        reportUnreadable(read, path);
        return;
    }
    const QStringList &lines = read.lines;
    qsizetype notLoaded = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        letEventsIn();
        if (m_stopLoading)
            break;
        if (!m_model.appendLine(lines[i])) {
            notLoaded = lines.size() - i;
            break;
        }
    }
    m_model.endLoad();
    if (m_stopLoading)
        return;
    Q_EMIT lyricsReadAs(read.encoding, path);

    if (notLoaded > 0) {
        messageBox(m_tools,
                   u"歌词文件有 %1 行，声韵笺最多能载入 %2 行；后面的 %3 行没有载入：\n%4"_s.arg(
                       QString::number(lines.size()), QString::number(LyricSheetModel::kMaxRows),
                       QString::number(notLoaded), shown(path)),
                   MsgButtons::Ok, MsgIcon::Warning);
    }
    if (read.invalidSequences > 0) {
        messageBox(
            m_tools,
            u"歌词文件里有 %1 处无法识别的字节，已显示为“\uFFFD”：\n%2\n\n文件是按 %3 读取的。请检查文件的编码（应为 GBK/GB18030、Big5、UTF-8 或带 BOM 的 UTF-16）。"_s
                .arg(QString::number(read.invalidSequences), shown(path),
                     encodingDisplayName(read.encoding)),
            MsgButtons::Ok, MsgIcon::Warning);
    }
}

void LyricSheetCommands::stopLoading()
{
    if (m_model.isLoading())
        m_stopLoading = true;
}

// ---------------------------------------------------------------------------
// Opening new lyrics into the rows

void LyricSheetCommands::openNewLyrics()
{
    if (refuseWhileLoading())
        return;
    if (m_model.count() == 0) {
        messageBox(m_tools, u"请先载入原唱歌词"_s, MsgButtons::Ok, MsgIcon::None);
        return;
    }
    const QString chosen = m_files.choose(FileRequests::Kind::OpenLyrics);
    if (chosen.isEmpty()) {
        showNoFileChosen(m_tools);
        return;
    }
    loadNewLyrics(chosen);
}

bool LyricSheetCommands::loadNewLyrics(const QString &chosen)
{
    if (m_model.isLoading())
        return false;
    const QString path = lyricFileName(chosen);
    const LyricFileRead read = readLyricFile(path);
    if (read.status != LyricFileRead::Status::Ok) {
        reportUnreadable(read, path);
        return false;
    }
    if (read.lines.isEmpty())
        return false;
    if (!confirmDiscard())
        return false;

    const qsizetype leftOut = m_model.putNewLyrics(read.lines);
    Q_EMIT lyricsReadAs(read.encoding, path);
    if (leftOut > 0) {
        messageBox(m_tools,
                   u"新歌词文件有 %1 行，比原唱歌词多 %2 行；多出的 %2 行没有载入：\n%3"_s.arg(
                       QString::number(read.lines.size()), QString::number(leftOut), shown(path)),
                   MsgButtons::Ok, MsgIcon::Information);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Saving the new lyrics

bool LyricSheetCommands::saveNewLyrics()
{
    return !refuseWhileLoading() && saveThroughDialog();
}

bool LyricSheetCommands::saveThroughDialog()
{
    const QString path = m_files.choose(FileRequests::Kind::SaveLyrics);
    return !path.isEmpty() && saveNewLyricsTo(path);
}

bool LyricSheetCommands::saveNewLyricsTo(const QString &path)
{
    const LyricFileWrite written = writeLyricFile(path, m_model.linesToSave());
    if (!written.ok) {
        messageBox(
            m_tools,
            u"无法保存新歌词：\n%1\n\n原因：%2\n\n已有的文件没有改动，写好的新歌词还在窗口里。"_s
                .arg(shown(path), written.errorString),
            MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }
    m_model.setModified(false);
    return true;
}

// ---------------------------------------------------------------------------
// Unsaved new words

MsgResult LyricSheetCommands::askAboutUnsavedWords()
{
    if (!m_model.isModified())
        return MsgResult::Discard;
    const MsgResult answer = messageBox(m_tools, u"新歌词还没有保存。\n要先保存吗？"_s,
                                        MsgButtons::SaveDiscardCancel, MsgIcon::Warning);
    return answer == MsgResult::Save || answer == MsgResult::Discard ? answer : MsgResult::Cancel;
}

bool LyricSheetCommands::confirmDiscard()
{
    switch (askAboutUnsavedWords()) {
    case MsgResult::Save:
        return saveThroughDialog();
    case MsgResult::Discard:
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// New words left by a program that did not end normally

void LyricSheetCommands::offerRecovery(const QString &folder)
{
    for (const std::unique_ptr<LeftCopy> &left : findLeftCopies(folder)) {
        const RecoveryCopyRead read = left->read();
        if (read.status != RecoveryCopyRead::Status::Ok) {
            const QString why =
                read.status == RecoveryCopyRead::Status::Newer ? u"它是较新版本的声韵笺写的"_s
                : read.status == RecoveryCopyRead::Status::Corrupt ? u"它已经损坏"_s
                                                                   : u"它无法读取"_s;
            const QString aside = left->setAside();
            messageBox(
                m_tools,
                u"找到一份上次没有保存的新歌词的恢复文件，但%1，无法恢复。\n\n它已移到：\n%2"_s.arg(
                    why, shown(aside)),
                MsgButtons::Ok, MsgIcon::Warning);
            continue;
        }
        const RecoveryCopy &copy = read.copy;
        const MsgResult answer = messageBox(
            m_tools,
            u"声韵笺上次没有正常退出，留下了没有保存的新歌词：\n原唱歌词：%1\n%2 句，最后写于 %3\n\n要恢复这些新歌词吗？"_s
                .arg(shown(copy.lyricsFile), QString::number(copy.newWords.size()),
                     copy.savedAt.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s)),
            MsgButtons::RestoreDiscard, MsgIcon::Question);
        if (answer == MsgResult::Discard) {
            left->remove();
        } else if (answer == MsgResult::Restore) {
            // One sheet at a time: any other copy waits for the next start.
            restore(copy, *left);
            return;
        }
    }
}

void LyricSheetCommands::restore(const RecoveryCopy &copy, LeftCopy &left)
{
    if (!fileExists(copy.lyricsFile)) {
        messageBox(
            m_tools,
            u"这些新歌词属于原唱歌词：\n%1\n这个文件已经不在了，新歌词无法放回。\n\n新歌词仍留在恢复文件里，下次启动声韵笺时会再问。"_s
                .arg(shown(copy.lyricsFile)),
            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    loadOriginalLyrics(copy.lyricsFile);
    if (m_model.count() == 0) {
        messageBox(
            m_tools,
            u"原唱歌词没有载入，新歌词无法放回：\n%1\n\n新歌词仍留在恢复文件里，下次启动声韵笺时会再问。"_s
                .arg(shown(copy.lyricsFile)),
            MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    const qsizetype leftOver = m_model.restoreNewWords(copy.newWords);
    m_model.setSongLanguage(copy.language);
    m_model.setRhymeSystem(copy.rhymeSystem);
    for (const RecoveryCopy::Pick &p : copy.picks)
        m_model.setReadingPick(
            p.row, p.newWords ? LyricSheetModel::Side::NewWords : LyricSheetModel::Side::Original,
            p.syllable, p.reading);
    const auto hasWords = [](const QString &w) { return !w.isEmpty(); };
    const bool lost = std::any_of(copy.newWords.cend() - leftOver, copy.newWords.cend(), hasWords);
    if (m_model.count() == copy.newWords.size()) {
        left.remove();
        return;
    }
    QString text =
        u"原唱歌词现在有 %1 句，恢复文件里是 %2 句的新歌词；已按顺序放回了前 %3 句。"_s.arg(
            QString::number(m_model.count()), QString::number(copy.newWords.size()),
            QString::number(std::min<qsizetype>(m_model.count(), copy.newWords.size())));
    if (lost) {
        // Words past the last row are kept where the writer can find them.
        text += u"\n\n后面 %1 句的新歌词没有地方放，恢复文件已移到：\n%2"_s.arg(
            QString::number(leftOver), shown(left.setAside()));
    } else {
        left.remove();
    }
    messageBox(m_tools, text, MsgButtons::Ok, MsgIcon::Information);
}

} // namespace syj
