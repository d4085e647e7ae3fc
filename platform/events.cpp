#include "platform/events.h"

#include <QCoreApplication>

namespace syj {

void DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace syj
