// The sheet's three lyric-file commands and the question before unsaved new
// words are discarded.
//
// Each command asks for a name through the shared file dialog, then calls a
// plain function that does the work on the model (loadOriginalLyrics,
// loadNewLyrics, saveNewLyricsTo), which is what most tests call. Dialogs and
// boxes go through the platform tools handed in.
#pragma once

#include "sheet/lyrictext.h"
#include "sheet/platformtools.h"

#include <QObject>
#include <QString>

namespace syj {

class FileRequests;
class LeftCopy;
class LyricSheetModel;
struct RecoveryCopy;

class LyricSheetCommands : public QObject
{
    Q_OBJECT
public:
    LyricSheetCommands(LyricSheetModel &model, FileRequests &files, QObject *parent = nullptr);

    // 打开原唱歌词: asks for a file and loads the lyric file that belongs to it.
    void openOriginalLyrics();
    // The same for a file chosen elsewhere (the command line, a drop): reads
    // the lyric file that belongs to `chosen` ahead and refuses it with a
    // message if it is no lyric file, asks about unsaved new words, and loads.
    void openOriginalLyricsFrom(const QString &chosen);
    // Loads the lyric file that belongs to `chosen` into new rows. The old rows
    // go (nothing is asked here). Events are handled between two lines.
    void loadOriginalLyrics(const QString &chosen);
    // Ends a running load before its next line.
    void stopLoading();

    // 打开新歌词: asks for a file and puts its lines into the rows' new words.
    void openNewLyrics();
    // Puts the lines of the lyric file that belongs to `chosen` into the rows'
    // new words. Returns false when nothing changed.
    bool loadNewLyrics(const QString &chosen);

    // 保存新歌词: asks for a name and writes the new lyrics there. True when
    // they were written.
    bool saveNewLyrics();
    // Writes the new lyrics to `path`. Returns true when the file was written.
    bool saveNewLyricsTo(const QString &path);

    // Asks about unsaved new words before they are discarded: true when the
    // caller may go on (saved, discarded, or nothing to save).
    bool confirmDiscard();
    // Only the question: Save, Discard or Cancel as the user answered it, or
    // Discard without a question when no new words are unsaved.
    MsgResult askAboutUnsavedWords();

    // Offers back the new words of a program that ended without saving them
    // (recovery copies in `folder`): 恢复 loads the original lyrics they belong
    // to and puts them back, unsaved; 丢弃 removes the copy. A copy that cannot
    // be read is set aside with a message.
    void offerRecovery(const QString &folder);

Q_SIGNALS:
    // A lyric file was read into the sheet, as the original lyrics or as the
    // new words, in this encoding: once per file, after its lines are in the
    // rows. Not for a file that was refused, missing or not taken, nor for a
    // load that was stopped.
    void lyricsReadAs(syj::LyricEncoding encoding, const QString &path);

private:
    bool refuseWhileLoading();
    void restore(const RecoveryCopy &copy, LeftCopy &left);
    bool saveThroughDialog();
    void reportUnreadable(const LyricFileRead &read, const QString &path);
    // Loads what was read of the lyric file at `path` into new rows.
    void loadRead(const QString &path, LyricFileRead read);

    LyricSheetModel &m_model;
    PlatformTools &m_tools;
    FileRequests &m_files;
    bool m_stopLoading = false;
};

} // namespace syj
