#include "aids/lineanalysis.h"

#include "aids/readingtables.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace syj::aids {

namespace {

void appendUnique(QStringList &list, const QString &s)
{
    if (!s.isEmpty() && !list.contains(s))
        list.append(s);
}

} // namespace

bool isModalParticle(QStringView character)
{
    static const QStringView particles =
        u"了的着吧啊呀吗嘛呢啦哦喔哟呦咯哇嘞喽呗咧啰喲嘍唄嗎囉喇啫咩嘅㗎喎咋";
    return character.size() == 1 && particles.contains(character.front());
}

QStringList LineReading::readingsAt(qsizetype i, const ReadingPicks &picks) const
{
    const QStringList &all = readings.at(i);
    const auto pick = picks.constFind(static_cast<int>(i));
    if (pick != picks.cend() && all.contains(*pick))
        return {*pick};
    return all.mid(0, counted.value(i, all.size()));
}

bool LineReading::isRare(qsizetype i, const QString &r) const
{
    const qsizetype at = readings.value(i).indexOf(r);
    return at >= 0 && at >= counted.value(i);
}

qsizetype LineReading::endWith(const ReadingPicks &picks) const
{
    const qsizetype n = syllables.size();
    for (qsizetype i = n - 1; i >= 0; --i) {
        const QString light = particleReadings.value(i);
        if (light.isEmpty())
            return i;
        const QStringList read = readingsAt(i, picks);
        if (!read.isEmpty() && read.front() != light)
            return i;
    }
    // A line of particles only rhymes on its last.
    return n - 1;
}

LineReading readLine(QStringView words, Language language)
{
    LineReading line;
    line.syllables = sungSyllables(words);
    const qsizetype n = line.syllables.size();
    line.readings.resize(n);
    line.counted.fill(0, n);
    line.particleReadings.resize(n);
    const ReadingTables &tables = ReadingTables::instance();
    // The Han characters in a row, as the word list reads them.
    QString han;
    QList<qsizetype> hanAt;
    const auto readRun = [&] {
        for (qsizetype k = 0; k < han.size();) {
            const QStringList word = tables.wordReadings(han, k, language);
            if (word.size() > 1) {
                for (qsizetype w = 0; w < word.size() && k + w < hanAt.size(); ++w) {
                    // The word's reading counts, first, whether or not it did alone.
                    const qsizetype at = hanAt[k + w];
                    QStringList &r = line.readings[at];
                    const qsizetype was = r.indexOf(word[w]);
                    if (was < 0 || was >= line.counted[at])
                        ++line.counted[at];
                    if (was >= 0)
                        r.removeAt(was);
                    r.prepend(word[w]);
                    if (word[w] != line.particleReadings[at])
                        line.particleReadings[at].clear();
                }
                k += word.size();
            } else {
                ++k;
            }
        }
        han.clear();
        hanAt.clear();
    };
    for (qsizetype i = 0; i < n; ++i) {
        const Syllable &s = line.syllables.at(i);
        QString character = s.text;
        if (s.kind == Syllable::Kind::Digit) {
            static const QStringView numerals = u"〇一二三四五六七八九";
            const int d = QChar::digitValue(s.text.toUcs4().value(0));
            character = d >= 0 && d <= 9 ? numerals.mid(d, 1).toString() : QString();
        } else if (s.kind != Syllable::Kind::Han) {
            readRun();
            continue;
        }
        const QList<uint> cp = character.toUcs4();
        if (!cp.isEmpty()) {
            line.readings[i] = tables.characterReadings(cp.front(), language);
            line.counted[i] = tables.countedReadings(cp.front(), language);
        }
        if (s.kind == Syllable::Kind::Han && isModalParticle(s.text))
            line.particleReadings[i] = line.readings[i].value(0, s.text);
        if (s.kind == Syllable::Kind::Han && character.size() == 1) {
            han += character;
            hanAt.append(i);
        } else {
            readRun();
        }
    }
    readRun();
    line.lineEnd = line.endWith({});
    return line;
}

Fit fitOf(qsizetype newCount, qsizetype originalCount)
{
    const qsizetype off =
        newCount > originalCount ? newCount - originalCount : originalCount - newCount;
    return off == 0 ? Fit::Equal : off == 1 ? Fit::OneOff : Fit::FurtherOff;
}

QStringList endGroups(const LineReading &line, const ReadingPicks &picks, RhymeSystem system)
{
    QStringList groups;
    const qsizetype end = line.endWith(picks);
    if (end < 0)
        return groups;
    const QStringList readings = line.readingsAt(end, picks);
    for (const QString &r : readings)
        appendUnique(groups, rhymeGroup(r, system));
    // A word of letters rhymes on its own letters' last vowel sound, which the
    // groups do not describe: it belongs to no group.
    return groups;
}

RhymeJudgement judgeRhymes(const QList<RowEnds> &rows)
{
    RhymeJudgement out;
    const qsizetype n = rows.size();
    out.verdicts.fill(RhymeVerdict::NoSet, n);
    out.setRhyme.resize(n);

    // The sets, by the original's usual group, in the order they first appear.
    QHash<QString, QList<qsizetype>> sets;
    QStringList order;
    for (qsizetype r = 0; r < n; ++r) {
        if (rows[r].original.isEmpty())
            continue;
        const QString &key = rows[r].original.front();
        auto &members = sets[key];
        if (members.isEmpty())
            order.append(key);
        members.append(r);
    }
    for (const QString &key : std::as_const(order)) {
        const QList<qsizetype> &members = sets[key];
        if (members.size() < 2)
            continue;
        QHash<QString, int> votes;
        QStringList firstSeen;
        for (qsizetype r : members) {
            if (rows[r].newWords.isEmpty())
                continue;
            const QString &g = rows[r].newWords.front();
            if (votes[g]++ == 0)
                firstSeen.append(g);
        }
        QString rhyme;
        int best = 0;
        for (const QString &g : std::as_const(firstSeen)) {
            const int v = votes.value(g);
            if (v > best || (v == best && g == key)) {
                best = v;
                rhyme = g;
            }
        }
        for (qsizetype r : members) {
            out.setRhyme[r] = rhyme;
            if (rows[r].newWords.isEmpty())
                out.verdicts[r] = RhymeVerdict::Empty;
            else
                out.verdicts[r] =
                    rows[r].newWords.contains(rhyme) ? RhymeVerdict::Keeps : RhymeVerdict::Leaves;
        }
    }
    return out;
}

QList<QStringList> toneClasses(const LineReading &line, const ReadingPicks &picks,
                               Language language)
{
    QList<QStringList> out;
    out.reserve(line.syllables.size());
    for (qsizetype i = 0; i < line.syllables.size(); ++i) {
        QStringList classes;
        for (const QString &r : line.readingsAt(i, picks))
            appendUnique(classes, toneClass(r, language));
        out.append(classes);
    }
    return out;
}

QList<bool> toneMismatches(const QList<QStringList> &original, const QList<QStringList> &newWords)
{
    QList<bool> out(newWords.size(), false);
    for (qsizetype i = 0; i < newWords.size() && i < original.size(); ++i) {
        if (original[i].isEmpty() || newWords[i].isEmpty())
            continue;
        bool fits = false;
        for (const QString &a : original[i]) {
            for (const QString &b : newWords[i])
                fits = fits || toneClassesFit(a, b);
        }
        out[i] = !fits;
    }
    return out;
}

} // namespace syj::aids
