// Listening while writing: looping a row, the speed with the pitch kept,
// moving playback between the two tracks in place, and the window's keys,
// with an input method composing and without.
//
// The players are the real ones, playing WAV and MP3 files the test writes
// through a sound server of the test's own (a PulseAudio null sink), whose
// output is recorded where what is heard is the point (the pitch).
#include "app/form1.h"
#include "app/listeningkeys.h"
#include "app/rowpanel.h"
#include "platform/classicscrollbar.h"
#include "platform/mediaplayer.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "playback/playback.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"
#include "support/heard.h"
#include "support/scripted.h"
#include "support/sound.h"
#include "support/wav.h"
#include "support/widgets.h"
#include "support/window.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;
using namespace syj;
using namespace syj::test;
using Track = Playback::Track;

namespace {

// Positions read from a playing player are compared within this many seconds.
constexpr double kNear = 0.3;

// Rows, from 0: an info row; 2.00; 3.50; a tag that is no number; an info
// row; 5.00; 4.00 (out of order); 6.00, the last.
QString sheetText()
{
    return u"[ti:测试]\r\n[00:02.00]一\r\n[00:03.50]二\r\n[ab:cd.ef]三\r\n间奏\r\n"
           u"[00:05.00]四\r\n[00:04.00]五\r\n[00:06.00]六\r\n"_s;
}

// A sheet of n rows one second apart, from 00:01.
QString longSheetText(int n)
{
    QString text;
    for (int k = 1; k <= n; ++k)
        text += u"[%1:%2.00]第%3句\r\n"_s.arg(k / 60, 2, 10, QChar(u'0'))
                    .arg(k % 60, 2, 10, QChar(u'0'))
                    .arg(k);
    return text;
}

// Starts an input method's composition in the box: text shown, not committed.
void compose(QWidget *box, const QString &preedit)
{
    QInputMethodEvent e(preedit, {});
    QApplication::sendEvent(box, &e);
}

} // namespace

class TestListening : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_tone;          // 440 Hz, 8 s, 44.1 kHz
    QString m_toneMp3;       // the same as MP3
    QString m_accompaniment; // 330 Hz, 10 s
    QString m_original;      // 550 Hz, 10 s
    std::unique_ptr<ScriptedPlatform> m_platform;
    std::unique_ptr<Form1> m_form;
    int m_sheets = 0;

    Form1 &form() { return *m_form; }
    AudioPlayer &player(Track t) { return m_form->playback().player(t); }

    void loadSheet(const QString &text)
    {
        const QString lrc = m_dir.filePath(u"sheet%1.lrc"_s.arg(++m_sheets));
        QVERIFY(writeFile(lrc, gbk(text)));
        form().commands().loadOriginalLyrics(lrc);
        QVERIFY(form().sheet().count() > 0);
    }

    // Opens the file in the track's player and waits until it plays.
    void open(Track t, const QString &file)
    {
        form().playback().openTrackFrom(t, file);
        AudioPlayer *p = &player(t);
        QVERIFY2(waitFor([p] { return p->isPlaying() && p->duration() > 0; }, 10000),
                 qPrintable(u"playing %1, %2 s long, error: %3"_s.arg(p->isPlaying())
                                .arg(p->duration())
                                .arg(p->errorText())));
    }

    bool activate()
    {
        form().show();
        QApplication::setActiveWindow(&form());
        return QTest::qWaitForWindowActive(&form());
    }

    // How far the player's position moves in `ms` of wall time, in seconds.
    double advance(Track t, int ms)
    {
        const double from = player(t).currentPosition();
        QTest::qWait(ms);
        return player(t).currentPosition() - from;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_tone = m_dir.filePath(u"tone.wav"_s);
        m_toneMp3 = m_dir.filePath(u"tone.mp3"_s);
        m_accompaniment = m_dir.filePath(u"伴奏.wav"_s);
        m_original = m_dir.filePath(u"原唱.wav"_s);
        QVERIFY(writeToneWav(m_tone, 8.0, 44100, 440));
        QVERIFY2(encodeMp3(m_tone, m_toneMp3), "gst-launch-1.0 with lamemp3enc is needed");
        QVERIFY(writeToneWav(m_accompaniment, 10.0, 8000, 330));
        QVERIFY(writeToneWav(m_original, 10.0, 8000, 550));
    }

    void init()
    {
        m_platform = std::make_unique<ScriptedPlatform>();
        m_form = std::make_unique<Form1>(*m_platform);
    }

    void cleanup()
    {
        m_form.reset();
        m_platform.reset();
    }

    // Which stretch a row loops, with the lead-in before it.
    void loopSpan_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<double>("leadIn");
        QTest::addColumn<bool>("loopable");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end"); // -1: to the end of the media

        QTest::newRow("timed row, 1 s lead-in") << 1 << 1.0 << true << 1.0 << 3.5;
        QTest::newRow("no lead-in") << 1 << 0.0 << true << 2.0 << 3.5;
        QTest::newRow("lead-in before the beginning") << 1 << 3.0 << true << 0.0 << 3.5;
        QTest::newRow("lead-in over 3 s is 3 s") << 7 << 9.0 << true << 3.0 << -1.0;
        QTest::newRow("negative lead-in is none") << 1 << -2.0 << true << 2.0 << 3.5;
        QTest::newRow("ends past rows without a time") << 2 << 1.0 << true << 2.5 << 5.0;
        QTest::newRow("tag that is no number") << 3 << 1.0 << false << 0.0 << 0.0;
        QTest::newRow("info row among lines") << 4 << 1.0 << true << 2.5 << 5.0;
        QTest::newRow("info row at the top") << 0 << 1.0 << true << 0.0 << 2.0;
        QTest::newRow("next row earlier: the next later one") << 5 << 1.0 << true << 4.0 << 6.0;
        QTest::newRow("last row: to the end") << 7 << 0.5 << true << 5.5 << -1.0;
    }

    void loopSpan()
    {
        QFETCH(int, row);
        QFETCH(double, leadIn);
        QFETCH(bool, loopable);
        QFETCH(double, start);
        QFETCH(double, end);

        loadSheet(sheetText());
        form().playback().setLeadIn(leadIn);
        QString why;
        const auto span = form().playback().loopSpan(row, &why);
        QCOMPARE(span.has_value(), loopable);
        if (!loopable) {
            QVERIFY(why.contains(u"不是数字"_s));
            // The row's menu says so too, and offers no loop.
            std::unique_ptr<QMenu> menu(
                form().listening().makeRowMenu(row, Track::Original, &form()));
            const QAction *loop = menu->actions().at(1);
            QVERIFY(!loop->isEnabled());
            QCOMPARE(loop->toolTip(), why);
            return;
        }
        QCOMPARE(span->start, start);
        QCOMPARE(span->end, end);
    }

    void infoRowsOnlyCannotLoop()
    {
        loadSheet(u"[ti:歌名]\r\n[ar:歌手]\r\n"_s);
        QSignalSpy noLoop(&form().playback(), &Playback::noLoop);
        form().playback().loopRow(1, Track::Accompaniment);
        QCOMPARE(noLoop.size(), 1);
        QVERIFY(noLoop.at(0).at(2).toString().contains(u"没有时间标签"_s));
        QVERIFY(!form().playback().isLooping());
    }

    // A row's loop at normal and at half speed, WAV and MP3: what the player
    // shows and tells of its turns, and what is heard on the sound server's
    // output: each turn goes from the line's end to its start without silence
    // and without losing or repeating any of it, and each round lasts the
    // span. (Slowed, the tempo filter blends the end into the start over one
    // of its pieces, some 15 ms: heard as neither.)
    void loopBounds_data()
    {
        QTest::addColumn<bool>("mp3");
        QTest::addColumn<double>("rate");
        QTest::newRow("WAV 1.0×") << false << 1.0;
        QTest::newRow("WAV 0.5×") << false << 0.5;
        QTest::newRow("MP3 1.0×") << true << 1.0;
        QTest::newRow("MP3 0.5×") << true << 0.5;
    }

    void loopBounds()
    {
        QFETCH(bool, mp3);
        QFETCH(double, rate);
        const QString file = m_dir.filePath(mp3 ? u"chirp.mp3"_s : u"chirp.wav"_s);
        const std::vector<HeardSource> sources{writeHeardFile(file, 0, 8)};
        QVERIFY(!sources.front().reference.empty());
        loadSheet(u"[00:02.00]一\r\n[00:03.00]二\r\n[00:06.00]三\r\n"_s);
        open(Track::Accompaniment, file);
        AudioPlayer &p = player(Track::Accompaniment);
        p.setRate(rate);
        form().playback().setLeadIn(0.5);
        TimedSinkRecorder recorder;
        QVERIFY(recorder.start(processNullSink()));
        QSignalSpy back(&p, &AudioPlayer::loopedBack);
        const qint64 at = monotonicNowNs();
        form().playback().loopRow(0, Track::Accompaniment); // 1.5 .. 3.0
        QCOMPARE(p.loopStart(), 1.5);
        QCOMPARE(p.loopEnd(), 3.0);
        QCOMPARE(form().WindowsMediaPlayer1()->controls()->loopStart(), 1500);
        QCOMPARE(form().WindowsMediaPlayer1()->controls()->loopEnd(), 3000);
        QTest::qWait(static_cast<int>(3 * 1500 / rate + 400));
        recorder.stop();
        // The player tells each turn, from the loop's end, as it is heard.
        QVERIFY(p.isPlaying());
        QVERIFY2(back.size() >= 2, qPrintable(QString::number(back.size())));
        QCOMPARE(p.loopRounds(), static_cast<int>(back.size()));
        for (const QList<QVariant> &turn : std::as_const(back))
            QCOMPARE(turn.at(0).toLongLong(), 3000);
        const Recording heard = recordingOf(recorder);
        const HeardDecoder decoder(sources, rate);
        const std::vector<HeardTurn> turns =
            loopTurns(decoder, heard, decoder.decode(heard), 0, at, 1.5, 3.0, rate);
        QVERIFY2(turns.size() >= 2, qPrintable(QString::number(turns.size())));
        for (const HeardTurn &t : turns) {
            const QString what =
                u"lost %1 ms of the end, %2 ms between (%3 quiet, %4 foreign), skipped %5 ms "
                u"of the start, round off by %6 ms"_s.arg(t.lostEndMs)
                    .arg(t.gapMs)
                    .arg(t.quietMs)
                    .arg(t.foreignMs)
                    .arg(t.skippedStartMs)
                    .arg(t.roundErrorMs);
            QVERIFY2(std::abs(t.lostEndMs) <= 5 && std::abs(t.skippedStartMs) <= 5,
                     qPrintable(what));
            QVERIFY2(t.quietMs <= 5 && t.gapMs <= (rate < 1 ? 30 : 5), qPrintable(what));
            QVERIFY2(std::abs(t.roundErrorMs) <= 5, qPrintable(what));
        }
    }

    // The last row loops from its lead-in to the end of the media.
    void lastRowLoopsFromTheEnd()
    {
        loadSheet(u"[00:02.00]一\r\n[00:06.50]二\r\n"_s);
        open(Track::Original, m_tone);
        QSignalSpy back(&player(Track::Original), &AudioPlayer::loopedBack);
        form().playback().loopRow(1, Track::Original);
        QCOMPARE(player(Track::Original).loopEnd(), -1.0);
        QVERIFY(waitFor([&] { return back.size() >= 1; }, 6000));
        QVERIFY(waitFor([&] { return player(Track::Original).currentPosition() < 6.5; }, 2000));
        QVERIFY(waitFor([&] { return player(Track::Original).currentPosition() > 5.6; }, 2000));
        QVERIFY(player(Track::Original).isPlaying());
    }

    // At a slower speed the tone keeps its pitch and the file plays longer,
    // as recorded from the sound server's output: the last 2 s of the tone
    // at 1.0x and at the rate.
    void pitchKept_data()
    {
        QTest::addColumn<double>("rate");
        QTest::newRow("0.9×") << 0.9;
        QTest::newRow("0.75×") << 0.75;
        QTest::newRow("0.5×") << 0.5;
    }

    void pitchKept()
    {
        QFETCH(double, rate);
        open(Track::Accompaniment, m_tone);
        AudioPlayer &p = player(Track::Accompaniment);
        const auto playTail = [&](double r) {
            p.pause();
            p.setRate(r);
            SinkRecorder recorder;
            if (!recorder.start(syj::test::processNullSink()))
                return QByteArray();
            p.setCurrentPosition(6.0);
            p.play();
            waitFor([&] { return !p.isPlaying(); }, static_cast<int>(4000 / r) + 3000);
            QTest::qWait(100);
            return recorder.stop();
        };
        const QByteArray normal = playTail(1.0);
        const QByteArray slower = playTail(rate);
        const double normalHz = toneFrequency(normal, SinkRecorder::kRate);
        const double hz = toneFrequency(slower, SinkRecorder::kRate);
        const double lasted = loudSeconds(slower, SinkRecorder::kRate);
        QVERIFY2(std::abs(normalHz - 440) <= 3, qPrintable(u"%1 Hz"_s.arg(normalHz)));
        QVERIFY2(std::abs(hz - 440) <= 3, qPrintable(u"%1 Hz"_s.arg(hz)));
        // Twice as long at half the speed.
        QVERIFY2(std::abs(lasted - 2.0 / rate) <= 0.15, qPrintable(QString::number(lasted)));

        // What the player shows.
        QCOMPARE(form().WindowsMediaPlayer1()->controls()->rate(), rate);
        QCOMPARE(form().WindowsMediaPlayer1()->controls()->stateText(), u"%1×"_s.arg(rate));
    }

    // Another file in the same player keeps its speed and its loop: the new
    // file plays from the loop's start.
    void anotherFileKeepsSpeedAndLoop()
    {
        loadSheet(sheetText());
        open(Track::Accompaniment, m_accompaniment);
        AudioPlayer &p = player(Track::Accompaniment);
        p.setRate(0.6);
        form().playback().loopRow(2, Track::Accompaniment); // 2.5 .. 5.0
        form().playback().openTrackFrom(Track::Accompaniment, m_tone);
        QVERIFY(waitFor([&] { return p.isPlaying() && p.duration() > 7; }, 10000));
        QCOMPARE(p.rate(), 0.6);
        QVERIFY(p.hasLoop());
        QCOMPARE(p.loopStart(), 2.5);
        QVERIFY(waitFor([&] { return p.currentPosition() > 2.4; }, 3000));
        QVERIFY2(p.currentPosition() < 3.5, qPrintable(QString::number(p.currentPosition())));
        QTest::qWait(1000); // the sound server takes a moment to play steadily
        const double moved = advance(Track::Accompaniment, 3000);
        QVERIFY2(std::abs(moved - 1.8) <= 0.55, qPrintable(QString::number(moved)));
        QCOMPARE(form().WindowsMediaPlayer1()->controls()->stateText(), u"循环 0.6×"_s);

        // New lyrics: the rows the loop was of are gone, and so is the loop.
        loadSheet(sheetText());
        QVERIFY(!p.hasLoop());
        QCOMPARE(form().WindowsMediaPlayer1()->controls()->stateText(), u"0.6×"_s);
    }

    // One step moves playback to the other track at the same place; the loop
    // goes along; each track keeps its own speed.
    void switchInPlace_data()
    {
        QTest::addColumn<bool>("fromOriginal");
        QTest::addColumn<bool>("looping");
        QTest::newRow("accompaniment to original") << false << false;
        QTest::newRow("original to accompaniment") << true << false;
        QTest::newRow("looping, accompaniment to original") << false << true;
    }

    void switchInPlace()
    {
        QFETCH(bool, fromOriginal);
        QFETCH(bool, looping);

        loadSheet(sheetText());
        const Track from = fromOriginal ? Track::Original : Track::Accompaniment;
        const Track to = fromOriginal ? Track::Accompaniment : Track::Original;
        open(to, fromOriginal ? m_accompaniment : m_original);
        open(from, fromOriginal ? m_original : m_accompaniment);
        player(to).setRate(0.75);
        if (looping)
            form().playback().loopRow(2, from); // 2.5 .. 5.0
        else
            form().playback().cueRow(2, from);
        QVERIFY(waitFor([&] { return player(from).currentPosition() > 3.8; }, 5000));

        QVERIFY(form().playback().switchTrack());
        const double at = player(from).currentPosition();
        QVERIFY(!player(from).isPlaying());
        QVERIFY(player(to).isPlaying());
        QVERIFY2(std::abs(player(to).currentPosition() - at) <= kNear,
                 qPrintable(u"%1 / %2"_s.arg(player(to).currentPosition()).arg(at)));
        QCOMPARE(form().playback().activeTrack(), to);
        QCOMPARE(player(to).hasLoop(), looping);
        QVERIFY(!player(from).hasLoop());
        QCOMPARE(player(to).rate(), 0.75);
        QCOMPARE(player(from).rate(), 1.0);
        if (looping) {
            QCOMPARE(player(to).loopStart(), 2.5);
            QCOMPARE(player(to).loopEnd(), 5.0);
        }
    }

    // The keys work while the writer types: the focus and the words stay,
    // and so does what an input method is composing.
    void keys_data()
    {
        QTest::addColumn<QList<int>>("keys"); // the last is the one looked at
        QTest::addColumn<bool>("composing");
        QTest::addColumn<QString>("playing"); // "accompaniment", "original" or none
        QTest::addColumn<double>("at");       // where it plays (-1: anywhere)
        QTest::addColumn<double>("rate");     // the accompaniment's
        QTest::addColumn<bool>("looping");
        QTest::addColumn<int>("dialog"); // 0 none, else the file dialog's mode + 1

        const QString acc = u"accompaniment"_s;
        const int save = int(FileDialogRequest::Mode::Save) + 1;
        const int open = int(FileDialogRequest::Mode::Open) + 1;
        using Keys = QList<int>;
        for (const bool c : {false, true}) {
            const char *ime = c ? ", composing" : "";
            QTest::addRow("F2%s", ime) << Keys{Qt::Key_F2} << c << acc << 5.0 << 1.0 << false << 0;
            QTest::addRow("F3%s", ime)
                << Keys{Qt::Key_F3} << c << u"original"_s << 5.0 << 1.0 << false << 0;
            QTest::addRow("F4%s", ime) << Keys{Qt::Key_F4} << c << acc << -1.0 << 1.0 << true << 0;
            QTest::addRow("F4 twice%s", ime)
                << Keys{Qt::Key_F4, Qt::Key_F4} << c << acc << -1.0 << 1.0 << false << 0;
            QTest::addRow("F5%s", ime)
                << Keys{Qt::Key_F2, Qt::Key_F5} << c << u"original"_s << -1.0 << 1.0 << false << 0;
            QTest::addRow("F6%s", ime) << Keys{Qt::Key_F6} << c << acc << -1.0 << 0.9 << false << 0;
            QTest::addRow("F7%s", ime)
                << Keys{Qt::Key_F6, Qt::Key_F7} << c << acc << -1.0 << 1.0 << false << 0;
            QTest::addRow("F8%s", ime)
                << Keys{Qt::Key_F8} << c << QString() << -1.0 << 1.0 << false << 0;
        }
        QTest::newRow("F6 five times: the slowest")
            << Keys(5, Qt::Key_F6) << false << acc << -1.0 << 0.5 << false << 0;
        QTest::newRow("Ctrl+S") << Keys{(Qt::CTRL | Qt::Key_S).toCombined()} << false << acc << -1.0
                                << 1.0 << false << save;
        QTest::newRow("Ctrl+O") << Keys{(Qt::CTRL | Qt::Key_O).toCombined()} << false << acc << -1.0
                                << 1.0 << false << open;
    }

    void keys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, composing);
        QFETCH(QString, playing);
        QFETCH(double, at);
        QFETCH(double, rate);
        QFETCH(bool, looping);
        QFETCH(int, dialog);

        AudioPlayer &acc = player(Track::Accompaniment);
        AudioPlayer &orig = player(Track::Original);
        loadSheet(sheetText());
        open(Track::Original, m_original);
        open(Track::Accompaniment, m_accompaniment);
        QVERIFY(activate());
        TextBox *box = form().rows().newWordsBox(5); // row 5, [00:05.00]
        box->setFocus(Qt::MouseFocusReason);
        compose(box, QString());
        box->clear();
        typeText(box, u"新词"_s);
        // The writer has played the row on the accompaniment.
        QTest::keyClick(box, Qt::Key_F2);
        if (composing)
            compose(box, u"xin"_s);
        const auto dialogs = m_platform->dialog().shown.size();

        for (const int key : std::as_const(keys))
            QTest::keyClick(box, Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));

        QCOMPARE(acc.isPlaying(), playing == u"accompaniment"_s);
        QCOMPARE(orig.isPlaying(), playing == u"original"_s);
        if (at >= 0) {
            const double heard =
                player(playing == u"original"_s ? Track::Original : Track::Accompaniment)
                    .currentPosition();
            QVERIFY2(std::abs(heard - at) <= kNear, qPrintable(QString::number(heard)));
        }
        QCOMPARE(acc.rate(), rate);
        QCOMPARE(orig.rate(), 1.0);
        QCOMPARE(form().playback().isLooping(), looping);
        QCOMPARE(m_platform->dialog().shown.size(), dialogs + (dialog ? 1 : 0));
        if (dialog)
            QCOMPARE(int(m_platform->dialog().shown.last().mode) + 1, dialog);
        // The writer's box keeps the focus, the words and the composition.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(box));
        QCOMPARE(box->isComposing(), composing);
        QCOMPARE(form().sheet().at(5).newWords, u"新词"_s);
    }

    // Enter, Down and Up move between the rows' new words and bring the row
    // into view; not while the input method composes.
    void rowKeys_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("fromOriginal"); // the focus in Text1 rather than Text2
        QTest::addColumn<int>("scrollTo");      // the bar's value before the key
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("composing");
        QTest::addColumn<int>("to");

        QTest::newRow("Enter") << 5 << false << 0 << int(Qt::Key_Return) << false << 6;
        QTest::newRow("Down") << 5 << false << 0 << int(Qt::Key_Down) << false << 6;
        QTest::newRow("Up") << 5 << false << 0 << int(Qt::Key_Up) << false << 4;
        QTest::newRow("Down from the original words")
            << 5 << true << 0 << int(Qt::Key_Down) << false << 6;
        QTest::newRow("Up from the first row") << 1 << false << 0 << int(Qt::Key_Up) << false << 1;
        QTest::newRow("Down from the last row")
            << 30 << false << 6345 << int(Qt::Key_Down) << false << 30;
        QTest::newRow("Enter while composing")
            << 5 << false << 0 << int(Qt::Key_Return) << true << 5;
        QTest::newRow("Down while composing") << 5 << false << 0 << int(Qt::Key_Down) << true << 5;
        QTest::newRow("Down past the bottom")
            << 15 << false << 0 << int(Qt::Key_Down) << false << 16;
    }

    void rowKeys()
    {
        QFETCH(int, from);
        QFETCH(bool, fromOriginal);
        QFETCH(int, scrollTo);
        QFETCH(int, key);
        QFETCH(bool, composing);
        QFETCH(int, to);

        loadSheet(longSheetText(30));
        QVERIFY(activate());
        form().VScroll1()->setValue(scrollTo);
        TextBox *start = fromOriginal ? form().rows().originalBox(from - 1)
                                      : form().rows().newWordsBox(from - 1);
        start->setFocus(Qt::MouseFocusReason);
        if (!fromOriginal)
            typeText(start, u"写好的"_s);
        if (composing)
            compose(start, u"xie"_s);

        QTest::keyClick(start, Qt::Key(key));

        QWidget *expected =
            to == from ? static_cast<QWidget *>(start) : form().rows().newWordsBox(to - 1);
        QCOMPARE(QApplication::focusWidget(), expected);
        if (!fromOriginal)
            QCOMPARE(form().sheet().at(from - 1).newWords, u"写好的"_s);
        // The row and its highlight are in the lyric area.
        const int top =
            syj::twipsTop(form().rows().newWordsBox(to - 1)) - form().VScroll1()->value();
        QVERIFY2(top - syj::kHighlightAboveRow >= 0, qPrintable(QString::number(top)));
        QVERIFY2(top + 375 + syj::kHighlightAboveRow <= syj::kLyricAreaHeight,
                 qPrintable(QString::number(top)));
        QCOMPARE(form().Label4()->text(), QString::number(u"第%1句"_s.arg(to).size()));
        // A row already in view does not scroll the panel.
        if (to == from || (from == 5 && scrollTo == 0))
            QCOMPARE(form().VScroll1()->value(), scrollTo);
    }

    // A row's buttons play without taking the focus from the box typed in;
    // F2 then plays the row being written.
    void rowButtonsLeaveTheFocus()
    {
        loadSheet(sheetText());
        open(Track::Accompaniment, m_accompaniment);
        QVERIFY(activate());
        TextBox *box = form().rows().newWordsBox(2);
        box->setFocus(Qt::MouseFocusReason);
        typeText(box, u"词"_s);
        QTest::mouseClick(form().rows().accompanimentButton(5), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(box));
        QVERIFY(waitFor([&] { return player(Track::Accompaniment).currentPosition() >= 5.0; }));
        QVERIFY(player(Track::Accompaniment).currentPosition() < 5.0 + kNear);
        QTest::keyClick(box, Qt::Key_F2);
        QVERIFY2(std::abs(player(Track::Accompaniment).currentPosition() - 3.5) <= kNear,
                 qPrintable(QString::number(player(Track::Accompaniment).currentPosition())));
        QCOMPARE(box->text(), u"词"_s);
    }

    // A loop changed while it plays: the round under way ends where the new
    // span says, and with the loop stopped playback goes on past the old end.
    void loopChangedWhilePlaying_data()
    {
        QTest::addColumn<double>("start"); // the new span; -1: the loop stopped
        QTest::addColumn<double>("end");
        QTest::addColumn<double>("reaches");
        QTest::newRow("stopped") << -1.0 << -1.0 << 3.6;
        QTest::newRow("a later end") << 1.5 << 4.0 << 3.9;
        QTest::newRow("a later start") << 2.2 << 3.0 << 2.9;
    }

    void loopChangedWhilePlaying()
    {
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(double, reaches);

        loadSheet(sheetText());
        open(Track::Accompaniment, m_tone);
        AudioPlayer &p = player(Track::Accompaniment);
        p.setLoop(1.5, 3.0);
        p.setCurrentPosition(1.5);
        QVERIFY(waitFor([&] { return p.currentPosition() > 2.0; }, 3000));
        if (start < 0)
            p.clearLoop();
        else
            p.setLoop(start, end);

        // Where playback goes in the next 3 s: how far, and how far back
        // once it has gone back.
        double highest = 0;
        double lowestAfterTurn = 99;
        double last = 0;
        bool turned = false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 3000) {
            QTest::qWait(10);
            const double at = p.currentPosition();
            turned = turned || at < last - 0.2;
            if (turned)
                lowestAfterTurn = std::min(lowestAfterTurn, at);
            highest = std::max(highest, at);
            last = at;
        }
        QVERIFY2(highest >= reaches, qPrintable(QString::number(highest)));
        QVERIFY(p.isPlaying());
        if (start < 0)
            return;
        QVERIFY2(highest <= end + 0.1, qPrintable(QString::number(highest)));
        QVERIFY(turned);
        QVERIFY2(lowestAfterTurn >= start - 0.05, qPrintable(QString::number(lowestAfterTurn)));
    }
};

SYJ_HEARD_WINDOW_TEST_MAIN(TestListening)

#include "tst_listening.moc"
