#include "sheet/lyricsheetmodel.h"

#include "sheet/linerule.h"

using namespace Qt::StringLiterals;

namespace syj {

LyricRow LyricRow::fromLine(const QString &line)
{
    LyricRow row;
    LyricLineParts parts = splitLyricLine(line);
    row.originalWords = std::move(parts.words);
    if (isTimedLine(line)) {
        row.kind = Kind::Timed;
        row.tag = std::move(parts.label);
        row.seconds = tagSeconds(row.tag);
    }
    return row;
}

QString LyricRow::label() const
{
    return isTimed() ? tag : QString::fromUtf16(kInfoLabel);
}

QString LyricRow::lineToSave() const
{
    return isTimed() ? tag + newWords : newWords;
}

LyricSheetModel::LyricSheetModel(QObject *parent) : QAbstractListModel(parent) {}

int LyricSheetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant LyricSheetModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const LyricRow &row = at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case OriginalWordsRole:
        return row.originalWords;
    case Qt::EditRole:
    case NewWordsRole:
        return row.newWords;
    case LabelRole:
        return row.label();
    case TimedRole:
        return row.isTimed();
    case TagRole:
        return row.tag;
    case SecondsRole:
        return row.seconds ? QVariant(*row.seconds) : QVariant();
    default:
        return {};
    }
}

bool LyricSheetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        (role != Qt::EditRole && role != NewWordsRole))
        return false;
    setNewWords(index.row(), value.toString());
    return true;
}

Qt::ItemFlags LyricSheetModel::flags(const QModelIndex &index) const
{
    return QAbstractListModel::flags(index) |
           (index.isValid() ? Qt::ItemIsEditable : Qt::NoItemFlags);
}

QHash<int, QByteArray> LyricSheetModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(LabelRole, QByteArrayLiteral("label"));
    names.insert(TimedRole, QByteArrayLiteral("timed"));
    names.insert(TagRole, QByteArrayLiteral("tag"));
    names.insert(SecondsRole, QByteArrayLiteral("seconds"));
    names.insert(OriginalWordsRole, QByteArrayLiteral("originalWords"));
    names.insert(NewWordsRole, QByteArrayLiteral("newWords"));
    return names;
}

void LyricSheetModel::setLoading(bool loading)
{
    if (m_loading == loading)
        return;
    m_loading = loading;
    Q_EMIT loadingChanged(loading);
}

void LyricSheetModel::setModified(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    Q_EMIT modifiedChanged(modified);
}

void LyricSheetModel::beginLoad(const QString &lyricsFile)
{
    if (!m_rows.empty()) {
        beginRemoveRows({}, 0, count() - 1);
        m_rows.clear();
        endRemoveRows();
    }
    m_lyricsFile = lyricsFile;
    setModified(false);
    setLoading(true);
}

bool LyricSheetModel::appendLine(const QString &line)
{
    if (count() >= kMaxRows)
        return false;
    const int row = count();
    beginInsertRows({}, row, row);
    m_rows.push_back(LyricRow::fromLine(line));
    endInsertRows();
    return true;
}

void LyricSheetModel::endLoad()
{
    setLoading(false);
}

qsizetype LyricSheetModel::loadOriginal(const QStringList &lines, const QString &lyricsFile)
{
    beginLoad(lyricsFile);
    m_rows.reserve(static_cast<size_t>(std::min<qsizetype>(lines.size(), kMaxRows)));
    qsizetype placed = 0;
    while (placed < lines.size() && appendLine(lines[placed]))
        ++placed;
    endLoad();
    return lines.size() - placed;
}

qsizetype LyricSheetModel::putNewLyrics(const QStringList &lines)
{
    const int placed = static_cast<int>(std::min<qsizetype>(lines.size(), count()));
    for (int i = 0; i < placed; ++i) {
        const QString &line = lines[i];
        m_rows[static_cast<size_t>(i)].newWords =
            isTimedLine(line) ? charactersFrom(line, kTagLength) : line;
    }
    if (placed > 0) {
        Q_EMIT dataChanged(index(0), index(placed - 1), {Qt::EditRole, NewWordsRole});
        setModified(true);
    }
    return lines.size() - placed;
}

void LyricSheetModel::setNewWords(int row, const QString &words)
{
    if (!hasRow(row) || at(row).newWords == words)
        return;
    m_rows[static_cast<size_t>(row)].newWords = words;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {Qt::EditRole, NewWordsRole});
    setModified(true);
}

qsizetype LyricSheetModel::restoreNewWords(const QStringList &words)
{
    const int placed = static_cast<int>(std::min<qsizetype>(words.size(), count()));
    bool changed = false;
    for (int i = 0; i < placed; ++i) {
        QString &now = m_rows[static_cast<size_t>(i)].newWords;
        changed = changed || now != words[i];
        now = words[i];
    }
    if (changed) {
        Q_EMIT dataChanged(index(0), index(placed - 1), {Qt::EditRole, NewWordsRole});
        setModified(true);
    }
    return words.size() - placed;
}

QStringList LyricSheetModel::linesToSave() const
{
    QStringList lines;
    lines.reserve(count());
    for (const LyricRow &row : m_rows)
        lines.append(row.lineToSave());
    return lines;
}

void LyricSheetModel::setSongLanguage(aids::Language language)
{
    if (language == m_language)
        return;
    m_language = language;
    // A song rhymes in the language it is sung in.
    if (aids::languageOf(m_rhymeSystem) != language)
        m_rhymeSystem = language == aids::Language::Cantonese ? aids::RhymeSystem::CantoneseFinals
                                                              : aids::RhymeSystem::ZhonghuaXinyun;
    Q_EMIT aidChoicesChanged(-1);
}

void LyricSheetModel::setRhymeSystem(aids::RhymeSystem system)
{
    if (system == m_rhymeSystem)
        return;
    m_rhymeSystem = system;
    m_language = aids::languageOf(system);
    Q_EMIT aidChoicesChanged(-1);
}

const aids::ReadingPicks &LyricSheetModel::readingPicks(int row, Side side) const
{
    const LyricRow &r = at(row);
    return side == Side::Original ? r.originalPicks : r.newPicks;
}

void LyricSheetModel::setReadingPick(int row, Side side, int syllable, const QString &reading)
{
    if (!hasRow(row) || syllable < 0)
        return;
    LyricRow &r = m_rows[static_cast<size_t>(row)];
    aids::ReadingPicks &picks = side == Side::Original ? r.originalPicks : r.newPicks;
    if (picks.value(syllable) == reading)
        return;
    if (reading.isEmpty())
        picks.remove(syllable);
    else
        picks.insert(syllable, reading);
    Q_EMIT aidChoicesChanged(row);
}

} // namespace syj
