// The recovery copy without a window: what a copy may hold and what is set
// aside, when the keeper writes and removes it, and offering a copy back.

#include "sheet/filerequests.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/lyrictext.h"
#include "sheet/recovery.h"
#include "sheet/sheetcommands.h"
#include "support/scripted.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using syj::LyricSheetModel;
using syj::MsgButtons;
using syj::MsgResult;
using syj::RecoveryCopy;
using syj::RecoveryCopyRead;
using syj::RecoveryKeeper;
using Status = syj::RecoveryCopyRead::Status;

namespace syj {
char *toString(RecoveryCopyRead::Status status)
{
    static const char *const names[] = {"Ok", "Unreadable", "Corrupt", "Newer"};
    return qstrdup(names[static_cast<int>(status)]);
}
} // namespace syj

namespace {

QStringList copiesIn(const QString &folder, const QString &pattern = u"copy-*.json"_s)
{
    return QDir(folder).entryList({pattern}, QDir::Files);
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // An original lyric file of `rows` timed lines.
    QString lyrics(const QString &name, int rows)
    {
        QStringList lines;
        for (int i = 1; i <= rows; ++i)
            lines << u"[00:%1.00]原词%1"_s.arg(i, 2, 10, QChar(u'0'));
        const QString file = path(name);
        syj::writeLyricFile(file, lines);
        return file;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Status>("status");
        QTest::addColumn<RecoveryCopy>("expected");

        RecoveryCopy copy{u"/歌/月光.lrc"_s,
                          {u"新词"_s, QString(), u" [00:01.00]x "_s},
                          QDateTime(QDate(2026, 12, 9), QTime(18, 0), Qt::UTC),
                          syj::aids::Language::Cantonese,
                          syj::aids::RhymeSystem::ShisanZhe,
                          {{0, true, 1, u"zoeng2"_s}, {2, false, 0, u"hong4"_s}}};
        const QByteArray good = syj::encodeRecoveryCopy(copy);
        QTest::newRow("as written") << good << Status::Ok << copy;
        // The aids' choices are helpers: what is not understood of them takes
        // the defaults and loses no words.
        RecoveryCopy plain{u"/a.lrc"_s, {u"a"_s}, {}, {}, {}, {{0, true, 0, u"a1"_s}}};
        QTest::newRow("aid choices not understood")
            << QByteArray(R"({"format":1,"lyricsFile":"/a.lrc","rows":1,"newWords":["a"],)"
                          R"("language":"klingon","rhymeSystem":7,"readingPicks":[)"
                          R"({"row":0,"line":"new","syllable":0,"reading":"a1"},)"
                          R"({"row":-1,"line":"new","syllable":0,"reading":"b1"},)"
                          R"({"row":0,"line":"side","syllable":0,"reading":"c1"},7]})")
            << Status::Ok << plain;
        QTest::newRow("cut short") << good.left(good.size() - 10) << Status::Corrupt << copy;
        QTest::newRow("empty") << QByteArray() << Status::Corrupt << copy;
        QTest::newRow("not JSON") << QByteArray("\x00\x01garbage", 9) << Status::Corrupt << copy;
        QTest::newRow("a list, not a copy") << QByteArray("[1,2]") << Status::Corrupt << copy;
        QTest::newRow("rows and words disagree")
            << QByteArray(R"({"format":1,"lyricsFile":"/a.lrc","rows":3,"newWords":["a"]})")
            << Status::Corrupt << copy;
        QTest::newRow("a word that is no text")
            << QByteArray(R"({"format":1,"lyricsFile":"/a.lrc","rows":1,"newWords":[7]})")
            << Status::Corrupt << copy;
        QTest::newRow("no lyric file")
            << QByteArray(R"({"format":1,"rows":0,"newWords":[]})") << Status::Corrupt << copy;
        QTest::newRow("format as text")
            << QByteArray(R"({"format":"1","lyricsFile":"/a.lrc","rows":0,"newWords":[]})")
            << Status::Corrupt << copy;
        QTest::newRow("a newer program's copy")
            << QByteArray(R"({"format":2,"lyricsFile":"/a.lrc","rows":0,"newWords":[]})")
            << Status::Newer << copy;
    }

    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Status, status);
        QFETCH(RecoveryCopy, expected);
        RecoveryCopyRead read = syj::decodeRecoveryCopy(bytes);
        QCOMPARE(read.status, status);
        if (status == Status::Ok) {
            if (!expected.savedAt.isValid())
                read.copy.savedAt = {};
            QCOMPARE(read.copy, expected);
        }
    }

    // When the keeper writes its copy and when the copy goes.
    void keeperWritesAndRemoves()
    {
        const QString folder = path(u"keeper"_s);
        LyricSheetModel sheet;
        sheet.loadOriginal({u"[00:01.00]一"_s, u"[00:02.00]二"_s}, u"/歌/一二.lrc"_s);
        auto keeper = std::make_unique<RecoveryKeeper>(sheet, folder);
        QVERIFY(copiesIn(folder).isEmpty()); // nothing unsaved, nothing kept

        // The first unsaved words are on disk at once.
        sheet.setNewWords(1, u"第一个词"_s);
        QCOMPARE(copiesIn(folder).size(), 1);
        const auto onDisk = [&keeper] {
            QFile f(keeper->copyPath());
            return f.open(QIODevice::ReadOnly) ? syj::decodeRecoveryCopy(f.readAll()).copy
                                               : RecoveryCopy{};
        };
        QCOMPARE(onDisk().newWords, (QStringList{QString(), u"第一个词"_s}));
        QCOMPARE(onDisk().lyricsFile, u"/歌/一二.lrc"_s);

        // Later words follow once typing stops, or at once when the focus moves.
        sheet.setNewWords(0, u"再写"_s);
        QCOMPARE(onDisk().newWords.first(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(onDisk().newWords.first(), u"再写"_s,
                                  RecoveryKeeper::kQuietMs + 500);
        sheet.setNewWords(0, u"又改"_s);
        keeper->writeIfDue();
        QCOMPARE(onDisk().newWords.first(), u"又改"_s);

        // While it runs, nobody else may offer its copy.
        QVERIFY(syj::findLeftCopies(folder).empty());

        // Saved: the copy goes; unsaved again: it comes back; the keeper goes
        // (the program ends): the copy and its lock go.
        sheet.setModified(false);
        QVERIFY(copiesIn(folder).isEmpty());
        sheet.setNewWords(0, u"还有"_s);
        QCOMPARE(copiesIn(folder).size(), 1);
        keeper.reset();
        QVERIFY(QDir(folder).isEmpty());
    }

    // A copy that cannot be written says why in the program's words, once,
    // and the words stay in the sheet.
    void writeFailureSaysWhy()
    {
        const QString folder = path(u"blocked"_s);
        LyricSheetModel sheet;
        sheet.loadOriginal({u"[00:01.00]一"_s}, u"/歌/一.lrc"_s);
        RecoveryKeeper keeper(sheet, folder);
        QVERIFY(QDir().mkpath(keeper.copyPath())); // a folder where the copy goes
        QSignalSpy failed(&keeper, &RecoveryKeeper::writeFailed);
        sheet.setNewWords(0, u"写不进去"_s);
        keeper.writeIfDue();
        sheet.setNewWords(0, u"还是写不进去"_s);
        keeper.writeIfDue();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().toString(), u"已经有一个同名的文件夹"_s);
        QCOMPARE(sheet.at(0).newWords, u"还是写不进去"_s);
    }

    // Two programs at once keep two copies, and neither offers the other's.
    void twoProgramsKeepTheirOwn()
    {
        const QString folder = path(u"two"_s);
        LyricSheetModel a, b;
        a.loadOriginal({u"[00:01.00]一"_s}, u"/a.lrc"_s);
        b.loadOriginal({u"[00:01.00]一"_s}, u"/b.lrc"_s);
        RecoveryKeeper keepA(a, folder), keepB(b, folder);
        a.setNewWords(0, u"甲"_s);
        b.setNewWords(0, u"乙"_s);
        QVERIFY(keepA.copyPath() != keepB.copyPath());
        QCOMPARE(copiesIn(folder).size(), 2);
        QVERIFY(syj::findLeftCopies(folder).empty());
        b.setModified(false);
        QCOMPARE(copiesIn(folder).size(), 1);
        QVERIFY(QFile::exists(keepA.copyPath()));
    }

    // Offering a left copy back, as the program does at start-up.
    void offer_data()
    {
        QTest::addColumn<int>("rowsNow");      // rows of the lyric file now; 0: the file is gone
        QTest::addColumn<int>("answer");       // to the question
        QTest::addColumn<QStringList>("rows"); // new words afterwards
        QTest::addColumn<bool>("copyStays");   // the copy is still offered next time
        QTest::addColumn<bool>("setAside");    // the copy was moved beside
        QTest::addColumn<int>("boxes");

        const QStringList words = {u"甲"_s, QString(), u"丙"_s};
        QTest::newRow("restored") << 3 << int(MsgResult::Restore) << words << false << false << 1;
        QTest::newRow("given up") << 3 << int(MsgResult::Discard) << QStringList{} << false << false
                                  << 1;
        QTest::newRow("closed without an answer")
            << 3 << int(MsgResult::Cancel) << QStringList{} << true << false << 1;
        QTest::newRow("lyric file gone")
            << 0 << int(MsgResult::Restore) << QStringList{} << true << false << 2;
        QTest::newRow("lyric file grew")
            << 4 << int(MsgResult::Restore) << QStringList{u"甲"_s, QString(), u"丙"_s, QString()}
            << false << false << 2;
        QTest::newRow("lyric file shrank, a word has no row")
            << 2 << int(MsgResult::Restore) << QStringList{u"甲"_s, QString()} << false << true
            << 2;
    }

    void offer()
    {
        QFETCH(int, rowsNow);
        QFETCH(int, answer);
        QFETCH(QStringList, rows);
        QFETCH(bool, copyStays);
        QFETCH(bool, setAside);
        QFETCH(int, boxes);
        const QString folder = path(u"offer-"_s + QString::fromUtf8(QTest::currentDataTag()));
        const QString file = lyrics(u"offer.lrc"_s, 3);
        {
            // A program that wrote its copy and then vanished without a trace.
            LyricSheetModel sheet;
            sheet.loadOriginal({u"[00:01.00]a"_s, u"[00:02.00]b"_s, u"[00:03.00]c"_s}, file);
            RecoveryKeeper keeper(sheet, folder);
            sheet.setNewWords(0, u"甲"_s);
            sheet.setNewWords(2, u"丙"_s);
            sheet.setSongLanguage(syj::aids::Language::Cantonese);
            sheet.setReadingPick(2, LyricSheetModel::Side::NewWords, 0, u"bing2"_s);
            keeper.writeNow();
            QFile::copy(keeper.copyPath(), folder + u"/copy-crashed.json"_s);
        }
        if (rowsNow == 0)
            QFile::remove(file);
        else
            lyrics(u"offer.lrc"_s, rowsNow);

        syj::test::ScriptedPlatform platform;
        syj::FileRequests files(platform);
        LyricSheetModel sheet;
        syj::LyricSheetCommands commands(sheet, files);
        platform.answer(static_cast<MsgResult>(answer));
        commands.offerRecovery(folder);

        QCOMPARE(platform.box().shown.size(), boxes);
        QCOMPARE(platform.box().shown.first().buttons, MsgButtons::RestoreDiscard);
        QStringList got;
        for (int i = 0; i < sheet.count(); ++i)
            got << sheet.at(i).newWords;
        QCOMPARE(got, rows);
        QCOMPARE(sheet.isModified(), !rows.isEmpty());
        // The aids' choices come back with the words.
        QCOMPARE(sheet.songLanguage() == syj::aids::Language::Cantonese, !rows.isEmpty());
        if (sheet.count() > 2)
            QCOMPARE(sheet.readingPicks(2, LyricSheetModel::Side::NewWords).value(0), u"bing2"_s);
        QCOMPARE(copiesIn(folder).size(), copyStays ? 1 : 0);
        QCOMPARE(copiesIn(folder, u"set-aside-*"_s).size(), setAside ? 1 : 0);
        if (setAside)
            QVERIFY(platform.box().shown.last().text.contains(u"set-aside-"_s));
        QCOMPARE(syj::findLeftCopies(folder).size(), size_t(copyStays ? 1 : 0));
    }

    void unusableCopiesAreSetAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        QTest::newRow("corrupt") << QByteArray("{\"format\":1,") << u"损坏"_s;
        QTest::newRow("newer") << QByteArray(R"({"format":9})") << u"较新版本"_s;
    }

    void unusableCopiesAreSetAside()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        const QString folder = path(u"bad-"_s + QString::fromUtf8(QTest::currentDataTag()));
        QDir().mkpath(folder);
        syj::test::writeFile(folder + u"/copy-bad.json"_s, bytes);
        syj::test::ScriptedPlatform platform;
        syj::FileRequests files(platform);
        LyricSheetModel sheet;
        syj::LyricSheetCommands commands(sheet, files);
        commands.offerRecovery(folder);
        QCOMPARE(platform.box().shown.size(), 1);
        QVERIFY(platform.box().shown.first().text.contains(says));
        QVERIFY(copiesIn(folder).isEmpty());
        QCOMPARE(copiesIn(folder, u"set-aside-*"_s).size(), 1);
        // Set aside, it is never offered again.
        platform.box().shown.clear();
        commands.offerRecovery(folder);
        QVERIFY(platform.box().shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_core_recovery.moc"
