#include "igm/strictreading.h"

#include "igm/igmformat.h"
#include "store/database.h"
#include "store/schema.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>

#include <cmath>

namespace quarl::test {

namespace {

struct Target
{
    int field;
    const ColumnDef *column;
};

// Field k of a record to the column at a position of its table, as the layout pairs them.
QList<Target> targets(const char *table, const QList<std::pair<int, int>> &fieldToPosition)
{
    QList<Target> out;
    const TableDef *t = Schema::table(QLatin1String(table));
    for (const auto &[field, position] : fieldToPosition)
        out << Target{field, &t->columns.at(position)};
    return out;
}

QList<std::pair<int, int>> range(int firstField, int lastField, int offset)
{
    QList<std::pair<int, int>> out;
    for (int k = firstField; k <= lastField; ++k)
        out << std::pair{k, k + offset};
    return out;
}

const QList<Target> &vesselTargets()
{
    static const QList<Target> t = targets("vesinfo", range(3, 18, 2) + range(21, 28, 2));
    return t;
}
const QList<Target> &cargoTargets()
{
    static const QList<Target> t =
        targets("cargo", QList<std::pair<int, int>>{{1, 1}, {2, 2}, {5, 3}, {7, 5}, {8, 6}, {9, 9}, {10, 10}}
                             + range(13, 38, -2));
    return t;
}
const QList<Target> &containerTargets()
{
    static const QList<Target> t = targets("contain", range(5, 14, -3));
    return t;
}

bool isNumber(const QString &text, double *v)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    const QString t = text.trimmed();
    bool ok = false;
    *v = t.toDouble(&ok);
    return t.size() <= 64 && re.match(t).hasMatch() && ok && std::isfinite(*v);
}

QString canonicalNumber(double v, bool whole)
{
    return whole ? QString::number(qint64(v)) : QString::number(v + 0.0, 'g', 17);
}

// The stored form of a field's text; false when the column cannot take it.
bool convert(const QString &text, const ColumnDef *c, QString *out)
{
    const QString name = QLatin1String(c->name);
    switch (c->type) {
    case ColumnType::Text:
    case ColumnType::Char:
        *out = c->type == ColumnType::Char ? igm::Format::trimTrailing(text) : text;
        return text.size() <= c->size;
    case ColumnType::Date: {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{8}$"));
        if (!digits.match(text).hasMatch())
            return false;
        const QDate d(text.mid(4).toInt(), text.mid(2, 2).toInt(), text.left(2).toInt());
        *out = d.toString(Qt::ISODate);
        return d.isValid();
    }
    default: {
        double v = 0;
        if (!text.trimmed().isEmpty() && !isNumber(text, &v))
            return false;
        const bool whole = c->type != ColumnType::Double;
        if (whole && (std::trunc(v) != v || std::fabs(v) > 2147483647.0))
            return false;
        for (const char *n : {"pkgs", "grosswt", "conpkgs", "conwt"}) {
            if (v < 0 && name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
                return false;
        }
        *out = canonicalNumber(v, whole);
        return true;
    }
    }
    return false;
}

QByteArray unquoted(const QByteArray &s)
{
    return s.size() >= 2 && s.startsWith('"') && s.endsWith('"') ? s.mid(1, s.size() - 2) : s;
}

bool blank(const QByteArray &line)
{
    for (const char c : line) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

bool marker(const QByteArray &line)
{
    for (const char *m : {"<vesinfo>", "<END-vesinfo>", "<cargo>", "<END-cargo>", "<contain>", "<END-contain>",
                          "<END-manifest>", "TREC**"}) {
        if (line == m)
            return true;
    }
    return false;
}

std::optional<QStringList> fields(const QByteArray &line, int layout)
{
    QStringList f = igm::Format::decodeLine(line).split(QChar(0x1d));
    if (f.last().isEmpty())
        f.removeLast(); // after the last separator
    if (f.size() > 101)
        return std::nullopt;
    if (f.size() == layout + 1 && f.last().isEmpty())
        f.removeLast();
    if ((f.size() != layout && !(layout == 39 && f.size() == 35)) || f.first() != QLatin1String("V"))
        return std::nullopt;
    while (f.size() < layout)
        f << QString();
    return f;
}

std::optional<QString> row(const char *tag, const QStringList &f, const QList<Target> &targets)
{
    QStringList out{QLatin1String(tag)};
    for (const Target &t : targets) {
        QString v;
        if (!convert(f.at(t.field), t.column, &v))
            return std::nullopt;
        out << v;
    }
    return out.join(QLatin1Char('|'));
}

} // namespace

std::optional<QStringList> strictReading(const QByteArray &file, bool withVessel, bool strip)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < file.size(); ++i) {
        if (file[i] != '\n' && file[i] != '\r')
            continue;
        lines << file.mid(start, i - start);
        if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < file.size())
        lines << file.mid(start);
    for (QByteArray &l : lines) {
        if (l.size() > 64 * 1024)
            return std::nullopt;
        if (strip) {
            QByteArray joined;
            for (const QByteArray &item : l.split(','))
                joined += unquoted(item);
            l = joined;
        }
        if (l.contains('\0'))
            return std::nullopt;
    }

    qsizetype i = 0;
    const qsizetype n = lines.size();
    auto nextNonBlank = [&]() {
        while (i < n && blank(lines[i]))
            ++i;
        return i < n;
    };
    for (;; ++i) {
        if (i == n)
            return std::nullopt;
        if (unquoted(lines[i]) == "<vesinfo>")
            break;
        if (marker(lines[i]) || lines[i].contains('\x1d'))
            return std::nullopt; // a part of the manifest before it
    }
    ++i;
    QStringList out;
    QStringList vessel;
    QStringList counts;
    for (;; ++i) {
        if (!nextNonBlank() || (marker(lines[i]) && lines[i] != "<END-vesinfo>"))
            return std::nullopt;
        if (lines[i] == "<END-vesinfo>")
            break;
        auto f = fields(unquoted(lines[i]), 29);
        if (!f)
            return std::nullopt;
        if (vessel.isEmpty() && (f->at(4).trimmed().isEmpty() || f->at(5).trimmed().isEmpty()))
            return std::nullopt;
        if (!vessel.isEmpty() && (f->at(4) != vessel.at(4) || f->at(5) != vessel.at(5)))
            return std::nullopt;
        if (vessel.isEmpty())
            vessel = *f;
        for (int k : {7, 8, 11}) {
            if ((*f)[k].isEmpty())
                (*f)[k] = k == 11 ? QStringLiteral("INIXY1") : QStringLiteral(" ");
        }
        const auto r = row("V", *f, vesselTargets());
        if (!r)
            return std::nullopt;
        if (withVessel)
            out << *r;
        counts << f->at(17);
    }
    if (vessel.isEmpty())
        return std::nullopt;
    auto section = [&](const char *begin, const char *end, int layout, const char *tag,
                       const QList<Target> &targets, QStringList *lineNumbers) -> std::optional<QStringList> {
        ++i;
        if (!nextNonBlank() || lines[i] != begin)
            return std::nullopt;
        QStringList records;
        for (++i;; ++i) {
            if (!nextNonBlank() || (marker(lines[i]) && lines[i] != end))
                return std::nullopt;
            if (lines[i] == end)
                return records;
            const auto f = fields(lines[i], layout);
            if (!f || f->at(1) != vessel.at(4) || f->at(2) != vessel.at(5))
                return std::nullopt;
            const auto r = row(tag, *f, targets);
            if (!r)
                return std::nullopt;
            QString lineNo;
            if (!convert(f->at(5), Schema::column(QStringLiteral("cargo"), QStringLiteral("lineno")), &lineNo))
                return std::nullopt;
            if (lineNumbers->contains(lineNo) == (layout == 39))
                return std::nullopt; // a line number twice, or a container of no line
            if (layout == 39)
                *lineNumbers << lineNo;
            records << *r;
        }
    };
    QStringList lineNumbers;
    const auto cargo = section("<cargo>", "<END-cargo>", 39, "C", cargoTargets(), &lineNumbers);
    if (!cargo)
        return std::nullopt;
    for (const QString &c : counts) {
        double v = 0;
        if (!c.trimmed().isEmpty() && (!isNumber(c, &v) || v != double(cargo->size())))
            return std::nullopt;
    }
    const auto containers = section("<contain>", "<END-contain>", 15, "K", containerTargets(), &lineNumbers);
    if (!containers)
        return std::nullopt;
    ++i;
    if (!nextNonBlank() || lines[i] != "<END-manifest>")
        return std::nullopt;
    bool trailer = false;
    for (++i; nextNonBlank(); ++i) {
        if (lines[i] != "TREC**" || trailer)
            return std::nullopt;
        trailer = true;
    }
    return out + *cargo + *containers;
}

QStringList storedVoyage(const Database &db)
{
    QStringList out;
    auto dump = [&](const char *tag, const QList<Target> &targets, const QString &from) {
        QStringList columns;
        for (const Target &t : targets)
            columns << QLatin1String(t.column->name);
        if (QLatin1String(tag) == QLatin1String("K")) {
            for (QString &c : columns)
                c.prepend(QStringLiteral("contain."));
            columns.first() = QStringLiteral("cargo.lineno");
        }
        auto q = db.query(QStringLiteral("select %1 from %2").arg(columns.join(QLatin1Char(',')), from));
        while (q && q->next()) {
            QStringList r{QLatin1String(tag)};
            for (int c = 0; c < targets.size(); ++c) {
                const ColumnDef *def = targets.at(c).column;
                const QVariant v = q->value(c);
                if (def->type == ColumnType::Date)
                    r << db.dialect().dateFromDb(v).toString(Qt::ISODate);
                else if (def->isNumeric())
                    r << canonicalNumber(v.toDouble(), def->type != ColumnType::Double);
                else
                    r << (def->type == ColumnType::Char ? igm::Format::trimTrailing(v.toString()) : v.toString());
            }
            out << r.join(QLatin1Char('|'));
        }
        if (!q)
            out << q.failure().numberAndText();
    };
    dump("V", vesselTargets(), QStringLiteral("vesinfo order by Id"));
    dump("C", cargoTargets(), QStringLiteral("cargo order by id"));
    // a container's line is the line its ref names
    QList<Target> boxes = containerTargets();
    boxes.first().column = Schema::column(QStringLiteral("cargo"), QStringLiteral("lineno"));
    dump("K", boxes, QStringLiteral("contain inner join cargo on cargo.id = contain.ref order by contain.autoid"));
    return out;
}

} // namespace quarl::test
