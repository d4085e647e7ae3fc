// The lyric sheet: the rows of the main window and its three lyric-file
// commands (open the original lyrics, open new lyrics, save the new lyrics).
//
// A row i >= 1 is Label1(i), Text1(i), Text2(i), dcButton2(i) and dcButton5(i)
// of the main window; rows 1 to nextRow - 1 exist. The commands ask for a name
// and then call a plain function that does the work (loadOriginal, openNew,
// saveNew), which is what most tests call.
#pragma once

#include "sheet/lyrictext.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace syj {

class Form1;

class LyricSheet : public QObject
{
    Q_OBJECT
public:
    explicit LyricSheet(Form1 &form);

    // Window-level values shared by the sheet's handlers.
    int nextRow = 0;    // index the next created row receives; 0 until a load began
    int rowIndex = 0;   // loop index of the row loops
    QString lineBuffer; // the line last read from a lyric file

    int rowCount() const { return nextRow > 1 ? nextRow - 1 : 0; }

    // Handlers.
    void dcButton3_Click(); // 打开原唱歌词
    void Command1_Click();  // the loader; run by dcButton3_Click
    void dcButton6_Click(); // 打开新歌词
    void dcButton8_Click(); // 保存新歌词

    // The work behind the commands, without dialogs.
    // Loads the lyric file that belongs to `chosen` into new rows (asks
    // nothing; the old rows go).
    void loadOriginal(const QString &chosen);
    // Puts the lines of the lyric file that belongs to `chosen` into the new
    // text boxes. Returns false when nothing changed.
    bool openNew(const QString &chosen);
    // Writes the new lyrics to `path`. Returns true when the file was written.
    bool saveNew(const QString &path);
    // The lines a save writes: label + new words, or the new words of an info row.
    QStringList newLyricLines() const;

    // True while the original lyrics are loading (events are pumped then).
    bool isLoading() const { return m_loading; }
    // True when new words were typed or opened since the last successful save.
    bool isModified() const { return m_modified; }
    void setModified(bool modified);

    // Asks about unsaved new words before they are discarded: true when the
    // caller may go on (saved, discarded or nothing to save).
    bool confirmDiscard();
    // Called when the main window is asked to close.
    bool mayCloseWindow();

Q_SIGNALS:
    void modifiedChanged(bool modified);
    void loadingChanged(bool loading);

private:
    bool refuseWhileLoading();
    bool askSaveAndSave();
    void removeRows();
    void createRow(int k);
    // Reads the lines into new rows, pumping events once per line. Returns how
    // many lines found no row (the sheet is full).
    qsizetype addRows(const QStringList &lines);
    void setLoading(bool loading);
    void reportUnreadable(const LyricFileRead &read, const QString &path);

    Form1 &m_form;
    bool m_loading = false;
    bool m_modified = false;
    bool m_abortLoad = false;
    bool m_closeAfterLoad = false;
    // The lyric file read ahead by dcButton3_Click, used by Command1_Click.
    QString m_prefetchedPath;
    LyricFileRead m_prefetched;
};

} // namespace syj
