// The platform stand-ins the windows are built from: the classic scroll bar,
// control arrays, twips placement, pictures and the file dialog's filters
// (tst_filedialog drives the real dialog).

#include "platform/classicscrollbar.h"
#include "platform/controlarray.h"
#include "platform/filedialog.h"
#include "platform/picturebox.h"
#include "platform/pictures.h"
#include "platform/textbox.h"
#include "platform/twips.h"
#include "support/widgets.h"

#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <limits>
#include <memory>

using namespace Qt::StringLiterals;
using syj::ClassicScrollBar;
using syj::ControlArray;
using syj::test::scrollBarPart;

namespace {

// The bar as the main window has it: 375 x 7695 twips, shown.
struct ShownScrollBar {
    QWidget window;
    ClassicScrollBar *bar = new ClassicScrollBar(&window);

    ShownScrollBar()
    {
        window.resize(60, 560);
        syj::placeTwips(bar, 0, 0, 375, 7695);
        window.show();
    }
};

// A bar action as a table column.
enum class BarAction {
    SetValue,
    SetMax,
    ClickBottomArrow,
    ClickTopArrow,
    ClickTroughBelowThumb,
    ClickTroughAboveThumb,
    Key,
};

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), Qt::LeftButton, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

Q_DECLARE_METATYPE(BarAction)

// A picture with a different colour in every pixel, so that a swapped channel,
// a mirrored row or a shifted column shows.
QImage patternImage(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, qRgb((x * 37 + y) & 255, (y * 53 + x * 3) & 255, (x ^ y) & 255));
    return img;
}

// A 24-bit bitmap written by hand: rows bottom-up (or top-down), padded to four bytes.
QByteArray bitmap24(const QImage &img, bool topDown = false, int extraHeader = 0)
{
    const int stride = (img.width() * 3 + 3) & ~3;
    const int info = 40 + extraHeader;
    const int offset = 14 + info;
    QByteArray out(offset + stride * img.height(), '\0');
    auto put32 = [&out](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = char(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, quint32(out.size()));
    put32(10, quint32(offset));
    put32(14, quint32(info));
    put32(18, quint32(img.width()));
    put32(22, quint32(topDown ? -img.height() : img.height()));
    out[26] = 1;
    out[28] = 24;
    for (int y = 0; y < img.height(); ++y) {
        const int row = topDown ? y : img.height() - 1 - y;
        char *dst = out.data() + offset + stride * row;
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            *dst++ = char(qBlue(c));
            *dst++ = char(qGreen(c));
            *dst++ = char(qRed(c));
        }
    }
    return out;
}

QByteArray encoded(const QImage &img, const char *format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    writer.write(img);
    return data;
}

QImage qtReads(const QByteArray &data)
{
    QImage img;
    img.loadFromData(data);
    return img.isNull() ? img : img.convertToFormat(QImage::Format_RGB32);
}

class TestPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- ClassicScrollBar ------------------------------------------------

    void scrollBarStartsAtZeroToHundred()
    {
        ClassicScrollBar bar;
        QCOMPARE(bar.min(), 0);
        QCOMPARE(bar.max(), 100);
        QCOMPARE(bar.value(), 0);
        QCOMPARE(bar.bar()->orientation(), Qt::Vertical);
    }

    void scrollBarRange_data()
    {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("expected");
        // The inner Qt bar always runs 0 (top) .. span (bottom).
        QTest::addColumn<int>("innerMaximum");
        QTest::addColumn<int>("innerValue");

        QTest::newRow("forwards, inside") << 100 << 50 << 50 << 100 << 50;
        QTest::newRow("forwards, above max clamps") << 100 << 150 << 100 << 100 << 100;
        QTest::newRow("forwards, below min clamps") << 100 << -20 << 0 << 100 << 0;
        QTest::newRow("empty range") << 0 << 10 << 0 << 0 << 0;
        QTest::newRow("backwards, inside") << -5255 << -300 << -300 << 5255 << 300;
        QTest::newRow("backwards, value = max (bottom end)")
            << -5255 << -5255 << -5255 << 5255 << 5255;
        QTest::newRow("backwards, positive clamps to min (top end)")
            << -5255 << 300 << 0 << 5255 << 0;
        QTest::newRow("backwards, beyond max clamps") << -5255 << -9000 << -5255 << 5255 << 5255;
        // 32767 rows of 400 twips, less the visible area: far beyond 16 bits.
        QTest::newRow("long sheet, value = max")
            << 400 * 32767 - 5655 << 400 * 32767 - 5655 << 13101145 << 13101145 << 13101145;
        QTest::newRow("long sheet, middle")
            << 13101145 << 6550000 << 6550000 << 13101145 << 6550000;
        QTest::newRow("long sheet backwards, value = max")
            << -13101145 << -13101145 << -13101145 << 13101145 << 13101145;
        QTest::newRow("largest int")
            << std::numeric_limits<int>::max() << std::numeric_limits<int>::max()
            << std::numeric_limits<int>::max() << std::numeric_limits<int>::max()
            << std::numeric_limits<int>::max();
    }

    void scrollBarRange()
    {
        QFETCH(int, max);
        QFETCH(int, requested);
        QFETCH(int, expected);
        QFETCH(int, innerMaximum);
        QFETCH(int, innerValue);

        ClassicScrollBar bar;
        bar.setMax(max);
        bar.setValue(requested);
        QCOMPARE(bar.min(), 0);
        QCOMPARE(bar.max(), max);
        QCOMPARE(bar.value(), expected);
        QCOMPARE(bar.bar()->minimum(), 0);
        QCOMPARE(bar.bar()->maximum(), innerMaximum);
        QCOMPARE(bar.bar()->value(), innerValue);
        QVERIFY(!bar.bar()->invertedAppearance());

        // Setting the same range again moves nothing.
        QSignalSpy change(&bar, &ClassicScrollBar::Change);
        bar.setMax(max);
        bar.setValue(expected);
        QCOMPARE(bar.value(), expected);
        QCOMPARE(change.count(), 0);
    }

    void scrollBarChange_data()
    {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("start");
        QTest::addColumn<BarAction>("action");
        QTest::addColumn<int>("argument"); // value, max or key
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("changes");

        const int up = Qt::Key_Up, down = Qt::Key_Down, pageUp = Qt::Key_PageUp,
                  pageDown = Qt::Key_PageDown, home = Qt::Key_Home, end = Qt::Key_End;

        // By the program.
        QTest::newRow("setValue, new value")
            << 5000 << 0 << BarAction::SetValue << 1200 << 1200 << 1;
        QTest::newRow("setValue, same value")
            << 5000 << 1200 << BarAction::SetValue << 1200 << 1200 << 0;
        QTest::newRow("setValue past max lands on max")
            << 5000 << 0 << BarAction::SetValue << 9000 << 5000 << 1;
        QTest::newRow("setValue past max when at max")
            << 5000 << 5000 << BarAction::SetValue << 9000 << 5000 << 0;
        QTest::newRow("setValue backwards")
            << -5255 << 0 << BarAction::SetValue << -400 << -400 << 1;
        QTest::newRow("setMax below value drags it")
            << 5000 << 4000 << BarAction::SetMax << 300 << 300 << 1;
        QTest::newRow("setMax above value")
            << 5000 << 4000 << BarAction::SetMax << 9000 << 4000 << 0;
        QTest::newRow("setMax negative, value 0 stays")
            << 5000 << 0 << BarAction::SetMax << -5255 << 0 << 0;
        QTest::newRow("setMax negative, value falls to 0")
            << 5000 << 800 << BarAction::SetMax << -5255 << 0 << 1;
        QTest::newRow("setMax shrinks backwards range")
            << -9000 << -8000 << BarAction::SetMax << -5255 << -5255 << 1;
        QTest::newRow("setMax to 0 at 0") << 5000 << 0 << BarAction::SetMax << 0 << 0 << 0;

        // By the user, with the mouse: arrows step 500, the trough 800.
        QTest::newRow("bottom arrow") << 5000 << 0 << BarAction::ClickBottomArrow << 0 << 500 << 1;
        QTest::newRow("bottom arrow near the end")
            << 5000 << 4800 << BarAction::ClickBottomArrow << 0 << 5000 << 1;
        QTest::newRow("bottom arrow at the end")
            << 5000 << 5000 << BarAction::ClickBottomArrow << 0 << 5000 << 0;
        QTest::newRow("top arrow") << 5000 << 1200 << BarAction::ClickTopArrow << 0 << 700 << 1;
        QTest::newRow("top arrow at the top")
            << 5000 << 0 << BarAction::ClickTopArrow << 0 << 0 << 0;
        QTest::newRow("backwards, bottom arrow goes towards max")
            << -5255 << 0 << BarAction::ClickBottomArrow << 0 << -500 << 1;
        QTest::newRow("backwards, top arrow goes towards 0")
            << -5255 << -1200 << BarAction::ClickTopArrow << 0 << -700 << 1;
        QTest::newRow("backwards, bottom arrow near the end")
            << -5255 << -5000 << BarAction::ClickBottomArrow << 0 << -5255 << 1;
        QTest::newRow("trough below thumb")
            << 13101145 << 0 << BarAction::ClickTroughBelowThumb << 0 << 800 << 1;
        QTest::newRow("trough above thumb")
            << 13101145 << 13101145 << BarAction::ClickTroughAboveThumb << 0 << 13100345 << 1;
        QTest::newRow("backwards, trough below thumb")
            << -13101145 << 0 << BarAction::ClickTroughBelowThumb << 0 << -800 << 1;
        QTest::newRow("backwards, trough above thumb")
            << -13101145 << -13101145 << BarAction::ClickTroughAboveThumb << 0 << -13100345 << 1;

        // By the user, with the keyboard on the focused bar.
        QTest::newRow("key Down") << 5000 << 0 << BarAction::Key << down << 500 << 1;
        QTest::newRow("key Up") << 5000 << 1200 << BarAction::Key << up << 700 << 1;
        QTest::newRow("key Up at the top") << 5000 << 0 << BarAction::Key << up << 0 << 0;
        QTest::newRow("key PageDown") << 5000 << 0 << BarAction::Key << pageDown << 800 << 1;
        QTest::newRow("key PageUp") << 5000 << 1200 << BarAction::Key << pageUp << 400 << 1;
        QTest::newRow("key End") << 5000 << 0 << BarAction::Key << end << 5000 << 1;
        QTest::newRow("key Home") << 5000 << 3000 << BarAction::Key << home << 0 << 1;
        QTest::newRow("key End at the end") << 5000 << 5000 << BarAction::Key << end << 5000 << 0;
        QTest::newRow("backwards, key Down") << -5255 << 0 << BarAction::Key << down << -500 << 1;
        QTest::newRow("backwards, key PageDown")
            << -5255 << 0 << BarAction::Key << pageDown << -800 << 1;
        QTest::newRow("backwards, key End") << -5255 << 0 << BarAction::Key << end << -5255 << 1;
        QTest::newRow("backwards, key Up") << -5255 << -5255 << BarAction::Key << up << -4755 << 1;
        QTest::newRow("long sheet, key End")
            << 13101145 << 0 << BarAction::Key << end << 13101145 << 1;
    }

    void scrollBarChange()
    {
        QFETCH(int, max);
        QFETCH(int, start);
        QFETCH(BarAction, action);
        QFETCH(int, argument);
        QFETCH(int, expected);
        QFETCH(int, changes);

        ShownScrollBar shown;
        ClassicScrollBar *bar = shown.bar;
        QVERIFY(QTest::qWaitForWindowExposed(&shown.window));
        bar->setMax(max);
        bar->setValue(start);
        QCOMPARE(bar->value(), start);
        QCOMPARE(bar->smallChange(), 500);
        QCOMPARE(bar->largeChange(), 800);

        QSignalSpy change(bar, &ClassicScrollBar::Change);
        // What a handler of Change() sees: the value must already be the new one.
        QList<int> seen;
        connect(bar, &ClassicScrollBar::Change, bar, [&] { seen.append(bar->value()); });

        QScrollBar *inner = bar->bar();
        const auto clickAt = [&](QPoint p) { QTest::mouseClick(inner, Qt::LeftButton, {}, p); };
        const QRect thumb = scrollBarPart(inner, QStyle::SC_ScrollBarSlider);
        switch (action) {
        case BarAction::SetValue:
            bar->setValue(argument);
            break;
        case BarAction::SetMax:
            bar->setMax(argument);
            break;
        case BarAction::ClickBottomArrow:
            clickAt(scrollBarPart(inner, QStyle::SC_ScrollBarAddLine).center());
            break;
        case BarAction::ClickTopArrow:
            clickAt(scrollBarPart(inner, QStyle::SC_ScrollBarSubLine).center());
            break;
        case BarAction::ClickTroughBelowThumb: {
            const QRect page = scrollBarPart(inner, QStyle::SC_ScrollBarAddPage);
            QVERIFY2(page.height() > 4, "no trough below the thumb");
            QVERIFY(page.top() > thumb.bottom());
            clickAt(QPoint(page.center().x(), page.top() + 2));
            break;
        }
        case BarAction::ClickTroughAboveThumb: {
            const QRect page = scrollBarPart(inner, QStyle::SC_ScrollBarSubPage);
            QVERIFY2(page.height() > 4, "no trough above the thumb");
            QVERIFY(page.bottom() < thumb.top());
            clickAt(QPoint(page.center().x(), page.bottom() - 2));
            break;
        }
        case BarAction::Key:
            inner->setFocus();
            QTest::keyClick(inner, static_cast<Qt::Key>(argument));
            break;
        }

        QCOMPARE(bar->value(), expected);
        QCOMPARE(change.count(), changes);
        if (changes > 0)
            QCOMPARE(seen.last(), expected);
        // The inner bar agrees: 0 at the top, distance from 0 below it.
        QCOMPARE(inner->value(), qAbs(expected));
    }

    void scrollBarDragLandsOnRelease_data()
    {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("dragPixels"); // positive: down
        QTest::addColumn<int>("direction");  // expected sign of the change
        QTest::addColumn<bool>("toBottomEnd");

        QTest::newRow("forwards, down a little") << 5000 << 0 << 60 << 1 << false;
        QTest::newRow("forwards, up a little") << 5000 << 5000 << -60 << -1 << false;
        QTest::newRow("forwards, past the bottom") << 5000 << 0 << 2000 << 1 << true;
        QTest::newRow("backwards, down a little") << -5255 << 0 << 60 << -1 << false;
        QTest::newRow("backwards, up a little") << -5255 << -5255 << -60 << 1 << false;
        QTest::newRow("backwards, past the bottom") << -5255 << 0 << 2000 << -1 << true;
        QTest::newRow("long sheet, down") << 13101145 << 0 << 100 << 1 << false;
        QTest::newRow("long sheet, past the bottom") << 13101145 << 0 << 2000 << 1 << true;
    }

    void scrollBarDragLandsOnRelease()
    {
        QFETCH(int, max);
        QFETCH(int, start);
        QFETCH(int, dragPixels);
        QFETCH(int, direction);
        QFETCH(bool, toBottomEnd);

        ShownScrollBar shown;
        ClassicScrollBar *bar = shown.bar;
        QVERIFY(QTest::qWaitForWindowExposed(&shown.window));
        bar->setMax(max);
        bar->setValue(start);
        QScrollBar *inner = bar->bar();
        QSignalSpy change(bar, &ClassicScrollBar::Change);

        const QPoint from = scrollBarPart(inner, QStyle::SC_ScrollBarSlider).center();
        sendMouse(inner, QEvent::MouseButtonPress, from, Qt::LeftButton);
        QVERIFY(inner->isSliderDown());
        const int steps = 6;
        for (int i = 1; i <= steps; ++i) {
            sendMouse(inner, QEvent::MouseMove, from + QPoint(0, dragPixels * i / steps),
                      Qt::LeftButton);
            // The thumb follows, the value does not.
            QCOMPARE(bar->value(), start);
            QCOMPARE(change.count(), 0);
        }
        QVERIFY(inner->sliderPosition() != qAbs(start));
        const QPoint to = from + QPoint(0, dragPixels);
        sendMouse(inner, QEvent::MouseButtonRelease, to, Qt::NoButton);
        QVERIFY(!inner->isSliderDown());

        QCOMPARE(change.count(), 1);
        QVERIFY2((bar->value() - start) * direction > 0,
                 qPrintable(u"value %1 after drag from %2"_s.arg(bar->value()).arg(start)));
        QVERIFY(bar->value() >= qMin(0, max) && bar->value() <= qMax(0, max));
        if (toBottomEnd)
            QCOMPARE(bar->value(), max);
        QCOMPARE(inner->value(), qAbs(bar->value()));
    }

    // ---- ControlArray ------------------------------------------------------

    void controlArrayLoad_data()
    {
        QTest::addColumn<QList<int>>("loaded");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("made");
        QTest::addColumn<int>("count");

        QTest::newRow("first copy") << QList<int>{} << 1 << true << 2;
        QTest::newRow("template index") << QList<int>{} << 0 << false << 1;
        QTest::newRow("negative") << QList<int>{} << -1 << false << 1;
        QTest::newRow("highest index") << QList<int>{} << 32767 << true << 2;
        QTest::newRow("one past the highest") << QList<int>{} << 32768 << false << 1;
        QTest::newRow("int max") << QList<int>{} << std::numeric_limits<int>::max() << false << 1;
        QTest::newRow("already loaded") << QList<int>{1, 2, 3} << 2 << false << 4;
        QTest::newRow("after a gap") << QList<int>{1} << 5 << true << 3;
        QTest::newRow("into a gap") << QList<int>{1, 5} << 3 << true << 4;
    }

    void controlArrayLoad()
    {
        QFETCH(QList<int>, loaded);
        QFETCH(int, index);
        QFETCH(bool, made);
        QFETCH(int, count);

        QWidget container;
        ControlArray<QLabel> labels;
        labels.setTemplate(new QLabel(u"x"_s, &container));
        for (int i : loaded)
            QVERIFY(labels.load(i));
        QLabel *before = labels(index);

        QLabel *w = labels.load(index);
        QCOMPARE(w != nullptr, made);
        QCOMPARE(labels.count(), count);
        if (made) {
            QVERIFY(labels.exists(index));
            QCOMPARE(labels(index), w);
            QCOMPARE(syj::controlIndex(w), index);
            QCOMPARE(w->parentWidget(), &container);
            QVERIFY(labels.upperBound() > index);
        } else {
            // A refused load leaves what was there.
            QCOMPARE(labels(index), before);
        }
        QCOMPARE(syj::controlIndex(labels(0)), 0);
    }

    void controlArrayUnload_data()
    {
        QTest::addColumn<QList<int>>("loaded");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("upperBound");

        QTest::newRow("template stays") << QList<int>{1, 2} << 0 << 3 << 3;
        QTest::newRow("negative") << QList<int>{1, 2} << -1 << 3 << 3;
        QTest::newRow("last one") << QList<int>{1, 2, 3} << 3 << 3 << 3;
        QTest::newRow("middle one") << QList<int>{1, 2, 3} << 2 << 3 << 4;
        QTest::newRow("not loaded") << QList<int>{1, 3} << 2 << 3 << 4;
        QTest::newRow("beyond the end") << QList<int>{1} << 40 << 2 << 2;
        QTest::newRow("last one after a gap") << QList<int>{1, 9} << 9 << 2 << 2;
        QTest::newRow("only copy") << QList<int>{4} << 4 << 1 << 1;
    }

    void controlArrayUnload()
    {
        QFETCH(QList<int>, loaded);
        QFETCH(int, index);
        QFETCH(int, count);
        QFETCH(int, upperBound);

        QWidget container;
        ControlArray<QLineEdit> boxes;
        auto *templ = new QLineEdit(&container);
        boxes.setTemplate(templ);
        for (int i : loaded)
            QVERIFY(boxes.load(i));
        const QPointer<QLineEdit> victim = boxes(index);

        boxes.unload(index);
        QCOMPARE(boxes.count(), count);
        QCOMPARE(boxes.upperBound(), upperBound);
        QCOMPARE(boxes(0), templ);
        if (index > 0) {
            QVERIFY(!boxes.exists(index));
            QCOMPARE(boxes(index), nullptr);
            QVERIFY(victim.isNull()); // the widget itself is gone
        } else if (index == 0) {
            QVERIFY(!victim.isNull());
        }
        for (int i : loaded) {
            if (i != index)
                QVERIFY(boxes.exists(i));
        }
        // The freed index can be loaded again.
        if (index > 0 && index <= syj::kMaxControlIndex) {
            QVERIFY(boxes.load(index));
            QCOMPARE(syj::controlIndex(boxes(index)), index);
        }
    }

    void controlIndexOfOtherObjects()
    {
        QWidget plain;
        QCOMPARE(syj::controlIndex(&plain), -1);
        QCOMPARE(syj::controlIndex(nullptr), -1);
    }

    void controlArrayCopies_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("templateShown");

        for (const QString &kind : {u"label"_s, u"text box"_s, u"button"_s}) {
            QTest::addRow("%s, template shown", qPrintable(kind)) << kind << true;
            QTest::addRow("%s, template hidden", qPrintable(kind)) << kind << false;
        }
    }

    void controlArrayCopies()
    {
        QFETCH(QString, kind);
        QFETCH(bool, templateShown);

        QWidget container;
        container.resize(800, 600);
        QFont font(u"Serif"_s);
        font.setPointSizeF(15.75);
        font.setUnderline(true);
        const QRect twips(240, 1240, 1575, 375);

        const auto dressUp = [&](QWidget *w) {
            w->setFont(font);
            QPalette pal = w->palette();
            pal.setColor(QPalette::Window, QColor(224, 224, 224));
            pal.setColor(QPalette::Text, QColor(10, 20, 30));
            w->setPalette(pal);
            w->setAutoFillBackground(true);
            syj::placeTwips(w, twips);
            w->setVisible(templateShown);
        };
        const auto checkCommon = [&](const QWidget *templ, const QWidget *copy) {
            QVERIFY(copy);
            QVERIFY(copy != templ);
            QVERIFY(copy->isHidden());
            QCOMPARE(copy->parentWidget(), &container);
            QCOMPARE(copy->font(), templ->font());
            QCOMPARE(copy->font().pointSizeF(), 15.75);
            QCOMPARE(copy->palette().color(QPalette::Window), QColor(224, 224, 224));
            QCOMPARE(copy->palette().color(QPalette::Text), QColor(10, 20, 30));
            QVERIFY(copy->autoFillBackground());
            QCOMPARE(syj::twipsGeometry(copy), twips);
            QCOMPARE(copy->geometry(), templ->geometry());
            QCOMPARE(copy->objectName(), templ->objectName());
            QCOMPARE(syj::controlIndex(copy), 7);
        };

        container.show();
        if (kind == u"label"_s) {
            ControlArray<QLabel> a;
            auto *t = new QLabel(u"载入中"_s, &container);
            t->setObjectName(u"Label1"_s);
            t->setAlignment(Qt::AlignCenter);
            t->setTextFormat(Qt::PlainText);
            dressUp(t);
            a.setTemplate(t);
            QLabel *c = a.load(7);
            checkCommon(t, c);
            QCOMPARE(c->text(), u"载入中"_s);
            QCOMPARE(c->alignment(), Qt::AlignCenter);
            QCOMPARE(c->textFormat(), Qt::PlainText);
        } else if (kind == u"text box"_s) {
            ControlArray<QLineEdit> a;
            auto *t = new QLineEdit(u"……"_s, &container);
            t->setObjectName(u"Text1"_s);
            t->setMaxLength(std::numeric_limits<int>::max());
            t->setAlignment(Qt::AlignRight);
            t->setFrame(false);
            dressUp(t);
            a.setTemplate(t);
            QLineEdit *c = a.load(7);
            checkCommon(t, c);
            QCOMPARE(c->text(), u"……"_s);
            QCOMPARE(c->alignment(), Qt::AlignRight);
            QCOMPARE(c->hasFrame(), false);
            QCOMPARE(c->maxLength(), std::numeric_limits<int>::max());
            // No 32767 limit in the copy either.
            const QString longLine(100000, u'字');
            c->setText(longLine);
            QCOMPARE(c->text().size(), longLine.size());
        } else {
            ControlArray<QPushButton> a;
            auto *t = new QPushButton(u"伴奏"_s, &container);
            t->setObjectName(u"dcButton2"_s);
            t->setAutoDefault(false);
            dressUp(t);
            a.setTemplate(t);
            QPushButton *c = a.load(7);
            checkCommon(t, c);
            QCOMPARE(c->text(), u"伴奏"_s);
            QVERIFY(!c->autoDefault());
            QVERIFY(!c->isDefault());
        }
    }

    // ---- Twips --------------------------------------------------------------

    void decodePicture_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSize>("size");
        // Widths 1 to 7 cover every row padding; the 1024 x 768 one is the window's size.
        for (int w : {1, 2, 3, 4, 5, 7})
            QTest::addRow("24-bit %dx3 bottom-up", w)
                << bitmap24(patternImage(w, 3)) << QSize(w, 3);
        QTest::newRow("24-bit top-down") << bitmap24(patternImage(5, 4), true) << QSize(5, 4);
        QTest::newRow("24-bit with a larger info header")
            << bitmap24(patternImage(6, 2), false, 84) << QSize(6, 2);
        QTest::newRow("24-bit 1024x768") << bitmap24(patternImage(1024, 768)) << QSize(1024, 768);
        // Everything else is Qt's: other depths, other formats.
        QTest::newRow("32-bit bitmap (Qt)")
            << encoded(patternImage(5, 3).convertToFormat(QImage::Format_ARGB32), "bmp")
            << QSize(5, 3);
        QTest::newRow("8-bit bitmap (Qt)")
            << encoded(patternImage(4, 4).convertToFormat(QImage::Format_Indexed8), "bmp")
            << QSize(4, 4);
        QTest::newRow("PNG (Qt)") << encoded(patternImage(9, 2), "png") << QSize(9, 2);
    }

    void decodePicture()
    {
        QFETCH(QByteArray, data);
        QFETCH(QSize, size);
        const QImage direct = syj::decodePicture(data);
        QCOMPARE(direct.size(), size);
        QCOMPARE(direct.convertToFormat(QImage::Format_RGB32), qtReads(data));
    }

    void decodePictureLeavesBrokenBitmapsToQt_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = bitmap24(patternImage(6, 5));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only") << good.left(54);
        QTest::newRow("last row missing") << good.left(good.size() - 4);
        QByteArray offsetPastEnd = good;
        offsetPastEnd[10] = char(0xff);
        offsetPastEnd[11] = char(0xff);
        QTest::newRow("pixel offset past the end") << offsetPastEnd;
        QByteArray zeroWidth = good;
        zeroWidth[18] = 0;
        QTest::newRow("zero width") << zeroWidth;
        QByteArray hugeHeight = good;
        hugeHeight[22] = char(0xff);
        hugeHeight[23] = char(0xff);
        hugeHeight[24] = char(0xff);
        hugeHeight[25] = char(0x7f);
        QTest::newRow("height 2^31-1") << hugeHeight;
        QTest::newRow("not a picture") << QByteArray("BM but nothing else follows here at all");
    }

    void decodePictureLeavesBrokenBitmapsToQt()
    {
        // A damaged bitmap is never read past its end (the sanitizer build checks
        // that); it goes to Qt's reader, whose answer, an image or none, stands.
        // (Qt leaves a missing row's pixels unset, so only the sizes compare.)
        QFETCH(QByteArray, data);
        QCOMPARE(syj::decodePicture(data).size(), qtReads(data).size());
    }

    void pictureLoaderHandsOutEachPicture()
    {
        QTemporaryDir dir;
        const QString bmp = dir.filePath(u"a.bmp"_s), png = dir.filePath(u"b.png"_s);
        const QString other = dir.filePath(u"c.png"_s), missing = dir.filePath(u"none.bmp"_s);
        for (const auto &[path, data] : {std::pair{bmp, bitmap24(patternImage(3, 2))},
                                         std::pair{png, encoded(patternImage(2, 2), "png")},
                                         std::pair{other, encoded(patternImage(1, 4), "png")}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data);
        }
        syj::PictureLoader loader({bmp, png, missing});
        QCOMPARE(loader.take(png).size(), QSize(2, 2));
        QCOMPARE(loader.take(bmp).toImage().convertToFormat(QImage::Format_RGB32),
                 patternImage(3, 2));
        QVERIFY(loader.take(missing).isNull());
        // Not asked for beforehand, or asked for a second time: read on the spot.
        QCOMPARE(loader.take(other).size(), QSize(1, 4));
        QCOMPARE(loader.take(png).size(), QSize(2, 2));
    }

    void stretchedPictureRepaintsInParts()
    {
        // A partial repaint must show the same pixels as painting the whole box.
        syj::PictureBox box;
        box.setPicture(QPixmap::fromImage(patternImage(80, 60)));
        box.setStretch(true);
        box.resize(95, 11);
        const QImage whole = box.grab().toImage();
        for (const QRect &part : {QRect(0, 0, 10, 11), QRect(40, 3, 17, 5), QRect(90, 10, 5, 1)}) {
            QCOMPARE(box.grab(part).toImage(), whole.copy(part));
        }
        box.resize(40, 40);
        QCOMPARE(box.grab().toImage().size(), QSize(40, 40));
        QCOMPARE(box.grab().toImage(),
                 patternImage(80, 60)
                     .scaled(40, 40, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(box.grab().toImage().format()));
    }

    void twipsToPixels_data()
    {
        QTest::addColumn<int>("twips");
        QTest::addColumn<int>("pixels");

        QTest::newRow("0") << 0 << 0;
        QTest::newRow("7 rounds down") << 7 << 0;
        QTest::newRow("8 rounds up") << 8 << 1;
        QTest::newRow("one pixel") << 15 << 1;
        QTest::newRow("row pitch 400") << 400 << 27;
        QTest::newRow("row top 840") << 840 << 56;
        QTest::newRow("row height 375") << 375 << 25;
        QTest::newRow("lyric area 7695") << 7695 << 513;
        QTest::newRow("5255") << 5255 << 350;
        QTest::newRow("form width 14160") << 14160 << 944;
        QTest::newRow("form height 9135") << 9135 << 609;
        QTest::newRow("-7 rounds to 0") << -7 << 0;
        QTest::newRow("-8 rounds away from 0") << -8 << -1;
        QTest::newRow("-345") << -345 << -23;
        QTest::newRow("-5255 mirrors 5255") << -5255 << -350;
        QTest::newRow("last row top") << 840 + 400 * 32766 << 873816;
    }

    void twipsToPixels()
    {
        QFETCH(int, twips);
        QFETCH(int, pixels);
        QCOMPARE(syj::twipsToPixels(twips), pixels);
    }

    void placeTwips_data()
    {
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QRect>("pixels");

        // Rows 0, 1, 2, 3 of the lyric panel at 840 + 400k: 56, 82.7, 109.3, 136 px.
        QTest::newRow("row 0") << QRect(1920, 840, 4575, 375) << QRect(128, 56, 305, 25);
        QTest::newRow("row 1") << QRect(1920, 1240, 4575, 375) << QRect(128, 83, 305, 25);
        QTest::newRow("row 2") << QRect(1920, 1640, 4575, 375) << QRect(128, 109, 305, 25);
        QTest::newRow("row 3") << QRect(1920, 2040, 4575, 375) << QRect(128, 136, 305, 25);
        QTest::newRow("row 75") << QRect(240, 840 + 400 * 75, 1575, 375)
                                << QRect(16, 2056, 105, 25);
        QTest::newRow("panel scrolled up")
            << QRect(0, -5255, 14175, 13095) << QRect(0, -350, 945, 873);
        QTest::newRow("bottom panel") << QRect(0, 7680, 15015, 1455) << QRect(0, 512, 1001, 97);
        QTest::newRow("scroll bar") << QRect(13800, 0, 375, 7695) << QRect(920, 0, 25, 513);
    }

    void placeTwips()
    {
        QFETCH(QRect, twips);
        QFETCH(QRect, pixels);

        QWidget w;
        syj::placeTwips(&w, twips);
        QCOMPARE(syj::twipsGeometry(&w), twips);
        QCOMPARE(syj::twipsTop(&w), twips.y());
        QCOMPARE(syj::twipsHeight(&w), twips.height());
        QCOMPARE(w.geometry(), pixels);

        // Moving by whole rows and back keeps the exact twips.
        for (int k = 1; k <= 10; ++k)
            syj::setTwipsTop(&w, syj::twipsTop(&w) + 400);
        QCOMPARE(syj::twipsTop(&w), twips.y() + 4000);
        QCOMPARE(w.y(), syj::twipsToPixels(twips.y() + 4000));
        syj::setTwipsTop(&w, twips.y());
        QCOMPARE(syj::twipsGeometry(&w), twips);
        QCOMPARE(w.geometry(), pixels);

        syj::setTwipsHeight(&w, twips.height() + 400);
        QCOMPARE(syj::twipsHeight(&w), twips.height() + 400);
        QCOMPARE(syj::twipsTop(&w), twips.y());
        QCOMPARE(w.y() + w.height(), syj::twipsToPixels(twips.y() + twips.height() + 400));
    }

    void rowsTouchInPixels()
    {
        // Rows 375 high at a 400 pitch: the 25-twip gap between them must never
        // vanish or double after rounding.
        QWidget a, b;
        for (int k = 0; k < 200; ++k) {
            syj::placeTwips(&a, 1920, 840 + 400 * k, 4575, 375);
            syj::placeTwips(&b, 1920, 840 + 400 * (k + 1), 4575, 375);
            const int gap = b.y() - (a.y() + a.height());
            QVERIFY2(gap >= 1 && gap <= 2, qPrintable(u"row %1: gap %2 px"_s.arg(k).arg(gap)));
            QCOMPARE(b.y() - a.y(),
                     syj::twipsToPixels(840 + 400 * (k + 1)) - syj::twipsToPixels(840 + 400 * k));
        }
    }

    void textBoxReportsTheFocus_data()
    {
        QTest::addColumn<Qt::FocusReason>("reason");
        QTest::addColumn<bool>("reported");
        QTest::newRow("click") << Qt::MouseFocusReason << true;
        QTest::newRow("Tab") << Qt::TabFocusReason << true;
        QTest::newRow("Shift+Tab") << Qt::BacktabFocusReason << true;
        QTest::newRow("window activated again") << Qt::ActiveWindowFocusReason << true;
        QTest::newRow("set by the program") << Qt::OtherFocusReason << true;
        QTest::newRow("back from its own right-click menu") << Qt::PopupFocusReason << false;
    }

    void textBoxReportsTheFocus()
    {
        QFETCH(Qt::FocusReason, reason);
        QFETCH(bool, reported);
        // The container hears its boxes through one filter, and only its own.
        struct Listener : QObject {
            QList<QWidget *> boxes;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == syj::GotFocusEvent::type())
                    boxes << static_cast<syj::GotFocusEvent *>(e)->box();
                return false;
            }
        } listener;
        QWidget panel, other;
        panel.installEventFilter(&listener);
        syj::TextBox first(&panel), second(&panel), elsewhere(&other);
        for (syj::TextBox *box : {&second, &elsewhere}) {
            QFocusEvent in(QEvent::FocusIn, reason);
            QApplication::sendEvent(box, &in);
        }
        QCOMPARE(listener.boxes, reported ? QList<QWidget *>{&second} : QList<QWidget *>{});
    }

    void twipsOfAnUnplacedWidget()
    {
        QWidget w;
        w.setGeometry(2, 3, 40, 50);
        QCOMPARE(syj::twipsGeometry(&w), QRect(30, 45, 600, 750));
    }

    // ---- File dialog filters -------------------------------------------------

    void parseFileFilter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("descriptions");
        QTest::addColumn<QStringList>("patterns");

        QTest::newRow("music, trailing bar")
            << u"音乐文件(*.*)|*.*|"_s << QStringList{u"音乐文件(*.*)"_s} << QStringList{u"*.*"_s};
        QTest::newRow("lyrics and all files")
            << u"歌词文件(*.lrc)|*.lrc|All files(*.*)|*.*"_s
            << QStringList{u"歌词文件(*.lrc)"_s, u"All files(*.*)"_s}
            << QStringList{u"*.lrc"_s, u"*.*"_s};
        QTest::newRow("empty") << QString() << QStringList{} << QStringList{};
        QTest::newRow("description without pattern")
            << u"a|*.a|b"_s << QStringList{u"a"_s} << QStringList{u"*.a"_s};
        QTest::newRow("several patterns in one entry")
            << u"音频|*.mp3;*.wav|"_s << QStringList{u"音频"_s} << QStringList{u"*.mp3;*.wav"_s};
        QTest::newRow("doubled trailing bar")
            << u"a|*.a||"_s << QStringList{u"a"_s} << QStringList{u"*.a"_s};
    }

    void parseFileFilter()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, descriptions);
        QFETCH(QStringList, patterns);

        const QList<syj::FileFilterEntry> entries = syj::parseFileFilter(filter);
        QStringList gotDescriptions, gotPatterns;
        for (const syj::FileFilterEntry &e : entries) {
            gotDescriptions << e.description;
            gotPatterns << e.pattern;
        }
        QCOMPARE(gotDescriptions, descriptions);
        QCOMPARE(gotPatterns, patterns);
    }

    void qtWildcards_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("wildcards");

        QTest::newRow("*.* takes names without a dot") << u"*.*"_s << QStringList{u"*"_s};
        QTest::newRow("one extension") << u"*.lrc"_s << QStringList{u"*.lrc"_s};
        QTest::newRow("two extensions") << u"*.mp3;*.wav"_s << QStringList{u"*.mp3"_s, u"*.wav"_s};
        QTest::newRow("spaces and *.*") << u" *.mp3 ; *.* "_s << QStringList{u"*.mp3"_s, u"*"_s};
        QTest::newRow("trailing semicolon") << u"*.lrc;"_s << QStringList{u"*.lrc"_s};
        QTest::newRow("empty takes everything") << QString() << QStringList{u"*"_s};
    }

    void qtWildcards()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, wildcards);
        QCOMPARE(syj::qtWildcards(pattern), wildcards);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
