// 声韵笺 benchmark: runs the real main window offscreen (the loads on an X
// server of its own too) and prints a table of start-up, loading,
// saving/reopening, cueing, reading-table, word-finder, aids and loop figures, what is
// heard on a sound server's output after cues, loops and opens, plus one
// machine-readable "BENCH name value unit" line per figure.
//
// Each measurement that needs a fresh process (start-up, peak memory of a load)
// runs this program again as a child with a probe argument.
#include "aids/readingtables.h"
#include "aids/wordfinder.h"
#include "app/aidswindow.h"
#include "app/application.h"
#include "app/form1.h"
#include "app/rowpanel.h"
#include "platform/mediaplayer.h"
#include "platform/qtplatformtools.h"
#include "playback/playback.h"
#include "player/audioplayer.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/lyrictext.h"
#include "sheet/recovery.h"
#include "sheet/sheetcommands.h"
#include "support/heard.h"
#include "support/sound.h"
#include "support/wav.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
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

// CPU time of this process so far, all its threads.
qint64 processCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
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

// Lets the event loop run for `ms`, as the program's own runs: asleep while
// nothing happens (pumpFor keeps a core busy, which the sound server and its
// recorder then lack).
void waitFor(double ms)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Done> bool waitUntil(Done done, double limitMs, int stepMs = 5)
{
    QElapsedTimer t;
    t.start();
    while (!done() && static_cast<double>(t.elapsed()) < limitMs)
        waitFor(stepMs);
    return done();
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

// Printed by the child: the load's milliseconds, the peak memory in MiB and
// the milliseconds of CPU the program spent on the load, all its threads.
int probeLoad(int lines, const QString &file)
{
    ProbeApplication probe;
    QtPlatformTools tools;
    Form1 form(tools);
    form.show();
    QCoreApplication::processEvents();
    const qint64 cpuBefore = processCpuNs();
    QElapsedTimer t;
    t.start();
    form.commands().loadOriginalLyrics(file);
    const double ms = t.nsecsElapsed() / 1e6;
    const double cpuMs = (processCpuNs() - cpuBefore) / 1e6;
    if (form.sheet().rowCount() != lines)
        return 2;
    std::printf("%.3f %.1f %.3f\n", ms, peakRssMiB(), cpuMs);
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

// Resident memory of this process now, in MiB.
double rssMiB()
{
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// The word finder's tables opened for the first time in this process; then
// the slowest of a set of searches (every class pattern of one and two
// syllables, places that take any word, with the rhyme and with a filter,
// in both languages), each run twice; and how much the process grew.
int probeWords()
{
    using aids::Language;
    using aids::WordTables;
    const double before = rssMiB();
    QElapsedTimer t;
    t.start();
    const WordTables &tables = WordTables::instance();
    const double openMs = t.nsecsElapsed() / 1e6;

    struct Lang {
        Language language;
        QStringList classes;
        aids::RhymeSystem system;
        QString rhyme, character;
    };
    const Lang langs[] = {
        {Language::Cantonese,
         {u"0"_s, u"2"_s, u"3"_s, u"4"_s},
         aids::RhymeSystem::CantoneseFinals,
         u"ong"_s,
         u"心"_s},
        {Language::Mandarin,
         {u"平"_s, u"仄"_s},
         aids::RhymeSystem::ZhonghuaXinyun,
         u"十唐"_s,
         u"花"_s},
    };
    std::vector<aids::WordSearch> searches;
    for (const Lang &l : langs) {
        aids::WordSearch s;
        s.language = l.language;
        s.system = l.system;
        for (const QString &a : l.classes) {
            s.classes = {{a}};
            searches.push_back(s);
            for (const QString &b : l.classes) {
                s.classes = {{a}, {b}};
                searches.push_back(s);
            }
        }
        for (int n = 1; n <= WordTables::kMaxSyllables; ++n) {
            s.classes = QList<QStringList>(n, QStringList());
            s.rhyme.clear();
            s.characters.clear();
            searches.push_back(s);
            s.rhyme = l.rhyme;
            searches.push_back(s);
            s.rhyme.clear();
            s.characters = l.character;
            searches.push_back(s);
            s.startsWith = true;
            searches.push_back(s);
            s.startsWith = false;
            s.classes = QList<QStringList>(n, l.classes.mid(0, 2));
            searches.push_back(s);
        }
    }
    double worstMs = 0;
    qsizetype found = 0;
    for (int round = 0; round < 2; ++round) {
        for (const aids::WordSearch &s : searches) {
            t.restart();
            found += tables.find(s).count;
            worstMs = std::max(worstMs, t.nsecsElapsed() / 1e6);
        }
    }
    if (found == 0)
        return 2;
    std::printf("%.3f %.3f %.2f\n", openMs, worstMs, rssMiB() - before);
    return 0;
}

// --- heard on the output ----------------------------------------------------
//
// Each of these children plays chirps (support/heard.h) through a sound
// server of its own, records its null sink, and afterwards finds in the
// recording which place of which file was heard when. It prints one line per
// measurement; the parent gathers them.

// A window with a lyric sheet whose rows are 2.37 s apart over the 60 s
// chirps (row i at 2.00 + 2.37 i s), both players given their file and
// paused, at `rate`. Files and references in `dir`: the accompaniment's
// chirp is player 0's, the original's player 1's; two copies of each, so
// that opening one after the other opens a new file.
struct HeardWindow {
    static constexpr int kRows = 23;
    QtPlatformTools tools;
    Form1 form{tools};
    QString files[2][2];
    std::vector<test::HeardSource> sources;
    int opened[2] = {0, 0};

    static double rowSeconds(int row) { return 2.0 + 2.37 * row; }

    bool setUp(const QTemporaryDir &dir, const QString &kind, double rate)
    {
        form.show();
        QStringList lines;
        for (int i = 0; i < kRows; ++i) {
            const int cs = static_cast<int>(std::lround(rowSeconds(i) * 100));
            lines << u"[%1:%2.%3]第%4句"_s.arg(cs / 6000, 2, 10, QLatin1Char('0'))
                         .arg(cs / 100 % 60, 2, 10, QLatin1Char('0'))
                         .arg(cs % 100, 2, 10, QLatin1Char('0'))
                         .arg(i + 1);
        }
        const QString lrc = dir.filePath(u"heard.lrc"_s);
        writeLyricFile(lrc, lines);
        form.commands().loadOriginalLyrics(lrc);
        for (int p = 0; p < 2; ++p) {
            for (int copy = 0; copy < 2; ++copy) {
                files[p][copy] = dir.filePath(u"chirp%1-%2.%3"_s.arg(p).arg(copy).arg(kind));
                test::HeardSource s = test::writeHeardFile(files[p][copy], p);
                if (s.reference.empty())
                    return false;
                if (copy == 0)
                    sources.push_back(std::move(s));
            }
        }
        for (const Playback::Track t :
             {Playback::Track::Accompaniment, Playback::Track::Original}) {
            open(t);
            AudioPlayer &p = player(t);
            waitUntil([&] { return p.isPlaying() && p.duration() > 0; }, 10000);
            p.setRate(rate);
        }
        form.playback().pauseBoth();
        waitFor(300);
        return true;
    }
    static int index(Playback::Track t) { return t == Playback::Track::Accompaniment ? 0 : 1; }
    static Playback::Track other(Playback::Track t)
    {
        return t == Playback::Track::Accompaniment ? Playback::Track::Original
                                                   : Playback::Track::Accompaniment;
    }
    AudioPlayer &player(Playback::Track t)
    {
        return *(t == Playback::Track::Accompaniment ? form.WindowsMediaPlayer1()
                                                     : form.WindowsMediaPlayer2())
                    ->player();
    }
    // Opens the track's other copy.
    void open(Playback::Track t)
    {
        const int p = index(t);
        form.playback().openTrackFrom(t, files[p][opened[p]++ % 2]);
    }
    // The row's button of the track (伴奏 or 原唱).
    void click(Playback::Track t, int row)
    {
        if (t == Playback::Track::Accompaniment)
            form.dcButton2_Click(row + 1);
        else
            form.dcButton5_Click(row + 1);
    }
};

// How far before an action the sound that follows it may be dated: the
// recorder dates a sample by the earliest its pieces allow, which can be a few
// ms early, and a player that answers at once is heard within them.
constexpr qint64 kDatingSlack = 10'000'000;

bool startsNear(const test::HeardSegment &s, double seconds)
{
    return std::abs(s.placeFrom - seconds) <= 0.3;
}

double msBetween(qint64 fromNs, qint64 toNs)
{
    return static_cast<double>(toNs - fromNs) / 1e6;
}

void printRecorder(const test::TimedSinkRecorder &recorder)
{
    std::printf("# recorder: pieces read late by %.2f ms (median), %.2f ms (worst); the "
                "dating moved by %.2f ms from the first piece to the last\n",
                recorder.medianLatenessMs(), recorder.worstLatenessMs(), recorder.datingMovedMs());
}

// Every stretch heard, for a reader of the child's output: "SEG source from_ms
// to_ms place_from_s place_to_s", in ms from `zeroNs`.
void printSegments(const std::vector<test::HeardSegment> &segments, qint64 zeroNs)
{
    for (const test::HeardSegment &s : segments)
        std::printf("SEG %d %.2f %.2f %.4f %.4f\n", s.source, msBetween(zeroNs, s.fromNs),
                    msBetween(zeroNs, s.toNs), s.placeFrom, s.placeTo);
}

const QStringList &cueScenarios()
{
    static const QStringList s{u"playing"_s, u"paused"_s, u"other"_s, u"opened"_s};
    return s;
}

// Printed by the child: for each cue "CUE scenario track row heard place_error_ms
// first_sound_ms any_sound": heard 0 when no sound of the row's place came
// within 1 s (then the time is -1), the error of the place of the first sound
// of the track after the cue, whatever it is (-1 if none), and any_sound 0
// when nothing of the track was heard at all within 1 s; for each F5 "SWITCH silence_ms
// place_jump_ms first_sound_ms before_heard same_place_silence_ms": the silence from the last sound
// of the track left to the first of the other, how far that one's place is from where the first
// stopped, the time from F5 to it, whether the track left was heard at all, and the silence until
// the place where it stopped goes on
// (-1 when it does not within 1 s; -1 -1 -1 … when the other track stayed
// silent). "-1" alone without a sound server, "-2" without an MP3 encoder.
int probeHeardCues(const QString &kind, double rate, int perScenario)
{
    test::NullSinkServer sound;
    if (!sound.start()) {
        std::printf("-1\n");
        return 0;
    }
    ProbeApplication probe;
    QTemporaryDir dir;
    HeardWindow w;
    if (!w.setUp(dir, kind, rate)) {
        std::printf("-2\n");
        return 0;
    }
    Playback &playback = w.form.playback();
    test::TimedSinkRecorder recorder;
    if (!recorder.start(sound)) {
        std::printf("-1\n");
        return 0;
    }
    struct Cue {
        QString scenario;
        Playback::Track track;
        int row;
        qint64 at;
    };
    std::vector<Cue> cues;
    const double settle = 600 + 200 / rate;
    for (int k = 0; k < perScenario; ++k) {
        for (const QString &scenario : cueScenarios()) {
            // Each scenario on either player in turn, round by round.
            const auto n = static_cast<int>(cues.size());
            const Playback::Track t =
                (n + k) % 2 == 0 ? Playback::Track::Accompaniment : Playback::Track::Original;
            const int row = (n * 7 + 3) % HeardWindow::kRows;
            const int before = (row + HeardWindow::kRows / 2) % HeardWindow::kRows;
            if (scenario == u"playing"_s) {
                playback.cueRow(before, t);
                waitFor(settle);
            } else if (scenario == u"paused"_s) {
                playback.cueRow(before, t);
                waitFor(settle);
                playback.pauseBoth();
                waitFor(400);
            } else if (scenario == u"other"_s) {
                playback.cueRow(before, HeardWindow::other(t));
                waitFor(settle);
            }
            const qint64 at = test::monotonicNowNs();
            if (scenario == u"opened"_s) {
                w.open(t);
                playback.cueRow(row, t);
            } else {
                w.click(t, row);
            }
            cues.push_back({scenario, t, row, at});
            waitFor(1100);
        }
    }
    playback.pauseBoth();
    waitFor(400);
    // F5 while a track plays a row, both files opened afresh first (a player
    // left silent by a cue stays so until then).
    for (const Playback::Track t : {Playback::Track::Accompaniment, Playback::Track::Original}) {
        w.open(t);
        waitFor(1000);
    }
    playback.pauseBoth();
    waitFor(400);
    std::vector<std::pair<qint64, Playback::Track>> switches;
    for (int k = 0; k < 10; ++k) {
        const Playback::Track t =
            k % 2 == 0 ? Playback::Track::Accompaniment : Playback::Track::Original;
        playback.cueRow((k * 5 + 2) % HeardWindow::kRows, t);
        waitFor(settle);
        switches.emplace_back(test::monotonicNowNs(), t);
        playback.switchTrack();
        waitFor(1000);
        playback.pauseBoth();
        waitFor(300);
    }
    recorder.stop();
    printRecorder(recorder);

    const test::Recording heard = test::recordingOf(recorder);
    const test::HeardDecoder decoder(w.sources, rate);
    const std::vector<test::HeardSegment> segments = decoder.decode(heard);
    printSegments(segments, heard.startNs);
    constexpr qint64 second = 1'000'000'000;
    for (const Cue &c : cues) {
        std::printf("ACT %s %d %d %.2f\n", qPrintable(c.scenario), HeardWindow::index(c.track),
                    c.row, msBetween(heard.startNs, c.at));
        const int source = HeardWindow::index(c.track);
        const double seconds = HeardWindow::rowSeconds(c.row);
        const test::HeardSegment *first =
            test::firstHeard(segments, source, c.at - kDatingSlack, c.at + second);
        const test::HeardSegment *right = test::firstHeard(segments, source, c.at - kDatingSlack,
                                                           c.at + second, startsNear, seconds);
        std::printf("CUE %s %d %d %d %.2f %.2f %d\n", qPrintable(c.scenario), source, c.row,
                    right ? 1 : 0, first ? std::abs(first->placeFrom - seconds) * 1000 : -1.0,
                    right ? msBetween(c.at, right->fromNs) : -1.0, first ? 1 : 0);
    }
    for (const auto &[at, t] : switches) {
        const int from = HeardWindow::index(t);
        std::printf("ACT switch %d - %.2f\n", from, msBetween(heard.startNs, at));
        const test::HeardSegment *before = test::heardAt(segments, from, at, 50'000'000);
        const test::HeardSegment *after =
            test::firstHeard(segments, 1 - from, at - kDatingSlack, at + second);
        if (!before || !after) {
            std::printf("SWITCH -1 -1 -1 %d -1\n", before ? 1 : 0);
            continue;
        }
        const test::HeardSegment *right = test::firstHeard(
            segments, 1 - from, at - kDatingSlack, at + second, startsNear, before->placeTo);
        std::printf("SWITCH %.2f %.2f %.2f 1 %.2f\n", msBetween(before->toNs, after->fromNs),
                    (after->placeFrom - before->placeTo) * 1000, msBetween(at, after->fromNs),
                    right ? msBetween(before->toNs, right->fromNs) : -1.0);
    }
    return 0;
}

// Printed by the child: a row's loop as heard, "TURN lost_end_ms gap_ms
// foreign_ms skipped_start_ms" for each turn: how much of the line's end was
// not heard (file ms, from where the round went furthest), the time from
// there to the start heard again and how much of it was sound other than
// silence (ms heard, a piece of the line heard again included), and how much
// of the start was skipped (file ms); and "ROUND length_error_ms" for
// each round between two turns (the round's time heard times the rate, less
// the span). "-1" without a sound server, "-2" without an MP3 encoder.
int probeLoopHeard(const QString &kind, double rate)
{
    test::NullSinkServer sound;
    if (!sound.start()) {
        std::printf("-1\n");
        return 0;
    }
    ProbeApplication probe;
    QTemporaryDir dir;
    HeardWindow w;
    if (!w.setUp(dir, kind, rate)) {
        std::printf("-2\n");
        return 0;
    }
    Playback &playback = w.form.playback();
    test::TimedSinkRecorder recorder;
    if (!recorder.start(sound)) {
        std::printf("-1\n");
        return 0;
    }
    // Row 3 loops from 1 s before its time (the lead-in) to row 4's time,
    // started while the song plays.
    constexpr int row = 3;
    constexpr double leadIn = 1.0;
    playback.setLeadIn(leadIn);
    const double spanFrom = HeardWindow::rowSeconds(row) - leadIn;
    const double spanTo = HeardWindow::rowSeconds(row + 1);
    playback.cueRow(0, Playback::Track::Accompaniment);
    waitFor(1000);
    const qint64 at = test::monotonicNowNs();
    playback.loopRow(row, Playback::Track::Accompaniment);
    waitFor((spanTo - spanFrom) * 1000 * 5 / rate + 500);
    w.player(Playback::Track::Accompaniment).clearLoop();
    playback.pauseBoth();
    waitFor(300);
    recorder.stop();
    printRecorder(recorder);

    const test::Recording heard = test::recordingOf(recorder);
    const test::HeardDecoder decoder(w.sources, rate);
    std::vector<test::HeardSegment> segments = decoder.decode(heard);
    printSegments(segments, heard.startNs);
    const std::vector<test::HeardTurn> turns =
        test::loopTurns(decoder, heard, segments, 0, at - kDatingSlack, spanFrom, spanTo, rate);
    for (size_t k = 0; k < turns.size(); ++k) {
        const test::HeardTurn &t = turns[k];
        std::printf("TURN %.2f %.2f %.2f %.2f %.2f\n", t.lostEndMs, t.gapMs, t.foreignMs,
                    t.skippedStartMs, t.quietMs);
        if (k > 0)
            std::printf("ROUND %.2f\n", t.roundErrorMs);
    }
    std::printf("# %zu rounds heard\n", turns.empty() ? 0 : turns.size() + 1);
    return 0;
}

// Printed by the child: for each of `opens` files opened, "OPEN first_sound_ms
// first_place_ms", -1 -1 when nothing of the file was heard within 2 s.
int probeOpenHeard(const QString &kind, int opens)
{
    test::NullSinkServer sound;
    if (!sound.start()) {
        std::printf("-1\n");
        return 0;
    }
    ProbeApplication probe;
    QTemporaryDir dir;
    HeardWindow w;
    if (!w.setUp(dir, kind, 1.0)) {
        std::printf("-2\n");
        return 0;
    }
    test::TimedSinkRecorder recorder;
    if (!recorder.start(sound)) {
        std::printf("-1\n");
        return 0;
    }
    std::vector<std::pair<qint64, Playback::Track>> at;
    for (int k = 0; k < opens; ++k) {
        const Playback::Track t =
            k % 2 == 0 ? Playback::Track::Accompaniment : Playback::Track::Original;
        at.emplace_back(test::monotonicNowNs(), t);
        w.open(t);
        waitFor(1200);
        w.form.playback().pauseBoth();
        waitFor(300);
    }
    recorder.stop();
    printRecorder(recorder);
    const test::HeardDecoder decoder(w.sources, 1.0);
    const test::Recording heard = test::recordingOf(recorder);
    const std::vector<test::HeardSegment> segments = decoder.decode(heard);
    printSegments(segments, heard.startNs);
    for (const auto &[ns, t] : at) {
        const test::HeardSegment *first = test::firstHeard(segments, HeardWindow::index(t),
                                                           ns - kDatingSlack, ns + 2'000'000'000);
        if (first)
            std::printf("OPEN %.2f %.2f\n", msBetween(ns, first->fromNs), first->placeFrom * 1000);
        else
            std::printf("OPEN -1 -1\n");
    }
    return 0;
}

// Opens files one after the other, from number `from` to `to` (even ones a
// WAV, odd ones an MP3, two of each taken in turn), each until the player
// plays or fails: "OPEN number ms" (ms -1: neither within 10 s, -2: failed),
// printed as it goes. A hang inside the player stops the lines; the parent
// then ends this child and starts another for the rest.
int probeStress(int from, int to)
{
    test::NullSinkServer sound;
    if (!sound.start()) {
        std::printf("-1\n");
        return 0;
    }
    ProbeApplication probe;
    QTemporaryDir dir;
    QString files[2][2];
    for (int copy = 0; copy < 2; ++copy) {
        files[0][copy] = dir.filePath(u"open%1.wav"_s.arg(copy));
        files[1][copy] = dir.filePath(u"open%1.mp3"_s.arg(copy));
        for (int k = 0; k < 2; ++k) {
            if (test::writeHeardFile(files[k][copy], 0, 8).reference.empty()) {
                std::printf("-2\n");
                return 0;
            }
        }
    }
    AudioPlayer player;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (int k = from; k < to; ++k) {
        QElapsedTimer t;
        t.start();
        player.setURL(files[k % 2][k / 2 % 2]);
        const bool settled = waitUntil(
            [&] {
                return (player.isPlaying() && player.duration() > 0) ||
                       !player.errorText().isEmpty();
            },
            10000, 1);
        const double ms = t.nsecsElapsed() / 1e6;
        if (settled && !player.errorText().isEmpty())
            std::printf("# open %d failed: %s\n", k, qPrintable(player.errorText()));
        std::printf("OPEN %d %.2f\n", k,
                    !settled                        ? -1.0
                    : !player.errorText().isEmpty() ? -2.0
                                                    : ms);
    }
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

QByteArray runChild(const QStringList &args, int timeoutMs = 300000,
                    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments(args);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start();
    p.waitForFinished(timeoutMs);
    return p.readAllStandardOutput();
}

// An X server of the benchmark's own (Xvfb) for the figures of the real window
// on X11. The pointer starts at the middle of the screen, over the centred
// window, as it is after the user has picked a file in a dialog.
class XServer
{
public:
    XServer() = default;
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;
    ~XServer()
    {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(1000);
    }

    // Starts it on the first free display; why not, when it could not.
    QString start()
    {
        // Xvfb writes the display it took to the descriptor once it accepts
        // connections.
        m_server.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x1024x24"_s,
                                   u"-dpi"_s, u"96"_s, u"-nolisten"_s, u"tcp"_s, u"-noreset"_s});
        if (!m_server.waitForStarted(5000))
            return u"Xvfb could not be started: "_s + m_server.errorString();
        QElapsedTimer t;
        t.start();
        while (m_display.isEmpty() && t.elapsed() < 20000 &&
               m_server.state() == QProcess::Running) {
            m_server.waitForReadyRead(100);
            m_written += m_server.readAllStandardOutput();
            if (m_written.endsWith('\n'))
                m_display = u":"_s + QString::fromLatin1(m_written.trimmed());
        }
        return m_display.isEmpty() ? u"Xvfb reported no display"_s : QString();
    }

    // The environment of a child that runs its window on this server.
    QProcessEnvironment childEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DISPLAY"_s, m_display);
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        return env;
    }

private:
    QProcess m_server;
    QByteArray m_written;
    QString m_display;
};

// The fields of the child's lines that start with `tag`, as numbers (the
// first field after the tag at 0); "#" lines are passed on as they are.
QList<QList<QByteArray>> childLines(const QByteArray &out, const QByteArray &tag)
{
    QList<QList<QByteArray>> lines;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.value(0) == tag)
            lines.append(fields.mid(1));
    }
    return lines;
}

void passComments(const QByteArray &out, const QString &prefix)
{
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith('#'))
            std::printf("# %s:%s\n", qPrintable(prefix), line.mid(1).constData());
    }
}

// Whether a child of the heard figures could run; says why not. With
// "--keep DIR", its whole output (every stretch heard) goes to a file there.
bool heardChildRan(const QByteArray &out, const QString &what)
{
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype keep = args.indexOf(u"--keep"_s); keep > 0 && keep + 1 < args.size()) {
        QFile f(QDir(args.at(keep + 1)).filePath(QString(what).replace(u' ', u'-') + u".txt"_s));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(out);
    }
    const QByteArray first = out.trimmed().split('\n').value(0).trimmed();
    if (first == "-1")
        std::printf("# no sound server (pulseaudio, parec): %s skipped\n", qPrintable(what));
    else if (first == "-2")
        std::printf("# no MP3 encoder or decoder (gst-launch-1.0): %s skipped\n", qPrintable(what));
    else if (out.trimmed().isEmpty())
        std::printf("# the child of %s printed nothing\n", qPrintable(what));
    else
        return true;
    return false;
}

double worstOf(const std::vector<double> &v)
{
    return v.empty() ? -1 : *std::max_element(v.begin(), v.end());
}

double medianOr(const std::vector<double> &v)
{
    return v.empty() ? -1 : median(v);
}

QString rateName(double rate)
{
    return QString::number(rate) + u"x"_s;
}

// Cues heard on the output: for each scenario, how many stayed silent, the
// place first heard against the row's time and the time to the right
// sound; then F5.
void reportHeardCues(const QString &kind, double rate, int perScenario)
{
    const QString what = u"heard %1 %2"_s.arg(kind, rateName(rate));
    const QByteArray out = runChild(
        {u"--probe-heard"_s, kind, QString::number(rate), QString::number(perScenario)}, 1800000);
    if (!heardChildRan(out, what))
        return;
    passComments(out, what);
    const QString soundGoal = rate < 1 ? u"<= 80"_s : u"<= 40"_s;
    const QList<QList<QByteArray>> cues = childLines(out, "CUE");
    for (const QString &scenario : cueScenarios()) {
        int made = 0, silent = 0, nothing = 0;
        std::vector<double> place, sound;
        for (qsizetype i = 0; i < cues.size(); ++i) {
            const QList<QByteArray> &c = cues[i];
            if (QString::fromLatin1(c.value(0)) != scenario)
                continue;
            ++made;
            if (c.value(4).toDouble() >= 0)
                place.push_back(c.value(4).toDouble());
            if (c.value(3) == "1") {
                sound.push_back(c.value(5).toDouble());
                continue;
            }
            ++silent;
            if (c.value(6) == "0")
                ++nothing;
            const QList<QByteArray> before = i > 0 ? cues[i - 1] : QList<QByteArray>();
            std::printf("# %s: silent cue %lld (%s, player %s, row %s, first sound %s ms off the "
                        "row); before it: %s on player %s, %s\n",
                        qPrintable(what), static_cast<long long>(i), c.value(0).constData(),
                        c.value(1).constData(), c.value(2).constData(), c.value(4).constData(),
                        before.value(0, "nothing").constData(), before.value(1, "-").constData(),
                        before.value(3) == "1" ? "heard" : "silent");
        }
        const QString name = u"heard_%1_%2_%3"_s.arg(scenario, kind, rateName(rate));
        report(name + u"_silent_cues"_s, silent, u"of %1"_s.arg(made), u"0"_s);
        report(name + u"_cues_with_nothing_heard"_s, nothing, u"of %1"_s.arg(made), u"0"_s);
        report(name + u"_place_error_median_ms"_s, medianOr(place), u"ms"_s, u"<= 10"_s);
        report(name + u"_place_error_worst_ms"_s, worstOf(place), u"ms"_s, u"<= 10"_s);
        report(name + u"_first_sound_median_ms"_s, medianOr(sound), u"ms"_s, soundGoal);
        report(name + u"_first_sound_worst_ms"_s, worstOf(sound), u"ms"_s, soundGoal);
    }
    std::vector<double> silence, jump, sound, toRight;
    int quiet = 0, unmeasured = 0;
    const QList<QList<QByteArray>> switches = childLines(out, "SWITCH");
    for (const QList<QByteArray> &s : switches) {
        if (s.value(3) == "0") {
            ++unmeasured;
            continue;
        }
        if (s.value(0).toDouble() == -1 && s.value(2).toDouble() == -1) {
            ++quiet;
            continue;
        }
        silence.push_back(s.value(0).toDouble());
        jump.push_back(std::abs(s.value(1).toDouble()));
        sound.push_back(s.value(2).toDouble());
        if (s.value(4).toDouble() >= 0)
            toRight.push_back(s.value(4).toDouble());
    }
    const QString name = u"heard_switch_%1_%2"_s.arg(kind, rateName(rate));
    report(name + u"_silent_switches"_s, quiet, u"of %1"_s.arg(switches.size() - unmeasured),
           u"0"_s);
    if (unmeasured > 0)
        std::printf("# %s: %d of the switches not measured: the track left was not heard\n",
                    qPrintable(what), unmeasured);
    report(name + u"_silence_median_ms"_s, medianOr(silence), u"ms"_s, u"<= 40"_s);
    report(name + u"_silence_worst_ms"_s, worstOf(silence), u"ms"_s, u"<= 40"_s);
    report(name + u"_place_jump_worst_ms"_s, worstOf(jump), u"ms"_s);
    report(name + u"_silence_to_same_place_worst_ms"_s, worstOf(toRight), u"ms"_s, u"<= 40"_s);
    report(name + u"_first_sound_median_ms"_s, medianOr(sound), u"ms"_s);
}

// A row's loop heard on the output: each round's length, and what is lost,
// silent or foreign at each turn.
void reportLoopHeard(const QString &kind, double rate)
{
    const QString what = u"loopheard %1 %2"_s.arg(kind, rateName(rate));
    const QByteArray out = runChild({u"--probe-loop-heard"_s, kind, QString::number(rate)});
    if (!heardChildRan(out, what))
        return;
    passComments(out, what);
    std::vector<double> end, gap, foreign, start, quiet, round;
    for (const QList<QByteArray> &t : childLines(out, "TURN")) {
        end.push_back(t.value(0).toDouble());
        gap.push_back(t.value(1).toDouble());
        foreign.push_back(t.value(2).toDouble());
        start.push_back(t.value(3).toDouble());
        quiet.push_back(t.value(4).toDouble());
    }
    for (const QList<QByteArray> &r : childLines(out, "ROUND"))
        round.push_back(std::abs(r.value(0).toDouble()));
    const auto worstAbs = [](std::vector<double> v) {
        for (double &x : v)
            x = std::abs(x);
        return worstOf(v);
    };
    const QString name = u"loopheard_%1_%2"_s.arg(kind, rateName(rate));
    report(name + u"_turns"_s, static_cast<double>(end.size()), u"turns"_s, u">= 3"_s);
    report(name + u"_round_error_worst_ms"_s, worstOf(round), u"ms"_s, u"<= 2"_s);
    report(name + u"_turn_end_lost_worst_ms"_s, worstAbs(end), u"ms"_s, u"<= 5"_s);
    // Between the end and the start heard again: silence, and the sound of
    // neither (slowed, the tempo filter blends the one into the other).
    report(name + u"_turn_silence_worst_ms"_s, worstOf(quiet), u"ms"_s, u"<= 5"_s);
    report(name + u"_turn_gap_worst_ms"_s, worstOf(gap), u"ms"_s);
    report(name + u"_turn_foreign_worst_ms"_s, worstOf(foreign), u"ms"_s);
    report(name + u"_turn_start_skipped_worst_ms"_s, worstAbs(start), u"ms"_s, u"<= 5"_s);
}

void reportOpenHeard(const QString &kind, int opens)
{
    const QString what = u"open %1"_s.arg(kind);
    const QByteArray out =
        runChild({u"--probe-open-heard"_s, kind, QString::number(opens)}, 900000);
    if (!heardChildRan(out, what))
        return;
    passComments(out, what);
    std::vector<double> sound, place;
    int silent = 0;
    const QList<QList<QByteArray>> lines = childLines(out, "OPEN");
    for (const QList<QByteArray> &o : lines) {
        if (o.value(0).toDouble() < 0) {
            ++silent;
            continue;
        }
        sound.push_back(o.value(0).toDouble());
        place.push_back(std::abs(o.value(1).toDouble()));
    }
    const QString name = u"open_heard_%1"_s.arg(kind);
    report(name + u"_silent_opens"_s, silent, u"of %1"_s.arg(lines.size()), u"0"_s);
    report(name + u"_first_sound_median_ms"_s, medianOr(sound), u"ms"_s, u"<= 100"_s);
    report(name + u"_first_sound_worst_ms"_s, worstOf(sound), u"ms"_s, u"<= 100"_s);
    report(name + u"_first_place_worst_ms"_s, worstOf(place), u"ms"_s);
}

// `total` opens in children that print each as it is done; a child that
// prints nothing for 15 s is taken as hung, ended, and followed by a new one
// for the rest.
void reportStress(int total)
{
    std::vector<double> wav, mp3;
    int hangs = 0, failed = 0, unsettled = 0, done = 0;
    for (int next = 0; next < total;) {
        QProcess p;
        p.setProgram(QCoreApplication::applicationFilePath());
        p.setArguments({u"--probe-stress"_s, QString::number(next), QString::number(total)});
        p.start();
        QElapsedTimer quiet;
        quiet.start();
        bool hung = false;
        QByteArray pending;
        for (;;) {
            const bool ended = p.state() == QProcess::NotRunning;
            p.waitForReadyRead(200);
            pending += p.readAllStandardOutput();
            qsizetype eol;
            while ((eol = pending.indexOf('\n')) >= 0) {
                const QByteArray line = pending.left(eol).trimmed();
                const QList<QByteArray> f = line.split(' ');
                pending.remove(0, eol + 1);
                if (f.value(0) == "-1" || f.value(0) == "-2") {
                    std::printf("# stress: the child could not set up (%s)\n",
                                f.value(0).constData());
                    return;
                }
                if (line.startsWith('#')) {
                    std::printf("# stress:%s\n", line.mid(1).constData());
                    continue;
                }
                if (f.value(0) != "OPEN")
                    continue;
                const int k = f.value(1).toInt();
                const double ms = f.value(2).toDouble();
                next = k + 1;
                ++done;
                if (ms == -1)
                    ++unsettled;
                else if (ms == -2)
                    ++failed;
                else
                    (k % 2 == 0 ? wav : mp3).push_back(ms);
                quiet.restart();
                if (done % 500 == 0) {
                    std::printf("# stress: %d opens done, %d hangs\n", done, hangs);
                    std::fflush(stdout);
                }
            }
            if (ended || next >= total)
                break;
            if (quiet.elapsed() > 15000) {
                hung = true;
                break;
            }
        }
        if (hung) {
            ++hangs;
            std::printf("# stress: open %d hung (no progress for 15 s); a new child goes on\n",
                        next);
            std::fflush(stdout);
            p.kill();
            ++next;
        }
        p.waitForFinished(5000);
        if (!hung && next < total) {
            // Ended without finishing, with no hang: it crashed at `next`.
            std::printf("# stress: the child ended at open %d (exit %d)\n", next, p.exitCode());
            ++next;
        }
    }
    report(u"stress_opens_done"_s, done, u"of %1"_s.arg(total));
    report(u"stress_hangs"_s, hangs, u"hangs"_s, u"0"_s);
    report(u"stress_failed_opens"_s, failed, u"opens"_s, u"0"_s);
    report(u"stress_unsettled_opens"_s, unsettled, u"opens"_s, u"0"_s);
    report(u"stress_open_wav_median_ms"_s, medianOr(wav), u"ms"_s);
    report(u"stress_open_wav_worst_ms"_s, worstOf(wav), u"ms"_s);
    report(u"stress_open_mp3_median_ms"_s, medianOr(mp3), u"ms"_s);
    report(u"stress_open_mp3_worst_ms"_s, worstOf(mp3), u"ms"_s);
}

// The number after `option` on the command line, or `otherwise`.
int optionValue(const QString &option, int otherwise)
{
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(option);
    bool ok = false;
    const int v = at > 0 ? args.value(at + 1).toInt(&ok) : 0;
    return ok && v > 0 ? v : otherwise;
}

double startupMs(const QString &kind)
{
    const qint64 before = monotonicNs();
    const QByteArray out = runChild({u"--probe-startup"_s, kind});
    const qint64 at = out.trimmed().toLongLong();
    return at > 0 ? (at - before) / 1e6 : -1;
}

// Milliseconds until the player reports a position within 0.25 s of `seconds`
// (its own report: the position asked for is echoed at once, while cueing).
double cueMs(Form1 &form, const QString &media, double seconds)
{
    AudioPlayer *player = form.WindowsMediaPlayer1()->player();
    player->setURL(media);
    pumpUntil([&] { return player->duration() > 0; }, 10000);
    bool reported = false;
    bool cueing = false;
    const QMetaObject::Connection c =
        QObject::connect(player, &AudioPlayer::positionChanged, [&](qint64 ms) {
            if (!cueing && std::abs(static_cast<double>(ms) / 1000.0 - seconds) <= 0.25)
                reported = true;
        });
    std::vector<double> samples;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        reported = false;
        cueing = true;
        form.dcButton2_Click(3);
        cueing = false;
        pumpUntil([&] { return reported; }, 5000, 1);
        samples.push_back(t.nsecsElapsed() / 1e6);
        player->pause();
        player->setCurrentPosition(0);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QObject::disconnect(c);
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
    AudioPlayer *player = form.WindowsMediaPlayer1()->player();
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
            player->currentPosition() * 1000.0 - static_cast<double>(since.elapsed()) * rate;
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
    // "--only startup,load,new,save,recovery,cue,readings,aids,pitch,loop,heard,loopheard,open,
    // stress" runs some of the figures; all but recovery and stress by default. "--cues N":
    // cues of each kind for each file and speed heard (20); "--opens N": files of each kind
    // opened by stress (2,000).
    const int only = QCoreApplication::arguments().indexOf(u"--only"_s);
    const QStringList parts =
        only > 0 ? QCoreApplication::arguments().value(only + 1).split(u',')
                 : QStringList{u"startup"_s, u"load"_s,     u"new"_s,       u"save"_s,
                               u"cue"_s,     u"readings"_s, u"aids"_s,      u"pitch"_s,
                               u"loop"_s,    u"heard"_s,    u"loopheard"_s, u"open"_s};

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
        writeLyricFile(file, lyricLines(n));
        const QList<QByteArray> out =
            runChild({u"--probe-load"_s, QString::number(n), file}).trimmed().split(' ');
        const double ms = out.value(0).toDouble();
        const double mib = out.value(1).toDouble();
        const QString goal = n == 1000 ? u"< 500"_s : n == 10000 ? u"< 5000"_s : QString();
        report(u"load_%1_ms"_s.arg(n), ms, u"ms"_s, goal);
        report(u"load_%1_cpu_ms"_s.arg(n), out.value(2).toDouble(), u"ms"_s);
        report(u"load_%1_peak_rss_mib"_s.arg(n), mib, u"MiB"_s,
               n == 10000 ? u"< 300"_s : QString());
    }

    // The same loads with the window on an X server, where each request that
    // waits for the server's answer costs a round trip.
    if (parts.contains(u"load"_s)) {
        XServer x;
        if (const QString why = x.start(); !why.isEmpty()) {
            std::printf("# %s: the loads on an X server skipped\n", qPrintable(why));
        } else {
            for (int n : {1000, 10000}) {
                const QString file = dir.filePath(u"load%1.lrc"_s.arg(n));
                const QList<QByteArray> out =
                    runChild({u"--probe-load"_s, QString::number(n), file}, 300000,
                             x.childEnvironment())
                        .trimmed()
                        .split(' ');
                if (out.size() < 3) {
                    std::printf("# the load of %d lines on Xvfb printed nothing\n", n);
                    continue;
                }
                report(u"load_%1_xvfb_ms"_s.arg(n), out.value(0).toDouble(), u"ms"_s,
                       n == 1000 ? u"< 500"_s : u"< 3000"_s);
                report(u"load_%1_xvfb_cpu_ms"_s.arg(n), out.value(2).toDouble(), u"ms"_s);
            }
        }
    }

    // "打开新歌词" on 10,000 rows, until the window is painted.
    if (parts.contains(u"new"_s)) {
        const QString original = dir.filePath(u"new-original.lrc"_s);
        writeLyricFile(original, lyricLines(10000));
        QStringList words;
        for (int i = 0; i < 10000; ++i)
            words << u"新词第%1句 举头望明月"_s.arg(i + 1);
        const QString file = dir.filePath(u"new-words.lrc"_s);
        writeLyricFile(file, words);
        const QByteArray out = runChild({u"--probe-new-lyrics"_s, u"10000"_s, original, file});
        report(u"open_new_lyrics_10000_ms"_s, out.trimmed().toDouble(), u"ms"_s, u"< 500"_s);
    }

    // Save and reopen of 10,000 rows.
    if (parts.contains(u"save"_s)) {
        Form1 sheetForm(tools);
        const QString file = dir.filePath(u"ten-thousand.lrc"_s);
        writeLyricFile(file, lyricLines(10000));
        sheetForm.commands().loadOriginalLyrics(file);
        for (int i = 1; i <= sheetForm.sheet().count(); ++i)
            sheetForm.rows().newWordsBox(i - 1)->setText(u"新词第%1句 举头望明月"_s.arg(i));
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
        writeLyricFile(lrc, {u"[ti:cue]"_s, u"[00:01.00]a"_s, u"[00:07.50]b"_s});
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

        // The word finder's tables, likewise in fresh processes.
        std::vector<double> wordsOpen, query, grown;
        for (int i = 0; i < 11; ++i) {
            const QList<QByteArray> out = runChild({u"--probe-words"_s}).trimmed().split(' ');
            wordsOpen.push_back(out.value(0).toDouble());
            query.push_back(out.value(1).toDouble());
            grown.push_back(out.value(2).toDouble());
        }
        report(u"finder_tables_open_ms"_s, median(wordsOpen), u"ms"_s, u"< 50"_s);
        report(u"finder_query_worst_ms"_s, *std::max_element(query.begin(), query.end()), u"ms"_s,
               u"< 30"_s);
        report(u"finder_memory_growth_mib"_s, *std::max_element(grown.begin(), grown.end()),
               u"MiB"_s, u"< 25"_s);
    }

    // The writing aids' update for one keystroke on a 100-row sheet: the row's
    // fit and rhyme worked out, the rhyme judged across the sheet and the
    // marks shown; then the same with the aids window following the row.
    if (parts.contains(u"aids"_s)) {
        Form1 aidsForm(tools);
        aidsForm.show();
        const QString file = dir.filePath(u"hundred.lrc"_s);
        writeLyricFile(file, lyricLines(100));
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
                QLineEdit *box = aidsForm.rows().newWordsBox(row - 1);
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
        writeLyricFile(lrc, {u"[00:02.00]a"_s, u"[00:03.00]b"_s, u"[00:06.00]c"_s});
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

    // What is heard on a sound server's output: cues from each state, F5, a
    // row's loop and opening a file, on WAV and MP3, at the normal speed and
    // at half speed.
    if (parts.contains(u"heard"_s)) {
        const int perScenario = optionValue(u"--cues"_s, 20);
        for (const QString &kind : {u"wav"_s, u"mp3"_s})
            for (const double rate : {1.0, 0.5})
                reportHeardCues(kind, rate, perScenario);
    }
    if (parts.contains(u"loopheard"_s)) {
        for (const QString &kind : {u"wav"_s, u"mp3"_s})
            for (const double rate : {1.0, 0.5})
                reportLoopHeard(kind, rate);
    }
    if (parts.contains(u"open"_s)) {
        for (const QString &kind : {u"wav"_s, u"mp3"_s})
            reportOpenHeard(kind, 20);
    }
    // Many files opened, WAV and MP3 in turn, each until it plays or fails.
    if (parts.contains(u"stress"_s))
        reportStress(2 * optionValue(u"--opens"_s, 2000));

    std::printf("\n| figure | value | goal |\n|---|---:|---|\n");
    for (const Row &r : std::as_const(g_rows))
        std::printf("| %s | %.2f %s | %s |\n", qPrintable(r.name), r.value, qPrintable(r.unit),
                    qPrintable(r.goal));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 5 && qstrcmp(argv[1], "--probe-heard") == 0)
        return probeHeardCues(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toDouble(),
                              QByteArray(argv[4]).toInt());
    if (argc >= 4 && qstrcmp(argv[1], "--probe-loop-heard") == 0)
        return probeLoopHeard(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toDouble());
    if (argc >= 4 && qstrcmp(argv[1], "--probe-open-heard") == 0)
        return probeOpenHeard(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    if (argc >= 4 && qstrcmp(argv[1], "--probe-stress") == 0)
        return probeStress(QByteArray(argv[2]).toInt(), QByteArray(argv[3]).toInt());
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
    if (argc >= 2 && qstrcmp(argv[1], "--probe-words") == 0)
        return probeWords();
    return runAll(argc, argv);
}
