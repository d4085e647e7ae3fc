// The compiled-in tables are read in place, little-endian throughout: the
// 32-bit and 16-bit words at an index from a table's base.
#pragma once

#include <QtEndian>

namespace syj::aids {

inline quint32 u32At(const uchar *base, qint64 index)
{
    return qFromLittleEndian<quint32>(base + 4 * index);
}

inline quint16 u16At(const uchar *base, qint64 index)
{
    return qFromLittleEndian<quint16>(base + 2 * index);
}

} // namespace syj::aids
