// The decoder of what is heard, on recordings made of known pieces of the
// two players' files: it finds each piece, where it starts and ends on the
// recording and which place of which file it starts at, to a millisecond.
#include "support/heard.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <random>

using namespace Qt::StringLiterals;
using namespace syj::test;

class HeardTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    // The two players' files as WAV and as MP3.
    HeardSource m_sources[2][2];

    struct Piece {
        int source = -1; // -1: silence
        double place = 0;
        double seconds = 0;
        double gain = 0.2;
        double mixedAt = -1; // over the recording from that second, not after the rest
        double startsAt = 0; // on the recording, worked out
    };

    // "_0.3" is 0.3 s of silence; "A7.5/0.8" the accompaniment's file from
    // 7.5 s for 0.8 s ("B": the original's), "@0.05" its gain (0.2), "^1.0"
    // mixed over the recording from 1.0 s instead of following the rest.
    static std::vector<Piece> parse(const QString &script)
    {
        std::vector<Piece> pieces;
        for (QString token : script.split(u' ', Qt::SkipEmptyParts)) {
            Piece p;
            if (token.startsWith(u'_')) {
                p.seconds = token.mid(1).toDouble();
                pieces.push_back(p);
                continue;
            }
            p.source = token.startsWith(u'A') ? 0 : 1;
            token = token.mid(1);
            if (const qsizetype at = token.indexOf(u'^'); at >= 0) {
                p.mixedAt = token.mid(at + 1).toDouble();
                token = token.left(at);
            }
            if (const qsizetype at = token.indexOf(u'@'); at >= 0) {
                p.gain = token.mid(at + 1).toDouble();
                token = token.left(at);
            }
            p.place = token.section(u'/', 0, 0).toDouble();
            p.seconds = token.section(u'/', 1, 1).toDouble();
            pieces.push_back(p);
        }
        return pieces;
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (int player = 0; player < 2; ++player) {
            m_sources[0][player] = writeHeardFile(m_dir.filePath(u"p%1.wav"_s.arg(player)), player);
            m_sources[1][player] = writeHeardFile(m_dir.filePath(u"p%1.mp3"_s.arg(player)), player);
            QVERIFY(!m_sources[0][player].reference.empty());
        }
    }

    void findsEachPiece_data()
    {
        QTest::addColumn<QString>("pieces");
        QTest::newRow("from silence") << u"_0.3 A7.5/0.8 _0.2"_s;
        QTest::newRow("a jump in the file, no gap") << u"_0.1 A7.5/0.5 A30.25/0.5 _0.1"_s;
        QTest::newRow("back a little, after 12 ms of silence")
            << u"_0.1 A30.25/0.4 _0.0123 A30.1/0.4 _0.1"_s;
        QTest::newRow("from one player to the other, no gap") << u"_0.1 A3/0.4 B12/0.6 _0.1"_s;
        QTest::newRow("both at once for 100 ms") << u"_0.2 A3/1.0 B20/0.1^0.7 _0.2"_s;
        QTest::newRow("quiet, near the end of the file")
            << u"_0.1 B44.4444/0.3 A59/0.4@0.03 _0.1"_s;
        QTest::newRow("near the start, past an MP3 encoder's delay")
            << u"_0.1 A0.05/0.3 _0.1 B0.08/0.2 _0.1"_s;
    }

    void findsEachPiece()
    {
        QFETCH(QString, pieces);
        for (const int mp3 : {0, 1}) {
            if (mp3 && m_sources[1][0].reference.empty())
                QSKIP("no MP3 encoder or decoder (gst-launch-1.0 with lamemp3enc)");
            const HeardSource *sources = m_sources[mp3];
            std::vector<Piece> played = parse(pieces);
            Recording rec;
            // A piece's place is of the file as the player's decoder gives it.
            for (Piece &p : played) {
                const auto length = static_cast<size_t>(std::lround(p.seconds * rec.rate));
                const auto from = static_cast<size_t>(std::lround(p.place * rec.rate));
                if (p.mixedAt >= 0) {
                    p.startsAt = p.mixedAt;
                    const auto at = static_cast<size_t>(std::lround(p.mixedAt * rec.rate));
                    for (size_t i = 0; i < length; ++i)
                        rec.samples[at + i] +=
                            static_cast<float>(p.gain * sources[p.source].reference[from + i]);
                    continue;
                }
                p.startsAt = static_cast<double>(rec.samples.size()) / rec.rate;
                for (size_t i = 0; i < length; ++i)
                    rec.samples.push_back(
                        p.source < 0
                            ? 0.0f
                            : static_cast<float>(p.gain * sources[p.source].reference[from + i]));
            }
            // As recorded: a little noise, 16 bits.
            std::mt19937 random(5);
            std::normal_distribution<float> noise(0, 1e-4f);
            for (float &v : rec.samples)
                v = std::round((v + noise(random)) * 32768) / 32768;
            rec.startNs = 1'000'000'000;

            const std::vector<HeardSegment> found =
                HeardDecoder({sources[0], sources[1]}).decode(rec);
            std::vector<Piece> heard;
            for (const Piece &p : played) {
                if (p.source >= 0)
                    heard.push_back(p);
            }
            std::sort(heard.begin(), heard.end(),
                      [](const Piece &a, const Piece &b) { return a.startsAt < b.startsAt; });
            QCOMPARE(found.size(), heard.size());
            for (size_t i = 0; i < heard.size(); ++i) {
                const HeardSegment &s = found[i];
                const Piece &p = heard[i];
                const QString what = u"%1, piece %2"_s.arg(mp3 ? u"MP3"_s : u"WAV"_s).arg(i);
                QVERIFY2(s.source == p.source, qPrintable(what));
                QVERIFY2(std::abs(static_cast<double>(s.fromNs - rec.startNs) / 1e9 - p.startsAt) <
                             0.001,
                         qPrintable(what + u": starts at %1 s"_s.arg(
                                               static_cast<double>(s.fromNs - rec.startNs) / 1e9)));
                QVERIFY2(std::abs(s.ms() / 1000 - p.seconds) < 0.001,
                         qPrintable(what + u": lasts %1 ms"_s.arg(s.ms())));
                QVERIFY2(std::abs(s.placeFrom - p.place) < 0.001,
                         qPrintable(what + u": from %1 s of the file"_s.arg(s.placeFrom)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(HeardTest)
#include "tst_core_heard.moc"
