// 声韵笺 benchmark: runs the real main window offscreen and prints a table of
// start-up, loading, saving/reopening, cueing, reading-table, aids and loop figures, plus one
// machine-readable "BENCH name value unit" line per figure.
//
// Each measurement that needs a fresh process (start-up, peak memory of a load)
// runs this program again as a child with a probe argument.
#include "aids/readingtables.h"
#include "app/aidswindow.h"
#include "app/application.h"
#include "app/form1.h"
#include "platform/mediaplayer.h"
#include "platform/qtplatformtools.h"
#include "player/audioplayer.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/lyrictext.h"
#include "sheet/recovery.h"
#include "sheet/sheetcommands.h"
#include "support/sound.h"
#include "support/wav.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace Qt::StringLiterals;
using namespace syj;

namespace {

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Peak resident memory of this process in MiB.
double peakRssMiB()
{
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Runs the event loop until `done` holds or `limitMs` have passed, looking
// every `stepMs`; whether it holds.
template <typename Done> bool pumpUntil(Done done, double limitMs, int stepMs = 5)
{
    QElapsedTimer t;
    t.start();
    while (!done() && static_cast<double>(t.elapsed()) < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, stepMs);
    return done();
}

void pumpFor(double ms)
{
    pumpUntil([] { return false; }, ms);
}

// Stops the event loop at the first paint of the watched window.
class FirstPaint : public QObject
{
public:
    qint64 at = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && at == 0) {
            at = monotonicNs();
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }
};

QStringList lyricLines(int n)
{
    QStringList lines;
    lines.reserve(n + 2);
    lines << u"[ti:基准测试]"_s << u"[ar:声韵笺]"_s;
    for (int i = 0; lines.size() < n; ++i) {
        const int cs = i * 237;
        lines << u"[%1:%2.%3]第%4句 床前明月光 疑是地上霜"_s
                     .arg(cs / 6000 % 100, 2, 10, QLatin1Char('0'))
                     .arg(cs / 100 % 60, 2, 10, QLatin1Char('0'))
                     .arg(cs % 100, 2, 10, QLatin1Char('0'))
                     .arg(i + 1);
    }
    lines.resize(n);
    return lines;
}

// --- child probes ---------------------------------------------------------

// A child's application, set up as the program sets up its own.
struct ProbeApplication {
    int argc = 1;
    char arg0[6] = "bench";
    char *argv[2] = {arg0, nullptr};
    QApplication app{argc, argv};
    ProbeApplication() { configureApplication(app); }
};

// Printed by the child: the frequency in Hz of a 440 Hz tone as a player
// plays it at `rate`, recorded from the null sink of a sound server of the
// child's own; -1 without one.
int probePitch(double rate)
{
    test::NullSinkServer sound;
    if (!sound.start()) {
        std::printf("-1\n");
        return 0;
    }
    ProbeApplication probe;
    QTemporaryDir dir;
    const QString wav = dir.filePath(u"tone.wav"_s);
    test::writeToneWav(wav, 6.0, 44100, 440);
    AudioPlayer player;
    player.setURL(wav);
    pumpUntil([&] { return player.isPlaying() && player.duration() > 0; }, 10000);
    player.pause();
    player.setRate(rate);
    test::SinkRecorder recorder;
    recorder.start(sound);
    player.setCurrentPosition(4.0);
    player.play();
    pumpFor(2000 / rate + 500);
    std::printf("%.2f\n", test::toneFrequency(recorder.stop(), test::SinkRecorder::kRate));
    return 0;
}

// Printed by the child: how exactly a loop of 1.5 to 3.0 s goes round, heard
// on the output (a sound server's null sink of the child's own, recorded).
// The tone is silent from 1.5 to 1.55 s and from 2.9 to 3.0 s, so each turn
// is heard as one stretch of quiet, 150 ms of the file long when the turn
// is exact. Prints the worst error of a round's length and, at 1.0x, the
// worst error of the quiet at the turn (tone heard inside it counted too),
// both in ms of the file; "-1" without a sound server, "-2" without an MP3
// encoder. (An MP3 is heard 26 ms later than the WAV it was made of, the
// encoder's delay, so only the WAV tells where the turn is in the file.)
int probeLoopOutput(const QString &kind, double rate)
{
    test::NullSinkServer sound;
    if (!sound.start()) {
        std::printf("-1\n");
        return 0;
    }
    ProbeApplication probe;
    QTemporaryDir dir;
    QString media = dir.filePath(u"marked.wav"_s);
    test::writeToneWav(media, 8.0, 44100, 440, {{1.5, 1.55}, {2.9, 3.0}});
    if (kind == u"mp3"_s) {
        const QString mp3 = dir.filePath(u"marked.mp3"_s);
        if (!test::encodeMp3(media, mp3)) {
            std::printf("-2\n");
            return 0;
        }
        media = mp3;
    }
    AudioPlayer player;
    player.setURL(media);
    pumpUntil([&] { return player.isPlaying() && player.duration() > 0; }, 10000);
    // As a writer loops a line: while the song plays.
    player.setRate(rate);
    pumpFor(1000);
    test::SinkRecorder recorder;
    recorder.start(sound);
    player.setLoop(1.5, 3.0);
    player.setCurrentPosition(1.5);
    pumpFor(5 * 1500 / rate + 500);
    const QByteArray samples = recorder.stop();

    // Quiet and loud by the millisecond; quiet runs less than 40 ms apart are
    // one turn (the tone between two of them was heard inside the turn).
    constexpr int perMs = test::SinkRecorder::kRate / 1000;
    const qsizetype ms = samples.size() / 2 / perMs;
    const auto loudAt = [&](qsizetype m) {
        int peak = 0;
        for (qsizetype i = m * perMs; i < (m + 1) * perMs; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(
                                      qFromLittleEndian<qint16>(samples.constData() + 2 * i))));
        return peak > 1000;
    };
    struct Turn {
        qsizetype from = 0, to = 0, quiet = 0;
    };
    std::vector<Turn> turns;
    for (qsizetype m = 0; m < ms; ++m) {
        if (loudAt(m))
            continue;
        if (turns.empty() || m - turns.back().to > 40)
            turns.push_back({m, m, 0});
        turns.back().to = m + 1;
        ++turns.back().quiet;
    }
    // Less than the quiet before the end is not a turn: the quiet after the
    // start, heard alone right after the jump to it.
    turns.erase(std::remove_if(turns.begin() + (turns.empty() ? 0 : 1), turns.end(),
                               [rate](const Turn &turn) {
                                   return static_cast<double>(turn.quiet) * rate < 75;
                               }),
                turns.end());
    // The first quiet is the wait for the sound, the last the end of the
    // recording.
    double roundError = -1;
    double seamError = -1;
    for (size_t i = 1; i + 1 < turns.size(); ++i) {
        const Turn &turn = turns[i];
        if (i + 2 < turns.size()) {
            const double round = static_cast<double>(turns[i + 1].from - turn.from) * rate;
            roundError = std::max(roundError, std::abs(round - 1500.0));
        }
        const double heard = static_cast<double>(turn.to - turn.from) * rate;
        const double quiet = static_cast<double>(turn.quiet) * rate;
        seamError = std::max(seamError, std::abs(quiet - 150.0) + (heard - quiet));
    }
    std::printf("%.0f %.0f\n", roundError, rate == 1.0 && kind == u"wav"_s ? seamError : -1.0);
    return 0;
}

int probeStartup(const QString &kind)
{
    // Printed by the child: the moment of the first paint of its window.
    ProbeApplication probe;
    FirstPaint watch;
    std::unique_ptr<QWidget> w;
    QtPlatformTools tools;
    if (kind == u"form"_s) {
        w = std::make_unique<Form1>(tools);
    } else {
        w = std::make_unique<QWidget>();
        w->setFixedSize(944, 609);
        w->setWindowTitle(u"bare"_s);
        // The same bare window with one line of Chinese: what any window that
        // shows Chinese text pays for the font configuration and one CJK face.
        if (kind == u"text"_s)
            new QLabel(u"打开原唱歌词"_s, w.get());
    }
    w->installEventFilter(&watch);
    w->show();
    QApplication::exec();
    std::printf("%lld\n", static_cast<long long>(watch.at));
    return 0;
}

int probeLoad(int lines, const QString &file)
{
    ProbeApplication probe;
    QtPlatformTools tools;
    Form1 form(tools);
    form.show();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    form.commands().loadOriginalLyrics(file);
    const double ms = t.nsecsElapsed() / 1e6;
    if (form.sheet().rowCount() != lines)
        return 2;
    std::printf("%.3f %.1f\n", ms, peakRssMiB());
    return 0;
}

// "打开新歌词" on a shown sheet of `lines` rows, from the command to the window
// painted with the new words.
int probeNewLyrics(int lines, const QString &original, const QString &words)
{
    ProbeApplication probe;
    QtPlatformTools tools;
    Form1 form(tools);
    form.show();
    form.commands().loadOriginalLyrics(original);
    QCoreApplication::processEvents();
    if (form.sheet().count() != lines)
        return 2;
    // The window paints what changed when it handles its next update request;
    // the loop stops right after that.
    struct Painted : QObject {
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::UpdateRequest)
                QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            return false;
        }
    } painted;
    form.installEventFilter(&painted);
    QElapsedTimer t;
    t.start();
    form.commands().loadNewLyrics(words);
    QApplication::exec();
    const double ms = t.nsecsElapsed() / 1e6;
    if (form.sheet().at(lines - 1).newWords.isEmpty())
        return 3;
    std::printf("%.3f\n", ms);
    return 0;
}

// The reading tables opened for the first time in this process, with one
// lookup; then the mean cost of one lookup (a character in each language and
// the Cantonese word starting at each place of a line).
int probeReadings()
{
    using aids::Language;
    using aids::ReadingTables;
    QElapsedTimer t;
    t.start();
    const ReadingTables &tables = ReadingTables::instance();
    const bool found = !tables.characterReadings(U'长', Language::Cantonese).isEmpty();
    const double openMs = t.nsecsElapsed() / 1e6;
    if (!found)
        return 2;
    const QString line = u"我去银行取钱 床前明月光 疑是地上霜 举头望明月 低头思故乡"_s;
    const QList<uint> chars = line.toUcs4();
    qsizetype lookups = 0, readings = 0;
    t.restart();
    for (int round = 0; round < 2000; ++round) {
        for (qsizetype i = 0; i < line.size(); ++i) {
            readings += tables.characterReadings(chars.at(i), Language::Mandarin).size();
            readings += tables.characterReadings(chars.at(i), Language::Cantonese).size();
            readings += tables.wordReadings(line, i, Language::Cantonese).size();
            lookups += 3;
        }
    }
    const double lookupUs = t.nsecsElapsed() / 1e3 / lookups;
    if (readings == 0)
        return 3;
    std::printf("%.3f %.4f\n", openMs, lookupUs);
    return 0;
}

// --- parent ---------------------------------------------------------------

struct Row {
    QString name;
    double value;
    QString unit;
    QString goal;
};

QList<Row> g_rows;

void report(const QString &name, double value, const QString &unit, const QString &goal = {})
{
    g_rows.append({name, value, unit, goal});
    std::printf("BENCH %s %.3f %s\n", qPrintable(name), value, qPrintable(unit));
    std::fflush(stdout);
}

QByteArray runChild(const QStringList &args)
{
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments(args);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start();
    p.waitForFinished(300000);
    return p.readAllStandardOutput();
}

double startupMs(const QString &kind)
{
    const qint64 before = monotonicNs();
    const QByteArray out = runChild({u"--probe-startup"_s, kind});
    const qint64 at = out.trimmed().toLongLong();
    return at > 0 ? (at - before) / 1e6 : -1;
}

// Milliseconds until the player reports a position within 0.25 s of `seconds`.
double cueMs(Form1 &form, const QString &media, double seconds)
{
    AudioPlayer *player = form.WindowsMediaPlayer1->player();
    player->setURL(media);
    QElapsedTimer wait;
    wait.start();
    while (!player->isLoaded() && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::vector<double> samples;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        form.dcButton2_Click(3);
        while (std::abs(player->currentPosition() - seconds) > 0.25 && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        samples.push_back(t.nsecsElapsed() / 1e6);
        player->pause();
        player->setCurrentPosition(0);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return median(samples);
}

// The errors in ms of a row's loop: how far from the loop's end playback
// turned back, and how far from its start it went on; the first round (just
// after the player jumped to the loop) apart from the worst of the later
// ones, -1 where rounds are missing after a minute. The row is [00:02.00]
// before [00:03.00], with 0.5 s of lead-in: 1.5 to 3 s.
struct LoopErrors {
    double first = -1;
    double later = -1;
};

LoopErrors loopErrors(Form1 &form, const QString &media, double rate, int rounds)
{
    AudioPlayer *player = form.WindowsMediaPlayer1->player();
    form.playback().openTrackFrom(Playback::Track::Accompaniment, media);
    pumpFor(1000);
    player->setRate(rate);
    form.playback().setLeadIn(0.5);
    std::vector<qint64> turns;
    const QMetaObject::Connection c = QObject::connect(
        player, &AudioPlayer::loopedBack, [&turns](qint64 at) { turns.push_back(at); });
    form.playback().loopRow(0, Playback::Track::Accompaniment);
    LoopErrors errors;
    QElapsedTimer limit;
    limit.start();
    for (size_t round = 1; round <= static_cast<size_t>(rounds); ++round) {
        const double left = 60000.0 - static_cast<double>(limit.elapsed());
        if (!pumpUntil([&] { return turns.size() >= round; }, left, 1)) {
            errors.later = -1;
            break;
        }
        double worst = std::abs(static_cast<double>(turns[round - 1]) - 3000.0);
        QElapsedTimer since;
        since.start();
        while (player->currentPosition() >= 2.5 && since.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double startedAt =
            player->currentPosition() * 1000 - static_cast<double>(since.elapsed()) * rate;
        worst = std::max(worst, std::abs(startedAt - 1500.0));
        if (round == 1)
            errors.first = worst;
        else
            errors.later = std::max(errors.later, worst);
    }
    QObject::disconnect(c);
    player->clearLoop();
    player->pause();
    player->setRate(1.0);
    return errors;
}

int runAll(int argc, char **argv)
{
    QApplication app(argc, argv);
    configureApplication(app);
    QtPlatformTools tools;
    QTemporaryDir dir;
    // "--only startup,load,new,save,recovery,cue,readings,aids,pitch,loop" runs some of the
    // figures; all but recovery by default.
    const int only = QCoreApplication::arguments().indexOf(u"--only"_s);
    const QStringList parts =
        only > 0 ? QCoreApplication::arguments().value(only + 1).split(u',')
                 : QStringList{u"startup"_s,  u"load"_s, u"new"_s,   u"save"_s, u"cue"_s,
                               u"readings"_s, u"aids"_s, u"pitch"_s, u"loop"_s};

    // Start-up: the real window and a bare window of the same size, alternating.
    if (parts.contains(u"startup"_s)) {
        std::vector<double> form, bare, text;
        for (int i = 0; i < 11; ++i) {
            form.push_back(startupMs(u"form"_s));
            bare.push_back(startupMs(u"bare"_s));
            text.push_back(startupMs(u"text"_s));
        }
        const double f = median(form), b = median(bare), t = median(text);
        report(u"startup_form_ms"_s, f, u"ms"_s);
        report(u"startup_bare_ms"_s, b, u"ms"_s);
        report(u"startup_ratio"_s, f / b, u"x"_s, u"< 1.5"_s);
        report(u"startup_bare_with_chinese_label_ms"_s, t, u"ms"_s);
        report(u"startup_ratio_to_chinese_label"_s, f / t, u"x"_s);
    }

    // Loading through the real loader, each in a fresh process for its peak memory.
    for (int n : {100, 1000, 10000}) {
        if (!parts.contains(u"load"_s))
            break;
        const QString file = dir.filePath(u"load%1.lrc"_s.arg(n));
        WriteLyricFile(file, lyricLines(n));
        const QList<QByteArray> out =
            runChild({u"--probe-load"_s, QString::number(n), file}).trimmed().split(' ');
        const double ms = out.value(0).toDouble();
        const double mib = out.value(1).toDouble();
        const QString goal = n == 1000 ? u"< 500"_s : n == 10000 ? u"< 5000"_s : QString();
        report(u"load_%1_ms"_s.arg(n), ms, u"ms"_s, goal);
        report(u"load_%1_peak_rss_mib"_s.arg(n), mib, u"MiB"_s,
               n == 10000 ? u"< 300"_s : QString());
    }

    // "打开新歌词" on 10,000 rows, until the window is painted.
    if (parts.contains(u"new"_s)) {
        const QString original = dir.filePath(u"new-original.lrc"_s);
        WriteLyricFile(original, lyricLines(10000));
        QStringList words;
        for (int i = 0; i < 10000; ++i)
            words << u"新词第%1句 举头望明月"_s.arg(i + 1);
        const QString file = dir.filePath(u"new-words.lrc"_s);
        WriteLyricFile(file, words);
        const QByteArray out = runChild({u"--probe-new-lyrics"_s, u"10000"_s, original, file});
        report(u"open_new_lyrics_10000_ms"_s, out.trimmed().toDouble(), u"ms"_s, u"< 500"_s);
    }

    // Save and reopen of 10,000 rows.
    if (parts.contains(u"save"_s)) {
        Form1 sheetForm(tools);
        const QString file = dir.filePath(u"ten-thousand.lrc"_s);
        WriteLyricFile(file, lyricLines(10000));
        sheetForm.commands().loadOriginalLyrics(file);
        for (int i = 1; i <= sheetForm.sheet().count(); ++i)
            sheetForm.Text2(i)->setText(u"新词第%1句 举头望明月"_s.arg(i));
        const QString out = dir.filePath(u"new.lrc"_s);
        std::vector<double> save, reopen;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            sheetForm.commands().saveNewLyricsTo(out);
            save.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            sheetForm.commands().loadNewLyrics(out);
            reopen.push_back(t.nsecsElapsed() / 1e6);
            sheetForm.sheet().setModified(false);
        }
        report(u"save_10000_ms"_s, median(save), u"ms"_s, u"< 500"_s);
        report(u"reopen_10000_ms"_s, median(reopen), u"ms"_s, u"< 500"_s);
    }

    // The recovery copy of a 1,000-row sheet, written as while typing.
    if (parts.contains(u"recovery"_s)) {
        LyricSheetModel sheet;
        sheet.loadOriginal(lyricLines(1000), dir.filePath(u"recovery.lrc"_s));
        for (int i = 0; i < sheet.count(); ++i)
            sheet.setNewWords(i, u"新词第%1句 举头望明月"_s.arg(i + 1));
        RecoveryKeeper keeper(sheet, dir.filePath(u"recovery"_s));
        std::vector<double> write;
        for (int i = 0; i < 9; ++i) {
            QElapsedTimer t;
            t.start();
            keeper.writeNow();
            write.push_back(t.nsecsElapsed() / 1e6);
        }
        report(u"recovery_write_1000_ms"_s, median(write), u"ms"_s);
    }

    // Cueing: from a row click to the player reporting the row's position.
    if (parts.contains(u"cue"_s)) {
        Form1 cueForm(tools);
        cueForm.show();
        const QString lrc = dir.filePath(u"cue.lrc"_s);
        WriteLyricFile(lrc, {u"[ti:cue]"_s, u"[00:01.00]a"_s, u"[00:07.50]b"_s});
        cueForm.commands().loadOriginalLyrics(lrc);
        const QString wav = dir.filePath(u"tone.wav"_s);
        test::writeToneWav(wav, 12.0, 44100);
        report(u"cue_wav_ms"_s, cueMs(cueForm, wav, 7.5), u"ms"_s);
        const QString mp3 = dir.filePath(u"tone.mp3"_s);
        if (test::encodeMp3(wav, mp3))
            report(u"cue_mp3_ms"_s, cueMs(cueForm, mp3, 7.5), u"ms"_s);
        else
            std::printf("# no MP3 encoder (gst-launch-1.0 with lamemp3enc): cue_mp3 skipped\n");
    }

    // The reading tables, each time in a fresh process: the first use pays for them.
    if (parts.contains(u"readings"_s)) {
        std::vector<double> open, lookup;
        for (int i = 0; i < 11; ++i) {
            const QList<QByteArray> out = runChild({u"--probe-readings"_s}).trimmed().split(' ');
            open.push_back(out.value(0).toDouble());
            lookup.push_back(out.value(1).toDouble());
        }
        report(u"reading_tables_open_ms"_s, median(open), u"ms"_s, u"< 20"_s);
        report(u"reading_lookup_us"_s, median(lookup), u"us"_s);
    }

    // The writing aids' update for one keystroke on a 100-row sheet: the row's
    // fit and rhyme worked out, the rhyme judged across the sheet and the
    // marks shown; then the same with the aids window following the row.
    if (parts.contains(u"aids"_s)) {
        Form1 aidsForm(tools);
        aidsForm.show();
        const QString file = dir.filePath(u"hundred.lrc"_s);
        WriteLyricFile(file, lyricLines(100));
        aidsForm.commands().loadOriginalLyrics(file);
        QApplication::processEvents();
        const QString line = u"床前明月光疑是地上霜举头望明月低头思故乡"_s;
        const auto keystrokes = [&](bool window) {
            if (window)
                aidsForm.showAidsWindow();
            else if (aidsForm.aidsWindow())
                aidsForm.aidsWindow()->hide();
            std::vector<double> each;
            for (int row = 1; row <= 100; row += 9) {
                QLineEdit *box = aidsForm.Text2(row);
                aidsForm.Text2_GotFocus(row);
                for (qsizetype n = 1; n <= line.size(); ++n) {
                    QElapsedTimer t;
                    t.start();
                    box->setText(line.left(n));
                    each.push_back(t.nsecsElapsed() / 1e6);
                }
                box->clear();
            }
            return median(each);
        };
        report(u"aids_keystroke_100_ms"_s, keystrokes(false), u"ms"_s, u"< 1"_s);
        report(u"aids_keystroke_100_with_window_ms"_s, keystrokes(true), u"ms"_s);
    }

    // The pitch of a 440 Hz tone at the normal speed and at half speed, on
    // the real output of a player (a sound server's null sink, recorded).
    if (parts.contains(u"pitch"_s)) {
        for (const double rate : {1.0, 0.5}) {
            const double hz =
                runChild({u"--probe-pitch"_s, QString::number(rate)}).trimmed().toDouble();
            if (hz < 0)
                std::printf("# no sound server (pulseaudio, parec): pitch skipped\n");
            else
                report(u"pitch_440hz_at_%1x_hz"_s.arg(rate), hz, u"Hz"_s, u"440"_s);
        }
    }

    // A row's loop: where playback turns back and where it goes on, over
    // four rounds, at the normal speed and at half speed. Without a sound
    // device the players play to GStreamer's fake sink; run with PULSE_SERVER
    // set to measure through a sound server.
    if (parts.contains(u"loop"_s)) {
        Form1 loopForm(tools);
        loopForm.show();
        const QString lrc = dir.filePath(u"loop.lrc"_s);
        WriteLyricFile(lrc, {u"[00:02.00]a"_s, u"[00:03.00]b"_s, u"[00:06.00]c"_s});
        loopForm.commands().loadOriginalLyrics(lrc);
        const QString wav = dir.filePath(u"loop.wav"_s);
        test::writeToneWav(wav, 8.0, 44100);
        const QString mp3 = dir.filePath(u"loop.mp3"_s);
        const bool haveMp3 = test::encodeMp3(wav, mp3);
        for (const double rate : {1.0, 0.5}) {
            for (const bool isMp3 : {false, true}) {
                if (isMp3 && !haveMp3)
                    continue;
                const QString name = u"loop_%1_%2x"_s.arg(isMp3 ? u"mp3"_s : u"wav"_s).arg(rate);
                const LoopErrors e = loopErrors(loopForm, isMp3 ? mp3 : wav, rate, 4);
                report(name + u"_first_round_error_ms"_s, e.first, u"ms"_s, u"<= 50"_s);
                report(name + u"_worst_later_error_ms"_s, e.later, u"ms"_s, u"<= 50"_s);
            }
        }
        if (!haveMp3)
            std::printf("# no MP3 encoder (gst-launch-1.0 with lamemp3enc): loop_mp3 skipped\n");

        // The same heard on the output of a sound server.
        for (const double rate : {1.0, 0.5}) {
            for (const QString &kind : {u"wav"_s, u"mp3"_s}) {
                const QList<QByteArray> out =
                    runChild({u"--probe-loop-output"_s, kind, QString::number(rate)})
                        .trimmed()
                        .split(' ');
                const double round = out.value(0).toDouble();
                if (round == -1) {
                    std::printf("# no sound server (pulseaudio, parec): loop output skipped\n");
                    break;
                }
                if (round == -2) {
                    std::printf("# no MP3 encoder: loop_heard_mp3 skipped\n");
                    continue;
                }
                const QString name = u"loop_heard_%1_%2x"_s.arg(kind).arg(rate);
                report(name + u"_round_error_ms"_s, round, u"ms"_s, u"<= 50"_s);
                if (out.value(1).toDouble() >= 0)
                    report(name + u"_turn_error_ms"_s, out.value(1).toDouble(), u"ms"_s,
                           u"<= 50"_s);
            }
        }
    }

    std::printf("\n| figure | value | goal |\n|---|---:|---|\n");
    for (const Row &r : std::as_const(g_rows))
        std::printf("| %s | %.2f %s | %s |\n", qPrintable(r.name), r.value, qPrintable(r.unit),
                    qPrintable(r.goal));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "--probe-loop-output") == 0)
        return probeLoopOutput(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toDouble());
    if (argc >= 3 && qstrcmp(argv[1], "--probe-pitch") == 0)
        return probePitch(QByteArray(argv[2]).toDouble());
    if (argc >= 3 && qstrcmp(argv[1], "--probe-startup") == 0)
        return probeStartup(QString::fromLocal8Bit(argv[2]));
    if (argc >= 4 && qstrcmp(argv[1], "--probe-load") == 0)
        return probeLoad(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));
    if (argc >= 5 && qstrcmp(argv[1], "--probe-new-lyrics") == 0)
        return probeNewLyrics(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]),
                              QString::fromLocal8Bit(argv[4]));
    if (argc >= 2 && qstrcmp(argv[1], "--probe-readings") == 0)
        return probeReadings();
    return runAll(argc, argv);
}
