// The writing aids of every row of the sheet, kept up to date with it: the
// sung-syllable counts of the original and new line (the fit), the rhyme
// groups of their ends, and the rhyme judgement across the sheet. The window
// shows them on the rows and, for the current row, in the aids window.
#pragma once

#include "aids/lineanalysis.h"

#include <QList>
#include <QObject>
#include <vector>

namespace syj {

class LyricSheetModel;

class SheetAids : public QObject
{
    Q_OBJECT
public:
    struct Row {
        qsizetype originalCount = 0;
        qsizetype newCount = 0;
        aids::RowEnds ends;
        aids::RhymeVerdict verdict = aids::RhymeVerdict::NoSet;
        QString setRhyme;   // the rhyme of the row's set for the new words
        bool known = false; // worked out (rows are worked out once a load ends)
        // Whether the row is sung: an info row that holds a tag such as
        // [ti:...] or [ar:...] is not, and has no aids.
        bool aided = true;
    };

    explicit SheetAids(const LyricSheetModel &sheet, QObject *parent = nullptr);

    // The aids of row `row` (from 0), as last worked out.
    const Row &row(int row) const;
    aids::Fit fit(int row) const;

    // One line read in the sheet's language, with its picks.
    aids::LineReading readOriginal(int row) const;
    aids::LineReading readNewWords(int row) const;

Q_SIGNALS:
    // The aids of these rows changed.
    void rowsChanged(const QList<int> &rows);
    // Every row's aids changed (a load ended, the language or rhyme system changed).
    void allChanged();

private:
    void workOut(int row, bool original, bool newWords);
    void workOutAll();
    void judge(QList<int> changed);
    void newWordsChanged(int first, int last);

    const LyricSheetModel &m_sheet;
    std::vector<Row> m_rows;
};

} // namespace syj
