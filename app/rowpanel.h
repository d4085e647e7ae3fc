// The lyric panel, the view of the sheet model: one row of widgets per row
// of the model (time label, original words, new words, the two play
// buttons), made when the model inserts the row and removed when it goes,
// showing the row's words and aids' marks and writing what is typed back
// into the model. It keeps the highlight on the current row and the panel's
// scroll bar. Rows are counted from 0, as in the model.
#pragma once

#include "platform/controlarray.h"
#include "platform/textbox.h"

#include <QAccessible>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <memory>

class QModelIndex;

namespace syj {

class ClassicScrollBar;
class FramePainter;
class LyricSheetModel;
class PictureBox;
class Shape;
class SheetAids;

class RowPanel : public QObject, private QAccessible::ActivationObserver
{
    Q_OBJECT
public:
    // Builds the panel and its scroll bar in `window`, in that order (the
    // scroll bar stands in front of the panel).
    RowPanel(QWidget &window, LyricSheetModel &sheet, const SheetAids &aids);
    ~RowPanel() override;

    PictureBox *panel() const { return m_panel; }
    ClassicScrollBar *scrollBar() const { return m_scrollBar; }
    QLabel *header() const { return m_header; }
    Shape *highlight() const { return m_highlight; }

    // A row's widgets; nullptr for a row that is not there.
    QLabel *timeLabel(int row) const { return m_timeLabels(row + 1); }
    TextBox *originalBox(int row) const { return m_originalBoxes(row + 1); }
    TextBox *newWordsBox(int row) const { return m_newWordsBoxes(row + 1); }
    QPushButton *accompanimentButton(int row) const { return m_accompanimentButtons(row + 1); }
    QPushButton *recordingButton(int row) const { return m_recordingButtons(row + 1); }
    // The hidden widgets every row's widgets are copied from.
    struct Templates {
        QLabel *timeLabel;
        TextBox *originalBox, *newWordsBox;
        QPushButton *accompanimentButton, *recordingButton;
    };
    Templates templates() const;
    // The rows that have widgets.
    int count() const { return m_newWordsBoxes.count() - 1; }
    // The row whose widget `w` is, or -1.
    int rowOf(const QObject *w) const;

    // Moves the panel to where the scroll bar stands.
    void followScrollBar();
    // The row the window works on: the row last focused, else the first; -1
    // on an empty sheet.
    int currentRow() const;
    // Marks `row` as the current row and moves the highlight bar to it.
    void setCurrentRow(int row);
    // Puts the focus in the row's new words, scrolling the panel to show it.
    void goToRow(int row);

Q_SIGNALS:
    void originalBoxFocused(int row);
    void newWordsBoxFocused(int row);
    void accompanimentClicked(int row);
    void recordingClicked(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void createRows(const QModelIndex &parent, int first, int last);
    void createRow(int row);
    void nameRow(int row);
    void accessibilityActiveChanged(bool active) override;
    void removeRows(const QModelIndex &parent, int first, int last);
    void showRowData(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles);
    void showRowAids(const QList<int> &rows);
    void showAllRowAids();
    bool showMarkToolTip(QWidget *box, const QPoint &globalPos);
    bool inWindow(const QWidget *w) const;

    QWidget &m_window;
    LyricSheetModel &m_sheet;
    const SheetAids &m_aids;
    PictureBox *m_panel = nullptr;
    ClassicScrollBar *m_scrollBar = nullptr;
    QLabel *m_header = nullptr;
    Shape *m_highlight = nullptr;
    ControlArray<QLabel> m_timeLabels;
    ControlArray<TextBox> m_originalBoxes;
    ControlArray<TextBox> m_newWordsBoxes;
    ControlArray<QPushButton> m_accompanimentButtons;
    ControlArray<QPushButton> m_recordingButtons;
    // Paints the window once a frame while the original lyrics load.
    std::unique_ptr<FramePainter> m_framePainter;
    // A screen reader is listening: the rows' controls carry names saying
    // which row they belong to (made only then: 40,000 names on a long sheet
    // cost memory and time that nobody else needs).
    bool m_accessible = false;
    // The row last focused; -1: none yet.
    int m_currentRow = -1;
};

} // namespace syj
