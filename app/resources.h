// The compiled-in pictures live in a static library; this makes them known to
// Qt's resource system before the first window loads one.
#pragma once

namespace syj {

void initResources();

} // namespace syj
