// The embedded player on short tones written for the test, playing through a
// sound server of the test's own (a PulseAudio null sink): what playing does
// through AudioPlayer alone, what the user sees and clicks through the
// MediaPlayer widget and its face.
//
// Positions are compared with a wall clock, so the checks allow TOLERANCE
// seconds: between asking for the position and the event loop getting round
// to the check, a busy machine can lose a tenth of a second or two.

#include "platform/mediaplayer.h"
#include "player/audioplayer.h"
#include "support/sound.h"
#include "support/wav.h"
#include "support/widgets.h"
#include "support/window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QSlider>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gst/gst.h>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using syj::AudioPlayer;
using syj::MediaControls;
using syj::MediaPlayer;
using syj::PlaybackState;
using syj::test::waitFor;

namespace {

constexpr double TOLERANCE = 0.3;
constexpr int LOAD_TIMEOUT_MS = 5000;

QStringList actionTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *a : menu->actions()) {
        if (!a->isSeparator())
            texts << a->text();
    }
    return texts;
}

// Where a change of volume or mute comes from: the program, through the
// player, or the user, through the face.
enum Change {
    NoChange,
    PlayerVolume,
    VolumeSlider,
    LouderInMenu,
    PlayerMute,
    MuteButton,
    MuteInMenu
};

QAction *findAction(const QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

} // namespace

class TestMediaPlayer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_long;  // 4 s
    QString m_short; // 1 s
    QString m_mp3;   // 4 s, no length header

    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Opens the file and waits until its sound goes on.
    static bool startPlaying(AudioPlayer &p, const QString &path)
    {
        p.setURL(path);
        const bool ok = waitFor([&] { return sounding(p); });
        if (!ok)
            qWarning("did not start: %s", describe(p).constData());
        return ok;
    }

    // Opened, playing, and gone on from the place it started at.
    static bool sounding(const AudioPlayer &p)
    {
        return p.isLoaded() && p.playbackState() == PlaybackState::Playing &&
               p.currentPosition() > 0.05;
    }

    static QByteArray describe(const AudioPlayer &p)
    {
        return u"loaded %1, state %2, playing %3, at %4, error '%5'"_s.arg(p.isLoaded())
            .arg(int(p.playbackState()))
            .arg(p.isPlaying())
            .arg(p.currentPosition())
            .arg(p.errorText())
            .toUtf8();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_long = file(u"伴奏.wav"_s);
        m_short = file(u"short.wav"_s);
        QVERIFY(syj::test::writeToneWav(m_long, 4.0));
        QVERIFY(syj::test::writeToneWav(m_short, 1.0));
        m_mp3 = file(u"原唱.mp3"_s);
        QVERIFY(syj::test::writeSilentMp3(m_mp3, 4.0));
    }

    void startsEmpty()
    {
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        w.resize(377, 65);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QVERIFY(p.URL().isEmpty());
        QCOMPARE(p.volume(), 50);
        QVERIFY(!p.isPlaying());
        QCOMPARE(p.currentPosition(), 0.0);
        QVERIFY(p.errorText().isEmpty());
        QCOMPARE(w.controls()->fileText(), u"未打开文件"_s);
        QCOMPARE(w.findChild<QLabel *>(u"timeLabel"_s)->text(), u"00:00 / 00:00"_s);
        QVERIFY(!w.findChild<QAbstractButton *>(u"playButton"_s)->isEnabled());

        // Every control is shown, whole, inside the 377 x 65 place.
        const QStringList names = {u"playButton"_s,   u"stopButton"_s, u"seekSlider"_s,
                                   u"volumeSlider"_s, u"muteButton"_s, u"timeLabel"_s,
                                   u"fileLabel"_s};
        for (const QString &name : names) {
            const auto *part = w.findChild<QWidget *>(name);
            QVERIFY2(part, qPrintable(name));
            QVERIFY2(part->isVisible(), qPrintable(name));
            const QRect r(part->mapTo(&w, QPoint(0, 0)), part->size());
            QVERIFY2(!r.isEmpty() && w.rect().contains(r),
                     qPrintable(name + u" lies outside the player"_s));
        }
        QVERIFY(w.findChild<QSlider *>(u"seekSlider"_s)->width() >= 100);

        // The media framework is started by the first file, not the window.
        QVERIFY(!gst_is_initialized());
    }

    void commandsOnEmptyPlayerAreHarmless()
    {
        AudioPlayer p;
        QSignalSpy errors(&p, &AudioPlayer::errorOccurred);
        p.pause();
        p.play();
        p.setCurrentPosition(3.0);
        p.stop();
        p.pause();
        QCOMPARE(p.playbackState(), PlaybackState::Stopped);
        QVERIFY(!p.isPlaying());
        QCOMPARE(p.currentPosition(), 0.0);
        QVERIFY(p.errorText().isEmpty());
        QCOMPARE(errors.count(), 0);
    }

    void setUrlPlaysFromBeginning()
    {
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        QSignalSpy playing(&p, &AudioPlayer::playingChanged);
        p.setURL(m_long);
        QCOMPARE(p.URL(), m_long);
        QVERIFY(p.isPlaying()); // on its way
        QTRY_VERIFY_WITH_TIMEOUT(sounding(p), LOAD_TIMEOUT_MS);
        QVERIFY(p.currentPosition() < TOLERANCE);
        QCOMPARE(w.controls()->fileText(), u"伴奏.wav"_s);

        // It plays in real time.
        const double start = p.currentPosition();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(500);
        const double expected = start + clock.elapsed() / 1000.0;
        QVERIFY2(qAbs(p.currentPosition() - expected) < TOLERANCE,
                 qPrintable(u"at %1, expected %2"_s.arg(p.currentPosition()).arg(expected)));
        QCOMPARE(playing.count(), 1);
        QCOMPARE(playing.first().first().toBool(), true);
        QVERIFY(w.findChild<QSlider *>(u"seekSlider"_s)->isEnabled());
    }

    void sameUrlStartsAgain()
    {
        AudioPlayer p;
        QVERIFY(startPlaying(p, m_long));
        p.setCurrentPosition(2.5);
        QTRY_VERIFY_WITH_TIMEOUT(p.currentPosition() >= 2.5, LOAD_TIMEOUT_MS);

        p.setURL(m_long);
        QVERIFY(p.currentPosition() < TOLERANCE);
        QTRY_VERIFY_WITH_TIMEOUT(sounding(p), LOAD_TIMEOUT_MS);
        QVERIFY2(p.currentPosition() < 1.0, qPrintable(QString::number(p.currentPosition())));
        QTest::qWait(200);
        QVERIFY(p.isPlaying());
        QVERIFY(p.currentPosition() < 1.0);
    }

    void sameFileWrittenAnewIsLoadedAgain()
    {
        // The writer exports a new mix of the accompaniment under the same name.
        const QString path = file(u"mix.wav"_s);
        QVERIFY(syj::test::writeToneWav(path, 4.0));
        AudioPlayer p;
        QVERIFY(startPlaying(p, path));
        QTRY_VERIFY(qAbs(p.duration() - 4.0) < 0.01);

        QVERIFY(syj::test::writeToneWav(path, 2.0));
        QVERIFY(startPlaying(p, path));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(p.duration() - 2.0) < 0.01, LOAD_TIMEOUT_MS);
        QVERIFY(p.currentPosition() < 1.0);
    }

    void sameFileIsTriedAgainAfterItFailed()
    {
        const QString path = file(u"late.wav"_s);
        QVERIFY(syj::test::writeGarbageFile(path));
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        p.setURL(path);
        QTRY_VERIFY_WITH_TIMEOUT(!p.errorText().isEmpty(), LOAD_TIMEOUT_MS);

        QVERIFY(syj::test::writeToneWav(path, 2.0));
        QVERIFY(startPlaying(p, path));
        QVERIFY(p.errorText().isEmpty());
        QVERIFY(!w.controls()->showsError());
    }

    void seekLandsAtRequestedTime_data()
    {
        QTest::addColumn<double>("target");
        QTest::addColumn<bool>("pausedFirst");
        QTest::newRow("forward while playing") << 2.5 << false;
        QTest::newRow("back to the start while playing") << 0.0 << false;
        QTest::newRow("while paused, then play") << 1.5 << true;
        QTest::newRow("fraction of a second") << 3.25 << false;
    }

    void seekLandsAtRequestedTime()
    {
        QFETCH(double, target);
        QFETCH(bool, pausedFirst);

        MediaPlayer w;
        AudioPlayer &p = *w.player();
        QVERIFY(startPlaying(p, m_long));
        QTest::qWait(300);
        if (pausedFirst) {
            p.pause();
            QCOMPARE(p.playbackState(), PlaybackState::Paused);
        }
        p.setCurrentPosition(target);
        QVERIFY(qAbs(w.controls()->position() / 1000.0 - target) < 0.001);
        if (pausedFirst) {
            QTest::qWait(200);
            QVERIFY2(qAbs(p.currentPosition() - target) < 0.001,
                     qPrintable(QString::number(p.currentPosition())));
            p.play();
        }
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(400);
        const double expected = target + clock.elapsed() / 1000.0;
        QVERIFY2(qAbs(p.currentPosition() - expected) < TOLERANCE,
                 qPrintable(u"at %1, expected %2"_s.arg(p.currentPosition()).arg(expected)));
        QCOMPARE(p.playbackState(), PlaybackState::Playing);
        QVERIFY(p.isPlaying());
    }

    void positionGivenWhileLoadingIsKept_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("playAgain");
        QTest::addColumn<bool>("userMuted");
        QTest::newRow("wav: setURL then position") << m_long << false << false;
        QTest::newRow("wav: setURL, position, play") << m_long << true << false;
        // An MP3 without a length header: its length is a guess at first.
        QTest::newRow("mp3: setURL then position") << m_mp3 << false << false;
        QTest::newRow("mp3: setURL, position, play") << m_mp3 << true << false;
        QTest::newRow("mp3, muted by the user") << m_mp3 << false << true;
    }

    void positionGivenWhileLoadingIsKept()
    {
        QFETCH(QString, path);
        QFETCH(bool, playAgain);
        QFETCH(bool, userMuted);

        MediaPlayer w;
        AudioPlayer &p = *w.player();
        if (userMuted)
            w.controls()->setMuted(true);
        p.setURL(path);
        QVERIFY(!p.isLoaded());
        p.setCurrentPosition(2.0);
        if (playAgain)
            p.play();
        QCOMPARE(p.currentPosition(), 2.0);
        QVERIFY(p.isPlaying());

        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(p.isLoaded(), LOAD_TIMEOUT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(p.currentPosition() > 2.1, LOAD_TIMEOUT_MS);
        const double pos = p.currentPosition();
        QVERIFY2(pos <= 2.0 + clock.elapsed() / 1000.0 + TOLERANCE,
                 qPrintable(QString::number(pos)));
        QCOMPARE(p.isMuted(), userMuted);
        QCOMPARE(w.controls()->isMuted(), userMuted);
    }

    void seekRightAfterStartIsKept()
    {
        // Playing, but too soon to know the MP3's length.
        AudioPlayer p;
        QVERIFY(startPlaying(p, m_mp3));
        p.setCurrentPosition(3.0);
        QCOMPARE(p.currentPosition(), 3.0);
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(p.currentPosition() > 3.1, LOAD_TIMEOUT_MS);
        QVERIFY2(p.currentPosition() <= 3.0 + clock.elapsed() / 1000.0 + TOLERANCE,
                 qPrintable(QString::number(p.currentPosition())));
    }

    void positionOutOfRange_data()
    {
        QTest::addColumn<double>("asked");
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        QTest::newRow("negative") << -3.0 << 0.0 << TOLERANCE;
        QTest::newRow("not a number") << qQNaN() << 0.0 << TOLERANCE;
        QTest::newRow("past the end") << 60.0 << 3.0 << 4.0;
        QTest::newRow("infinite") << qInf() << 3.0 << 4.0;
    }

    void positionOutOfRange()
    {
        QFETCH(double, asked);
        QFETCH(double, lowest);
        QFETCH(double, highest);

        AudioPlayer p;
        QVERIFY(startPlaying(p, m_long));
        p.pause();
        p.setCurrentPosition(asked);
        QTest::qWait(100);
        const double pos = p.currentPosition();
        QVERIFY2(pos >= lowest && pos <= highest, qPrintable(QString::number(pos)));
        QVERIFY(p.errorText().isEmpty());
    }

    void pauseHalts()
    {
        AudioPlayer p;
        QVERIFY(startPlaying(p, m_long));
        QTest::qWait(300);
        p.pause();
        QVERIFY(!p.isPlaying());
        QCOMPARE(p.playbackState(), PlaybackState::Paused);
        const double held = p.currentPosition();
        QVERIFY(held > 0.1);
        QTest::qWait(500);
        QVERIFY2(qAbs(p.currentPosition() - held) < 0.05,
                 qPrintable(u"%1 then %2"_s.arg(held).arg(p.currentPosition())));

        // Pausing again changes nothing; play carries on from where it was.
        p.pause();
        QCOMPARE(p.playbackState(), PlaybackState::Paused);
        p.play();
        QCOMPARE(p.playbackState(), PlaybackState::Playing);
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(300);
        const double expected = held + clock.elapsed() / 1000.0;
        QVERIFY2(qAbs(p.currentPosition() - expected) < TOLERANCE,
                 qPrintable(u"at %1, expected %2"_s.arg(p.currentPosition()).arg(expected)));
    }

    void pauseWhenStoppedStaysStopped()
    {
        AudioPlayer p;
        QVERIFY(startPlaying(p, m_long));
        p.stop();
        QCOMPARE(p.playbackState(), PlaybackState::Stopped);
        QCOMPARE(p.currentPosition(), 0.0);
        p.pause();
        QTest::qWait(100);
        QCOMPARE(p.playbackState(), PlaybackState::Stopped);
        QVERIFY(!p.isPlaying());
        QCOMPARE(p.currentPosition(), 0.0);
    }

    void pauseWhileLoadingCancelsTheStart()
    {
        AudioPlayer p;
        p.setURL(m_long);
        p.pause();
        QVERIFY(!p.isPlaying());
        QTest::qWait(500);
        QVERIFY(p.isLoaded());
        QVERIFY(p.playbackState() != PlaybackState::Playing);
        QCOMPARE(p.currentPosition(), 0.0);
        QVERIFY(p.errorText().isEmpty());
    }

    void playsAgainAfterTheEnd()
    {
        AudioPlayer p;
        QVERIFY(startPlaying(p, m_short));
        QTRY_VERIFY_WITH_TIMEOUT(p.playbackState() == PlaybackState::Stopped, LOAD_TIMEOUT_MS);
        QVERIFY(!p.isPlaying());
        QCOMPARE(p.currentPosition(), p.duration());

        p.setCurrentPosition(0.5);
        p.play();
        QTRY_VERIFY(sounding(p));
        QTest::qWait(100);
        const double pos = p.currentPosition();
        QVERIFY2(pos >= 0.5 - 0.05 && pos < 0.5 + TOLERANCE + 0.1,
                 qPrintable(QString::number(pos)));

        // Play alone, after the end, starts from the beginning.
        QTRY_VERIFY_WITH_TIMEOUT(p.playbackState() == PlaybackState::Stopped, LOAD_TIMEOUT_MS);
        p.play();
        QTRY_VERIFY(sounding(p));
        QVERIFY2(p.currentPosition() < TOLERANCE, qPrintable(QString::number(pos)));
    }

    void unplayableFileShowsInTheWidget_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // empty: write the broken RIFF
        QTest::newRow("broken RIFF") << u"broken.wav"_s << QByteArray();
        QTest::newRow("noise named mp3") << u"noise.mp3"_s << QByteArray(3000, '\x5a');
        QTest::newRow("text named flac") << u"lyrics.flac"_s << QByteArray("just words\n");
        QTest::newRow("empty file") << u"empty.ogg"_s << QByteArray("");
        QTest::newRow("missing") << u"missing.mp3"_s << QByteArray();
        // A named pipe would hold whoever opens it until a writer comes.
        QTest::newRow("named pipe") << u"pipe.mp3"_s << QByteArray();
    }

    void unplayableFileShowsInTheWidget()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);

        const QString path = file(name);
        if (name == u"missing.mp3"_s) {
            QFile::remove(path);
        } else if (name == u"pipe.mp3"_s) {
            QFile::remove(path);
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (bytes.isNull()) {
            QVERIFY(syj::test::writeGarbageFile(path));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }

        MediaPlayer w;
        AudioPlayer &p = *w.player();
        w.resize(377, 65);
        w.show();
        QSignalSpy errors(&p, &AudioPlayer::errorOccurred);
        p.setURL(path);
        QTRY_VERIFY_WITH_TIMEOUT(!p.errorText().isEmpty(), LOAD_TIMEOUT_MS);
        QVERIFY(errors.count() >= 1);
        QVERIFY(w.controls()->showsError());
        QCOMPARE(w.controls()->fileText(), u"无法播放："_s + name);
        const auto *label = w.findChild<QLabel *>(u"fileLabel"_s);
        QVERIFY(label->toolTip().contains(p.errorText()));
        QVERIFY(!p.isPlaying());
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        // Nothing to do with it, and asking does no harm.
        p.play();
        p.setCurrentPosition(1.0);
        p.pause();
        QVERIFY(!p.isPlaying());
        QCOMPARE(p.currentPosition(), 0.0);

        // The next good file plays, and the name line is back to normal.
        QVERIFY(startPlaying(p, m_long));
        QVERIFY(p.errorText().isEmpty());
        QVERIFY(!w.controls()->showsError());
        QCOMPARE(w.controls()->fileText(), u"伴奏.wav"_s);
    }

    // What a file that could not be played says about itself comes after
    // the next file has been given; it belongs to the file before, and the
    // next one plays.
    void reportsOfTheFileBeforeAreNotTheNextOnes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // null: missing
        QTest::addColumn<int>("afterMs");      // how long the first file had
        QTest::newRow("missing, at once") << u"gone.mp3"_s << QByteArray() << 0;
        QTest::newRow("words, at once") << u"words.mp3"_s << QByteArray("not music\n") << 0;
        QTest::newRow("words, as it fails") << u"words2.mp3"_s << QByteArray("not music\n") << 15;
        QTest::newRow("a good file, at once") << u"good.wav"_s << QByteArray("tone") << 0;
    }

    void reportsOfTheFileBeforeAreNotTheNextOnes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, afterMs);
        const QString first = file(name);
        QFile::remove(first);
        if (bytes == "tone") {
            QVERIFY(syj::test::writeToneWav(first, 1.0));
        } else if (!bytes.isNull()) {
            QFile f(first);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        p.setURL(first);
        if (afterMs > 0)
            QTest::qWait(afterMs);
        QSignalSpy errors(&p, &AudioPlayer::errorOccurred);
        p.setURL(m_long);
        QVERIFY2(waitFor([&] { return sounding(p); }), describe(p).constData());
        QTest::qWait(300); // time for any late word of the first file
        QVERIFY2(p.errorText().isEmpty(), qPrintable(p.errorText()));
        QVERIFY(p.isPlaying());
        QVERIFY(p.currentPosition() > 0.3);
        QCOMPARE(w.controls()->fileText(), u"伴奏.wav"_s);
        QCOMPARE(errors.count(), 0);
    }

    // A file that never answers (a stream whose server accepts and says
    // nothing, as a hung network share): the window goes on, and after a few
    // seconds the player gives up and says so.
    void fileThatNeverAnswers()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        std::vector<std::unique_ptr<QTcpSocket>> held;
        connect(&silent, &QTcpServer::newConnection, &silent, [&] {
            while (QTcpSocket *s = silent.nextPendingConnection())
                held.emplace_back(s);
        });
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        p.setURL(u"http://127.0.0.1:%1/song.mp3"_s.arg(silent.serverPort()));
        QVERIFY(p.isPlaying()); // on its way
        QElapsedTimer clock;
        clock.start();
        qint64 longestHeld = 0;
        qint64 last = 0;
        while (p.errorText().isEmpty() && clock.elapsed() < AudioPlayer::kOpenLimitMs + 3000) {
            QTest::qWait(5);
            longestHeld = std::max(longestHeld, clock.elapsed() - last);
            last = clock.elapsed();
        }
        QVERIFY2(!p.errorText().isEmpty(), describe(p).constData());
        // (A timer of that length may fire up to a twentieth early.)
        QVERIFY2(clock.elapsed() >= AudioPlayer::kOpenLimitMs * 19 / 20 - 50,
                 qPrintable(p.errorText()));
        QVERIFY2(longestHeld < 500, qPrintable(QString::number(longestHeld)));
        QVERIFY(w.controls()->showsError());
        QVERIFY(!p.isPlaying());
        // And the next file plays.
        QVERIFY(startPlaying(p, m_long));
    }

    void contextMenuCarriesTheCommands()
    {
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        QMenu *menu = w.controls()->contextMenu();
        QVERIFY(menu);
        const QStringList texts = actionTexts(menu);
        for (const QString &t : {u"播放"_s, u"暂停"_s, u"停止"_s, u"从头播放"_s, u"静音"_s})
            QVERIFY2(texts.contains(t), qPrintable(texts.join(u'|')));

        QAction *play = findAction(menu, u"播放"_s);
        QAction *pause = findAction(menu, u"暂停"_s);
        QAction *stop = findAction(menu, u"停止"_s);
        QVERIFY(!play->isEnabled() && !pause->isEnabled() && !stop->isEnabled());

        QVERIFY(startPlaying(p, m_long));
        QTRY_VERIFY(pause->isEnabled());
        QVERIFY(!play->isEnabled());

        pause->trigger();
        QCOMPARE(p.playbackState(), PlaybackState::Paused);
        QVERIFY(play->isEnabled());

        play->trigger();
        QCOMPARE(p.playbackState(), PlaybackState::Playing);

        stop->trigger();
        QCOMPARE(p.playbackState(), PlaybackState::Stopped);
        QCOMPARE(p.currentPosition(), 0.0);

        findAction(menu, u"静音"_s)->trigger();
        QVERIFY(p.isMuted());
        QCOMPARE(p.volume(), 50);
    }

    void playButtonToggles()
    {
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        auto *button = w.findChild<QAbstractButton *>(u"playButton"_s);
        QVERIFY(startPlaying(p, m_long));
        button->click();
        QCOMPARE(p.playbackState(), PlaybackState::Paused);
        button->click();
        QCOMPARE(p.playbackState(), PlaybackState::Playing);
    }

    void clickOnTheSeekBarJumpsThere()
    {
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        w.resize(377, 65);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(startPlaying(p, m_long));
        p.pause();
        QTRY_VERIFY(w.findChild<QSlider *>(u"seekSlider"_s)->isEnabled());

        // Three quarters along the groove of a 4 s file: about 3 s. The
        // handle's width blurs the mapping near the ends, hence the margin.
        auto *bar = w.findChild<QSlider *>(u"seekSlider"_s);
        const QPoint at(bar->width() * 3 / 4, bar->height() / 2);
        QTest::mouseClick(bar, Qt::LeftButton, {}, at);
        QTRY_VERIFY2(qAbs(p.currentPosition() - 3.0) < 0.4,
                     qPrintable(QString::number(p.currentPosition())));
        QVERIFY(!bar->isSliderDown());
        QCOMPARE(p.playbackState(), PlaybackState::Paused);

        // Still following the player afterwards.
        p.play();
        QTRY_VERIFY(bar->value() > 3300);
    }

    // What is heard: the tone's level on the sound server's output against
    // the file's, at the volume asked for (kept within 0 to 100).
    void volume_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("kept");
        QTest::newRow("half, as at first") << 50 << 50;
        QTest::newRow("quiet") << 10 << 10;
        QTest::newRow("full") << 100 << 100;
        QTest::newRow("too loud") << 250 << 100;
        QTest::newRow("below nothing") << -5 << 0;
    }

    void volume()
    {
        QFETCH(int, asked);
        QFETCH(int, kept);
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        p.setVolume(asked);
        QCOMPARE(p.volume(), kept);
        QCOMPARE(w.findChild<QSlider *>(u"volumeSlider"_s)->value(), kept);
        QVERIFY(startPlaying(p, m_long));
        syj::test::SinkRecorder recorder;
        QVERIFY(recorder.start(syj::test::processNullSink()));
        QTest::qWait(500);
        // The last 300 ms: what the player of the row before still had on its
        // way to the output has gone by then.
        const QByteArray heard = recorder.stop();
        constexpr int kLastBytes = 2 * syj::test::SinkRecorder::kRate * 3 / 10;
        const double level = syj::test::peakLevel(heard.right(kLastBytes)) / 0.3; // the tone's own
        const double expected = AudioPlayer::gainOf(kept);
        QVERIFY2(qAbs(level - expected) <= 0.02 + 0.05 * expected,
                 qPrintable(u"heard %1, expected %2"_s.arg(level).arg(expected)));
        // Equal steps of the slider sound equally louder: half is far below
        // half the gain.
        if (kept == 50)
            QVERIFY(level > 0.1 && level < 0.2);
    }

    void faceAndPlayerStayInStep_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("withFile"); // a file is open before the change
        QTest::addColumn<int>("volume");
        QTest::addColumn<bool>("muted");
        QTest::newRow("at start") << int(NoChange) << false << 50 << false;
        QTest::newRow("player's volume") << int(PlayerVolume) << false << 20 << false;
        QTest::newRow("player's volume, with a file") << int(PlayerVolume) << true << 20 << false;
        QTest::newRow("volume slider") << int(VolumeSlider) << true << 80 << false;
        QTest::newRow("louder in the menu") << int(LouderInMenu) << false << 60 << false;
        QTest::newRow("player's mute") << int(PlayerMute) << true << 50 << true;
        QTest::newRow("mute button") << int(MuteButton) << false << 50 << true;
        QTest::newRow("mute in the menu") << int(MuteInMenu) << true << 50 << true;
    }

    void faceAndPlayerStayInStep()
    {
        QFETCH(int, change);
        QFETCH(bool, withFile);
        QFETCH(int, volume);
        QFETCH(bool, muted);

        MediaPlayer w;
        AudioPlayer &p = *w.player();
        QMenu *menu = w.controls()->contextMenu();
        if (withFile)
            p.setURL(m_long);
        QSignalSpy volumes(&p, &AudioPlayer::volumeChanged);
        QSignalSpy mutes(&p, &AudioPlayer::mutedChanged);
        switch (change) {
        case PlayerVolume:
            p.setVolume(volume);
            break;
        case VolumeSlider:
            w.findChild<QSlider *>(u"volumeSlider"_s)->setValue(volume);
            break;
        case LouderInMenu:
            findAction(menu, u"增大音量"_s)->trigger();
            break;
        case PlayerMute:
            p.setMuted(true);
            break;
        case MuteButton:
            w.findChild<QAbstractButton *>(u"muteButton"_s)->click();
            break;
        case MuteInMenu:
            findAction(menu, u"静音"_s)->trigger();
            break;
        }

        QCOMPARE(p.volume(), volume);
        QCOMPARE(w.controls()->volume(), volume);
        QCOMPARE(p.isMuted(), muted);
        QCOMPARE(w.controls()->isMuted(), muted);
        // Each change is told once: the two sides do not echo it back and forth.
        QCOMPARE(volumes.count(), volume == 50 ? 0 : 1);
        QCOMPARE(mutes.count(), muted ? 1 : 0);
    }

    void formatTime_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << u"00:00"_s;
        QTest::newRow("under a second") << qint64(999) << u"00:00"_s;
        QTest::newRow("last second of a minute") << qint64(59999) << u"00:59"_s;
        QTest::newRow("one minute") << qint64(60000) << u"01:00"_s;
        QTest::newRow("a song") << qint64(225500) << u"03:45"_s;
        QTest::newRow("an hour goes on counting minutes") << qint64(3600000) << u"60:00"_s;
        QTest::newRow("negative") << qint64(-1500) << u"00:00"_s;
    }

    void formatTime()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(MediaControls::formatTime(ms), text);
    }

    void timeLabelShowsPositionAndLength()
    {
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        QVERIFY(startPlaying(p, m_long));
        p.pause();
        p.setCurrentPosition(2.2);
        QTRY_COMPARE(w.findChild<QLabel *>(u"timeLabel"_s)->text(), u"00:02 / 00:04"_s);
    }

    void closingWhilePlaying()
    {
        auto a = std::make_unique<MediaPlayer>();
        auto b = std::make_unique<MediaPlayer>();
        QVERIFY(startPlaying(*a->player(), m_long));
        b->player()->setURL(m_long); // still opening
        a.reset();
        b.reset();
        QTest::qWait(100);
    }

    void closingTheFile()
    {
        MediaPlayer w;
        AudioPlayer &p = *w.player();
        QVERIFY(startPlaying(p, m_long));
        p.setURL(QString());
        QCOMPARE(p.playbackState(), PlaybackState::Stopped);
        QVERIFY(!p.isPlaying());
        QCOMPARE(w.controls()->fileText(), u"未打开文件"_s);
        QCOMPARE(p.currentPosition(), 0.0);
    }
};

SYJ_HEARD_WINDOW_TEST_MAIN(TestMediaPlayer)

#include "tst_mediaplayer.moc"
