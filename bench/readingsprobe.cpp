// Prints how the writing aids read lines, for scripts/measure-readings.py: one
// line of stdin in, one tab-separated line out:
//   the line end's place among the sung syllables (from 0, -1 for none), its
//   character, its usual reading, its rhyme group (中华新韵 in Mandarin, the
//   jyutping final in Cantonese), its tone class, then every sung syllable as
//   character=class/class (the classes its counted readings have).
// A line that sings nothing gives empty fields. With "readings", each line in
// is one reading ("chang2", "coeng4") and the line out its rhyme group and
// tone class, so that another converter's readings are sorted by the same rules.
// Usage:
//   shengyunjian_readings_probe mandarin|cantonese [readings] < lines.txt
#include "aids/lineanalysis.h"

#include <QStringList>
#include <QTextStream>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace syj::aids;

int main(int argc, char **argv)
{
    const bool usage = argc < 2 || argc > 3 ||
                       (qstrcmp(argv[1], "mandarin") != 0 && qstrcmp(argv[1], "cantonese") != 0) ||
                       (argc == 3 && qstrcmp(argv[2], "readings") != 0);
    if (usage) {
        std::fputs("usage: shengyunjian_readings_probe mandarin|cantonese [readings] < lines\n",
                   stderr);
        return 2;
    }
    const bool mandarin = qstrcmp(argv[1], "mandarin") == 0;
    const Language language = mandarin ? Language::Mandarin : Language::Cantonese;
    const RhymeSystem system =
        mandarin ? RhymeSystem::ZhonghuaXinyun : RhymeSystem::CantoneseFinals;

    QTextStream in(stdin);
    QTextStream out(stdout);
    const ReadingPicks none;
    QString line;
    if (argc == 3) {
        while (in.readLineInto(&line))
            out << rhymeGroup(line, system) << '\t' << toneClass(line, language) << '\n';
        return 0;
    }
    while (in.readLineInto(&line)) {
        const LineReading reading = readLine(line, language);
        const QList<QStringList> classes = toneClasses(reading, none, language);
        const qsizetype end = reading.lineEnd;
        QStringList fields{QString::number(end)};
        if (end >= 0 && !reading.readings.at(end).isEmpty()) {
            const QString usual = reading.readings.at(end).first();
            const QStringList groups = endGroups(reading, none, system);
            fields << reading.syllables.at(end).text << usual
                   << (groups.isEmpty() ? QString() : groups.first()) << toneClass(usual, language);
        } else {
            fields << QString() << QString() << QString() << QString();
        }
        QStringList syllables;
        for (qsizetype i = 0; i < reading.syllables.size(); ++i)
            syllables << reading.syllables.at(i).text + u'=' + classes.value(i).join(u'/');
        fields << syllables.join(u' ');
        out << fields.join(u'\t') << '\n';
    }
    return 0;
}
