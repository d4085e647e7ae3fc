// The lyric sheet as data: one row per line of the original lyrics, in order,
// each with its time tag, original words and new words.
//
// The main window is a view of this model: it makes a row's widgets when a row
// is inserted, removes them when it goes, and writes typed words back here.
// Saving, cueing a player and every aid that reads the sheet read this model,
// never the widgets.
//
// Rows are numbered from 0 here; the window numbers its rows from 1.
#pragma once

#include "aids/lineanalysis.h"

#include <QAbstractListModel>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace syj {

struct LyricRow {
    enum class Kind { Timed, Info };

    Kind kind = Kind::Info;
    QString tag; // the time tag as it stood in the line; empty for an info row
    // The play position of a timed row, when the tag's fields are numbers.
    std::optional<double> seconds;
    QString originalWords;
    QString newWords;
    // The readings the writer picked for syllables of the original and the
    // new words (the writing aids); they are not saved in the lyric file.
    aids::ReadingPicks originalPicks;
    aids::ReadingPicks newPicks;

    // A row from one line of the original lyrics.
    static LyricRow fromLine(const QString &line);

    bool isTimed() const { return kind == Kind::Timed; }
    // What the row's label shows: the tag, or "信息" for an info row.
    QString label() const;
    // The row's line in a new lyric file: tag + new words, or the new words of an info row.
    QString lineToSave() const;
};

class LyricSheetModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        // Qt::DisplayRole gives the original words, Qt::EditRole the new words.
        LabelRole = Qt::UserRole + 1,
        TimedRole,
        TagRole,
        SecondsRole, // invalid when the row has no play position
        OriginalWordsRole,
        NewWordsRole,
    };

    // The most rows a sheet holds (the window's control arrays stop there).
    static constexpr int kMaxRows = 32767;

    explicit LyricSheetModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_rows.size()); }
    // Row `row` (from 0); the row must exist.
    const LyricRow &at(int row) const { return m_rows[static_cast<size_t>(row)]; }
    bool hasRow(int row) const { return row >= 0 && row < count(); }

    // Loading the original lyrics, one line at a time, so that the loader can
    // let the window handle events between lines. beginLoad() removes every
    // row (their new words go with them) and marks the sheet loading;
    // appendLine() adds the row of one line, or returns false when the sheet
    // is full; endLoad() ends the load.
    // `lyricsFile` is the file the lines come from (see lyricsFile()).
    void beginLoad(const QString &lyricsFile = {});
    bool appendLine(const QString &line);
    void endLoad();
    // The three at once. Returns how many lines found no row.
    qsizetype loadOriginal(const QStringList &lines, const QString &lyricsFile = {});

    // The original lyric file the rows were loaded from; empty when none.
    QString lyricsFile() const { return m_lyricsFile; }

    // Puts the lines of a new lyric file into the rows, line k into row k: a
    // timed line without its tag, any other line whole. Rows after the last
    // line keep their words. Returns how many lines found no row.
    qsizetype putNewLyrics(const QStringList &lines);

    // The words typed into a row. Marks the sheet unsaved when they differ.
    void setNewWords(int row, const QString &words);

    // Puts back words kept for the rows, exactly as they were (unlike
    // putNewLyrics, a word that looks like a time tag stays): word k into row
    // k. Returns how many words found no row.
    qsizetype restoreNewWords(const QStringList &words);

    // The lines of a new lyric file, one per row.
    QStringList linesToSave() const;

    // True when new words were typed or opened since the sheet was loaded or saved.
    bool isModified() const { return m_modified; }
    void setModified(bool modified);

    // True from beginLoad() to endLoad().
    bool isLoading() const { return m_loading; }

    // The writing aids' choices: the language the song is sung in, the rhyme
    // system, and the reading picked for a syllable. They stay while the
    // program runs (the language and rhyme system across sheets too) and go
    // into the recovery copy; they never mark the sheet unsaved. The rhyme
    // system follows the language (Cantonese rhymes by its finals, Mandarin
    // by 中华新韵 or 十三辙), and the language the rhyme system.
    aids::Language songLanguage() const { return m_language; }
    void setSongLanguage(aids::Language language);
    aids::RhymeSystem rhymeSystem() const { return m_rhymeSystem; }
    void setRhymeSystem(aids::RhymeSystem system);
    enum class Side { Original, NewWords };
    const aids::ReadingPicks &readingPicks(int row, Side side) const;
    // Picks `reading` for syllable `syllable` of a row's line; an empty
    // reading takes the pick back.
    void setReadingPick(int row, Side side, int syllable, const QString &reading);

Q_SIGNALS:
    void modifiedChanged(bool modified);
    void loadingChanged(bool loading);
    // The language, the rhyme system or a pick changed (row -1: the first two).
    void aidChoicesChanged(int row);

private:
    void setLoading(bool loading);

    std::vector<LyricRow> m_rows;
    QString m_lyricsFile;
    bool m_modified = false;
    bool m_loading = false;
    aids::Language m_language = aids::Language::Mandarin;
    aids::RhymeSystem m_rhymeSystem = aids::RhymeSystem::ZhonghuaXinyun;
};

} // namespace syj
