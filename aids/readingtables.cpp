// Placeholder until the generated tables land: knows no reading.
#include "aids/readingtables.h"

namespace syj::aids {

struct ReadingTables::Data {};

namespace {
bool g_opened = false;
}

ReadingTables::ReadingTables() : m_data(new Data) {}

const ReadingTables &ReadingTables::instance()
{
    static const ReadingTables tables;
    g_opened = true;
    return tables;
}

bool ReadingTables::opened()
{
    return g_opened;
}

QStringList ReadingTables::characterReadings(char32_t, Language) const
{
    return {};
}

QStringList ReadingTables::wordReadings(QStringView, qsizetype, Language) const
{
    return {};
}

} // namespace syj::aids
