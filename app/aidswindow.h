// The aids window (写词助手): the current row of the sheet syllable by
// syllable, the original line over the new one, each syllable with its
// readings and tone class, and the places where the new syllable's tones
// cannot be sung on the original's notes; the rhyme of both line ends; the
// song's language and rhyme system; and a choice of reading for each syllable
// that has several; and the word finder (找词) for a place of the line.
//
// A tool window beside the main window, so that the main window's layout stays
// as it is. It follows the row that has the focus.
#pragma once

#include "aids/lineanalysis.h"

#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace syj {

class LyricSheetModel;
class SheetAids;
class WordFinderPanel;

class AidsWindow : public QWidget
{
    Q_OBJECT
public:
    AidsWindow(LyricSheetModel &sheet, const SheetAids &aids, QWidget *parent);

    // Where this window stands beside `main`, then below or above it, with
    // the whole window on the screen and none of `main` covered; nothing when
    // the screen has no such room.
    std::optional<QPoint> placeBeside(const QWidget &main) const;

    // Shows row `row` (from 0); -1 for none.
    void showRow(int row);
    int shownRow() const { return m_row; }

    QComboBox *languageBox() const { return m_language; }
    QComboBox *rhymeSystemBox() const { return m_rhymeSystem; }
    QLabel *heading() const { return m_heading; }
    QLabel *rhymeLine() const { return m_rhyme; }
    QTableWidget *syllables() const { return m_table; }
    WordFinderPanel *wordFinder() const { return m_finder; }

    // Where the word finder puts a word: the new-words box of row `row`
    // (from 0), or none. Until it is told, the finder only lists words.
    void setNewWordsBoxes(std::function<QLineEdit *(int row)> boxOf);

    // A line's end as the aids show it: "深 shēn〔九文〕".
    static QString lineEndText(const aids::LineReading &line, const aids::ReadingPicks &picks,
                               aids::RhymeSystem system);

    // What the table's columns hold, in order; a row for each syllable.
    enum TableColumn {
        OriginalText,
        OriginalReading,
        OriginalClass,
        NewText,
        NewReading,
        NewClass
    };

private:
    void refresh();
    // Fills the three columns of one side (side: LyricSheetModel::Side).
    void fillSide(const aids::LineReading &line, const aids::ReadingPicks &picks,
                  const QList<QStringList> &classes, const QList<bool> &mismatches, int textColumn,
                  int side);
    void showChoices();
    void fillRhymeSystems();

    LyricSheetModel &m_sheet;
    const SheetAids &m_aids;
    int m_row = -1;
    QComboBox *m_language = nullptr;
    QComboBox *m_rhymeSystem = nullptr;
    QLabel *m_heading = nullptr;
    QLabel *m_rhyme = nullptr;
    QTableWidget *m_table = nullptr;
    WordFinderPanel *m_finder = nullptr;
    // What each side of the table shows now (original, new words).
    QString m_filled[2];
};

} // namespace syj
