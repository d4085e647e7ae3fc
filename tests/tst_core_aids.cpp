// The writing aids' rules: which characters are sung, how a reading falls
// into a rhyme group and a tone class, where a line rhymes, and how the rows
// of a sheet are judged against each other.

#include "aids/lineanalysis.h"
#include "aids/phonology.h"
#include "aids/syllables.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace syj::aids;

Q_DECLARE_METATYPE(syj::aids::Language)

class TestAids : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sungSyllables_data();
    void sungSyllables();
    void sungCount_data();
    void sungCount();
    void rhymeGroups_data();
    void rhymeGroups();
    void toneClasses_data();
    void toneClasses();
    void displayReading_data();
    void displayReading();
    void lineEnd_data();
    void lineEnd();
    void polyphones_data();
    void polyphones();
    void lineEndReadings_data();
    void lineEndReadings();
    void pickMovesLineEnd_data();
    void pickMovesLineEnd();
    void rhymeSets_data();
    void rhymeSets();
    void toneMismatches_data();
    void toneMismatches();
};

void TestAids::sungSyllables_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("sung");

    const auto split = [](const QString &s) { return s.split(u'|', Qt::SkipEmptyParts); };
    QTest::newRow("han and english")
        << u"我爱你 baby，oh yeah"_s << split(u"我|爱|你|baby|baby|oh|yeah"_s);
    QTest::newRow("digits one each") << u"2023年的夏天"_s << split(u"2|0|2|3|年|的|夏|天"_s);
    QTest::newRow("full-width digits") << u"１９９７"_s << split(u"１|９|９|７"_s);
    QTest::newRow("inner apostrophe") << u"don't stop"_s << split(u"don't|stop"_s);
    QTest::newRow("curly apostrophe") << u"I’m fine"_s << split(u"I’m|fine"_s);
    QTest::newRow("hyphen splits") << u"la-la-la"_s << split(u"la|la|la"_s);
    QTest::newRow("apostrophes outside") << u"'rock' n'"_s << split(u"rock|n"_s);
    QTest::newRow("letters with digits") << u"mp3"_s << split(u"mp3"_s);
    QTest::newRow("accented word") << u"café olé"_s << split(u"café|olé"_s);
    QTest::newRow("word-time tags") << u"<00:12.34>你<00:12.80>好"_s << split(u"你|好"_s);
    QTest::newRow("tag without hundredths") << u"<01:02>啊"_s << split(u"啊"_s);
    QTest::newRow("not a tag") << u"<a:b>"_s << split(u"a|b"_s);
    QTest::newRow("zero and repeat mark") << u"〇々"_s << split(u"〇|々"_s);
    QTest::newRow("hangul") << u"사랑해"_s << split(u"사|랑|해"_s);
    QTest::newRow("beyond the BMP") << u"\U00020000字"_s << split(u"\U00020000|字"_s);
    QTest::newRow("nothing sung") << u"，。！？…… ～ ♪ 😀 ❤️"_s << QStringList();
    QTest::newRow("ideographic space") << u"你\u3000好"_s << split(u"你|好"_s);
}

void TestAids::sungSyllables()
{
    QFETCH(QString, line);
    QFETCH(QStringList, sung);
    QStringList got;
    for (const Syllable &s : syj::aids::sungSyllables(line))
        got.append(s.text);
    QCOMPARE(got, sung);
}

void TestAids::sungCount_data()
{
    // How many notes a singer sings for the line: English words by their
    // syllables, acronyms by letter, numbers as said, stage text not at all.
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("count");
    QTest::newRow("baby 2") << u"我的baby"_s << 4;
    QTest::newRow("sunshine 2") << u"sunshine"_s << 2;
    QTest::newRow("everybody 4") << u"everybody"_s << 4;
    QTest::newRow("unknown word by its vowels") << u"zorblimate"_s << 3;
    QTest::newRow("silent e") << u"I love you"_s << 3;
    QTest::newRow("KTV by letter") << u"去KTV唱歌"_s << 6;
    QTest::newRow("OK 2") << u"OK"_s << 2;
    QTest::newRow("WWW: W is 3") << u"WWW"_s << 9;
    QTest::newRow("capitals the dictionary knows") << u"LOVE"_s << 1;
    QTest::newRow("100分 一百分") << u"100分"_s << 3;
    QTest::newRow("24小时 二十四小时") << u"24小时"_s << 5;
    QTest::newRow("10 十") << u"10"_s << 1;
    QTest::newRow("15 十五") << u"15"_s << 2;
    QTest::newRow("105 一百零五") << u"105"_s << 4;
    QTest::newRow("20000 二万") << u"20000"_s << 2;
    QTest::newRow("100000 十万") << u"100000"_s << 2;
    QTest::newRow("3.14 三点一四") << u"3.14"_s << 4;
    QTest::newRow("50% 百分之五十") << u"50%"_s << 5;
    QTest::newRow("year digit by digit") << u"1997"_s << 4;
    QTest::newRow("2023年 4+1") << u"2023年"_s << 5;
    QTest::newRow("08年 before 年") << u"08年"_s << 3;
    QTest::newRow("role label 男：") << u"男：我爱你"_s << 3;
    QTest::newRow("role label 女:") << u"女:我爱你"_s << 3;
    QTest::newRow("role label 合:") << u" 合: 我爱你"_s << 3;
    QTest::newRow("(合) note") << u"(合)我爱你"_s << 3;
    QTest::newRow("（Repeat） note") << u"我爱你（Repeat）"_s << 3;
    QTest::newRow("[Chorus] inside a line") << u"我爱你 [Chorus] 你爱我"_s << 6;
    QTest::newRow("repeat mark x2") << u"啦啦啦 x2"_s << 3;
    QTest::newRow("repeat mark ×3") << u"啦啦啦×3"_s << 3;
    QTest::newRow("sung words in brackets stay") << u"(oh yeah)我爱你"_s << 5;
    QTest::newRow("a colon inside the line stays") << u"我说：你好"_s << 4;
}

void TestAids::sungCount()
{
    QFETCH(QString, line);
    QFETCH(int, count);
    QCOMPARE(syj::aids::sungSyllables(line).size(), qsizetype(count));
}

void TestAids::rhymeGroups_data()
{
    // Real syllables, so that the spelling rules (y/w, j/q/x + u, iu/ui/un)
    // are read before the group is looked up: every final of both systems.
    QTest::addColumn<QString>("pinyin");
    QTest::addColumn<QString>("final");
    QTest::addColumn<QString>("xinyun");
    QTest::addColumn<QString>("zhe");
    const QList<std::array<QString, 4>> rows = {
        {u"ma1"_s, u"a"_s, u"一麻"_s, u"发花"_s},
        {u"jia1"_s, u"ia"_s, u"一麻"_s, u"发花"_s},
        {u"hua1"_s, u"ua"_s, u"一麻"_s, u"发花"_s},
        {u"ya2"_s, u"ia"_s, u"一麻"_s, u"发花"_s},
        {u"bo1"_s, u"o"_s, u"二波"_s, u"梭波"_s},
        {u"ge1"_s, u"e"_s, u"二波"_s, u"梭波"_s},
        {u"duo1"_s, u"uo"_s, u"二波"_s, u"梭波"_s},
        {u"wo3"_s, u"uo"_s, u"二波"_s, u"梭波"_s},
        {u"xie2"_s, u"ie"_s, u"三皆"_s, u"乜斜"_s},
        {u"yue4"_s, u"üe"_s, u"三皆"_s, u"乜斜"_s},
        {u"jue2"_s, u"üe"_s, u"三皆"_s, u"乜斜"_s},
        {u"lve4"_s, u"üe"_s, u"三皆"_s, u"乜斜"_s},
        {u"ê4"_s, u"ê"_s, u"三皆"_s, u"乜斜"_s},
        {u"kai1"_s, u"ai"_s, u"四开"_s, u"怀来"_s},
        {u"huai2"_s, u"uai"_s, u"四开"_s, u"怀来"_s},
        {u"fei1"_s, u"ei"_s, u"五微"_s, u"灰堆"_s},
        {u"gui4"_s, u"uei"_s, u"五微"_s, u"灰堆"_s},
        {u"wei4"_s, u"uei"_s, u"五微"_s, u"灰堆"_s},
        {u"hao3"_s, u"ao"_s, u"六豪"_s, u"遥条"_s},
        {u"yao4"_s, u"iao"_s, u"六豪"_s, u"遥条"_s},
        {u"zou3"_s, u"ou"_s, u"七尤"_s, u"油求"_s},
        {u"liu2"_s, u"iou"_s, u"七尤"_s, u"油求"_s},
        {u"you3"_s, u"iou"_s, u"七尤"_s, u"油求"_s},
        {u"han2"_s, u"an"_s, u"八寒"_s, u"言前"_s},
        {u"tian1"_s, u"ian"_s, u"八寒"_s, u"言前"_s},
        {u"yan2"_s, u"ian"_s, u"八寒"_s, u"言前"_s},
        {u"chuan2"_s, u"uan"_s, u"八寒"_s, u"言前"_s},
        {u"quan2"_s, u"üan"_s, u"八寒"_s, u"言前"_s},
        {u"yuan2"_s, u"üan"_s, u"八寒"_s, u"言前"_s},
        {u"wen2"_s, u"uen"_s, u"九文"_s, u"人辰"_s},
        {u"ren2"_s, u"en"_s, u"九文"_s, u"人辰"_s},
        {u"xin1"_s, u"in"_s, u"九文"_s, u"人辰"_s},
        {u"chun1"_s, u"uen"_s, u"九文"_s, u"人辰"_s},
        {u"jun1"_s, u"ün"_s, u"九文"_s, u"人辰"_s},
        {u"yun2"_s, u"ün"_s, u"九文"_s, u"人辰"_s},
        {u"tang2"_s, u"ang"_s, u"十唐"_s, u"江阳"_s},
        {u"liang2"_s, u"iang"_s, u"十唐"_s, u"江阳"_s},
        {u"guang1"_s, u"uang"_s, u"十唐"_s, u"江阳"_s},
        {u"geng1"_s, u"eng"_s, u"十一庚"_s, u"中东"_s},
        {u"qing2"_s, u"ing"_s, u"十一庚"_s, u"中东"_s},
        {u"weng1"_s, u"ueng"_s, u"十一庚"_s, u"中东"_s},
        {u"dong1"_s, u"ong"_s, u"十一庚"_s, u"中东"_s},
        {u"xiong2"_s, u"iong"_s, u"十一庚"_s, u"中东"_s},
        {u"yong3"_s, u"iong"_s, u"十一庚"_s, u"中东"_s},
        {u"qi1"_s, u"i"_s, u"十二齐"_s, u"一七"_s},
        {u"yi1"_s, u"i"_s, u"十二齐"_s, u"一七"_s},
        {u"er2"_s, u"er"_s, u"十二齐"_s, u"一七"_s},
        {u"lü4"_s, u"ü"_s, u"十二齐"_s, u"一七"_s},
        {u"xu1"_s, u"ü"_s, u"十二齐"_s, u"一七"_s},
        {u"yu2"_s, u"ü"_s, u"十二齐"_s, u"一七"_s},
        {u"zhi1"_s, u"-i"_s, u"十三支"_s, u"一七"_s},
        {u"si4"_s, u"-i"_s, u"十三支"_s, u"一七"_s},
        {u"ri4"_s, u"-i"_s, u"十三支"_s, u"一七"_s},
        {u"gu1"_s, u"u"_s, u"十四姑"_s, u"姑苏"_s},
        {u"wu3"_s, u"u"_s, u"十四姑"_s, u"姑苏"_s},
        {u"zhu1"_s, u"u"_s, u"十四姑"_s, u"姑苏"_s},
        {u"ng2"_s, QString(), QString(), QString()},
        {u"m2"_s, QString(), QString(), QString()},
        {u"n4"_s, QString(), QString(), QString()},
    };
    for (const auto &r : rows)
        QTest::newRow(qPrintable(r[0])) << r[0] << r[1] << r[2] << r[3];
}

void TestAids::rhymeGroups()
{
    QFETCH(QString, pinyin);
    QFETCH(QString, final);
    QFETCH(QString, xinyun);
    QFETCH(QString, zhe);
    QCOMPARE(mandarinFinal(pinyin), final);
    QCOMPARE(rhymeGroup(pinyin, RhymeSystem::ZhonghuaXinyun), xinyun);
    QCOMPARE(rhymeGroup(pinyin, RhymeSystem::ShisanZhe), zhe);
}

void TestAids::toneClasses_data()
{
    QTest::addColumn<QString>("reading");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("toneClass");
    QTest::addColumn<QString>("cantoneseFinal");
    const int yue = int(Language::Cantonese);
    const int cmn = int(Language::Mandarin);
    // 0243: class 3 = tones 1, 2; 4 = tones 3, 5; 2 = tone 6; 0 = tone 4,
    // entering tones (1, 3, 6 with -p -t -k) alike.
    QTest::newRow("si1") << u"si1"_s << yue << u"3"_s << u"i"_s;
    QTest::newRow("si2") << u"si2"_s << yue << u"3"_s << u"i"_s;
    QTest::newRow("si3") << u"si3"_s << yue << u"4"_s << u"i"_s;
    QTest::newRow("si5") << u"si5"_s << yue << u"4"_s << u"i"_s;
    QTest::newRow("si6") << u"si6"_s << yue << u"2"_s << u"i"_s;
    QTest::newRow("si4") << u"si4"_s << yue << u"0"_s << u"i"_s;
    QTest::newRow("sik1 entering") << u"sik1"_s << yue << u"3"_s << u"ik"_s;
    QTest::newRow("sit3 entering") << u"sit3"_s << yue << u"4"_s << u"it"_s;
    QTest::newRow("sik6 entering") << u"sik6"_s << yue << u"2"_s << u"ik"_s;
    QTest::newRow("gwong1") << u"gwong1"_s << yue << u"3"_s << u"ong"_s;
    QTest::newRow("ngo5") << u"ngo5"_s << yue << u"4"_s << u"o"_s;
    QTest::newRow("m4 syllabic") << u"m4"_s << yue << u"0"_s << u"m"_s;
    QTest::newRow("ng5 syllabic") << u"ng5"_s << yue << u"4"_s << u"ng"_s;
    QTest::newRow("joeng4") << u"joeng4"_s << yue << u"0"_s << u"oeng"_s;
    QTest::newRow("mandarin 1") << u"ma1"_s << cmn << u"平"_s << QString();
    QTest::newRow("mandarin 2") << u"ma2"_s << cmn << u"平"_s << QString();
    QTest::newRow("mandarin 3") << u"ma3"_s << cmn << u"仄"_s << QString();
    QTest::newRow("mandarin 4") << u"ma4"_s << cmn << u"仄"_s << QString();
    QTest::newRow("mandarin neutral") << u"ma5"_s << cmn << u"轻"_s << QString();
    QTest::newRow("no tone") << u"ma"_s << cmn << QString() << QString();
}

void TestAids::toneClasses()
{
    QFETCH(QString, reading);
    QFETCH(int, language);
    QFETCH(QString, toneClass);
    QFETCH(QString, cantoneseFinal);
    QCOMPARE(syj::aids::toneClass(reading, Language(language)), toneClass);
    if (Language(language) == Language::Cantonese) {
        QCOMPARE(syj::aids::cantoneseFinal(reading), cantoneseFinal);
        QCOMPARE(rhymeGroup(reading, RhymeSystem::CantoneseFinals), cantoneseFinal);
    }
}

void TestAids::displayReading_data()
{
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("shown");
    QTest::newRow("on a") << u"guang1"_s << u"guāng"_s;
    QTest::newRow("on e") << u"xie2"_s << u"xié"_s;
    QTest::newRow("on o of ou") << u"zou3"_s << u"zǒu"_s;
    QTest::newRow("iu on u") << u"liu2"_s << u"liú"_s;
    QTest::newRow("ui on i") << u"gui4"_s << u"guì"_s;
    QTest::newRow("ü") << u"lü4"_s << u"lǜ"_s;
    QTest::newRow("v for ü") << u"nv3"_s << u"nǚ"_s;
    QTest::newRow("ê") << u"ê2"_s << u"ê\u0301"_s;
    QTest::newRow("neutral") << u"de5"_s << u"de"_s;
}

void TestAids::displayReading()
{
    QFETCH(QString, reading);
    QFETCH(QString, shown);
    QCOMPARE(syj::aids::displayReading(reading, Language::Mandarin), shown);
}

void TestAids::lineEnd_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("end");
    QTest::newRow("last character") << u"月亮代表我的心"_s << u"心"_s;
    QTest::newRow("punctuation after") << u"我爱你，"_s << u"你"_s;
    QTest::newRow("particle passed over") << u"你走了"_s << u"走"_s;
    QTest::newRow("several particles") << u"好吗啊"_s << u"好"_s;
    QTest::newRow("only particles") << u"啊啊啊"_s << u"啊"_s;
    QTest::newRow("english word") << u"我爱你 baby"_s << u"baby"_s;
    QTest::newRow("nothing sung") << u"……"_s << QString();
}

void TestAids::lineEnd()
{
    QFETCH(QString, line);
    QFETCH(QString, end);
    const LineReading r = readLine(line, Language::Mandarin);
    QCOMPARE(r.lineEnd < 0 ? QString() : r.syllables.at(r.lineEnd).text, end);
}

void TestAids::polyphones_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("at");
    QTest::addColumn<QStringList>("among"); // readings that must all be offered
    QTest::addColumn<QString>("usual");     // the first, where the tables are sure
    const int cmn = int(Language::Mandarin);
    const int yue = int(Language::Cantonese);
    QTest::newRow("长 mandarin") << u"长"_s << cmn << 0 << QStringList{u"chang2"_s, u"zhang3"_s}
                                 << QString();
    QTest::newRow("行 mandarin") << u"行"_s << cmn << 0 << QStringList{u"xing2"_s, u"hang2"_s}
                                 << u"xing2"_s;
    QTest::newRow("乐 mandarin") << u"乐"_s << cmn << 0 << QStringList{u"le4"_s, u"yue4"_s}
                                 << QString();
    QTest::newRow("重 mandarin") << u"重"_s << cmn << 0 << QStringList{u"zhong4"_s, u"chong2"_s}
                                 << u"zhong4"_s;
    QTest::newRow("長 cantonese") << u"長"_s << yue << 0 << QStringList{u"coeng4"_s, u"zoeng2"_s}
                                  << QString();
    QTest::newRow("长 simplified cantonese")
        << u"长"_s << yue << 0 << QStringList{u"coeng4"_s, u"zoeng2"_s} << QString();
    QTest::newRow("乐 cantonese") << u"乐"_s << yue << 0 << QStringList{u"lok6"_s, u"ngok6"_s}
                                  << QString();
    QTest::newRow("银行 word reading")
        << u"银行"_s << yue << 1 << QStringList{u"hong4"_s} << u"hong4"_s;
    QTest::newRow("digit read as numeral")
        << u"3"_s << cmn << 0 << QStringList{u"san1"_s} << u"san1"_s;
}

void TestAids::polyphones()
{
    QFETCH(QString, line);
    QFETCH(int, language);
    QFETCH(int, at);
    QFETCH(QStringList, among);
    QFETCH(QString, usual);
    const LineReading r = readLine(line, Language(language));
    const QStringList readings = r.readings.value(at);
    for (const QString &reading : std::as_const(among))
        QVERIFY2(readings.contains(reading), qPrintable(readings.join(u' ')));
    if (!usual.isEmpty())
        QCOMPARE(readings.value(0), usual);
    // A pick narrows the readings to the one meant; a pick that is not a
    // reading of the syllable is ignored.
    QCOMPARE(r.readingsAt(at, {{at, among.back()}}), QStringList{among.back()});
    QCOMPARE(r.readingsAt(at, {{at, u"xyz9"_s}}), readings.mid(0, r.counted.value(at)));
}

void TestAids::lineEndReadings_data()
{
    // The reading a line end gets with nothing picked: the polyphones whose
    // usual reading was wrong most often, at the end of lines as they are sung.
    QTest::addColumn<QString>("line");
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("reading");
    const auto m = Language::Mandarin;
    const auto c = Language::Cantonese;
    QTest::newRow("尽 jin4") << u"白日依山尽"_s << m << u"尽"_s << u"jin4"_s;
    QTest::newRow("长 chang2") << u"相思夜夜长"_s << m << u"长"_s << u"chang2"_s;
    QTest::newRow("长 zhang3 in 成长") << u"陪你慢慢成长"_s << m << u"长"_s << u"zhang3"_s;
    QTest::newRow("子 zi3") << u"窈窕淑女君子"_s << m << u"子"_s << u"zi3"_s;
    QTest::newRow("地 di4") << u"我爱这片土地"_s << m << u"地"_s << u"di4"_s;
    QTest::newRow("干 gan1") << u"眼泪已流干"_s << m << u"干"_s << u"gan1"_s;
    QTest::newRow("曲 qu3") << u"为君歌一曲"_s << m << u"曲"_s << u"qu3"_s;
    QTest::newRow("发 fa1") << u"明天再出发"_s << m << u"发"_s << u"fa1"_s;
    QTest::newRow("发 fa4 in 头发") << u"风吹乱头发"_s << m << u"发"_s << u"fa4"_s;
    QTest::newRow("重 chong2 in 重重") << u"心事重重"_s << m << u"重"_s << u"chong2"_s;
    QTest::newRow("还 huan2 in 归还") << u"借来的要归还"_s << m << u"还"_s << u"huan2"_s;
    QTest::newRow("弹 tan2") << u"琴声为谁弹"_s << m << u"弹"_s << u"tan2"_s;
    QTest::newRow("迹 ji4") << u"寻你的足迹"_s << m << u"迹"_s << u"ji4"_s;
    QTest::newRow("载 zai3") << u"一别已千载"_s << m << u"载"_s << u"zai3"_s;
    QTest::newRow("薄 bo2") << u"人情似纸薄"_s << m << u"薄"_s << u"bo2"_s;
    QTest::newRow("应 ying4") << u"呼唤无人应"_s << m << u"应"_s << u"ying4"_s;
    QTest::newRow("为 wei2") << u"人生何所为"_s << m << u"为"_s << u"wei2"_s;
    QTest::newRow("苹 ping2") << u"摘一颗青苹"_s << m << u"苹"_s << u"ping2"_s;
    QTest::newRow("少 shao3") << u"花落知多少"_s << m << u"少"_s << u"shao3"_s;
    QTest::newRow("似 si4") << u"年年岁岁花相似"_s << m << u"似"_s << u"si4"_s;
    QTest::newRow("阙 que4") << u"不知天上宫阙"_s << m << u"阙"_s << u"que4"_s;
    QTest::newRow("仆 pu2") << u"一路风尘仆仆"_s << m << u"仆"_s << u"pu2"_s;
    QTest::newRow("慢慢地 de5, a word") << u"你慢慢地"_s << m << u"地"_s << u"de5"_s;
    QTest::newRow("喲 passed over") << u"一起走喲"_s << m << u"走"_s << u"zou3"_s;
    QTest::newRow("唄 passed over") << u"你就听唄"_s << m << u"听"_s << u"ting1"_s;
    QTest::newRow("啰 passed over") << u"该走啰"_s << m << u"走"_s << u"zou3"_s;
    QTest::newRow("嘍 passed over") << u"睡覺嘍"_s << m << u"覺"_s << u"jiao4"_s;
    // Cantonese in traditional script: the character's own readings.
    QTest::newRow("台 toi4, not 檯's toi2") << u"登上舞台"_s << c << u"台"_s << u"toi4"_s;
    QTest::newRow("里 lei5, not 裏's leoi5") << u"千里"_s << c << u"里"_s << u"lei5"_s;
    QTest::newRow("松 cung4, not 鬆's sung1") << u"山上青松"_s << c << u"松"_s << u"cung4"_s;
    QTest::newRow("斗 dau2, not 鬥's dau3") << u"天上北斗"_s << c << u"斗"_s << u"dau2"_s;
    QTest::newRow("長 coeng4") << u"路很長"_s << c << u"長"_s << u"coeng4"_s;
    QTest::newRow("長 zoeng2 in 成長") << u"陪你成長"_s << c << u"長"_s << u"zoeng2"_s;
    QTest::newRow("simplified 这里 leoi5 by its word")
        << u"我在这里"_s << c << u"里"_s << u"leoi5"_s;
}

void TestAids::lineEndReadings()
{
    QFETCH(QString, line);
    QFETCH(Language, language);
    QFETCH(QString, end);
    QFETCH(QString, reading);
    const LineReading r = readLine(line, language);
    QVERIFY(r.lineEnd >= 0);
    QCOMPARE(r.syllables.at(r.lineEnd).text, end);
    const QStringList counted = r.readingsAt(r.lineEnd, {});
    QVERIFY2(!counted.isEmpty() && counted.front() == reading, qPrintable(counted.join(u' ')));
}

void TestAids::pickMovesLineEnd_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("place");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("end");
    QTest::newRow("nothing picked: 了 passed over")
        << u"春花秋月何时了"_s << -1 << QString() << u"时"_s;
    QTest::newRow("了 liao3 picked: the end") << u"春花秋月何时了"_s << 6 << u"liao3"_s << u"了"_s;
    QTest::newRow("了 le5 picked: still passed over")
        << u"春花秋月何时了"_s << 6 << u"le5"_s << u"时"_s;
    QTest::newRow("着 zhuo2 picked") << u"心里念着"_s << 3 << u"zhuo2"_s << u"着"_s;
    QTest::newRow("着 zhe5 picked") << u"心里念着"_s << 3 << u"zhe5"_s << u"念"_s;
    QTest::newRow("a pick that is no reading") << u"你走了"_s << 2 << u"xyz9"_s << u"走"_s;
    QTest::newRow("the inner of two particles") << u"算了吧"_s << 1 << u"liao3"_s << u"了"_s;
    QTest::newRow("a pick before the end changes nothing")
        << u"你走了"_s << 0 << u"ni3"_s << u"走"_s;
}

void TestAids::pickMovesLineEnd()
{
    QFETCH(QString, line);
    QFETCH(int, place);
    QFETCH(QString, pick);
    QFETCH(QString, end);
    ReadingPicks picks;
    if (place >= 0)
        picks.insert(place, pick);
    const LineReading r = readLine(line, Language::Mandarin);
    const qsizetype at = r.endWith(picks);
    QVERIFY(at >= 0);
    QCOMPARE(r.syllables.at(at).text, end);
    // The rhyme is the moved end's.
    QStringList groups;
    for (const QString &reading : r.readingsAt(at, picks)) {
        const QString g = rhymeGroup(reading, RhymeSystem::ZhonghuaXinyun);
        if (!g.isEmpty() && !groups.contains(g))
            groups.append(g);
    }
    QCOMPARE(endGroups(r, picks, RhymeSystem::ZhonghuaXinyun), groups);
}

void TestAids::rhymeSets_data()
{
    // Each row: the original end's groups and the new end's, "a,b" for a
    // polyphone, "" for none.
    QTest::addColumn<QStringList>("original");
    QTest::addColumn<QStringList>("newWords");
    QTest::addColumn<QString>("verdicts"); // n no set, e empty, k keeps, l leaves
    QTest::newRow("all keep") << QStringList{u"唐"_s, u"唐"_s, u"唐"_s}
                              << QStringList{u"齐"_s, u"齐"_s, u"齐"_s} << u"kkk"_s;
    QTest::newRow("one leaves the majority") << QStringList{u"唐"_s, u"唐"_s, u"唐"_s}
                                             << QStringList{u"齐"_s, u"波"_s, u"齐"_s} << u"klk"_s;
    QTest::newRow("tie goes to the original's group")
        << QStringList{u"唐"_s, u"唐"_s} << QStringList{u"齐"_s, u"唐"_s} << u"lk"_s;
    QTest::newRow("tie without it goes to the earliest")
        << QStringList{u"唐"_s, u"唐"_s} << QStringList{u"齐"_s, u"波"_s} << u"kl"_s;
    QTest::newRow("a polyphone keeps by any reading")
        << QStringList{u"唐"_s, u"唐"_s, u"唐"_s} << QStringList{u"齐"_s, u"齐"_s, u"波,齐"_s}
        << u"kkk"_s;
    QTest::newRow("a lone original end is no set")
        << QStringList{u"唐"_s, u"齐"_s, u"唐"_s} << QStringList{u"波"_s, u"波"_s, u"波"_s}
        << u"knk"_s;
    QTest::newRow("empty new lines")
        << QStringList{u"唐"_s, u"唐"_s, u"唐"_s} << QStringList{u""_s, u"齐"_s, u""_s} << u"eke"_s;
    QTest::newRow("original without end")
        << QStringList{u""_s, u""_s} << QStringList{u"齐"_s, u"波"_s} << u"nn"_s;
    QTest::newRow("interleaved sets")
        << QStringList{u"唐"_s, u"齐"_s, u"唐"_s, u"齐"_s}
        << QStringList{u"齐"_s, u"齐"_s, u"齐"_s, u"波"_s} << u"kkkl"_s;
}

void TestAids::rhymeSets()
{
    QFETCH(QStringList, original);
    QFETCH(QStringList, newWords);
    QFETCH(QString, verdicts);
    QList<RowEnds> rows;
    for (qsizetype i = 0; i < original.size(); ++i)
        rows.append({original[i].split(u',', Qt::SkipEmptyParts),
                     newWords[i].split(u',', Qt::SkipEmptyParts)});
    const RhymeJudgement j = judgeRhymes(rows);
    QString got;
    for (RhymeVerdict v : j.verdicts)
        got += QStringView(u"nekl")[int(v)];
    QCOMPARE(got, verdicts);
}

void TestAids::toneMismatches_data()
{
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("newWords");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("marks"); // x where the new syllable cannot fit
    const int cmn = int(Language::Mandarin);
    const int yue = int(Language::Cantonese);
    QTest::newRow("平仄 alike") << u"天空"_s << u"高飞"_s << cmn << u"--"_s;
    QTest::newRow("平 against 仄") << u"天天"_s << u"大树"_s << cmn << u"xx"_s;
    QTest::newRow("neutral fits anything") << u"天空"_s << u"高的"_s << cmn << u"--"_s;
    QTest::newRow("polyphone fits by any reading") << u"天"_s << u"长"_s << cmn << u"-"_s;
    QTest::newRow("longer new line") << u"天"_s << u"天地"_s << cmn << u"--"_s;
    QTest::newRow("word has no tone") << u"天"_s << u"love"_s << cmn << u"-"_s;
    QTest::newRow("0243 alike") << u"詩"_s << u"史"_s << yue << u"-"_s;
    QTest::newRow("0243 apart") << u"詩"_s << u"時"_s << yue << u"x"_s;
    QTest::newRow("simplified against traditional") << u"時"_s << u"时"_s << yue << u"-"_s;
}

void TestAids::toneMismatches()
{
    QFETCH(QString, original);
    QFETCH(QString, newWords);
    QFETCH(int, language);
    QFETCH(QString, marks);
    const auto lang = Language(language);
    const QList<bool> got =
        syj::aids::toneMismatches(syj::aids::toneClasses(readLine(original, lang), {}, lang),
                                  syj::aids::toneClasses(readLine(newWords, lang), {}, lang));
    QString shown;
    for (bool x : got)
        shown += x ? u'x' : u'-';
    QCOMPARE(shown, marks);
}

QTEST_GUILESS_MAIN(TestAids)
#include "tst_core_aids.moc"
