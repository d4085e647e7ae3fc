#include "aids/phonology.h"

#include <QStringList>
#include <array>

using namespace Qt::StringLiterals;

namespace syj::aids {

Language languageOf(RhymeSystem system)
{
    return system == RhymeSystem::CantoneseFinals ? Language::Cantonese : Language::Mandarin;
}

QString rhymeSystemName(RhymeSystem system)
{
    switch (system) {
    case RhymeSystem::ZhonghuaXinyun:
        return u"中华新韵"_s;
    case RhymeSystem::ShisanZhe:
        return u"十三辙"_s;
    case RhymeSystem::CantoneseFinals:
        break;
    }
    return u"粤语韵母"_s;
}

namespace {

// The syllable without its tone digit.
QStringView toneless(QStringView reading)
{
    if (!reading.isEmpty() && reading.back().isDigit())
        reading.chop(1);
    return reading;
}

} // namespace

int toneOf(QStringView reading)
{
    if (reading.isEmpty() || !reading.back().isDigit())
        return 0;
    return reading.back().digitValue();
}

QString mandarinFinal(QStringView pinyin)
{
    QString s = toneless(pinyin).toString().toLower().replace(u'v', u'ü');
    if (s.isEmpty() || s == u"m"_s || s == u"n"_s || s == u"ng"_s || s == u"hm"_s || s == u"hng"_s)
        return {};
    if (s == u"er"_s || s == u"ê"_s)
        return s;
    // y and w are spellings of i, u and ü at the start of a syllable.
    static const std::array<std::pair<QStringView, QStringView>, 24> spelled = {{
        {u"yuan", u"üan"},  {u"yue", u"üe"},   {u"yun", u"ün"},    {u"yu", u"ü"},
        {u"yong", u"iong"}, {u"ying", u"ing"}, {u"yang", u"iang"}, {u"yao", u"iao"},
        {u"you", u"iou"},   {u"yan", u"ian"},  {u"yin", u"in"},    {u"ye", u"ie"},
        {u"ya", u"ia"},     {u"yo", u"io"},    {u"yi", u"i"},      {u"wang", u"uang"},
        {u"weng", u"ueng"}, {u"wai", u"uai"},  {u"wei", u"uei"},   {u"wan", u"uan"},
        {u"wen", u"uen"},   {u"wa", u"ua"},    {u"wo", u"uo"},     {u"wu", u"u"},
    }};
    for (const auto &[spelling, final] : spelled) {
        if (s == spelling)
            return final.toString();
    }
    static const std::array<QStringView, 21> initials = {
        u"zh", u"ch", u"sh", u"b", u"p", u"m", u"f", u"d", u"t", u"n", u"l",
        u"g",  u"k",  u"h",  u"j", u"q", u"x", u"r", u"z", u"c", u"s"};
    QStringView initial;
    for (QStringView i : initials) {
        if (s.startsWith(i) && s.size() > i.size()) {
            initial = i;
            break;
        }
    }
    QString final = s.mid(initial.size());
    // zhi chi shi ri zi ci si: the "empty" vowel -i.
    if (final == u"i"_s &&
        (initial == u"zh" || initial == u"ch" || initial == u"sh" || initial == u"r" ||
         initial == u"z" || initial == u"c" || initial == u"s"))
        return u"-i"_s;
    // After j, q and x, u is written for ü.
    if ((initial == u"j" || initial == u"q" || initial == u"x") && final.startsWith(u'u'))
        final.replace(0, 1, u"ü"_s);
    if (final == u"iu"_s)
        return u"iou"_s;
    if (final == u"ui"_s)
        return u"uei"_s;
    if (final == u"un"_s)
        return u"uen"_s;
    return final;
}

QString cantoneseFinal(QStringView jyutping)
{
    const QString s = toneless(jyutping).toString().toLower();
    if (s == u"m"_s || s == u"ng"_s)
        return s;
    static const std::array<QStringView, 19> initials = {
        u"gw", u"kw", u"ng", u"b", u"p", u"m", u"f", u"d", u"t", u"n",
        u"l",  u"g",  u"k",  u"h", u"w", u"z", u"c", u"s", u"j"};
    for (QStringView i : initials) {
        if (s.startsWith(i) && s.size() > i.size())
            return s.mid(i.size());
    }
    return s;
}

QString rhymeGroup(QStringView reading, RhymeSystem system)
{
    if (system == RhymeSystem::CantoneseFinals)
        return cantoneseFinal(reading);
    const QString final = mandarinFinal(reading);
    if (final.isEmpty())
        return {};
    struct Group {
        QStringView xinyun, zhe;
        std::initializer_list<QStringView> finals;
    };
    static const std::array<Group, 15> groups = {{
        {u"一麻", u"发花", {u"a", u"ia", u"ua"}},
        {u"二波", u"梭波", {u"o", u"uo", u"e", u"io"}},
        {u"三皆", u"乜斜", {u"ie", u"üe", u"ê"}},
        {u"四开", u"怀来", {u"ai", u"uai"}},
        {u"五微", u"灰堆", {u"ei", u"uei"}},
        {u"六豪", u"遥条", {u"ao", u"iao"}},
        {u"七尤", u"油求", {u"ou", u"iou"}},
        {u"八寒", u"言前", {u"an", u"ian", u"uan", u"üan"}},
        {u"九文", u"人辰", {u"en", u"in", u"uen", u"ün"}},
        {u"十唐", u"江阳", {u"ang", u"iang", u"uang"}},
        {u"十一庚", u"中东", {u"eng", u"ing", u"ueng", u"ong", u"iong"}},
        {u"十二齐", u"一七", {u"i", u"er", u"ü"}},
        {u"十三支", u"一七", {u"-i"}},
        {u"十四姑", u"姑苏", {u"u"}},
        {u"", u"", {}},
    }};
    for (const Group &g : groups) {
        for (QStringView f : g.finals) {
            if (f == final)
                return (system == RhymeSystem::ZhonghuaXinyun ? g.xinyun : g.zhe).toString();
        }
    }
    return {};
}

QString toneClass(QStringView reading, Language language)
{
    const int tone = toneOf(reading);
    if (language == Language::Mandarin) {
        switch (tone) {
        case 1:
        case 2:
            return u"平"_s;
        case 3:
        case 4:
            return u"仄"_s;
        case 5:
            return u"轻"_s;
        default:
            return {};
        }
    }
    switch (tone) {
    case 1:
    case 2:
        return u"3"_s;
    case 3:
    case 5:
        return u"4"_s;
    case 6:
        return u"2"_s;
    case 4:
        return u"0"_s;
    default:
        return {};
    }
}

bool toneClassesFit(QStringView a, QStringView b)
{
    if (a.isEmpty() || b.isEmpty() || a == u"轻" || b == u"轻")
        return true;
    return a == b;
}

QString displayReading(QStringView reading, Language language)
{
    if (language == Language::Cantonese)
        return reading.toString();
    const int tone = toneOf(reading);
    QString s = toneless(reading).toString().replace(u'v', u'ü');
    if (tone < 1 || tone > 4)
        return s;
    // The mark goes on a or e; on the o of ou; otherwise on the last vowel.
    qsizetype at = s.indexOf(u'a');
    if (at < 0)
        at = s.indexOf(u'e');
    if (at < 0)
        at = s.indexOf(u"ou"_s);
    if (at < 0) {
        for (qsizetype i = s.size() - 1; i >= 0; --i) {
            if (QStringView(u"iouüê").contains(s[i])) {
                at = i;
                break;
            }
        }
    }
    if (at < 0)
        return s;
    static const std::array<QStringView, 6> marked = {u"āáǎà", u"ēéěè", u"īíǐì",
                                                      u"ōóǒò", u"ūúǔù", u"ǖǘǚǜ"};
    const QStringView vowels = u"aeiouü";
    const qsizetype v = vowels.indexOf(s[at]);
    if (v >= 0) {
        s[at] = marked[static_cast<size_t>(v)][tone - 1];
        return s;
    }
    // ê with a tone: ê̄ and ê̌ need a combining mark, ế and ề are precomposed.
    const QStringView combining[] = {u"\u0304", u"\u0301", u"\u030C", u"\u0300"};
    s.insert(at + 1, combining[tone - 1]);
    return s;
}

} // namespace syj::aids
