#include "app/wordfinderpanel.h"

#include "aids/wordfinder.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetaids.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// A word's classes as the list shows them: "平仄", "3-4".
QString classesText(const QStringList &classes, aids::Language language)
{
    return classes.join(language == aids::Language::Cantonese ? u"-"_s : QString());
}

} // namespace

WordFinderPanel::WordFinderPanel(const LyricSheetModel &sheet, const SheetAids &aids,
                                 QWidget *parent)
    : QGroupBox(u"找词（F9）"_s, parent), m_sheet(sheet), m_aids(aids)
{
    setObjectName(u"wordFinder"_s);
    setAccessibleName(u"找词"_s);

    auto *layout = new QVBoxLayout(this);
    auto *place = new QHBoxLayout;
    auto *fromLabel = new QLabel(u"从原词第"_s, this);
    m_first = new QSpinBox(this);
    m_first->setObjectName(u"finderFirst"_s);
    m_first->setAccessibleName(u"找词的位置：从原词第几个字起"_s);
    fromLabel->setBuddy(m_first);
    auto *lengthLabel = new QLabel(u"字起，共"_s, this);
    m_length = new QSpinBox(this);
    m_length->setObjectName(u"finderLength"_s);
    m_length->setAccessibleName(u"找词的字数"_s);
    m_length->setRange(1, aids::WordTables::kMaxSyllables);
    lengthLabel->setBuddy(m_length);
    m_rhyme = new QCheckBox(u"押本组的韵"_s, this);
    m_rhyme->setObjectName(u"finderRhyme"_s);
    m_rhyme->setAccessibleName(u"只列押本组韵的词"_s);
    m_rhyme->setChecked(true);
    place->addWidget(fromLabel);
    place->addWidget(m_first);
    place->addWidget(lengthLabel);
    place->addWidget(m_length);
    place->addWidget(new QLabel(u"字"_s, this));
    place->addSpacing(12);
    place->addWidget(m_rhyme);
    place->addStretch();
    layout->addLayout(place);

    auto *filter = new QHBoxLayout;
    m_mode = new QComboBox(this);
    m_mode->setObjectName(u"finderFilterMode"_s);
    m_mode->setAccessibleName(u"筛选方式"_s);
    m_mode->addItem(u"含有这些字"_s, false);
    m_mode->addItem(u"以这些字开头"_s, true);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(u"finderFilter"_s);
    m_filter->setAccessibleName(u"筛选的字"_s);
    m_filter->setPlaceholderText(u"输入字，只列含有它的词"_s);
    m_filter->setClearButtonEnabled(true);
    filter->addWidget(m_mode);
    filter->addWidget(m_filter, 1);
    layout->addLayout(filter);

    m_count = new QLabel(this);
    m_count->setObjectName(u"finderCount"_s);
    m_count->setTextFormat(Qt::PlainText);
    m_count->setWordWrap(true);
    layout->addWidget(m_count);

    m_list = new QListWidget(this);
    m_list->setObjectName(u"finderList"_s);
    m_list->setAccessibleName(u"找到的词（双击或回车填进新词框）"_s);
    m_list->setUniformItemSizes(true);
    layout->addWidget(m_list, 1);

    const auto again = [this] {
        if (!m_placing)
            refresh();
    };
    connect(m_first, &QSpinBox::valueChanged, this, again);
    connect(m_length, &QSpinBox::valueChanged, this, again);
    connect(m_rhyme, &QCheckBox::toggled, this, again);
    connect(m_mode, &QComboBox::currentIndexChanged, this, again);
    connect(m_filter, &QLineEdit::textChanged, this, again);
    connect(m_list, &QListWidget::itemActivated, this, &WordFinderPanel::putWord);

    connect(&m_sheet, &LyricSheetModel::aidChoicesChanged, this, [this](int row) {
        if (row < 0 || row == m_row)
            refresh();
    });
    // A row of the set may change the rhyme to keep; the list is found
    // again only when what it is found for changed.
    connect(&m_aids, &SheetAids::rowsChanged, this, &WordFinderPanel::refresh);
    connect(&m_aids, &SheetAids::allChanged, this, &WordFinderPanel::placeOnLineEnd);

    // The key works wherever the focus is, the main window's boxes included.
    auto *key = new QShortcut(QKeySequence(Qt::Key_F9), this);
    key->setContext(Qt::ApplicationShortcut);
    connect(key, &QShortcut::activated, this, &WordFinderPanel::toggleFocus);
    showRow(-1);
}

void WordFinderPanel::setNewWordsBoxes(std::function<QLineEdit *(int row)> boxOf)
{
    m_boxOf = std::move(boxOf);
}

QLineEdit *WordFinderPanel::rowBox() const
{
    return m_boxOf && m_row >= 0 ? m_boxOf(m_row) : nullptr;
}

void WordFinderPanel::showRow(int row)
{
    row = m_sheet.hasRow(row) ? row : -1;
    // The focus coming back to the same row keeps the place the writer chose.
    if (row == m_row) {
        refresh();
        return;
    }
    m_row = row;
    placeOnLineEnd();
}

void WordFinderPanel::placeOnLineEnd()
{
    m_searched.clear();
    if (m_row >= 0 && m_sheet.hasRow(m_row) && m_aids.row(m_row).known) {
        const aids::LineReading line = m_aids.readOriginal(m_row);
        const qsizetype end = line.endWith(m_sheet.at(m_row).originalPicks);
        const int length = static_cast<int>(std::min<qsizetype>(2, end + 1));
        m_placing = true;
        m_first->setRange(1, std::max(1, static_cast<int>(line.syllables.size())));
        m_first->setValue(static_cast<int>(end) - length + 2);
        m_length->setRange(1, aids::WordTables::kMaxSyllables);
        m_length->setValue(std::max(1, length));
        m_placing = false;
    }
    refresh();
}

void WordFinderPanel::showEvent(QShowEvent *event)
{
    QGroupBox::showEvent(event);
    refresh();
}

void WordFinderPanel::refresh()
{
    // A hidden finder finds nothing: its words are opened when it is first seen.
    if (!isVisible()) {
        m_searched.clear();
        return;
    }
    const bool known =
        m_row >= 0 && m_sheet.hasRow(m_row) && m_aids.row(m_row).known && m_aids.row(m_row).aided;
    const aids::LineReading &line = original(known);
    const int syllables = static_cast<int>(line.syllables.size());
    for (QWidget *w : {static_cast<QWidget *>(m_first), static_cast<QWidget *>(m_length),
                       static_cast<QWidget *>(m_mode), static_cast<QWidget *>(m_filter)})
        w->setEnabled(syllables > 0);
    if (syllables == 0) {
        m_searched.clear();
        m_list->clear();
        m_rhyme->setEnabled(false);
        m_count->setText(known ? u"原词这一句没有唱的字。"_s
                               : u"点一句歌词，这里列出唱得进原词某几个字的词。"_s);
        return;
    }

    // The place, inside the line.
    m_placing = true;
    if (m_first->maximum() != syllables)
        m_first->setRange(1, syllables);
    const int first = m_first->value() - 1;
    const int longest = std::min(aids::WordTables::kMaxSyllables, syllables - first);
    if (m_length->maximum() != longest)
        m_length->setRange(1, longest);
    const int length = m_length->value();
    m_placing = false;

    const LyricRow &rowData = m_sheet.at(m_row);
    const aids::RhymeSystem system = m_sheet.rhymeSystem();
    const aids::Language language = aids::languageOf(system);
    const QList<QStringList> classes =
        aids::toneClasses(line, rowData.originalPicks, language).mid(first, length);

    const bool endsLine = first + length - 1 == line.endWith(rowData.originalPicks);
    const QString rhyme = endsLine ? rhymeToKeep() : QString();
    const bool rhymes = !rhyme.isEmpty();
    m_rhyme->setEnabled(rhymes);
    m_rhyme->setText(rhymes ? u"押本组的韵（%1）"_s.arg(rhyme) : u"押本组的韵"_s);

    aids::WordSearch search;
    search.language = language;
    search.classes = classes;
    search.system = system;
    if (rhymes && m_rhyme->isChecked())
        search.rhyme = rhyme;
    search.characters = m_filter->text();
    search.startsWith = m_mode->currentData().toBool();
    search.limit = kShown;

    QString key = QString::number(int(system)) + u'|' + search.rhyme + u'|' + search.characters +
                  u'|' + QString::number(search.startsWith);
    for (const QStringList &c : classes)
        key += u'|' + c.join(u'/');
    if (key == m_searched)
        return;
    m_searched = key;

    const aids::WordsFound found = aids::WordTables::instance().find(search);
    QString place;
    QStringList placeClasses;
    for (int k = first; k < first + length; ++k)
        place += line.syllables[k].text;
    for (const QStringList &c : classes)
        placeClasses.append(c.isEmpty() ? u"?"_s : c.join(u'/'));
    QString count =
        u"原词“%1”（%2）：找到 %3 个词"_s.arg(place, classesText(placeClasses, language))
            .arg(found.count);
    if (found.count > found.words.size())
        count += u"，列出最常用的 %1 个"_s.arg(found.words.size());
    m_count->setText(count);

    m_list->clear();
    for (const aids::FoundWord &w : found.words) {
        QStringList shown, wordClasses;
        for (const QString &reading : w.reading) {
            shown.append(aids::displayReading(reading, language));
            wordClasses.append(aids::toneClass(reading, language));
        }
        const QString readingText = shown.join(u' ');
        const QString classText = classesText(wordClasses, language);
        auto *item = new QListWidgetItem(u"%1　%2　%3"_s.arg(w.text, readingText, classText));
        item->setData(Qt::UserRole, w.text);
        item->setData(Qt::AccessibleTextRole,
                      u"%1，读音 %2，调类 %3"_s.arg(w.text, readingText, classText));
        m_list->addItem(item);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

const aids::LineReading &WordFinderPanel::original(bool known)
{
    // Read again only when the line, its picks or the language changed: not
    // for each word typed in the box.
    QString key;
    if (known) {
        const LyricRow &rowData = m_sheet.at(m_row);
        key = QString::number(m_row) + u'|' + QString::number(int(m_sheet.rhymeSystem())) + u'|' +
              rowData.originalWords;
        for (auto p = rowData.originalPicks.cbegin(); p != rowData.originalPicks.cend(); ++p)
            key += u'|' + QString::number(p.key()) + u'=' + p.value();
    }
    if (key != m_lineKey || key.isEmpty()) {
        m_lineKey = key;
        m_line = known ? m_aids.readOriginal(m_row) : aids::LineReading{};
    }
    return m_line;
}

QString WordFinderPanel::rhymeToKeep() const
{
    // The rhyme the other lines of the row's set give it, as the aids judge
    // a set's rhyme, or the original's while they have no new words: the
    // words being written on this line do not choose the rhyme they are
    // offered.
    const QString key = m_aids.row(m_row).ends.original.value(0);
    if (key.isEmpty())
        return {};
    QList<aids::RowEnds> set;
    qsizetype self = -1;
    for (int i = 0; i < m_sheet.count(); ++i) {
        const aids::RowEnds &ends = m_aids.row(i).ends;
        if (ends.original.value(0) != key)
            continue;
        if (i == m_row)
            self = set.size();
        set.append(ends);
    }
    if (set.size() < 2 || self < 0)
        return {};
    set[self].newWords.clear();
    const QString rhyme = aids::judgeRhymes(set).setRhyme.value(self);
    return rhyme.isEmpty() ? key : rhyme;
}

void WordFinderPanel::putWord(QListWidgetItem *item)
{
    QLineEdit *box = rowBox();
    if (!item || !box || !box->isEnabled() || box->isReadOnly())
        return;
    // As typing does: it replaces a selection, and the box's Undo takes it back.
    box->insert(item->data(Qt::UserRole).toString());
    box->window()->activateWindow();
    box->setFocus(Qt::OtherFocusReason);
}

void WordFinderPanel::toggleFocus()
{
    QWidget *focused = QApplication::focusWidget();
    if (focused && isAncestorOf(focused)) {
        if (QLineEdit *box = rowBox()) {
            box->window()->activateWindow();
            box->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    placeOnLineEnd();
    window()->raise();
    window()->activateWindow();
    m_list->setFocus(Qt::ShortcutFocusReason);
}

} // namespace syj
