#pragma once

#include <QByteArray>
#include <QList>
#include <QVariant>
#include <QVariantList>

class QSqlQuery;

namespace quarl {

// The rows of a record set, each packed into one byte array. A list of variants per row
// costs several times the memory, which counts when a screen holds every bill of lading
// ever entered. Values come back as null, text, 64-bit integer, double, date or bool;
// anything else is kept through QDataStream.
class RowStore
{
public:
    explicit RowStore(int columns = 0) : m_columns(columns) {}

    void reset(int columns);
    int columnCount() const { return m_columns; }
    int size() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }

    void append(const QVariantList &row);
    // The current row of a query, columns 0 .. columnCount()-1.
    void appendFrom(const QSqlQuery &query);
    void insert(int at, const QVariantList &row);
    void replace(int at, const QVariantList &row);
    void remove(int at);
    void clear() { m_rows.clear(); }

    QVariantList row(int at) const;
    QVariant value(int at, int column) const;
    // Bytes held by the packed rows, for measurements.
    qint64 packedBytes() const;

private:
    QByteArray pack(const QVariantList &row);
    QList<QByteArray> m_rows;
    QByteArray m_scratch;
    int m_columns = 0;
};

} // namespace quarl
