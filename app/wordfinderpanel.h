// 找词, the word finder of the aids window: for a place of the current row's
// original line (one to four syllables, by default the two at the line end),
// the words whose tone classes can be sung there, at a line end of a rhyme
// set only those that keep the set's rhyme, narrowed by characters the word
// must hold; the common ones first. Double-click or Enter puts a word into the
// row's new-words box at the cursor, and the focus goes back to the box.
#pragma once

#include "aids/lineanalysis.h"

#include <QGroupBox>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QSpinBox;

namespace syj {

class LyricSheetModel;
class SheetAids;

class WordFinderPanel : public QGroupBox
{
    Q_OBJECT
public:
    // How many words the list shows at most.
    static constexpr int kShown = 300;

    WordFinderPanel(const LyricSheetModel &sheet, const SheetAids &aids, QWidget *parent);

    // Finds words for row `row` (from 0); -1 for none. A new row puts the
    // place on its line end.
    void showRow(int row);
    // Where a word goes: the new-words box of a row (from 0), or none.
    void setNewWordsBoxes(std::function<QLineEdit *(int row)> boxOf);

    // The place on the row's line end and the focus in the list; or, when
    // the focus is in the finder, back to the row's new-words box (F9).
    void toggleFocus();
    // Puts the listed word `item` into the row's box and gives the box the focus.
    void putWord(QListWidgetItem *item);

    QSpinBox *firstSyllableBox() const { return m_first; }
    QSpinBox *lengthBox() const { return m_length; }
    QCheckBox *rhymeBox() const { return m_rhyme; }
    QComboBox *filterModeBox() const { return m_mode; }
    QLineEdit *filterBox() const { return m_filter; }
    QListWidget *list() const { return m_list; }
    QLabel *countLabel() const { return m_count; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void placeOnLineEnd();
    void refresh();
    QLineEdit *rowBox() const;
    // The rhyme a word at the row's line end should keep; empty when the
    // row is in no rhyme set.
    QString rhymeToKeep() const;
    // The row's original line as the aids read it (none when `known` is false).
    const aids::LineReading &original(bool known);

    const LyricSheetModel &m_sheet;
    const SheetAids &m_aids;
    std::function<QLineEdit *(int)> m_boxOf;
    int m_row = -1;
    QSpinBox *m_first = nullptr;
    QSpinBox *m_length = nullptr;
    QCheckBox *m_rhyme = nullptr;
    QComboBox *m_mode = nullptr;
    QLineEdit *m_filter = nullptr;
    QLabel *m_count = nullptr;
    QListWidget *m_list = nullptr;
    // What the list was found for, so that typing elsewhere does not search again.
    QString m_searched;
    QString m_lineKey;
    aids::LineReading m_line;
    bool m_placing = false;
};

} // namespace syj
