// The writing aids on the window: typing into a row's new-words box changes
// the mark at its right end (new/original sung syllables, the rhyme group of
// the line end), a new line changes the rhyme marks of its whole set, and the
// aids window follows the focused row with its tone classes and lets the
// writer pick a reading; its word finder puts a word into the row's box. A
// real window, real lyric files, real typing.

#include "aids/readingtables.h"
#include "app/aidswindow.h"
#include "app/form1.h"
#include "app/rowpanel.h"
#include "app/wordfinderpanel.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetaids.h"
#include "support/scripted.h"
#include "support/widgets.h"
#include "support/window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

using namespace Qt::StringLiterals;
using syj::Form1;
using syj::TextBox;
using syj::test::ScriptedPlatform;

class TestAidsView : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    void load(Form1 &form, ScriptedPlatform &p, const QStringList &lines)
    {
        QVERIFY(syj::test::loadIntoWindow(form, p, m_dir.path(), lines.join(u"\r\n"_s).toUtf8()));
        QVERIFY(syj::test::waitFor([&] { return !form.sheet().isLoading(); }));
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Typing changes the fit: the numbers and how far apart they are.
    void typingChangesTheFit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QColor>("color");
        QTest::newRow("nothing yet") << QString() << u"0/5"_s << QColor(198, 40, 40);
        QTest::newRow("one short") << u"我想念你"_s << u"4/5"_s << QColor(176, 104, 0);
        QTest::newRow("equal") << u"我想念着你"_s << u"5/5"_s << QColor(27, 122, 27);
        QTest::newRow("equal with english") << u"我爱你 baby"_s << u"5/5"_s << QColor(27, 122, 27);
        QTest::newRow("two over") << u"我在想念着你呀"_s << u"7/5"_s << QColor(198, 40, 40);
    }

    void typingChangesTheFit()
    {
        QFETCH(QString, typed);
        QFETCH(QString, mark);
        QFETCH(QColor, color);
        ScriptedPlatform p;
        Form1 form(p);
        form.show();
        load(form, p, {u"[00:01.00]月亮代表心"_s, u"[00:02.00]你问我爱你"_s});
        QVERIFY(form.showAidsWindow());
        TextBox *box = form.rows().newWordsBox(0);
        QCOMPARE(box->mark().first, u"0/5"_s);
        box->setFocus();
        syj::test::typeText(box, typed);
        QCOMPARE(box->text(), typed);
        QCOMPARE(box->mark().first, mark);
        QCOMPARE(box->mark().firstColor, color);
        // The mark stays clear of the words: the box keeps a margin for it.
        QCOMPARE(box->textMargins().right(), syj::kAidsMarkMargin);
        // And the aids window says it as well.
        QTRY_VERIFY(form.aidsWindow()->heading()->text().contains(mark));
    }

    // One new line sets the rhyme of its set: the rows of the set show it,
    // and a line that leaves it is marked.
    void rhymeAcrossTheSet()
    {
        ScriptedPlatform p;
        Form1 form(p);
        form.show();
        // 光, 唐 and 方 end in 十唐; 你 stands alone.
        load(form, p,
             {u"[00:01.00]月光"_s, u"[00:02.00]大唐"_s, u"[00:03.00]爱你"_s, u"[00:04.00]远方"_s});
        QCOMPARE(form.rows().newWordsBox(0)->mark().second, u"唐"_s); // the rhyme to aim for, grey
        syj::test::typeText(form.rows().newWordsBox(0), u"天际"_s);   // 十二齐 sets the rhyme
        QCOMPARE(form.rows().newWordsBox(0)->mark().second, u"齐"_s);
        QCOMPARE(form.rows().newWordsBox(3)->mark().second, u"齐"_s); // the set's other rows follow
        syj::test::typeText(form.rows().newWordsBox(1), u"回家"_s);   // 一麻 leaves it
        QCOMPARE(form.rows().newWordsBox(1)->mark().second, u"麻"_s);
        QVERIFY(form.rows().newWordsBox(1)->mark().secondUnderlined);
        QCOMPARE(form.rows().newWordsBox(1)->mark().secondColor, QColor(198, 40, 40));
        syj::test::typeText(form.rows().newWordsBox(3), u"美丽"_s);
        QVERIFY(!form.rows().newWordsBox(3)->mark().secondUnderlined);

        // Over the mark, a tooltip names both line ends with their readings.
        QHelpEvent help(QEvent::ToolTip, QPoint(1, 1),
                        form.rows().newWordsBox(1)->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(form.rows().newWordsBox(1), &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().startsWith(u"字数 2/2，韵脚 一麻，离开了本组的韵 十二齐\n"
                                             u"原词句尾 唐 táng〔十唐〕，新词句尾 家 jiā/"_s),
                 qPrintable(QToolTip::text()));

        // 十三辙 names the groups its own way.
        form.sheet().setRhymeSystem(syj::aids::RhymeSystem::ShisanZhe);
        QCOMPARE(form.rows().newWordsBox(0)->mark().second, u"一七"_s);
    }

    // The aids window shows the focused row syllable by syllable, marks a
    // tone that cannot be sung on the original's note, and a picked reading
    // changes the verdict.
    void aidsWindowFollowsTheRow()
    {
        ScriptedPlatform p;
        Form1 form(p);
        form.show();
        load(form, p, {u"[00:01.00]天天"_s, u"[00:02.00]天星"_s});
        QVERIFY(form.showAidsWindow());
        syj::AidsWindow *aids = form.aidsWindow();
        QApplication::setActiveWindow(&form);
        form.rows().newWordsBox(1)->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), form.rows().newWordsBox(1));
        syj::test::typeText(form.rows().newWordsBox(1), u"长大"_s);
        QCOMPARE(aids->shownRow(), 1);
        // The aids window follows the typing; the focus stays in the box.
        QCOMPARE(QApplication::focusWidget(), form.rows().newWordsBox(1));
        QTableWidget *t = aids->syllables();
        QCOMPARE(t->item(0, syj::AidsWindow::OriginalClass)->text(), u"平"_s);
        // 长 can be cháng (平) or zhǎng (仄): it fits; 大 (仄) does not.
        QVERIFY(!t->item(0, syj::AidsWindow::NewClass)->text().contains(u"✗"_s));
        QVERIFY(t->item(1, syj::AidsWindow::NewClass)->text().contains(u"✗"_s));
        // Picking zhǎng makes 长 a 仄 syllable on a 平 note.
        auto *pick = qobject_cast<QComboBox *>(t->cellWidget(0, syj::AidsWindow::NewReading));
        QVERIFY(pick);
        pick->setCurrentIndex(pick->findData(u"zhang3"_s));
        Q_EMIT pick->activated(pick->currentIndex());
        QTRY_VERIFY(aids->syllables()->item(0, syj::AidsWindow::NewClass)->text().contains(u"✗"_s));
        QCOMPARE(form.sheet().readingPicks(1, syj::LyricSheetModel::Side::NewWords).value(0),
                 u"zhang3"_s);

        // Cantonese: 0243 classes, and only Cantonese finals to rhyme by.
        aids->languageBox()->setCurrentIndex(1);
        Q_EMIT aids->languageBox()->activated(1);
        QCOMPARE(form.sheet().rhymeSystem(), syj::aids::RhymeSystem::CantoneseFinals);
        QCOMPARE(aids->rhymeSystemBox()->count(), 1);
        QCOMPARE(aids->syllables()->item(0, syj::AidsWindow::OriginalClass)->text(), u"3"_s);
    }

    // The finder lists words for the focused row's line end; Enter puts the
    // chosen one into the row's box in place of the selection and gives the
    // box the focus back, and the box's Undo takes it back. F9 goes to the
    // finder and back.
    void finderPutsAWordIntoTheBox()
    {
        ScriptedPlatform p;
        Form1 form(p);
        form.show();
        // 光 and 方 end in 十唐: a rhyme set. 家 leaves its rhyme, but the
        // line being written does not choose the rhyme it is offered.
        load(form, p, {u"[00:01.00]月光"_s, u"[00:02.00]远方"_s});
        QVERIFY(form.showAidsWindow());
        syj::AidsWindow *aids = form.aidsWindow();
        syj::WordFinderPanel *finder = aids->wordFinder();
        TextBox *box = form.rows().newWordsBox(0);
        QApplication::setActiveWindow(&form);
        box->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), box);
        syj::test::typeText(box, u"回家"_s);
        box->setSelection(1, 1);

        QTest::keyClick(box, Qt::Key_F9);
        QTRY_COMPARE(QApplication::focusWidget(), finder->list());
        QCOMPARE(finder->firstSyllableBox()->value(), 1);
        QCOMPARE(finder->lengthBox()->value(), 2);
        QVERIFY(finder->rhymeBox()->isEnabled());
        QVERIFY2(finder->rhymeBox()->text().contains(u"十唐"_s),
                 qPrintable(finder->rhymeBox()->text()));
        QVERIFY2(finder->countLabel()->text().startsWith(u"原词“月光”（仄平）：找到"_s),
                 qPrintable(finder->countLabel()->text()));
        QVERIFY(finder->list()->count() > 0);
        const QString word = finder->list()->currentItem()->data(Qt::UserRole).toString();
        QCOMPARE(word.size(), 2);
        QVERIFY(finder->list()
                    ->currentItem()
                    ->data(Qt::AccessibleTextRole)
                    .toString()
                    .startsWith(word + u"，读音 "_s));

        QTest::keyClick(finder->list(), Qt::Key_Return);
        QCOMPARE(box->text(), u"回"_s + word);
        QCOMPARE(form.sheet().at(0).newWords, u"回"_s + word);
        QTRY_COMPARE(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box->text(), u"回家"_s);

        // Narrowed by a character, the list holds only words with it.
        QTest::keyClick(box, Qt::Key_F9);
        QTRY_COMPARE(QApplication::focusWidget(), finder->list());
        finder->filterBox()->setText(u"光"_s);
        QVERIFY(finder->list()->count() > 0);
        for (int i = 0; i < finder->list()->count(); ++i)
            QVERIFY(finder->list()->item(i)->data(Qt::UserRole).toString().contains(u'光'));
        QTest::keyClick(finder->list(), Qt::Key_F9);
        QTRY_COMPARE(QApplication::focusWidget(), box);
        QCOMPARE(box->text(), u"回家"_s);
    }
};

QTEST_MAIN(TestAidsView)
#include "tst_aidsview.moc"
