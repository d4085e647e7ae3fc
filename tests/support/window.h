// Setting up the main window's tests: a test program's main function, and a
// lyric file loaded into the window as the writer loads one.
#pragma once

#include "app/application.h"
#include "support/scripted.h"
#include "support/sound.h"

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QTest>

namespace syj {
class Form1;
}

namespace syj::test {

// Writes `bytes` as a new lyric file in `folder` and loads it through
// 打开原唱歌词, its dialog answered with the file. False when the file could
// not be written.
bool loadIntoWindow(Form1 &form, ScriptedPlatform &platform, const QString &folder,
                    const QByteArray &bytes);

} // namespace syj::test

// A test program of the window, its application set up as the program's.
#define SYJ_WINDOW_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        syj::configureApplication(app);                                                            \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The same for a test whose players are heard: they play to a null sink of
// a sound server of the test's own, started before anything of Qt.
#define SYJ_HEARD_WINDOW_TEST_MAIN(TestClass)                                                      \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        syj::test::processNullSink();                                                              \
        QApplication app(argc, argv);                                                              \
        syj::configureApplication(app);                                                            \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
