// The two players driven by the window's four handlers: opening the
// accompaniment and the original, and playing either from a row's time.
// The real players play short tones written by the test through a sound
// server of the test's own (a PulseAudio null sink). Positions are compared
// within TOLERANCE seconds: a busy machine can take a tenth of a second or two
// between the command and the look; an 8 kHz WAV seeks to the sample.
#include "app/application.h"
#include "app/form1.h"
#include "app/rowpanel.h"
#include "platform/mediaplayer.h"
#include "playback/playback.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"
#include "support/heard.h"
#include "support/scripted.h"
#include "support/sound.h"
#include "support/wav.h"
#include "support/widgets.h"
#include "support/window.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace syj;
using namespace syj::test;

namespace {

constexpr double TOLERANCE = 0.3;

bool near(double a, double b)
{
    return std::abs(a - b) <= TOLERANCE;
}

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_accompaniment; // 8 s
    QString m_original;      // 8 s
    // The two players' chirps (heard.h), as WAV and as MP3, and what tells
    // them apart on the output.
    QString m_chirps[2][2];
    std::vector<HeardSource> m_heard[2];
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<ScriptedPlatform> m_platform;

    // The players inside the window's two player widgets.
    AudioPlayer *wmp1() const { return m_form->WindowsMediaPlayer1()->player(); }
    AudioPlayer *wmp2() const { return m_form->WindowsMediaPlayer2()->player(); }

    // Rows: 1 info, 2 [00:01.50], 3 [00:00.00], 4 [ab:cd.ef], 5 [00:05.25].
    void loadRows()
    {
        const QString lrc = m_dir.filePath(u"rows.lrc"_s);
        writeFile(
            lrc,
            gbk(u"[ti:测试]\r\n[00:01.50]一\r\n[00:00.00]二\r\n[ab:cd.ef]三\r\n[00:05.25]四\r\n"_s));
        m_form->commands().loadOriginalLyrics(lrc);
        QCOMPARE(m_form->sheet().rowCount(), 5);
    }

    // Opens `file` through the window's open button for `player` (1 or 2).
    void open(int player, const QString &file)
    {
        m_platform->choose(file);
        if (player == 1)
            m_form->dcButton1_Click();
        else
            m_form->dcButton4_Click();
        AudioPlayer *p = player == 1 ? wmp1() : wmp2();
        QVERIFY(waitFor([p] { return p->isPlaying() && p->currentPosition() > 0.05; }));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_accompaniment = m_dir.filePath(u"伴奏.wav"_s);
        m_original = m_dir.filePath(u"原唱.wav"_s);
        QVERIFY(writeToneWav(m_accompaniment, 8.0, 8000, 330));
        QVERIFY(writeToneWav(m_original, 8.0, 8000, 550));
        for (int kind = 0; kind < 2; ++kind) {
            for (int player = 0; player < 2; ++player) {
                m_chirps[kind][player] =
                    m_dir.filePath(u"chirp%1.%2"_s.arg(player).arg(kind ? u"mp3"_s : u"wav"_s));
                m_heard[kind].push_back(writeHeardFile(m_chirps[kind][player], player, 10));
                QVERIFY(!m_heard[kind].back().reference.empty());
            }
        }
    }

    void init()
    {
        m_platform = std::make_unique<ScriptedPlatform>();
        m_form = std::make_unique<Form1>(*m_platform);
        m_form->show();
        loadRows();
    }

    void cleanup()
    {
        m_form.reset();
        m_platform.reset();
    }

    void startState()
    {
        for (MediaPlayer *w : {m_form->WindowsMediaPlayer1(), m_form->WindowsMediaPlayer2()}) {
            const AudioPlayer *p = w->player();
            QVERIFY(p->URL().isEmpty());
            QVERIFY(!p->isPlaying());
            QCOMPARE(p->volume(), 50);
            QVERIFY(w->isVisible());
            QVERIFY(w->controls()->isVisible());
        }
    }

    void openStartsFromBeginningAndPausesTheOther_data()
    {
        QTest::addColumn<int>("player");
        QTest::newRow("打开伴奏音乐") << 1;
        QTest::newRow("打开原唱音乐") << 2;
    }

    void openStartsFromBeginningAndPausesTheOther()
    {
        QFETCH(int, player);
        AudioPlayer *self = player == 1 ? wmp1() : wmp2();
        AudioPlayer *other = player == 1 ? wmp2() : wmp1();
        open(player == 1 ? 2 : 1, player == 1 ? m_original : m_accompaniment);
        QTest::qWait(300);
        QVERIFY(other->isPlaying());

        m_platform->choose(player == 1 ? m_accompaniment : m_original);
        if (player == 1)
            m_form->dcButton1_Click();
        else
            m_form->dcButton4_Click();
        QCOMPARE(self->URL(), player == 1 ? m_accompaniment : m_original);
        QVERIFY(waitFor([self] { return self->isPlaying(); }));
        QVERIFY2(self->currentPosition() < TOLERANCE + 0.2,
                 qPrintable(QString::number(self->currentPosition())));
        QVERIFY(!other->isPlaying());
        const double held = other->currentPosition();
        QTest::qWait(300);
        QVERIFY(near(other->currentPosition(), held));

        // The dialog was the shared open set-up.
        const FileDialogRequest &r = m_platform->dialog().shown.last();
        QCOMPARE(r.mode, FileDialogRequest::Mode::Open);
        QCOMPARE(r.options, syj::FileOptions(syj::FileOption::FileMustExist));
        QCOMPARE(r.filter, u"音乐文件(*.*)|*.*|"_s);
    }

    void sameFileAgainStartsAgain()
    {
        open(1, m_accompaniment);
        QTest::qWait(600);
        QVERIFY(wmp1()->currentPosition() > 0.4);
        m_platform->choose(m_accompaniment);
        m_form->dcButton1_Click();
        QVERIFY(waitFor([this] { return wmp1()->isPlaying() && wmp1()->currentPosition() < 0.3; }));
    }

    void cancelledDialogTouchesNeitherPlayer_data()
    {
        QTest::addColumn<int>("button"); // 1 or 4
        QTest::newRow("打开伴奏音乐") << 1;
        QTest::newRow("打开原唱音乐") << 4;
    }

    void cancelledDialogTouchesNeitherPlayer()
    {
        QFETCH(int, button);
        open(1, m_accompaniment);
        m_platform->cancel();
        if (button == 1)
            m_form->dcButton1_Click();
        else
            m_form->dcButton4_Click();
        QCOMPARE(m_platform->box().shown.size(), 1);
        const MessageBoxRequest &box = m_platform->box().shown.first();
        QCOMPARE(box.text, u"没有找到文件"_s);
        QCOMPARE(box.title, u"检查"_s);
        QCOMPARE(box.buttons, MsgButtons::RetryCancel);
        QCOMPARE(box.icon, MsgIcon::Question);
        QCOMPARE(wmp1()->URL(), m_accompaniment);
        QVERIFY(wmp2()->URL().isEmpty());
        const double before = wmp1()->currentPosition();
        QTest::qWait(300);
        QVERIFY(wmp1()->isPlaying());
        QVERIFY(wmp1()->currentPosition() > before);
    }

    void rowPlaysFromItsTime_data()
    {
        QTest::addColumn<int>("button"); // 2 = 伴奏, 5 = 原唱
        QTest::addColumn<int>("row");
        QTest::addColumn<double>("seconds");
        QTest::newRow("伴奏 at [00:01.50]") << 2 << 2 << 1.5;
        QTest::newRow("原唱 at [00:01.50]") << 5 << 2 << 1.5;
        QTest::newRow("伴奏 at [00:00.00] plays from the start") << 2 << 3 << 0.0;
        QTest::newRow("原唱 at [00:05.25]") << 5 << 5 << 5.25;
    }

    void rowPlaysFromItsTime()
    {
        QFETCH(int, button);
        QFETCH(int, row);
        QFETCH(double, seconds);
        open(1, m_accompaniment);
        open(2, m_original);
        AudioPlayer *self = button == 2 ? wmp1() : wmp2();
        AudioPlayer *other = button == 2 ? wmp2() : wmp1();
        if (!other->isPlaying())
            other->play();
        QVERIFY(waitFor([other] { return other->isPlaying(); }));
        QTest::qWait(700); // both somewhere past the row's time

        if (button == 2)
            m_form->dcButton2_Click(row);
        else
            m_form->dcButton5_Click(row);
        QVERIFY(!other->isPlaying());
        QVERIFY(waitFor(
            [&] { return self->isPlaying() && near(self->currentPosition(), seconds + 0.05); }));
        const double held = other->currentPosition();
        QTest::qWait(400);
        QVERIFY(self->isPlaying());
        QVERIFY(self->currentPosition() > seconds + 0.2);
        QVERIFY(near(other->currentPosition(), held));
    }

    void secondRowJumps()
    {
        open(1, m_accompaniment);
        m_form->dcButton2_Click(5);
        QVERIFY(waitFor([this] { return near(wmp1()->currentPosition(), 5.3); }));
        m_form->dcButton2_Click(2);
        QVERIFY(waitFor([this] { return near(wmp1()->currentPosition(), 1.55); }));
        QTest::qWait(300);
        QVERIFY(wmp1()->isPlaying());
    }

    void clickWhilePausedStillPositionsAndPlays()
    {
        open(2, m_original);
        wmp2()->pause();
        QVERIFY(waitFor([this] { return !wmp2()->isPlaying(); }));
        m_form->dcButton5_Click(5);
        QVERIFY(waitFor(
            [this] { return wmp2()->isPlaying() && near(wmp2()->currentPosition(), 5.3); }));
    }

    void infoRowChangesNothing_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("伴奏") << 2;
        QTest::newRow("原唱") << 5;
    }

    void infoRowChangesNothing()
    {
        QFETCH(int, button);
        open(1, m_accompaniment);
        open(2, m_original);
        wmp1()->play();
        QVERIFY(waitFor([this] { return wmp1()->isPlaying() && wmp2()->isPlaying(); }));
        const double p1 = wmp1()->currentPosition(), p2 = wmp2()->currentPosition();
        if (button == 2)
            m_form->dcButton2_Click(1);
        else
            m_form->dcButton5_Click(1);
        QTest::qWait(300);
        QVERIFY(wmp1()->isPlaying());
        QVERIFY(wmp2()->isPlaying());
        QVERIFY(wmp1()->currentPosition() > p1);
        QVERIFY(wmp2()->currentPosition() > p2);
        QVERIFY(m_platform->box().shown.isEmpty());
    }

    void tagWithoutNumbersPausesOtherOnly()
    {
        open(1, m_accompaniment);
        open(2, m_original);
        wmp1()->pause();
        QVERIFY(waitFor([this] { return !wmp1()->isPlaying(); }));
        const double held = wmp1()->currentPosition();
        QVERIFY(wmp2()->isPlaying());

        m_form->dcButton2_Click(4); // [ab:cd.ef]
        QVERIFY(!wmp2()->isPlaying());
        QTest::qWait(300);
        QVERIFY(!wmp1()->isPlaying());
        QVERIFY(near(wmp1()->currentPosition(), held));
        QVERIFY(m_platform->box().shown.isEmpty()); // no modal box
    }

    void rowBeforeAnyFileOnlyPausesTheOther()
    {
        open(2, m_original);
        m_form->dcButton2_Click(2);
        QVERIFY(!wmp2()->isPlaying());
        QTest::qWait(200);
        QVERIFY(wmp1()->URL().isEmpty());
        QVERIFY(!wmp1()->isPlaying());
        QVERIFY(m_platform->box().shown.isEmpty());
    }

    void rowButtonsWiredToTheirRow()
    {
        // A real click on row 5's 原唱 button plays the original from 5.25 s.
        open(2, m_original);
        QTest::mouseClick(m_form->rows().recordingButton(4), Qt::LeftButton);
        QVERIFY(waitFor([this] { return near(wmp2()->currentPosition(), 5.3); }));
    }

    // What a row's button makes heard on the sound server's output: the
    // first sound of its player after the click is the row's place, at once,
    // whatever the player was doing, and the other player falls silent.
    void cueHeard_data()
    {
        QTest::addColumn<QString>("before"); // what the player was doing
        QTest::addColumn<int>("kind");       // 0 WAV, 1 MP3
        QTest::addColumn<double>("rate");
        for (const QString &before :
             {u"playing"_s, u"paused"_s, u"other playing"_s, u"just opened"_s}) {
            QTest::addRow("%s, WAV", qPrintable(before)) << before << 0 << 1.0;
            QTest::addRow("%s, MP3", qPrintable(before)) << before << 1 << 1.0;
        }
        QTest::newRow("playing, WAV, 0.5×") << u"playing"_s << 0 << 0.5;
        QTest::newRow("paused, MP3, 0.5×") << u"paused"_s << 1 << 0.5;
    }

    void cueHeard()
    {
        QFETCH(QString, before);
        QFETCH(int, kind);
        QFETCH(double, rate);
        // The original on row 5 ([00:05.25]), after row 2 ([00:01.50]).
        AudioPlayer *self = wmp2();
        open(1, m_chirps[kind][0]);
        open(2, m_chirps[kind][1]);
        self->setRate(rate);
        if (before == u"other playing"_s) {
            m_form->dcButton2_Click(2);
        } else if (before != u"just opened"_s) {
            m_form->dcButton5_Click(2);
            if (before == u"paused"_s) {
                QTest::qWait(600);
                m_form->playback().pauseBoth();
            }
        }
        TimedSinkRecorder recorder;
        QVERIFY(recorder.start(processNullSink()));
        QTest::qWait(600);

        const qint64 at = monotonicNowNs();
        if (before == u"just opened"_s) {
            m_platform->choose(m_chirps[kind][1]);
            m_form->dcButton4_Click();
        }
        m_form->dcButton5_Click(5);
        QTest::qWait(800);
        recorder.stop();
        const Recording recording = recordingOf(recorder);
        const HeardDecoder decoder(m_heard[kind], rate);
        const std::vector<HeardSegment> heard = decoder.decode(recording);
        const qint64 ms = 1'000'000;
        const auto nearTheRow = [](const HeardSegment &s, double) {
            return std::abs(s.placeFrom - 5.25) <= 0.1;
        };
        const HeardSegment *row = firstHeard(heard, 1, at - 50 * ms, at + 700 * ms, nearTheRow);
        QVERIFY2(row, "the row was not heard");
        QVERIFY2(std::abs(row->placeFrom - 5.25) <= 0.015,
                 qPrintable(u"first heard at %1 s of the file"_s.arg(row->placeFrom)));
        const double after = static_cast<double>(row->fromNs - at) / 1e6;
        QVERIFY2(after <= 150, qPrintable(u"first heard %1 ms after the click"_s.arg(after)));
        // Nothing else began first (slowed, the tempo filter could play what
        // it held of the place before), and the accompaniment is not heard
        // once the original is.
        QVERIFY(!firstHeard(heard, 1, at + 5 * ms, row->fromNs - 1));
        const double other =
            decoder.gapBetween(recording, heard, recording.sampleAt(at), row->recFrom).foreignMs;
        QVERIFY2(other <= 5, qPrintable(u"%1 ms of other sound first"_s.arg(other)));
        QVERIFY(!firstHeard(heard, 0, row->fromNs + 50 * ms, at + 800 * ms));
    }

    void unplayableFileShowsInThePlayer()
    {
        const QString bad = m_dir.filePath(u"坏.mp3"_s);
        writeGarbageFile(bad);
        open(2, m_original);
        m_platform->choose(bad);
        m_form->dcButton1_Click();
        QVERIFY(waitFor([this] { return !wmp1()->errorText().isEmpty(); }));
        QVERIFY(!wmp2()->isPlaying()); // the other was paused all the same
        QVERIFY(m_platform->box().shown.isEmpty());
        m_form->dcButton2_Click(2); // still harmless
        QVERIFY(m_form->isVisible());
    }
};

SYJ_HEARD_WINDOW_TEST_MAIN(TestPlayback)

#include "tst_playback.moc"
