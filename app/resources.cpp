#include "app/resources.h"

#include <QtGlobal>

// Outside any namespace: Q_INIT_RESOURCE declares a global function.
static void initPictures()
{
    Q_INIT_RESOURCE(resources);
}

namespace syj {

void initResources()
{
    static const bool done = [] {
        initPictures();
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace syj
