// Application-wide set-up shared by the program, its tests and the benchmark.
#pragma once

class QApplication;

namespace syj {

// Names, the default user-interface font (a face that shows Chinese) and Qt's
// own Chinese translations for its dialogs.
void configureApplication(QApplication &app);

} // namespace syj
