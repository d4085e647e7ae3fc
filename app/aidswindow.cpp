#include "app/aidswindow.h"

#include "app/wordfinderpanel.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetaids.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

const QColor kMismatch(255, 205, 205);

} // namespace

QString AidsWindow::lineEndText(const aids::LineReading &line, const aids::ReadingPicks &picks,
                                aids::RhymeSystem system)
{
    const qsizetype end = line.endWith(picks);
    if (end < 0)
        return u"（无）"_s;
    const aids::Language language = aids::languageOf(system);
    QStringList readings;
    for (const QString &r : line.readingsAt(end, picks))
        readings.append(aids::displayReading(r, language));
    const QStringList groups = aids::endGroups(line, picks, system);
    QString text = line.syllables.at(end).text;
    if (!readings.isEmpty())
        text += u" "_s + readings.join(u'/');
    text += u"〔%1〕"_s.arg(groups.isEmpty() ? u"无韵部"_s : groups.join(u'/'));
    return text;
}

AidsWindow::AidsWindow(LyricSheetModel &sheet, const SheetAids &aids, QWidget *parent)
    : QWidget(parent, Qt::Tool), m_sheet(sheet), m_aids(aids)
{
    setObjectName(u"aidsWindow"_s);
    setWindowTitle(u"写词助手"_s);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Narrow and as tall as the main window, to stand beside it.
    resize(420, 600);

    auto *layout = new QVBoxLayout(this);
    auto *choices = new QHBoxLayout;
    auto *languageLabel = new QLabel(u"演唱语言："_s, this);
    m_language = new QComboBox(this);
    m_language->setObjectName(u"aidsLanguage"_s);
    m_language->addItem(u"普通话"_s, int(aids::Language::Mandarin));
    m_language->addItem(u"粤语"_s, int(aids::Language::Cantonese));
    languageLabel->setBuddy(m_language);
    m_language->setAccessibleName(u"演唱语言"_s);
    auto *systemLabel = new QLabel(u"韵辙："_s, this);
    m_rhymeSystem = new QComboBox(this);
    m_rhymeSystem->setObjectName(u"aidsRhymeSystem"_s);
    m_rhymeSystem->setAccessibleName(u"韵辙"_s);
    systemLabel->setBuddy(m_rhymeSystem);
    choices->addWidget(languageLabel);
    choices->addWidget(m_language);
    choices->addSpacing(16);
    choices->addWidget(systemLabel);
    choices->addWidget(m_rhymeSystem);
    choices->addStretch();
    layout->addLayout(choices);

    m_heading = new QLabel(this);
    m_heading->setObjectName(u"aidsHeading"_s);
    m_heading->setTextFormat(Qt::PlainText);
    m_rhyme = new QLabel(this);
    m_rhyme->setObjectName(u"aidsRhyme"_s);
    m_rhyme->setTextFormat(Qt::PlainText);
    m_rhyme->setWordWrap(true);
    layout->addWidget(m_heading);
    layout->addWidget(m_rhyme);

    m_table = new QTableWidget(0, 6, this);
    m_table->setObjectName(u"aidsSyllables"_s);
    m_table->setAccessibleName(u"逐字读音与声调"_s);
    m_table->setHorizontalHeaderLabels(
        {u"原词"_s, u"读音"_s, u"调类"_s, u"新词"_s, u"读音"_s, u"调类"_s});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The characters and classes as wide as they need; the readings in
    // columns of their own width, so that a polyphone with many readings
    // does not push the new words' classes out of view.
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (int column : {int(OriginalReading), int(NewReading)}) {
        m_table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Fixed);
        m_table->setColumnWidth(column, 104);
    }
    // The finder under the table; the writer moves the line between them.
    m_finder = new WordFinderPanel(sheet, aids, this);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(u"aidsSplit"_s);
    split->setChildrenCollapsible(false);
    split->addWidget(m_table);
    split->addWidget(m_finder);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({180, 320});
    layout->addWidget(split, 1);

    auto *legend = new QLabel(u"调类：普通话 平＝一、二声，仄＝三、四声，轻＝轻声；粤语 "
                              u"0243：3＝第一、二声，4＝第三、五声，2＝第六声，0＝第四声。"
                              u"红底“✗”：新词这个字的声调唱不进原词这个音。"_s,
                              this);
    legend->setWordWrap(true);
    layout->addWidget(legend);

    connect(m_language, &QComboBox::activated, this,
            [this] { m_sheet.setSongLanguage(aids::Language(m_language->currentData().toInt())); });
    connect(m_rhymeSystem, &QComboBox::activated, this, [this] {
        m_sheet.setRhymeSystem(aids::RhymeSystem(m_rhymeSystem->currentData().toInt()));
    });
    connect(&m_sheet, &LyricSheetModel::aidChoicesChanged, this, [this](int row) {
        if (row < 0)
            showChoices();
        if (row < 0 || row == m_row)
            refresh();
    });
    connect(&aids, &SheetAids::rowsChanged, this, [this](const QList<int> &rows) {
        if (rows.contains(m_row))
            refresh();
    });
    connect(&aids, &SheetAids::allChanged, this, &AidsWindow::refresh);
    connect(&m_sheet, &LyricSheetModel::rowsAboutToBeRemoved, this, [this] { showRow(-1); });
    showChoices();
    refresh();
}

void AidsWindow::showChoices()
{
    m_language->setCurrentIndex(m_language->findData(int(m_sheet.songLanguage())));
    fillRhymeSystems();
}

void AidsWindow::fillRhymeSystems()
{
    // A Mandarin song rhymes by 中华新韵 or 十三辙, a Cantonese one by its finals.
    m_rhymeSystem->clear();
    const bool cantonese = m_sheet.songLanguage() == aids::Language::Cantonese;
    const auto systems =
        cantonese ? QList{aids::RhymeSystem::CantoneseFinals}
                  : QList{aids::RhymeSystem::ZhonghuaXinyun, aids::RhymeSystem::ShisanZhe};
    for (aids::RhymeSystem s : systems)
        m_rhymeSystem->addItem(aids::rhymeSystemName(s), int(s));
    m_rhymeSystem->setCurrentIndex(m_rhymeSystem->findData(int(m_sheet.rhymeSystem())));
}

void AidsWindow::showRow(int row)
{
    m_row = m_sheet.hasRow(row) ? row : -1;
    refresh();
    m_finder->showRow(m_row);
}

void AidsWindow::setNewWordsBoxes(std::function<QLineEdit *(int row)> boxOf)
{
    m_finder->setNewWordsBoxes(std::move(boxOf));
}

void AidsWindow::refresh()
{
    if (m_row < 0 || !m_sheet.hasRow(m_row) || !m_aids.row(m_row).known) {
        m_heading->setText(u"点一句歌词，这里显示它的逐字读音、声调和韵脚。"_s);
        m_rhyme->clear();
        m_table->clearContents();
        m_table->setRowCount(0);
        m_filled[0].clear();
        m_filled[1].clear();
        return;
    }
    const LyricRow &rowData = m_sheet.at(m_row);
    const SheetAids::Row &r = m_aids.row(m_row);
    const aids::RhymeSystem system = m_sheet.rhymeSystem();
    const aids::Language language = aids::languageOf(system);
    m_heading->setText(
        u"第 %1 句　字数（新/原）：%2/%3"_s.arg(m_row + 1).arg(r.newCount).arg(r.originalCount));

    const aids::LineReading original = m_aids.readOriginal(m_row);
    const aids::LineReading words = m_aids.readNewWords(m_row);
    QString rhyme = u"韵脚（%1）　原：%2　新：%3"_s.arg(
        aids::rhymeSystemName(system), lineEndText(original, rowData.originalPicks, system),
        lineEndText(words, rowData.newPicks, system));
    switch (r.verdict) {
    case aids::RhymeVerdict::Keeps:
        rhyme += u"　✓ 押本组的韵（%1）"_s.arg(r.setRhyme);
        break;
    case aids::RhymeVerdict::Leaves:
        rhyme += u"　✗ 离开了本组的韵（%1）"_s.arg(r.setRhyme);
        break;
    case aids::RhymeVerdict::Empty:
        if (!r.setRhyme.isEmpty())
            rhyme += u"　本组新词押 %1"_s.arg(r.setRhyme);
        break;
    case aids::RhymeVerdict::NoSet:
        rhyme += u"　（原词这一韵部只有这一句）"_s;
        break;
    }
    m_rhyme->setText(rhyme);

    const QList<QStringList> originalClasses =
        aids::toneClasses(original, rowData.originalPicks, language);
    const QList<QStringList> newClasses = aids::toneClasses(words, rowData.newPicks, language);
    const QList<bool> mismatches = aids::toneMismatches(originalClasses, newClasses);
    const qsizetype syllables = std::max(original.syllables.size(), words.syllables.size());
    m_table->setRowCount(static_cast<int>(syllables));

    // A side is filled again only when what it shows changed: while the
    // writer types, the original's side stays as it is.
    const auto key = [&](const QString &line, const aids::ReadingPicks &picks) -> QString {
        QString k = QString::number(m_row) + u'|' + QString::number(int(system)) + u'|' + line;
        for (auto p = picks.cbegin(); p != picks.cend(); ++p)
            k += u'|' + QString::number(p.key()) + u'=' + p.value();
        return k + u'|' + QString::number(syllables);
    };
    const QString originalKey = key(rowData.originalWords, rowData.originalPicks);
    if (m_filled[0] != originalKey) {
        m_filled[0] = originalKey;
        fillSide(original, rowData.originalPicks, originalClasses, {}, OriginalText,
                 int(LyricSheetModel::Side::Original));
    }
    const QString newKey = originalKey + u'#' + key(rowData.newWords, rowData.newPicks);
    if (m_filled[1] != newKey) {
        m_filled[1] = newKey;
        fillSide(words, rowData.newPicks, newClasses, mismatches, NewText,
                 int(LyricSheetModel::Side::NewWords));
    }
}

void AidsWindow::fillSide(const aids::LineReading &line, const aids::ReadingPicks &picks,
                          const QList<QStringList> &classes, const QList<bool> &mismatches,
                          int textColumn, int side)
{
    const aids::Language language = aids::languageOf(m_sheet.rhymeSystem());
    for (int place = 0; place < m_table->rowCount(); ++place) {
        for (int c = textColumn; c < textColumn + 3; ++c) {
            m_table->removeCellWidget(place, c);
            delete m_table->takeItem(place, c);
        }
    }
    for (qsizetype i = 0; i < line.syllables.size(); ++i) {
        const int place = static_cast<int>(i);
        m_table->setItem(place, textColumn, new QTableWidgetItem(line.syllables[i].text));
        const QStringList &all = line.readings[i];
        QStringList shown;
        for (const QString &reading : line.readingsAt(i, picks))
            shown.append(aids::displayReading(reading, language));
        m_table->setItem(place, textColumn + 1, new QTableWidgetItem(shown.join(u'/')));
        if (all.size() > 1) {
            // Several readings: the writer picks the one meant here; the
            // first entry counts the usual ones, rare ones are marked.
            auto *box = new QComboBox;
            QStringList every;
            for (const QString &reading : line.readingsAt(i, {}))
                every.append(aids::displayReading(reading, language));
            // The first entry counts the counted readings; it names the first few.
            box->addItem(every.size() > 3 ? every.mid(0, 3).join(u'/') + u"…"_s : every.join(u'/'),
                         QString());
            box->setToolTip(every.join(u'/'));
            for (const QString &reading : all)
                box->addItem(aids::displayReading(reading, language) +
                                 (line.isRare(i, reading) ? u"（少见）"_s : QString()),
                             reading);
            box->setCurrentIndex(std::max(0, box->findData(picks.value(place))));
            box->setAccessibleName(u"“%1”的读音"_s.arg(line.syllables[i].text));
            const int row = m_row;
            const auto pickSide = static_cast<LyricSheetModel::Side>(side);
            connect(box, &QComboBox::activated, this, [this, box, row, pickSide, place] {
                const QString reading = box->currentData().toString();
                // The box goes when the table is filled again: not from its own signal.
                QMetaObject::invokeMethod(
                    this,
                    [this, row, pickSide, place, reading] {
                        m_sheet.setReadingPick(row, pickSide, place, reading);
                    },
                    Qt::QueuedConnection);
            });
            m_table->setCellWidget(place, textColumn + 1, box);
        }
        auto *cls = new QTableWidgetItem(classes[i].join(u'/'));
        if (mismatches.value(i)) {
            cls->setText(cls->text() + u" ✗"_s);
            cls->setBackground(kMismatch);
            cls->setToolTip(u"这个字的声调唱不进原词的音"_s);
        }
        m_table->setItem(place, textColumn + 2, cls);
    }
}

std::optional<QPoint> AidsWindow::placeBeside(const QWidget &main) const
{
    const QRect frame = main.frameGeometry();
    const QRect screen = main.screen() ? main.screen()->availableGeometry() : QRect();
    const QSize size = frameGeometry().size();
    const int gap = 8;
    for (const QPoint at : {QPoint(frame.right() + gap, frame.top()),
                            QPoint(frame.left() - gap - size.width(), frame.top()),
                            QPoint(frame.left(), frame.bottom() + gap),
                            QPoint(frame.left(), frame.top() - gap - size.height())}) {
        if (screen.contains(QRect(at, size)))
            return at;
    }
    return std::nullopt;
}

} // namespace syj
