#include "app/rowpanel.h"

#include "app/rowmarks.h"
#include "app/windowlayout.h"
#include "platform/classicscrollbar.h"
#include "platform/framepainter.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetaids.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QToolTip>
#include <limits>
#include <numeric>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// Element 0 of each control array is the row template; row r is element r + 1.
int element(int row)
{
    return row + 1;
}

void paintBackground(QWidget *w, const QColor &color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

RowPanel::RowPanel(QWidget &window, LyricSheetModel &sheet, const SheetAids &aids)
    : m_window(window), m_sheet(sheet), m_aids(aids)
{
    build();
    m_scrollBar = new ClassicScrollBar(&window);
    m_scrollBar->setObjectName(u"VScroll1"_s);
    m_scrollBar->setAccessibleName(u"歌词滚动条"_s);
    m_scrollBar->bar()->setAccessibleName(u"歌词滚动条"_s);
    placeTwips(m_scrollBar, 13800, 0, 375, kLyricAreaHeight);

    // The row boxes report receiving the focus, and ask for their marks'
    // tooltips, through the panel that holds them.
    m_panel->installEventFilter(this);
    connect(&sheet, &LyricSheetModel::rowsInserted, this, &RowPanel::createRows);
    connect(&sheet, &LyricSheetModel::rowsAboutToBeRemoved, this, &RowPanel::removeRows);
    connect(&sheet, &LyricSheetModel::dataChanged, this, &RowPanel::showRowData);
    connect(&sheet, &LyricSheetModel::loadingChanged, this, [this](bool loading) {
        if (loading)
            m_framePainter = std::make_unique<FramePainter>(&m_window);
        else
            m_framePainter.reset();
    });
    connect(&aids, &SheetAids::rowsChanged, this, &RowPanel::showRowAids);
    connect(&aids, &SheetAids::allChanged, this, &RowPanel::showAllRowAids);
    m_accessible = QAccessible::isActive();
    QAccessible::installActivationObserver(this);
}

RowPanel::~RowPanel()
{
    QAccessible::removeActivationObserver(this);
    // The rows go first, while the sheet they show and write to is still there.
    delete m_panel;
}

void RowPanel::build()
{
    m_panel = new PictureBox(&m_window);
    m_panel->setObjectName(u"Picture2"_s);
    m_panel->setBackColor(QColor(227, 223, 145));
    m_panel->setFocusPolicy(Qt::NoFocus);
    placeTwips(m_panel, 0, 0, 14175, 2895);

    // Back to front: Shape1, Label6, Label1, Text2, Text1, dcButton2, dcButton5.
    m_highlight = new Shape(m_panel);
    m_highlight->setObjectName(u"Shape1"_s);
    m_highlight->setFillColor(QColor(192, 192, 192));
    placeTwips(m_highlight, 120, 1080, 13575, 615);

    const auto makeLabel = [this](const char *name, const QString &caption, int left, int width) {
        auto *l = new QLabel(caption, m_panel);
        l->setObjectName(QLatin1StringView(name));
        l->setTextFormat(Qt::PlainText);
        placeTwips(l, left, kRowTemplateTop, width, 375);
        return l;
    };
    m_header = makeLabel("Label6", QString::fromUtf16(kHeaderCaption), 120, 13575);
    m_header->setFont(songFont(15.75));
    m_header->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    paintBackground(m_header, QColor(192, 192, 192));

    auto *label1 = makeLabel("Label1", u"载入中"_s, 240, 1575);
    label1->setFont(songFont(15));
    label1->setAlignment(Qt::AlignCenter);
    paintBackground(label1, QColor(224, 224, 224));
    label1->hide();
    m_timeLabels.setTemplate(label1);

    const auto makeTextBox = [this](const char *name, const QString &text, int left) {
        auto *t = new TextBox(text, m_panel);
        t->setObjectName(QLatin1StringView(name));
        // No length limit: QLineEdit would silently cut a long line at 32767 characters.
        t->setMaxLength(std::numeric_limits<int>::max());
        t->setFont(songFont(15));
        t->setFrame(true);
        t->setTextMargins(0, 0, 0, 0);
        placeTwips(t, left, kRowTemplateTop, 4575, 375);
        t->hide();
        return t;
    };
    m_newWordsBoxes.setTemplate(makeTextBox("Text2", QString(), 6600));
    m_originalBoxes.setTemplate(makeTextBox("Text1", u"……"_s, 1920));

    // A click on a row's button plays without taking the focus from the box
    // being typed in; Tab still reaches the buttons.
    const auto makeButton = [this](const char *name, const QString &caption, int left) {
        auto *b = new QPushButton(caption, m_panel);
        b->setObjectName(QLatin1StringView(name));
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        placeTwips(b, left, kRowTemplateTop, 1215, 375);
        b->hide();
        return b;
    };
    m_accompanimentButtons.setTemplate(makeButton("dcButton2", u"伴奏"_s, 11160));
    m_recordingButtons.setTemplate(makeButton("dcButton5", u"原唱"_s, 12360));
}

RowPanel::Templates RowPanel::templates() const
{
    return {m_timeLabels(0), m_originalBoxes(0), m_newWordsBoxes(0), m_accompanimentButtons(0),
            m_recordingButtons(0)};
}

int RowPanel::rowOf(const QObject *w) const
{
    const int i = controlIndex(w);
    return i > 0 ? i - 1 : -1;
}

// ---------------------------------------------------------------------------
// The rows

void RowPanel::createRows(const QModelIndex &, int first, int last)
{
    // Showing a widget under the pointer makes Qt ask the X server where the
    // pointer is, one round trip per widget: 50,000 of them for 10,000 rows.
    // While some widget holds the mouse grab Qt asks nothing. The holder has
    // no parent and is never shown, so the grab stays inside Qt and ends
    // before any event is handled.
    QWidget pointerHolder;
    const bool hold = !QWidget::mouseGrabber();
    if (hold)
        pointerHolder.grabMouse();
    for (int row = first; row <= last; ++row)
        createRow(row);
    if (hold)
        pointerHolder.releaseMouse();
    setTwipsHeight(m_panel, twipsTop(timeLabel(last)) + kPanelExtraBelowRow);
    m_scrollBar->setMax(twipsHeight(m_panel) - kLyricAreaHeight);
    m_scrollBar->setValue(m_scrollBar->max());
    if (m_framePainter)
        m_framePainter->frame();
}

void RowPanel::createRow(int row)
{
    const int k = element(row);
    const auto place = [k](auto &array) {
        auto *w = array.load(k);
        setTwipsTop(w, twipsTop(array(k - 1)) + kRowPitch);
        return w;
    };
    // The time label stands in front of its row (and of the highlight bar). Made
    // last, it is already the front-most widget of the panel: QWidget::raise()
    // would repaint against every sibling, which on a long sheet grows with
    // every row.
    TextBox *original = place(m_originalBoxes);
    TextBox *words = place(m_newWordsBoxes);
    QPushButton *accompaniment = place(m_accompanimentButtons);
    QPushButton *recording = place(m_recordingButtons);
    QLabel *label = place(m_timeLabels);

    const LyricRow &data = m_sheet.at(row);
    label->setText(data.label());
    original->showText(data.originalWords);
    if (m_accessible)
        nameRow(row);
    if (!data.newWords.isEmpty()) // a copy of the template starts empty
        words->showText(data.newWords);
    words->setMarkMargin(kAidsMarkMargin);
    for (QWidget *w : {static_cast<QWidget *>(original), static_cast<QWidget *>(words),
                       static_cast<QWidget *>(accompaniment), static_cast<QWidget *>(recording),
                       static_cast<QWidget *>(label)})
        w->show();

    // Whatever changes the new words, typing, pasting or undoing, the model
    // holds them, and they mark the sheet unsaved. (The original words can be
    // corrected in their box for the count; they are not saved.)
    LyricSheetModel *sheet = &m_sheet;
    connect(words, &QLineEdit::textChanged, sheet,
            [sheet, row](const QString &text) { sheet->setNewWords(row, text); });
    connect(accompaniment, &QPushButton::clicked, this,
            [this, row] { Q_EMIT accompanimentClicked(row); });
    connect(recording, &QPushButton::clicked, this, [this, row] { Q_EMIT recordingClicked(row); });
}

void RowPanel::nameRow(int row)
{
    // What a listener hears for each control of the row: which row it is,
    // counted from 1 as the writer counts them.
    const int n = row + 1;
    originalBox(row)->setAccessibleName(u"第 %1 句 原歌词"_s.arg(n));
    newWordsBox(row)->setAccessibleName(u"第 %1 句 新歌词"_s.arg(n));
    accompanimentButton(row)->setAccessibleName(u"第 %1 句：从本句播放伴奏"_s.arg(n));
    recordingButton(row)->setAccessibleName(u"第 %1 句：从本句播放原唱"_s.arg(n));
    // The aids' mark at the box's right end, in words.
    if (m_aids.row(row).known && m_aids.row(row).aided)
        newWordsBox(row)->setAccessibleDescription(rowAidsDescription(m_aids, row) + u"；"_s +
                                                   rowLineEnds(m_sheet, m_aids, row));
}

void RowPanel::accessibilityActiveChanged(bool active)
{
    if (active == m_accessible)
        return;
    m_accessible = active;
    if (active) {
        for (int row = 0; row < count(); ++row)
            nameRow(row);
    }
}

void RowPanel::removeRows(const QModelIndex &, int first, int last)
{
    if (QWidget *focused = m_panel->focusWidget(); focused && focused != m_panel)
        focused->clearFocus();
    for (int k = element(first); k <= element(last); ++k) {
        m_timeLabels.unload(k);
        m_originalBoxes.unload(k);
        m_newWordsBoxes.unload(k);
        m_accompanimentButtons.unload(k);
        m_recordingButtons.unload(k);
    }
}

bool RowPanel::inWindow(const QWidget *w) const
{
    return QRect(w->mapTo(&m_window, QPoint()), w->size()).intersects(m_window.rect());
}

void RowPanel::showRowData(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                           const QList<int> &roles)
{
    if (!roles.isEmpty() && !roles.contains(LyricSheetModel::NewWordsRole))
        return;
    // Only the boxes in the window ask to be repainted, so that new lyrics put
    // into every row at once cost the window one paint.
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        // A box already showing the words keeps its cursor and selection.
        const QString &words = m_sheet.at(row).newWords;
        TextBox *box = newWordsBox(row);
        if (!box || box->text() == words)
            continue;
        if (inWindow(box))
            box->showText(words);
        else
            box->showTextOutOfView(words);
    }
}

// ---------------------------------------------------------------------------
// The aids' marks

void RowPanel::showRowAids(const QList<int> &rows)
{
    for (int row : rows) {
        TextBox *box = newWordsBox(row);
        if (!box)
            continue;
        box->setMark(rowMark(m_sheet, m_aids, row), inWindow(box));
        if (m_accessible)
            box->setAccessibleDescription(rowAidsDescription(m_aids, row) + u"；"_s +
                                          rowLineEnds(m_sheet, m_aids, row));
    }
}

void RowPanel::showAllRowAids()
{
    QList<int> rows(m_sheet.count());
    std::iota(rows.begin(), rows.end(), 0);
    showRowAids(rows);
}

bool RowPanel::showMarkToolTip(QWidget *box, const QPoint &globalPos)
{
    const int row = rowOf(box);
    if (row < 0 || box != newWordsBox(row) || !m_aids.row(row).known || !m_aids.row(row).aided)
        return false;
    QToolTip::showText(
        globalPos, rowAidsDescription(m_aids, row) + u"\n"_s + rowLineEnds(m_sheet, m_aids, row),
        box);
    return true;
}

bool RowPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_panel && event->type() == GotFocusEvent::type()) {
        QWidget *box = static_cast<GotFocusEvent *>(event)->box();
        const int row = rowOf(box);
        if (row >= 0 && box == originalBox(row))
            Q_EMIT originalBoxFocused(row);
        else if (row >= 0 && box == newWordsBox(row))
            Q_EMIT newWordsBoxFocused(row);
        return true;
    }
    // A new-words box asks what the tooltip over its aids' mark says.
    if (watched == m_panel && event->type() == MarkToolTipEvent::type()) {
        auto *ask = static_cast<MarkToolTipEvent *>(event);
        ask->setAccepted(showMarkToolTip(ask->box(), ask->globalPos()));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Scrolling and the current row

void RowPanel::followScrollBar()
{
    setTwipsTop(m_panel, -m_scrollBar->value());
}

int RowPanel::currentRow() const
{
    if (m_sheet.hasRow(m_currentRow))
        return m_currentRow;
    return m_sheet.count() > 0 ? 0 : -1;
}

void RowPanel::setCurrentRow(int row)
{
    // The bar reaches 120 twips above and below the row.
    QLineEdit *original = originalBox(row);
    if (!original)
        return;
    m_currentRow = row;
    setTwipsTop(m_highlight, twipsTop(original) - kHighlightAboveRow);
}

void RowPanel::goToRow(int row)
{
    TextBox *box = newWordsBox(row);
    if (!box)
        return;
    // The row and its highlight come into view; a row already in view stays
    // where it is.
    const int top = twipsTop(box) - kHighlightAboveRow;
    const int bottom = twipsTop(box) + twipsHeight(box) + kHighlightAboveRow;
    const int value = m_scrollBar->value();
    if (top < value)
        m_scrollBar->setValue(top);
    else if (bottom > value + kLyricAreaHeight)
        m_scrollBar->setValue(bottom - kLyricAreaHeight);
    // Not a tab focus: that would select the words, and the next key typed
    // would replace them.
    box->setFocus(Qt::OtherFocusReason);
}

} // namespace syj
