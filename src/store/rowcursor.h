#pragma once

#include "core/failure.h"

#include <QString>
#include <QVariant>

#include <memory>

namespace quarl {

class Database;

// The rows of a query, read one at a time, for the large readings (a whole voyage written
// to a file). On SQLite they come straight from the engine's statement: the driver's copy
// of every row into its cache, then into the caller's row, is most of the time such a
// reading takes. On PostgreSQL they come through a forward-only query. Either way a value
// comes as the SQL driver would give it: null as a null text, integers as qint64, reals as
// double, text as QString, blobs as QByteArray. The reading runs inside the caller's
// transaction when one is open.
class RowCursor
{
public:
    static Result<RowCursor> open(const Database &db, const QString &sql, const QVariantList &binds);

    RowCursor(RowCursor &&) noexcept;
    RowCursor &operator=(RowCursor &&) noexcept;
    ~RowCursor();

    int count() const;
    QString name(int column) const;
    // The next row; false at the end, and when the reading failed (status() says so).
    bool next();
    QVariant value(int column) const;
    // The same into a value that may already hold one: text and bytes reuse its storage
    // where no one else shares it, which a reading that fills one row again and again
    // spares an allocation per value.
    void valueInto(int column, QVariant &into) const;
    Status status() const;

private:
    struct Private;
    explicit RowCursor(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace quarl
