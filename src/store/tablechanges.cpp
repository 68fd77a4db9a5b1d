#include "store/tablechanges.h"

#include "store/database.h"

#include <QRegularExpression>

#include <functional>
#include <optional>
#include <tuple>

namespace quarl {

namespace {

// SQLite's generic error number (SQLITE_ERROR), which its own "no such ..." errors carry.
constexpr qint64 SqliteError = 1;

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Index just past the quoted identifier or literal that starts at i.
qsizetype skipQuoted(const QString &s, qsizetype i)
{
    const QChar close = s.at(i) == QLatin1Char('[') ? QLatin1Char(']') : s.at(i);
    for (++i; i < s.size(); ++i) {
        if (s.at(i) != close)
            continue;
        if (close != QLatin1Char(']') && i + 1 < s.size() && s.at(i + 1) == close) {
            ++i; // doubled quote inside
            continue;
        }
        return i + 1;
    }
    return i;
}

// Index just past the comment that starts at i, or i when none starts there.
qsizetype skipComment(const QString &s, qsizetype i)
{
    if (s.mid(i, 2) == QLatin1String("--")) {
        const qsizetype end = s.indexOf(QLatin1Char('\n'), i);
        return end < 0 ? s.size() : end + 1;
    }
    if (s.mid(i, 2) == QLatin1String("/*")) {
        const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
        return end < 0 ? s.size() : end + 2;
    }
    return i;
}

bool isQuote(QChar c)
{
    return c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[');
}

// A CREATE TABLE text cut at the top-level commas of its column and constraint list.
struct CreateTableText
{
    QString head; // up to and including the opening parenthesis
    QStringList parts;
    QString tail; // from the closing parenthesis on
};

std::optional<CreateTableText> splitCreateTable(const QString &sql)
{
    CreateTableText out;
    int depth = 0;
    qsizetype partStart = -1;
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (isQuote(c)) {
            i = skipQuoted(sql, i);
            continue;
        }
        if (const qsizetype after = skipComment(sql, i); after != i) {
            i = after;
            continue;
        }
        if (c == QLatin1Char('(')) {
            if (depth++ == 0) {
                out.head = sql.left(i + 1);
                partStart = i + 1;
            }
        } else if (c == QLatin1Char(')') && depth > 0) {
            if (--depth == 0) {
                out.parts << sql.mid(partStart, i - partStart);
                out.tail = sql.mid(i);
                return out;
            }
        } else if (c == QLatin1Char(',') && depth == 1) {
            out.parts << sql.mid(partStart, i - partStart);
            partStart = i + 1;
        }
        ++i;
    }
    return std::nullopt;
}

// The first n words of a table element, quotes removed from quoted names.
QStringList leadingWords(const QString &part, int n)
{
    QStringList words;
    qsizetype i = 0;
    while (i < part.size() && words.size() < n) {
        const QChar c = part.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (const qsizetype after = skipComment(part, i); after != i) {
            i = after;
        } else if (isQuote(c)) {
            const qsizetype end = skipQuoted(part, i);
            QString word = part.mid(i + 1, end - i - 2);
            if (c != QLatin1Char('['))
                word.replace(QString(2, c), QString(c));
            words << word;
            i = end;
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < part.size() && isWordChar(part.at(i)))
                ++i;
            words << part.mid(start, i - start);
        } else {
            words << QString(c);
            ++i;
        }
    }
    return words;
}

// Replaces the table by one made with newSql, keeping every row, the column order, the
// other indexes, triggers and the autoincrement mark, under a savepoint. With keepAll the
// rows are copied also where they break a check of the new definition.
Status rebuildTable(const Database &db, const QString &name, const QString &newSql, bool keepAll)
{
    // Indexes and triggers go with the table; those made by the table's own constraints
    // (no sql) come back with the new definition.
    QStringList dependents;
    {
        auto q = db.query(QStringLiteral("select sql from sqlite_master where type in ('index', 'trigger') "
                                         "and lower(tbl_name) = lower(?) and sql is not null order by type, rowid"),
                          {name});
        if (!q)
            return q.failure();
        while (q->next())
            dependents << q->value(0).toString();
    }
    // The high-water mark of an autoincrement key goes with the table too.
    QVariant sequence;
    auto hasSequences = db.scalar(QStringLiteral("select count(*) from sqlite_master where name = 'sqlite_sequence'"));
    if (!hasSequences)
        return hasSequences.failure();
    if (hasSequences->toInt() > 0) {
        auto seq = db.scalar(QStringLiteral("select seq from sqlite_sequence where name = ?"), {name});
        if (!seq)
            return seq.failure();
        sequence = seq.value();
    }

    if (Status s = db.exec(QStringLiteral("savepoint quarl_rebuild")); !s)
        return s;
    auto steps = [&]() -> Status {
        QStringList sql = {QStringLiteral("drop table if exists temp.quarl_rebuild"),
                           QStringLiteral("create temp table quarl_rebuild as select * from main.%1").arg(name),
                           QStringLiteral("drop table main.%1").arg(name),
                           newSql};
        if (keepAll)
            sql << QStringLiteral("pragma ignore_check_constraints = on");
        sql << QStringLiteral("insert into main.%1 select * from temp.quarl_rebuild").arg(name);
        if (keepAll)
            sql << QStringLiteral("pragma ignore_check_constraints = off");
        sql << QStringLiteral("drop table temp.quarl_rebuild");
        sql += dependents;
        for (const QString &statement : sql) {
            if (Status s = db.exec(statement); !s)
                return s;
        }
        if (sequence.isValid() && !sequence.isNull()) {
            if (Status s = db.exec(QStringLiteral("delete from sqlite_sequence where name = ?"), {name}); !s)
                return s;
            auto top = db.scalar(QStringLiteral("select max(rowid) from main.%1").arg(name));
            if (!top)
                return top.failure();
            const qint64 seq = std::max(sequence.toLongLong(), top->toLongLong());
            if (Status s = db.exec(QStringLiteral("insert into sqlite_sequence (name, seq) values (?, ?)"), {name, seq}); !s)
                return s;
        }
        return Status::ok();
    };
    if (Status s = steps(); !s) {
        // The failure of the steps is the one reported; these only undo them.
        std::ignore = db.exec(QStringLiteral("pragma ignore_check_constraints = off"));
        std::ignore = db.exec(QStringLiteral("rollback to quarl_rebuild"));
        std::ignore = db.exec(QStringLiteral("release quarl_rebuild"));
        return s;
    }
    return db.exec(QStringLiteral("release quarl_rebuild"));
}


// Rebuilds a SQLite table with its definition changed by edit (which answers a failure
// when the change does not apply), keeping rows, indexes, triggers and the key sequence.
Status rebuildTable(const Database &db, const QString &table,
                    const std::function<Status(QStringList *parts)> &edit)
{
    auto def = db.query(QStringLiteral("select name, sql from sqlite_master where type = 'table' and lower(name) = lower(?)"),
                        {table});
    if (!def)
        return def.failure();
    if (!def->next())
        return Failure(SqliteError, QStringLiteral("no such table: %1").arg(table));
    const QString name = def->value(0).toString();
    const QString createSql = def->value(1).toString();
    def->finish();

    std::optional<CreateTableText> text = splitCreateTable(createSql);
    if (!text)
        return Failure(SqliteError, QStringLiteral("cannot read the definition of table %1").arg(name));
    if (Status s = edit(&text->parts); !s)
        return s;
    // rows already longer than a column's check stay as they are, as everywhere else
    return rebuildTable(db, name, text->head + text->parts.join(QLatin1Char(',')) + text->tail, true);
}

} // namespace

Status enforceWidths(const Database &db, const QString &table, const QList<ColumnDef> &columns,
                     bool *changed)
{
    if (db.dialect().isPostgres()) {
        for (const ColumnDef &c : columns) {
            const QString column = QLatin1String(c.name);
            auto width = db.scalar(QStringLiteral("select character_maximum_length from information_schema.columns "
                                                  "where table_schema = current_schema() and table_name = lower(?) "
                                                  "and column_name = lower(?)"),
                                   {table, column});
            if (!width)
                return width.failure();
            if (!width->isNull() && width->toInt() <= c.size)
                continue;
            const QString name = QStringLiteral("%1_%2_width").arg(table, column).toLower();
            auto there = db.scalar(QStringLiteral("select count(*) from pg_constraint where conname = ?"), {name});
            if (!there)
                return there.failure();
            if (there->toInt() > 0)
                continue;
            // not valid: rows already too long stay as they are; new and changed rows are checked
            if (Status s = db.exec(QStringLiteral("alter table %1 add constraint %2 %3 not valid")
                                       .arg(table, name, db.dialect().widthCheck(c)));
                !s)
                return s;
            *changed = true;
        }
        return Status::ok();
    }
    // A table whose columns all hold their checks already is left as it is.
    Status s = rebuildTable(db, table, [&](QStringList *parts) -> Status {
        bool modified = false;
        for (QString &part : *parts) {
            const QStringList words = leadingWords(part, 1);
            for (const ColumnDef &c : columns) {
                const QString column = QLatin1String(c.name);
                if (words.isEmpty() || words.first().compare(column, Qt::CaseInsensitive) != 0)
                    continue;
                if (!part.contains(QStringLiteral("length(%1)").arg(column), Qt::CaseInsensitive)) {
                    part += QLatin1Char(' ') + db.dialect().widthCheck(c);
                    modified = true;
                }
            }
        }
        return modified ? Status::ok() : Status(Failure(QStringLiteral("unchanged"), QString()));
    });
    if (!s && s.failure().code == QLatin1String("unchanged"))
        return Status::ok();
    if (s)
        *changed = true;
    return s;
}

Status dropConstraint(const Database &db, const QString &table, const QString &constraint)
{
    if (db.dialect().isPostgres())
        return db.exec(QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT %2").arg(table, constraint));
    return rebuildTable(db, table, [&](QStringList *parts) -> Status {
        for (qsizetype i = 0; i < parts->size(); ++i) {
            const QStringList words = leadingWords(parts->at(i), 2);
            if (words.size() == 2 && words.at(0).compare(QLatin1String("constraint"), Qt::CaseInsensitive) == 0
                && words.at(1).compare(constraint, Qt::CaseInsensitive) == 0) {
                parts->removeAt(i);
                return Status::ok();
            }
        }
        return Failure(SqliteError, QStringLiteral("no such constraint: %1").arg(constraint));
    });
}

Result<bool> hasConstraint(const Database &db, const QString &table, const QString &constraint)
{
    if (db.dialect().isPostgres()) {
        auto n = db.scalar(QStringLiteral("select count(*) from pg_constraint c join pg_class t on t.oid = c.conrelid "
                                          "join pg_namespace s on s.oid = t.relnamespace "
                                          "where s.nspname = current_schema() and t.relname = lower(?) "
                                          "and lower(c.conname) = lower(?)"),
                           {table, constraint});
        if (!n)
            return n.failure();
        return n->toLongLong() > 0;
    }
    auto def = db.scalar(QStringLiteral("select sql from sqlite_master where type = 'table' and lower(name) = lower(?)"),
                         {table});
    if (!def)
        return def.failure();
    const std::optional<CreateTableText> text = splitCreateTable(def->toString());
    if (!text)
        return false;
    for (const QString &part : text->parts) {
        const QStringList words = leadingWords(part, 2);
        if (words.size() == 2 && words.at(0).compare(QLatin1String("constraint"), Qt::CaseInsensitive) == 0
            && words.at(1).compare(constraint, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

Result<bool> hasUniqueIndex(const Database &db, const QString &table, const QString &index, const QStringList &columns)
{
    // The definition as the engine keeps it, in lower case and without blanks or quotes:
    // "createuniqueindexcargo_ixoncargo(vslcode,voyno,blno)" (PostgreSQL names the schema
    // and the method: "... on public.cargo using btree (vslcode, voyno, blno)").
    const QString sql = db.dialect().isPostgres()
                            ? QStringLiteral("select indexdef from pg_indexes where schemaname = current_schema() "
                                             "and tablename = lower(?) and indexname = lower(?)")
                            : QStringLiteral("select sql from sqlite_master where type = 'index' "
                                             "and lower(tbl_name) = lower(?) and lower(name) = lower(?)");
    auto def = db.scalar(sql, {table, index});
    if (!def)
        return def.failure();
    if (!def->isValid() || def->isNull())
        return false;
    QString text = def->toString().toLower();
    text.remove(QRegularExpression(QStringLiteral("[\\s\"`\\[\\]]")));
    return text.startsWith(QLatin1String("createuniqueindex"))
           && text.endsWith(QLatin1Char('(') + columns.join(QLatin1Char(',')).toLower() + QLatin1Char(')'));
}

Result<int> declaredTextSize(const Database &db, const QString &table, const QString &column)
{
    if (db.dialect().isPostgres()) {
        auto v = db.scalar(QStringLiteral("select character_maximum_length from information_schema.columns "
                                          "where table_schema = current_schema() and table_name = lower(?) "
                                          "and column_name = lower(?)"),
                           {table, column});
        if (!v)
            return v.failure();
        return v->isNull() ? 0 : v->toInt();
    }
    auto q = db.query(QStringLiteral("select type from pragma_table_info(?) where lower(name) = lower(?)"), {table, column});
    if (!q)
        return q.failure();
    if (!q->next())
        return 0;
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\((\\d+)\\)")).match(q->value(0).toString());
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

Status changeColumnType(const Database &db, const QString &table, const ColumnDef &column)
{
    const QString name = QLatin1String(column.name);
    if (db.dialect().isPostgres()) {
        const QString ddl = db.dialect().columnDdl(column);
        return db.exec(QStringLiteral("alter table %1 alter column %2 type %3").arg(table, name, ddl.mid(name.size() + 1)));
    }
    return rebuildTable(db, table, [&](QStringList *parts) -> Status {
        for (qsizetype i = 0; i < parts->size(); ++i) {
            const QStringList words = leadingWords(parts->at(i), 1);
            if (!words.isEmpty() && words.at(0).compare(name, Qt::CaseInsensitive) == 0) {
                const QString part = parts->at(i);
                (*parts)[i] = part.left(part.indexOf(part.trimmed())) + db.dialect().columnDdl(column);
                return Status::ok();
            }
        }
        return Failure(SqliteError, QStringLiteral("no such column: %1").arg(name));
    });
}

} // namespace quarl
