#include "sheet/sheetaids.h"

#include "sheet/lyricsheetmodel.h"

namespace syj {

namespace {

// A line that is one tag, "[ti:月光]": the song's title, artist and the like.
bool isTagLine(const QString &line)
{
    const QString s = line.trimmed();
    return s.startsWith(u'[') && s.endsWith(u']') && s.indexOf(u']') == s.size() - 1 &&
           s.indexOf(u':') > 0;
}

} // namespace

SheetAids::SheetAids(const LyricSheetModel &sheet, QObject *parent)
    : QObject(parent), m_sheet(sheet)
{
    // Rows are worked out when a load ends, all at once: the reading tables
    // open with the first sheet, and a long load does not read line by line.
    connect(&sheet, &LyricSheetModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                m_rows.insert(m_rows.begin() + first, static_cast<size_t>(last - first + 1), Row{});
                if (!m_sheet.isLoading())
                    workOutAll();
            });
    connect(&sheet, &LyricSheetModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
            });
    connect(&sheet, &LyricSheetModel::loadingChanged, this, [this](bool loading) {
        if (!loading)
            workOutAll();
    });
    connect(&sheet, &LyricSheetModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight,
                   const QList<int> &roles) {
                if (roles.isEmpty() || roles.contains(LyricSheetModel::NewWordsRole))
                    newWordsChanged(topLeft.row(), bottomRight.row());
            });
    connect(&sheet, &LyricSheetModel::aidChoicesChanged, this, [this](int row) {
        if (row < 0 || !m_sheet.hasRow(row)) {
            workOutAll();
            return;
        }
        if (!m_rows[static_cast<size_t>(row)].known)
            return;
        workOut(row, true, true);
        judge({row});
    });
}

const SheetAids::Row &SheetAids::row(int row) const
{
    return m_rows[static_cast<size_t>(row)];
}

aids::Fit SheetAids::fit(int row) const
{
    const Row &r = m_rows[static_cast<size_t>(row)];
    return aids::fitOf(r.newCount, r.originalCount);
}

aids::LineReading SheetAids::readOriginal(int row) const
{
    return aids::readLine(m_sheet.at(row).originalWords, aids::languageOf(m_sheet.rhymeSystem()));
}

aids::LineReading SheetAids::readNewWords(int row) const
{
    return aids::readLine(m_sheet.at(row).newWords, aids::languageOf(m_sheet.rhymeSystem()));
}

void SheetAids::workOut(int row, bool original, bool newWords)
{
    Row &r = m_rows[static_cast<size_t>(row)];
    const LyricRow &data = m_sheet.at(row);
    const aids::RhymeSystem system = m_sheet.rhymeSystem();
    r.aided = data.isTimed() || !isTagLine(data.originalWords);
    if (!r.aided) {
        r = Row{};
        r.aided = false;
        r.known = true;
        return;
    }
    if (original) {
        const aids::LineReading line = readOriginal(row);
        r.originalCount = line.syllables.size();
        r.ends.original = aids::endGroups(line, data.originalPicks, system);
    }
    if (newWords) {
        const aids::LineReading line = readNewWords(row);
        r.newCount = line.syllables.size();
        r.ends.newWords = aids::endGroups(line, data.newPicks, system);
    }
    r.known = true;
}

void SheetAids::workOutAll()
{
    if (m_sheet.isLoading())
        return;
    for (int i = 0; i < m_sheet.count(); ++i)
        workOut(i, true, true);
    judge({});
    Q_EMIT allChanged();
}

void SheetAids::newWordsChanged(int first, int last)
{
    if (m_sheet.isLoading() || m_rows.empty())
        return;
    QList<int> changed;
    for (int i = first; i <= last && i < m_sheet.count(); ++i) {
        if (!m_rows[static_cast<size_t>(i)].known)
            continue;
        workOut(i, false, true);
        changed.append(i);
    }
    if (!changed.isEmpty())
        judge(changed);
}

void SheetAids::judge(QList<int> changed)
{
    QList<aids::RowEnds> ends;
    ends.reserve(static_cast<qsizetype>(m_rows.size()));
    for (const Row &r : m_rows)
        ends.append(r.ends);
    const aids::RhymeJudgement judgement = aids::judgeRhymes(ends);
    // A row whose verdict moved is shown again, wherever it is: one new line
    // can change the rhyme of its whole set.
    std::vector<bool> listed(m_rows.size(), false);
    for (int i : std::as_const(changed))
        listed[static_cast<size_t>(i)] = true;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        Row &r = m_rows[i];
        const auto verdict = judgement.verdicts[static_cast<qsizetype>(i)];
        const QString &rhyme = judgement.setRhyme[static_cast<qsizetype>(i)];
        if (r.verdict != verdict || r.setRhyme != rhyme) {
            r.verdict = verdict;
            r.setRhyme = rhyme;
            if (!listed[i])
                changed.append(int(i));
        }
    }
    if (!changed.isEmpty())
        Q_EMIT rowsChanged(changed);
}

} // namespace syj
