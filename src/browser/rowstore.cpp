#include "browser/rowstore.h"

#include <QDataStream>
#include <QDate>
#include <QIODevice>
#include <QSqlQuery>

#include <cstring>

namespace quarl {

namespace {

enum Tag : char { Null = 0, Text = 1, Int = 2, Real = 3, Day = 4, Flag = 5, Other = 6 };

void putLength(QByteArray &out, quint64 n)
{
    while (n >= 0x80) {
        out.append(char((n & 0x7f) | 0x80));
        n >>= 7;
    }
    out.append(char(n));
}

quint64 getLength(const char *&p)
{
    quint64 n = 0;
    int shift = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(*p++);
        n |= quint64(b & 0x7f) << shift;
        if (!(b & 0x80))
            return n;
        shift += 7;
    }
}

template<typename T>
void putRaw(QByteArray &out, T v)
{
    out.append(reinterpret_cast<const char *>(&v), sizeof v);
}

template<typename T>
T getRaw(const char *&p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

void putValue(QByteArray &out, const QVariant &v)
{
    if (v.isNull()) {
        out.append(char(Null));
        return;
    }
    switch (v.typeId()) {
    case QMetaType::QString: {
        const QByteArray utf8 = v.toString().toUtf8();
        out.append(char(Text));
        putLength(out, quint64(utf8.size()));
        out.append(utf8);
        return;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        out.append(char(Int));
        putRaw<qint64>(out, v.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        out.append(char(Real));
        putRaw<double>(out, v.toDouble());
        return;
    case QMetaType::QDate:
        out.append(char(Day));
        putRaw<qint64>(out, v.toDate().toJulianDay());
        return;
    case QMetaType::Bool:
        out.append(char(Flag));
        out.append(char(v.toBool() ? 1 : 0));
        return;
    default: {
        QByteArray bytes;
        QDataStream ds(&bytes, QIODevice::WriteOnly);
        ds << v;
        out.append(char(Other));
        putLength(out, quint64(bytes.size()));
        out.append(bytes);
        return;
    }
    }
}

QVariant getValue(const char *&p)
{
    const char tag = *p++;
    switch (tag) {
    case Text: {
        const auto n = qsizetype(getLength(p));
        const QString s = QString::fromUtf8(p, n);
        p += n;
        return s;
    }
    case Int:
        return QVariant(qlonglong(getRaw<qint64>(p)));
    case Real:
        return getRaw<double>(p);
    case Day:
        return QDate::fromJulianDay(getRaw<qint64>(p));
    case Flag:
        return bool(*p++);
    case Other: {
        const auto n = qsizetype(getLength(p));
        QByteArray bytes(p, n);
        p += n;
        QDataStream ds(bytes);
        QVariant v;
        ds >> v;
        return v;
    }
    default:
        return QVariant();
    }
}

void skipValue(const char *&p)
{
    const char tag = *p++;
    switch (tag) {
    case Text:
    case Other:
        p += qsizetype(getLength(p));
        return;
    case Int:
    case Real:
    case Day:
        p += 8;
        return;
    case Flag:
        ++p;
        return;
    default:
        return;
    }
}

} // namespace

void RowStore::reset(int columns)
{
    m_rows.clear();
    m_columns = columns;
}

QByteArray RowStore::pack(const QVariantList &row)
{
    m_scratch.clear();
    for (int c = 0; c < m_columns; ++c)
        putValue(m_scratch, row.value(c));
    return QByteArray(m_scratch.constData(), m_scratch.size());
}

void RowStore::append(const QVariantList &row)
{
    m_rows.append(pack(row));
}

void RowStore::appendFrom(const QSqlQuery &query)
{
    m_scratch.clear();
    for (int c = 0; c < m_columns; ++c)
        putValue(m_scratch, query.value(c));
    m_rows.append(QByteArray(m_scratch.constData(), m_scratch.size()));
}

void RowStore::insert(int at, const QVariantList &row)
{
    m_rows.insert(at, pack(row));
}

void RowStore::replace(int at, const QVariantList &row)
{
    m_rows[at] = pack(row);
}

void RowStore::remove(int at)
{
    m_rows.removeAt(at);
}

QVariantList RowStore::row(int at) const
{
    QVariantList out;
    out.reserve(m_columns);
    const char *p = m_rows.at(at).constData();
    for (int c = 0; c < m_columns; ++c)
        out.append(getValue(p));
    return out;
}

QVariant RowStore::value(int at, int column) const
{
    if (column < 0 || column >= m_columns)
        return QVariant();
    const char *p = m_rows.at(at).constData();
    for (int c = 0; c < column; ++c)
        skipValue(p);
    return getValue(p);
}

qint64 RowStore::packedBytes() const
{
    qint64 n = 0;
    for (const QByteArray &r : m_rows)
        n += r.size();
    return n;
}

} // namespace quarl
