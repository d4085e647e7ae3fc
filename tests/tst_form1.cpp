// The main window as it opens: the place, size, caption, font, stacking and
// visibility of every widget, the column header lined up over its columns, the
// compiled-in pictures, the focus order, and the author window.
//
// Positions are compared in twips, as the window keeps them; the pixels are
// the twips rounded (15 twips a pixel).

#include "app/application.h"
#include "app/form1.h"
#include "app/form2.h"
#include "app/resources.h"
#include "app/rowpanel.h"
#include "platform/classicscrollbar.h"
#include "platform/controlarray.h"
#include "platform/mediaplayer.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "support/scripted.h"
#include "support/widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using syj::Form1;
using syj::Form2;

namespace {

// A click that goes the way of a real one: through the window, so a modal
// window elsewhere would swallow it.
void clickThroughWindow(QWidget *w, Qt::MouseButton button = Qt::LeftButton,
                        QPoint local = QPoint(-1, -1))
{
    if (local == QPoint(-1, -1))
        local = w->rect().center();
    QWindow *window = w->window()->windowHandle();
    QVERIFY(window);
    QTest::mouseClick(window, button, {}, window->mapFromGlobal(w->mapToGlobal(local)));
}

QList<Form2 *> openAuthorWindows()
{
    QList<Form2 *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *f = qobject_cast<Form2 *>(w); f && f->isVisible())
            found.append(f);
    }
    return found;
}

QString captionOf(const QWidget *w)
{
    if (const auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (const auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (const auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    return {};
}

bool near(const QColor &a, const QColor &b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

QString rgb(const QColor &c)
{
    return u"(%1,%2,%3)"_s.arg(c.red()).arg(c.green()).arg(c.blue());
}

quint32 littleEndian(const QByteArray &bytes, qsizetype at, int size)
{
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(bytes.at(at + i));
    return v;
}

// Where QLabel starts drawing plain text: its contents rectangle, less the
// margin, less the indent. With indent left at -1 and no frame the effective
// indent is 0 (a label with a frame would indent by half an "x").
int labelTextStart(const QLabel *label)
{
    int indent = label->indent();
    if (indent < 0)
        indent =
            label->frameWidth() > 0 ? QFontMetrics(label->font()).horizontalAdvance(u'x') / 2 : 0;
    return label->contentsRect().left() + label->margin() + indent;
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<syj::test::ScriptedPlatform> m_platform;
    std::unique_ptr<Form1> m_form;
    QHash<QString, QWidget *> m_widgets;

    QWidget *widget(const QString &name) const { return m_widgets.value(name); }

    QString nameOf(const QWidget *w) const
    {
        for (auto it = m_widgets.cbegin(); it != m_widgets.cend(); ++it) {
            if (it.value() == w)
                return it.key();
        }
        return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                         : u"?"_s + w->objectName();
    }

    // The child widgets of a container, back to front.
    QStringList stackOf(const QWidget *container) const
    {
        QStringList names;
        for (const QObject *o : container->children()) {
            if (const auto *w = qobject_cast<const QWidget *>(o); w && !w->isWindow())
                names << nameOf(w);
        }
        return names;
    }

    static void closeAuthorWindows()
    {
        for (Form2 *f : openAuthorWindows())
            f->close();
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private Q_SLOTS:
    void initTestCase()
    {
        syj::configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
        syj::initResources();
        m_platform = std::make_unique<syj::test::ScriptedPlatform>();
        m_form = std::make_unique<Form1>(*m_platform);
        Form1 &f = *m_form;
        m_widgets = {
            {u"Form1"_s, &f},
            {u"Picture1"_s, f.Picture1()},
            {u"Picture2"_s, f.Picture2()},
            {u"VScroll1"_s, f.VScroll1()},
            {u"Image1"_s, f.Image1()},
            {u"dcButton1"_s, f.dcButton1()},
            {u"dcButton3"_s, f.dcButton3()},
            {u"dcButton4"_s, f.dcButton4()},
            {u"dcButton6"_s, f.dcButton6()},
            {u"dcButton7"_s, f.dcButton7()},
            {u"dcButton8"_s, f.dcButton8()},
            {u"WindowsMediaPlayer1"_s, f.WindowsMediaPlayer1()},
            {u"WindowsMediaPlayer2"_s, f.WindowsMediaPlayer2()},
            {u"Label2"_s, f.Label2()},
            {u"Label3"_s, f.Label3()},
            {u"Label4"_s, f.Label4()},
            {u"Label5"_s, f.Label5()},
            {u"Label6"_s, f.Label6()},
            {u"encodingNote"_s, f.encodingNote()},
            {u"Shape1"_s, f.Shape1()},
            {u"Label1(0)"_s, f.rows().templates().timeLabel},
            {u"Text1(0)"_s, f.rows().templates().originalBox},
            {u"Text2(0)"_s, f.rows().templates().newWordsBox},
            {u"dcButton2(0)"_s, f.rows().templates().accompanimentButton},
            {u"dcButton5(0)"_s, f.rows().templates().recordingButton},
        };
        for (auto it = m_widgets.cbegin(); it != m_widgets.cend(); ++it)
            QVERIFY2(it.value(), qPrintable(it.key() + u" is missing"_s));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
    }

    void cleanup() { closeAuthorWindows(); }

    void cleanupTestCase()
    {
        closeAuthorWindows();
        m_form.reset();
        m_platform.reset();
    }

    // ---- The window itself --------------------------------------------------

    void mainWindow()
    {
        Form1 &f = *m_form;
        QCOMPARE(syj::test::shownTitle(&f), u"声韵笺"_s);
        QVERIFY(!f.windowIcon().isNull());
        QVERIFY(!f.windowIcon().availableSizes().isEmpty());
        QVERIFY(f.isWindow());
        // Fixed single border: client area 944 x 609, no resizing, no maximising.
        QCOMPARE(f.size(), QSize(944, 609));
        QCOMPARE(f.minimumSize(), QSize(944, 609));
        QCOMPARE(f.maximumSize(), QSize(944, 609));
        QCOMPARE(syj::twipsGeometry(&f).size(), QSize(14160, 9135));
        QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(f.windowFlags() & Qt::WindowCloseButtonHint);
        // Centred on the screen. The offscreen screen (800 x 800) is smaller than
        // the window, and the offscreen plugin nudges a window that starts left
        // of the screen by its 2-px frame; so allow 3 px either way.
        const QPoint centre = f.screen()->availableGeometry().center();
        const QPoint client = f.geometry().center() - centre;
        const QPoint frame = f.frameGeometry().center() - centre;
        QVERIFY2(qMax(qAbs(client.x()), qAbs(client.y())) <= 3 &&
                     qMax(qAbs(frame.x()), qAbs(frame.y())) <= 3,
                 qPrintable(u"off centre by %1, %2 (frame %3, %4)"_s.arg(client.x())
                                .arg(client.y())
                                .arg(frame.x())
                                .arg(frame.y())));
    }

    void backgroundAtNaturalSize_data()
    {
        // Points of the window where the background shows: on the window itself
        // between the two panels, and on the lyric panel which draws the same
        // picture from its own top-left corner.
        QTest::addColumn<QPoint>("point");
        QTest::newRow("lyric panel, top-left corner") << QPoint(0, 0);
        QTest::newRow("lyric panel, above the header") << QPoint(600, 40);
        QTest::newRow("lyric panel, below the highlight") << QPoint(500, 150);
        QTest::newRow("lyric panel, right of the header") << QPoint(915, 60);
        QTest::newRow("window, between the panels") << QPoint(100, 300);
        QTest::newRow("window, above the bottom panel") << QPoint(910, 505);
        QTest::newRow("window, left edge") << QPoint(0, 400);
    }

    void backgroundAtNaturalSize()
    {
        QFETCH(QPoint, point);
        const QImage background(u":/pictures/background.bmp"_s);
        QVERIFY(!background.isNull());
        const QImage shot = m_form->grab().toImage();
        QCOMPARE(shot.size(), QSize(944, 609));
        const QColor seen = shot.pixelColor(point);
        const QColor expected = background.pixelColor(point);
        QVERIFY2(near(seen, expected, 1),
                 qPrintable(rgb(seen) + u" instead of "_s + rgb(expected)));
    }

    void lyricPanelBackColour()
    {
        QCOMPARE(m_form->Picture2()->backColor(), QColor(227, 223, 145));
        QVERIFY(!m_form->Picture2()->picture().isNull());
        QCOMPARE(m_form->Picture2()->picture().size(), QSize(1024, 768));
        QVERIFY(!m_form->Picture2()->stretch());
    }

    void panelPictureStretched()
    {
        syj::PictureBox *image = m_form->Image1();
        QVERIFY(image->stretch());
        QCOMPARE(image->picture().size(), QSize(802, 680));
        QCOMPARE(image->size(), QSize(945, 104));

        // The whole picture is squashed into the box: compare horizontal strips.
        const QImage shot = image->grab().toImage();
        const QImage squashed =
            QImage(u":/pictures/panel.jpg"_s)
                .scaled(945, 104, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const auto meanOfStrip = [](const QImage &img, int top, int bottom) {
            qint64 r = 0, g = 0, b = 0, n = 0;
            for (int y = top; y < bottom; ++y) {
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    r += c.red();
                    g += c.green();
                    b += c.blue();
                    ++n;
                }
            }
            return QColor(int(r / n), int(g / n), int(b / n));
        };
        for (int strip = 0; strip < 8; ++strip) {
            const int top = strip * 13, bottom = top + 13;
            const QColor seen = meanOfStrip(shot, top, bottom);
            const QColor expected = meanOfStrip(squashed, top, bottom);
            QVERIFY2(near(seen, expected, 12),
                     qPrintable(
                         u"strip %1: %2 instead of %3"_s.arg(strip).arg(rgb(seen), rgb(expected))));
        }
    }

    // ---- Layout -------------------------------------------------------------

    void stacking_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QStringList>("backToFront");

        QTest::newRow("Form1") << u"Form1"_s
                               << QStringList{u"Picture2"_s, u"VScroll1"_s, u"Picture1"_s};
        QTest::newRow("Picture1") << u"Picture1"_s
                                  << QStringList{
                                         u"Image1"_s,    u"WindowsMediaPlayer1"_s, u"Label2"_s,
                                         u"Label3"_s,    u"WindowsMediaPlayer2"_s, u"Label4"_s,
                                         u"Label5"_s,    u"dcButton1"_s,           u"dcButton4"_s,
                                         u"dcButton3"_s, u"dcButton6"_s,           u"dcButton8"_s,
                                         u"dcButton7"_s, u"encodingNote"_s};
        QTest::newRow("Picture2") << u"Picture2"_s
                                  << QStringList{u"Shape1"_s,      u"Label6"_s,   u"Label1(0)"_s,
                                                 u"Text2(0)"_s,    u"Text1(0)"_s, u"dcButton2(0)"_s,
                                                 u"dcButton5(0)"_s};
    }

    void stacking()
    {
        QFETCH(QString, container);
        QFETCH(QStringList, backToFront);
        QCOMPARE(stackOf(widget(container)), backToFront);
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("caption"); // null: nothing to compare

        const auto row = [](const QString &name, const QString &container, QRect twips,
                            const QString &caption = QString()) {
            QTest::newRow(qPrintable(name)) << name << container << twips << caption;
        };
        row(u"Picture1"_s, u"Form1"_s, {0, 7680, 15015, 1455});
        row(u"VScroll1"_s, u"Form1"_s, {13800, 0, 375, 7695});
        row(u"Picture2"_s, u"Form1"_s, {0, 0, 14175, 2895});

        row(u"dcButton1"_s, u"Picture1"_s, {120, 0, 1695, 495}, u"打开伴奏音乐"_s);
        row(u"dcButton4"_s, u"Picture1"_s, {1800, 0, 1695, 495}, u"打开原唱音乐"_s);
        row(u"dcButton3"_s, u"Picture1"_s, {3480, 0, 1695, 495}, u"打开原唱歌词"_s);
        row(u"dcButton6"_s, u"Picture1"_s, {8760, 0, 1695, 495}, u"打开新歌词"_s);
        row(u"dcButton8"_s, u"Picture1"_s, {10440, 0, 1695, 495}, u"保存新歌词"_s);
        row(u"dcButton7"_s, u"Picture1"_s, {12480, 0, 975, 495}, u"作者"_s);
        row(u"WindowsMediaPlayer1"_s, u"Picture1"_s, {0, 480, 5655, 975});
        row(u"WindowsMediaPlayer2"_s, u"Picture1"_s, {8520, 480, 5655, 975});
        row(u"Label2"_s, u"Picture1"_s, {6840, 600, 735, 375}, u"句数："_s);
        row(u"Label3"_s, u"Picture1"_s, {7560, 600, 615, 375}, u"0"_s);
        row(u"Label5"_s, u"Picture1"_s, {6480, 840, 1095, 375}, u"本句字数："_s);
        row(u"Label4"_s, u"Picture1"_s, {7560, 840, 615, 375}, u"0"_s);
        row(u"Image1"_s, u"Picture1"_s, {0, 0, 14175, 1560});

        row(u"Label6"_s, u"Picture2"_s, {120, 840, 13575, 375});
        row(u"Shape1"_s, u"Picture2"_s, {120, 1080, 13575, 615});
        row(u"Label1(0)"_s, u"Picture2"_s, {240, 840, 1575, 375}, u"载入中"_s);
        row(u"Text1(0)"_s, u"Picture2"_s, {1920, 840, 4575, 375}, u"……"_s);
        row(u"Text2(0)"_s, u"Picture2"_s, {6600, 840, 4575, 375}, u""_s);
        row(u"dcButton2(0)"_s, u"Picture2"_s, {11160, 840, 1215, 375}, u"伴奏"_s);
        row(u"dcButton5(0)"_s, u"Picture2"_s, {12360, 840, 1215, 375}, u"原唱"_s);
    }

    void geometry()
    {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, twips);
        QFETCH(QString, caption);

        const QWidget *w = widget(name);
        QCOMPARE(w->parentWidget(), widget(container));
        QCOMPARE(syj::twipsGeometry(w), twips);
        // Pixels: each edge rounded to the nearest pixel.
        const QRect px(QPoint(syj::twipsToPixels(twips.left()), syj::twipsToPixels(twips.top())),
                       QPoint(syj::twipsToPixels(twips.left() + twips.width()) - 1,
                              syj::twipsToPixels(twips.top() + twips.height()) - 1));
        QCOMPARE(w->geometry(), px);
        if (!caption.isNull())
            QCOMPARE(captionOf(w), caption);
    }

    void startupVisibility_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("visible");

        const QStringList hidden = {u"Label1(0)"_s,    u"Text1(0)"_s,     u"Text2(0)"_s,
                                    u"dcButton2(0)"_s, u"dcButton5(0)"_s, u"encodingNote"_s};
        QStringList names = m_widgets.keys();
        names.sort();
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << name << !hidden.contains(name);
    }

    void startupVisibility()
    {
        QFETCH(QString, name);
        QFETCH(bool, visible);
        QCOMPARE(widget(name)->isVisible(), visible);
    }

    void scrollBarAtStart_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<int>("expected");
        QTest::newRow("min") << u"min"_s << 0;
        QTest::newRow("max") << u"max"_s << 100;
        QTest::newRow("value") << u"value"_s << 0;
        QTest::newRow("smallChange") << u"smallChange"_s << 500;
        QTest::newRow("largeChange") << u"largeChange"_s << 800;
        QTest::newRow("lyric panel top") << u"panelTop"_s << 0;
    }

    void scrollBarAtStart()
    {
        QFETCH(QString, property);
        QFETCH(int, expected);
        const syj::ClassicScrollBar *bar = m_form->VScroll1();
        const QHash<QString, int> values = {
            {u"min"_s, bar->min()},
            {u"max"_s, bar->max()},
            {u"value"_s, bar->value()},
            {u"smallChange"_s, bar->smallChange()},
            {u"largeChange"_s, bar->largeChange()},
            {u"panelTop"_s, syj::twipsTop(m_form->Picture2())},
        };
        QCOMPARE(values.value(property, -12345), expected);
    }

    // ---- Fonts and the column header ----------------------------------------

    void fonts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("pointSize");
        QTest::newRow("Label1(0)") << u"Label1(0)"_s << 15.0;
        QTest::newRow("Text1(0)") << u"Text1(0)"_s << 15.0;
        QTest::newRow("Text2(0)") << u"Text2(0)"_s << 15.0;
        QTest::newRow("Label6") << u"Label6"_s << 15.75;
    }

    void fonts()
    {
        QFETCH(QString, name);
        QFETCH(double, pointSize);
        const QFont font = widget(name)->font();
        QVERIFY(!font.families().isEmpty());
        QCOMPARE(font.families().first(), u"宋体"_s);
        QCOMPARE(font.pointSizeF(), pointSize);
        QCOMPARE(font.weight(), QFont::Normal);
        QVERIFY(!font.italic());
        QVERIFY(!font.underline());
        QVERIFY(!font.strikeOut());
        // What is really drawn with: the free Song/Ming face standing in for 宋体.
        const QFontInfo info(font);
        QVERIFY2(info.family().startsWith(u"AR PL UMing"_s), qPrintable(info.family()));
        QVERIFY(!info.italic());
    }

    void headerCaption()
    {
        const QString expected = QString(4, u' ') + u"时间"_s + QString(14, u' ') + u"原歌词"_s +
                                 QString(24, u' ') + u"新歌词"_s + QString(11, u' ') +
                                 u"从本句开播选择"_s;
        QCOMPARE(expected.size(), 68);
        QCOMPARE(m_form->Label6()->text(), expected);
        QCOMPARE(m_form->Label6()->textFormat(), Qt::PlainText);
        QVERIFY(!m_form->Label6()->wordWrap());
    }

    void headerFontMetrics()
    {
        // The header lines up only if a space is half a Chinese character.
        const QLabel *label = m_form->Label6();
        QCOMPARE(label->logicalDpiY(), 96);
        const QFontMetricsF fm(label->font(), label);
        QCOMPARE(fm.horizontalAdvance(u"时"_s), 21.0);
        QCOMPARE(fm.horizontalAdvance(u" "_s), 10.5);
        QCOMPARE(fm.horizontalAdvance(QString(2, u' ')), fm.horizontalAdvance(u"间"_s));
    }

    void headerTitlesOverColumns_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("left"); // twips from the panel's left edge
        QTest::addColumn<int>("right");

        QTest::newRow("时间") << u"时间"_s << 750 << 1380;
        QTest::newRow("原歌词") << u"原歌词"_s << 3585 << 4530;
        QTest::newRow("新歌词") << u"新歌词"_s << 8310 << 9255;
        QTest::newRow("从本句开播选择") << u"从本句开播选择"_s << 10988 << 13193;
    }

    void headerTitlesOverColumns()
    {
        QFETCH(QString, title);
        QFETCH(int, left);
        QFETCH(int, right);

        const QLabel *label = m_form->Label6();
        QVERIFY(label->alignment() & Qt::AlignLeft);
        const QString caption = label->text();
        const qsizetype at = caption.indexOf(title);
        QVERIFY(at >= 0);
        const QFontMetricsF fm(label->font(), label);
        const double start = labelTextStart(label);
        const double labelLeft = syj::twipsGeometry(label).left();
        const double seenLeft = labelLeft + (start + fm.horizontalAdvance(caption.left(at))) * 15;
        const double seenRight =
            labelLeft + (start + fm.horizontalAdvance(caption.left(at + title.size()))) * 15;
        QVERIFY2(
            qAbs(seenLeft - left) <= 30 && qAbs(seenRight - right) <= 30,
            qPrintable(u"%1 stands at %2..%3 twips"_s.arg(title).arg(seenLeft).arg(seenRight)));
    }

    void headerTextStart()
    {
        // QLabel draws plain, left-aligned text from contentsRect().left() +
        // margin + effective indent; for this frameless label that is 0 px.
        QLabel *label = m_form->Label6();
        QCOMPARE(label->frameWidth(), 0);
        QCOMPARE(label->margin(), 0);
        QCOMPARE(label->indent(), -1);
        QCOMPARE(labelTextStart(label), 0);

        // And on screen: the first ink is the left edge of "时", after four
        // spaces (42 px), give or take the glyph's own side bearing.
        const QImage shot = label->grab().toImage();
        int firstInk = -1;
        for (int x = 0; x < shot.width() && firstInk < 0; ++x) {
            for (int y = 0; y < shot.height(); ++y) {
                if (shot.pixelColor(x, y).lightness() < 128) {
                    firstInk = x;
                    break;
                }
            }
        }
        QVERIFY2(firstInk >= 42 && firstInk < 42 + 5, qPrintable(QString::number(firstInk)));
    }

    void paintedColours_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QColor>("colour");

        const QColor silver(192, 192, 192);
        QTest::newRow("header, left of the text") << u"Label6"_s << QPoint(2, 2) << silver;
        QTest::newRow("header, right of the text") << u"Label6"_s << QPoint(900, 20) << silver;
        QTest::newRow("highlight") << u"Shape1"_s << QPoint(10, 30) << silver;
        QTest::newRow("highlight, last pixel") << u"Shape1"_s << QPoint(904, 40) << silver;
        QTest::newRow("row label") << u"Label1(0)"_s << QPoint(2, 2) << QColor(224, 224, 224);
    }

    void paintedColours()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, point);
        QFETCH(QColor, colour);
        const QImage shot = widget(name)->grab().toImage();
        QVERIFY(shot.rect().contains(point));
        QCOMPARE(shot.pixelColor(point), colour);
    }

    void rowTemplateLook()
    {
        const Form1 &f = *m_form;
        QCOMPARE(f.rows().templates().timeLabel->alignment(), Qt::AlignCenter);
        QVERIFY(f.rows().templates().timeLabel->autoFillBackground());
        QCOMPARE(f.rows().templates().timeLabel->palette().color(QPalette::Window),
                 QColor(224, 224, 224));
        QCOMPARE(f.Shape1()->fillColor(), QColor(192, 192, 192));
        QVERIFY(f.Label6()->autoFillBackground());
        QCOMPARE(f.Label6()->palette().color(QPalette::Window), QColor(192, 192, 192));
    }

    // ---- Text boxes and row copies ------------------------------------------

    void textBoxesTakeLongLines_data()
    {
        QTest::addColumn<QString>("array");
        QTest::addColumn<bool>("copy");
        QTest::newRow("Text1 template") << u"Text1"_s << false;
        QTest::newRow("Text2 template") << u"Text2"_s << false;
        QTest::newRow("Text1 copy") << u"Text1"_s << true;
        QTest::newRow("Text2 copy") << u"Text2"_s << true;
    }

    void textBoxesTakeLongLines()
    {
        QFETCH(QString, array);
        QFETCH(bool, copy);

        // The window's template, and a copy made of it as a row's box is made.
        syj::ControlArray<syj::TextBox> boxes;
        boxes.setTemplate(array == u"Text1"_s ? m_form->rows().templates().originalBox
                                              : m_form->rows().templates().newWordsBox);
        QLineEdit *box = boxes(0);
        if (copy) {
            box = boxes.load(1);
            QVERIFY(box);
        }
        const auto restore = qScopeGuard([&] {
            if (copy)
                boxes.unload(1);
        });
        const QString saved = box->text();
        // A line far past QLineEdit's default 32767 characters, every one kept.
        QString line;
        for (int i = 0; i < 100000; ++i)
            line.append(QChar(u'一' + i % 100));
        box->setText(line);
        QCOMPARE(box->text().size(), 100000);
        QCOMPARE(box->text(), line);
        // Typing at the end still goes in.
        box->setCursorPosition(int(line.size()));
        box->insert(u"尾"_s);
        QCOMPARE(box->text().size(), 100001);
        box->setText(saved);
    }

    void rowCopiesCarryTheTemplate_data()
    {
        QTest::addColumn<QString>("array");
        for (const QString &a :
             {u"Label1"_s, u"Text1"_s, u"Text2"_s, u"dcButton2"_s, u"dcButton5"_s})
            QTest::newRow(qPrintable(a)) << a;
    }

    void rowCopiesCarryTheTemplate()
    {
        QFETCH(QString, array);
        Form1 &f = *m_form;
        QWidget *templ = nullptr;
        QWidget *copy = nullptr;
        std::function<void()> unload;
        // A copy made of the window's template as a row's widget is made.
        const syj::RowPanel::Templates made = f.rows().templates();
        syj::ControlArray<QLabel> labels;
        syj::ControlArray<syj::TextBox> boxes;
        syj::ControlArray<QPushButton> buttons;
        if (array == u"Label1"_s) {
            templ = made.timeLabel;
            labels.setTemplate(made.timeLabel);
            copy = labels.load(1);
            unload = [&labels] { labels.unload(1); };
        } else if (array == u"Text1"_s || array == u"Text2"_s) {
            templ = array == u"Text1"_s ? made.originalBox : made.newWordsBox;
            boxes.setTemplate(static_cast<syj::TextBox *>(templ));
            copy = boxes.load(1);
            unload = [&boxes] { boxes.unload(1); };
        } else {
            templ = array == u"dcButton2"_s ? made.accompanimentButton : made.recordingButton;
            buttons.setTemplate(static_cast<QPushButton *>(templ));
            copy = buttons.load(1);
            unload = [&buttons] { buttons.unload(1); };
        }
        QVERIFY(copy);
        const auto restore = qScopeGuard([&] { unload(); });

        QCOMPARE(syj::controlIndex(copy), 1);
        QCOMPARE(copy->parentWidget(), f.Picture2());
        QVERIFY(copy->isHidden());
        QCOMPARE(syj::twipsGeometry(copy), syj::twipsGeometry(templ));
        QCOMPARE(copy->geometry(), templ->geometry());
        QCOMPARE(copy->font(), templ->font());
        QCOMPARE(QFontInfo(copy->font()).family(), QFontInfo(templ->font()).family());
        for (const QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText,
                                               QPalette::Base, QPalette::Text, QPalette::Button})
            QCOMPARE(copy->palette().color(role), templ->palette().color(role));
        QCOMPARE(copy->autoFillBackground(), templ->autoFillBackground());
        QCOMPARE(copy->focusPolicy(), templ->focusPolicy());
        QCOMPARE(captionOf(copy), captionOf(templ));
        if (const auto *t = qobject_cast<const QLabel *>(templ)) {
            const auto *c = qobject_cast<const QLabel *>(copy);
            QCOMPARE(c->alignment(), t->alignment());
            QCOMPARE(c->textFormat(), t->textFormat());
        }
        if (const auto *t = qobject_cast<const QLineEdit *>(templ)) {
            const auto *c = qobject_cast<const QLineEdit *>(copy);
            QCOMPARE(c->alignment(), t->alignment());
            QCOMPARE(c->hasFrame(), t->hasFrame());
            QCOMPARE(c->maxLength(), t->maxLength());
            QCOMPARE(c->textMargins(), t->textMargins());
            QCOMPARE(c->isReadOnly(), t->isReadOnly());
        }
        if (const auto *c = qobject_cast<const QPushButton *>(copy)) {
            QVERIFY(!c->autoDefault());
            QVERIFY(!c->isDefault());
        }
    }

    // ---- Focus order ----------------------------------------------------------

    void tabOrder_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");

        const QStringList order = {u"WindowsMediaPlayer1"_s, u"Text2(0)"_s,  u"VScroll1"_s,
                                   u"WindowsMediaPlayer2"_s, u"Text1(0)"_s,  u"dcButton1"_s,
                                   u"dcButton4"_s,           u"dcButton3"_s, u"dcButton6"_s,
                                   u"dcButton8"_s,           u"dcButton7"_s, u"dcButton2(0)"_s,
                                   u"dcButton5(0)"_s};
        for (qsizetype i = 0; i + 1 < order.size(); ++i)
            QTest::addRow("%s -> %s", qPrintable(order[i]), qPrintable(order[i + 1]))
                << order[i] << order[i + 1];
    }

    void tabOrder()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);

        // Widgets that stand for a focus stop: the scroll bar's inner bar, and a
        // player by whatever inside it takes the focus.
        const QStringList stops = {u"WindowsMediaPlayer1"_s, u"Text2(0)"_s,  u"VScroll1"_s,
                                   u"WindowsMediaPlayer2"_s, u"Text1(0)"_s,  u"dcButton1"_s,
                                   u"dcButton4"_s,           u"dcButton3"_s, u"dcButton6"_s,
                                   u"dcButton8"_s,           u"dcButton7"_s, u"dcButton2(0)"_s,
                                   u"dcButton5(0)"_s};
        // The scroll bar's stop is its inner bar, which the window orders.
        const auto stopWidget = [&](const QString &s) {
            return s == u"VScroll1"_s ? m_form->VScroll1()->bar() : widget(s);
        };
        const auto stopOf = [&](QWidget *w) -> QString {
            for (const QString &s : stops) {
                QWidget *stop = stopWidget(s);
                if (w == stop || stop->isAncestorOf(w))
                    return s;
            }
            return {};
        };
        // Every stop takes the focus by Tab (itself or something inside it).
        const auto takesTab = [](QWidget *w) {
            if (w->focusPolicy() & Qt::TabFocus)
                return true;
            const QList<QWidget *> inside = w->findChildren<QWidget *>();
            return std::any_of(inside.cbegin(), inside.cend(),
                               [](QWidget *c) { return bool(c->focusPolicy() & Qt::TabFocus); });
        };
        QVERIFY2(takesTab(stopWidget(from)), qPrintable(from + u" takes no focus"_s));

        // Walk the focus chain from the last stop inside `from` to the next stop.
        QWidget *w = stopWidget(from);
        for (QWidget *c = w->nextInFocusChain(); stopOf(c) == from && c != w;
             c = c->nextInFocusChain())
            w = c;
        QString next;
        for (QWidget *c = w->nextInFocusChain(); c != w; c = c->nextInFocusChain()) {
            if (const QString s = stopOf(c); !s.isEmpty() && s != from) {
                if (c->focusPolicy() & Qt::TabFocus || c == stopWidget(s)) {
                    next = s;
                    break;
                }
            }
        }
        QCOMPARE(next, to);
    }

    void noFocusOnLabelsAndPanels_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &n :
             {u"Picture1"_s, u"Picture2"_s, u"Image1"_s, u"Label2"_s, u"Label3"_s, u"Label4"_s,
              u"Label5"_s, u"Label6"_s, u"Shape1"_s, u"Label1(0)"_s})
            QTest::newRow(qPrintable(n)) << n;
    }

    void noFocusOnLabelsAndPanels()
    {
        QFETCH(QString, name);
        QCOMPARE(widget(name)->focusPolicy(), Qt::NoFocus);
    }

    void tabKeyVisitsVisibleStops()
    {
        // Tab through the window as it opens: the hidden stops are skipped, the
        // rest come in the defined order and the round closes.
        Form1 &f = *m_form;
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.dcButton1()->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), f.dcButton1());

        QStringList visited;
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *now = QApplication::focusWidget();
            QVERIFY(now);
            QString stop = nameOf(now);
            for (const QString &s :
                 {u"WindowsMediaPlayer1"_s, u"WindowsMediaPlayer2"_s, u"VScroll1"_s}) {
                if (widget(s)->isAncestorOf(now))
                    stop = s;
            }
            if (visited.isEmpty() || visited.last() != stop)
                visited << stop;
            if (now == f.dcButton1())
                break;
        }
        const QStringList expected{
            u"dcButton4"_s, u"dcButton3"_s,           u"dcButton6"_s,
            u"dcButton8"_s, u"dcButton7"_s,           u"WindowsMediaPlayer1"_s,
            u"VScroll1"_s,  u"WindowsMediaPlayer2"_s, u"dcButton1"_s};
        QVERIFY2(visited == expected, qPrintable(visited.join(u", "_s)));
    }

    // ---- Pictures ----------------------------------------------------------------

    void pictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");

        QTest::newRow("background")
            << u":/pictures/background.bmp"_s << QByteArray("bmp") << QSize(1024, 768);
        QTest::newRow("panel") << u":/pictures/panel.jpg"_s << QByteArray("jpeg")
                               << QSize(802, 680);
        QTest::newRow("author") << u":/pictures/author.jpg"_s << QByteArray("jpeg")
                                << QSize(640, 480);
        QTest::newRow("icon") << u":/pictures/icon.ico"_s << QByteArray("ico") << QSize(139, 139);
    }

    void pictures()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);

        QImageReader reader(path);
        QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.size(), size);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), size);
    }

    void backgroundIs24BitBmp()
    {
        QFile file(u":/pictures/background.bmp"_s);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.size() > 54);
        QCOMPARE(bytes.left(2), QByteArray("BM"));
        QCOMPARE(littleEndian(bytes, 18, 4), 1024u);       // biWidth
        QCOMPARE(qint32(littleEndian(bytes, 22, 4)), 768); // biHeight, bottom-up
        QCOMPARE(littleEndian(bytes, 28, 2), 24u);         // biBitCount
        QCOMPARE(littleEndian(bytes, 30, 4), 0u);          // BI_RGB
        QCOMPARE(bytes.size(), 54 + 1024 * 768 * 3);
    }

    void backgroundBottomRow()
    {
        // The lyric panel grows below the picture; there its back colour takes
        // over, so the picture has to end in the same pale khaki.
        const QImage background(u":/pictures/background.bmp"_s);
        const QColor khaki(223, 219, 148);
        for (int x = 0; x < background.width(); ++x) {
            const QColor c = background.pixelColor(x, background.height() - 1);
            QVERIFY2(near(c, khaki, 2), qPrintable(u"x = %1: %2"_s.arg(x).arg(rgb(c))));
        }
    }

    void iconIs16Colours()
    {
        QFile file(u":/pictures/icon.ico"_s);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.size() > 6 + 16);
        QCOMPARE(littleEndian(bytes, 0, 2), 0u); // reserved
        QCOMPARE(littleEndian(bytes, 2, 2), 1u); // type: icon
        QVERIFY(littleEndian(bytes, 4, 2) >= 1); // images
        // The first directory entry.
        const qsizetype entry = 6;
        QCOMPARE(littleEndian(bytes, entry + 0, 1), 139u);
        QCOMPARE(littleEndian(bytes, entry + 1, 1), 139u);
        const quint32 colours = littleEndian(bytes, entry + 2, 1);
        const quint32 bits = littleEndian(bytes, entry + 6, 2);
        QVERIFY2(colours == 16 || bits == 4,
                 qPrintable(u"%1 colours, %2 bits"_s.arg(colours).arg(bits)));
    }

    // ---- The author window ------------------------------------------------------

    void authorWindowLooks()
    {
        Form1 &f = *m_form;
        QVERIFY(!f.authorWindow());
        clickThroughWindow(f.dcButton7());
        Form2 *a = f.authorWindow();
        QVERIFY(a);
        QVERIFY(QTest::qWaitForWindowExposed(a));
        QVERIFY(a->isVisible());
        QCOMPARE(a->windowTitle(), u"作者"_s);
        QVERIFY(!a->windowIcon().isNull());
        QCOMPARE(a->size(), QSize(637, 476));
        QCOMPARE(a->minimumSize(), QSize(637, 476));
        QCOMPARE(a->maximumSize(), QSize(637, 476));
        QCOMPARE(a->parentWidget(), nullptr);
        QVERIFY(!a->isModal());
        QCOMPARE(a->windowModality(), Qt::NonModal);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(a->testAttribute(Qt::WA_DeleteOnClose));

        // The picture from its top-left corner, at its natural size.
        const QImage picture(u":/pictures/author.jpg"_s);
        const QImage shot = a->grab().toImage();
        for (const QPoint p : {QPoint(0, 0), QPoint(318, 238), QPoint(636, 475), QPoint(100, 400)})
            QVERIFY2(near(shot.pixelColor(p), picture.pixelColor(p), 1),
                     qPrintable(u"at %1,%2"_s.arg(p.x()).arg(p.y())));
    }

    void authorWindowOpensOnce_data()
    {
        QTest::addColumn<QString>("ways"); // c = click the button, h = call the handler
        QTest::newRow("click, click") << u"cc"_s;
        QTest::newRow("handler, handler") << u"hh"_s;
        QTest::newRow("click, handler, click") << u"chc"_s;
    }

    void authorWindowOpensOnce()
    {
        QFETCH(QString, ways);
        Form1 &f = *m_form;
        QSignalSpy clicked(f.dcButton7(), &QPushButton::clicked);
        QPointer<Form2> first;
        int clicks = 0;
        for (const QChar way : ways) {
            if (way == u'c') {
                clickThroughWindow(f.dcButton7());
                ++clicks;
            } else {
                f.dcButton7_Click();
            }
            QVERIFY(f.authorWindow());
            if (!first)
                first = f.authorWindow();
            QCOMPARE(f.authorWindow(), first.data());
        }
        // Every click on the main window got through while the author window was open.
        QCOMPARE(clicked.count(), clicks);
        QCOMPARE(openAuthorWindows().size(), 1);
    }

    void pressInsideClosesAuthorWindow_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("pressOnly");
        QTest::newRow("click in the middle") << QPoint(318, 238) << false;
        QTest::newRow("press alone") << QPoint(318, 238) << true;
        QTest::newRow("click in a corner") << QPoint(2, 473) << false;
    }

    void pressInsideClosesAuthorWindow()
    {
        QFETCH(QPoint, point);
        QFETCH(bool, pressOnly);

        Form1 &f = *m_form;
        f.dcButton7_Click();
        const QPointer<Form2> a = f.authorWindow();
        QVERIFY(a);
        QVERIFY(QTest::qWaitForWindowExposed(a));
        QWindow *window = a->windowHandle();
        if (pressOnly)
            QTest::mousePress(window, Qt::LeftButton, {}, point);
        else
            QTest::mouseClick(window, Qt::LeftButton, {}, point);
        // Closed and gone: the main window forgets it.
        QTRY_VERIFY(a.isNull());
        QVERIFY(!f.authorWindow());
        QVERIFY(openAuthorWindows().isEmpty());
        if (pressOnly) // let go of the button the window never saw released
            QTest::mouseRelease(f.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));

        // Opening it again makes a new one.
        clickThroughWindow(f.dcButton7());
        QVERIFY(f.authorWindow());
        QVERIFY(f.authorWindow()->isVisible());
        QCOMPARE(openAuthorWindows().size(), 1);
    }

    void mainWindowUsableWhileAuthorOpen()
    {
        Form1 f(*m_platform);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.dcButton7_Click();
        QVERIFY(f.authorWindow());
        QVERIFY(QTest::qWaitForWindowExposed(f.authorWindow()));

        // A click on the scroll bar's bottom arrow of the main window scrolls it.
        QScrollBar *bar = f.VScroll1()->bar();
        const QRect arrow = syj::test::scrollBarPart(bar, QStyle::SC_ScrollBarAddLine);
        clickThroughWindow(bar, Qt::LeftButton, arrow.center());
        QCOMPARE(f.VScroll1()->value(), 100);
        QCOMPARE(syj::twipsTop(f.Picture2()), -100);
        QVERIFY(f.authorWindow());
        QVERIFY(f.authorWindow()->isVisible());
    }

    void closingMainWindowLeavesAuthorOpen()
    {
        QVERIFY(QApplication::quitOnLastWindowClosed());
        auto f = std::make_unique<Form1>(*m_platform);
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        f->dcButton7_Click();
        const QPointer<Form2> a = f->authorWindow();
        QVERIFY(a);

        const qsizetype boxesBefore = m_platform->box().shown.size();
        QVERIFY(f->close());
        QVERIFY(!f->isVisible());
        QCOMPARE(m_platform->box().shown.size(), boxesBefore); // nothing to ask: no new words
        QVERIFY(a);
        QVERIFY(a->isVisible());
        QVERIFY(QApplication::topLevelWidgets().contains(a.data()));

        // It is not the main window's child: destroying that leaves it alone.
        f.reset();
        QTest::qWait(0);
        QVERIFY(a);
        QVERIFY(a->isVisible());
        a->close();
        QTRY_VERIFY(a.isNull());
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
