#include "common/strictreading.h"

#include "manifest/igmformat.h"
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

// Plain decimal: a sign, digits and at most one point; no exponent.
bool isNumber(const QString &text, double *v)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
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
        // counts and weights are written without a sign
        const QString t = text.trimmed();
        for (const char *n : {"pkgs", "grosswt", "conpkgs", "conwt", "TotItems", "lineno", "sublineno"}) {
            if ((t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')))
                && name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
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

namespace {

// Columns of today's layout, by field number (1-based) and column name.
struct IcesTarget
{
    int field;
    const char *column;
};

const QList<IcesTarget> IcesVessel = {
    {3, "IgmNo"},     {4, "IgmDt"},       {6, "vslcode"},    {7, "voyno"},        {8, "slinecode"},
    {9, "sagentcode"}, {10, "mastername"}, {11, "portarrival"}, {11, "arrportcd"}, {12, "lastport"},
    {13, "lastport1"}, {14, "lastport2"}, {15, "vsltype"},   {16, "TotItems"},    {17, "cargodesc"},
    {19, "lhdues"},   {20, "samebottom"}, {21, "shipstoredecl"}, {22, "crewdecl"}, {23, "pesslist"},
    {24, "creweffdecl"}, {25, "maridecl"}, {26, "terminalop"}, {26, "tocode"}};
const QList<IcesTarget> IcesCargo = {
    {4, "vslcode"},  {5, "voyno"},     {8, "lineno"},   {10, "blno"},    {11, "bldt"},     {12, "portload"},
    {13, "portdest"}, {14, "HBlNo"},   {15, "HBlDt"},   {16, "impname"}, {17, "impadd1"},  {18, "impadd2"},
    {19, "impadd3"}, {20, "notname"},  {21, "notadd1"}, {22, "notadd2"}, {23, "notadd3"},  {24, "naturecargo"},
    {25, "itemtype"}, {26, "cargomove"}, {27, "destcode"}, {28, "pkgs"}, {29, "pkgtype"},  {30, "grosswt"},
    {31, "unitwt"},  {32, "volume"},   {33, "unitvol"}, {34, "marks"},   {35, "gdesc"},    {36, "unocode"},
    {37, "imocode"}, {38, "tpregno"},  {39, "caccode"}, {40, "trmode"},  {41, "mlo"}};
const QList<IcesTarget> IcesContainer = {
    {8, "lineno"},   {9, "sublineno"}, {10, "containno"}, {11, "sealno"}, {12, "agentcode"}, {13, "constatus"},
    {14, "conpkgs"}, {15, "conwt"},   {16, "isocode"},   {17, "socflag"}};

// A field's stored form: empty dates and empty optional dates stay empty.
std::optional<QString> icesValue(const char *table, const char *column, const QString &text)
{
    const ColumnDef *c = Schema::column(QLatin1String(table), QLatin1String(column));
    const QString name = QLatin1String(column);
    if (c->type == ColumnType::Date) {
        if (text.trimmed().isEmpty() && name.compare(QLatin1String("bldt"), Qt::CaseInsensitive) != 0)
            return QString();
        QString out;
        if (!convert(text, c, &out))
            return std::nullopt;
        return out;
    }
    if (name.compare(QLatin1String("TotItems"), Qt::CaseInsensitive) == 0 && text.trimmed().isEmpty())
        return QStringLiteral("0");
    QString out;
    if (!convert(text, c, &out))
        return std::nullopt;
    return out;
}

std::optional<QString> icesRow(const char *tag, const char *table, const QStringList &f, const QList<IcesTarget> &targets)
{
    QStringList out{QLatin1String(tag)};
    for (const IcesTarget &t : targets) {
        const auto v = icesValue(table, t.column, f.at(t.field - 1));
        if (!v)
            return std::nullopt;
        out << *v;
    }
    return out.join(QLatin1Char('|'));
}

bool isTag(const QByteArray &line, const char *tag)
{
    return line.trimmed().compare(tag, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<QStringList> strictIcesReading(const QByteArray &file, bool withVessel, bool strip)
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
    QList<QByteArray> body;
    for (QByteArray l : lines) {
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
        if (!l.trimmed().isEmpty())
            body << l; // blank lines count nowhere
    }
    qsizetype i = 0;
    auto next = [&]() -> std::optional<QByteArray> {
        if (i >= body.size())
            return std::nullopt;
        return body.at(i++);
    };
    auto record = [&](int count, const QStringList &types) -> std::optional<QStringList> {
        const auto l = next();
        if (!l)
            return std::nullopt;
        const QStringList f = igm::Format::decodeLine(*l).split(QChar(0x1d));
        if (f.size() != count || !types.contains(f.first()))
            return std::nullopt;
        return f;
    };
    auto header = next();
    if (header && header->startsWith("\xEF\xBB\xBF"))
        header->remove(0, 3);
    if (!header || !header->startsWith("HREC") || header->startsWith("HREC**"))
        return std::nullopt;
    const QList<QByteArray> h = header->split('\x1d');
    if (h.size() != 12 || h.at(5).trimmed() != "ICES1_5")
        return std::nullopt;
    const QByteArray control = h.at(9);
    for (const char *tag : {"<manifest>", "<vesinfo>"}) {
        const auto l = next();
        if (!l || !isTag(*l, tag))
            return std::nullopt;
    }
    const QStringList cargoTypes{QStringLiteral("F"), QStringLiteral("A"), QStringLiteral("C")};
    const auto vessel = record(26, cargoTypes);
    if (!vessel || vessel->at(5).trimmed().isEmpty() || vessel->at(6).trimmed().isEmpty())
        return std::nullopt;
    const QString imo = vessel->at(4).trimmed();
    if (imo.size() > 7)
        return std::nullopt;
    const QString eta = vessel->at(17);
    QString arrival, time;
    if (!eta.trimmed().isEmpty()) {
        static const QRegularExpression form(QStringLiteral("^([0-9]{8}) ([0-9]{2}):([0-9]{2})$"));
        const auto m = form.match(eta);
        if (!m.hasMatch() || m.captured(2).toInt() > 23 || m.captured(3).toInt() > 59)
            return std::nullopt;
        const QDate d(m.captured(1).mid(4).toInt(), m.captured(1).mid(2, 2).toInt(), m.captured(1).left(2).toInt());
        if (!d.isValid())
            return std::nullopt;
        arrival = d.toString(Qt::ISODate);
        time = eta.mid(9);
    }
    auto v = icesRow("V", "vesinfo", *vessel, IcesVessel);
    if (!v)
        return std::nullopt;
    QStringList out;
    if (withVessel) {
        out << *v + QStringLiteral("|%1|%2").arg(arrival, time);
        out << QStringLiteral("M|%1|%2").arg(vessel->at(5), imo);
    }
    for (const char *tag : {"<END-vesinfo>", "<cargo>"}) {
        const auto l = next();
        if (!l || !isTag(*l, tag))
            return std::nullopt;
    }
    QStringList cargo;
    QStringList numbers;
    for (;;) {
        if (i >= body.size())
            return std::nullopt;
        if (body.at(i).startsWith('<')) {
            if (!isTag(body.at(i++), "<END-cargo>"))
                return std::nullopt;
            break;
        }
        const auto f = record(41, cargoTypes);
        if (!f || f->at(3) != vessel->at(5) || f->at(4) != vessel->at(6))
            return std::nullopt;
        const auto c = icesRow("C", "cargo", *f, IcesCargo);
        if (!c)
            return std::nullopt;
        const QString number = c->split(QLatin1Char('|')).at(3);
        if (numbers.contains(number))
            return std::nullopt;
        numbers << number;
        cargo << *c;
    }
    const QString total = vessel->at(15).trimmed();
    if (!total.isEmpty() && total.toDouble() != double(cargo.size()))
        return std::nullopt;
    const auto containStart = next();
    if (!containStart || !isTag(*containStart, "<contain>"))
        return std::nullopt;
    QStringList boxes;
    const QStringList boxTypes = cargoTypes + QStringList{QStringLiteral("V")};
    for (;;) {
        if (i >= body.size())
            return std::nullopt;
        if (body.at(i).startsWith('<')) {
            if (!isTag(body.at(i++), "<END-contain>"))
                return std::nullopt;
            break;
        }
        auto f = record(17, boxTypes);
        if (!f || f->at(3) != vessel->at(5) || f->at(4) != vessel->at(6))
            return std::nullopt;
        if ((*f)[12].trimmed() == QLatin1String("EMP"))
            (*f)[12] = QStringLiteral("MTY");
        const auto k = icesRow("K", "contain", *f, IcesContainer);
        if (!k)
            return std::nullopt;
        const QString line = k->split(QLatin1Char('|')).at(1);
        if (!numbers.contains(line))
            return std::nullopt;
        boxes << QStringLiteral("K|%1|").arg(line) + k->mid(2);
    }
    const auto end = next();
    if (!end || !isTag(*end, "<END-manifest>"))
        return std::nullopt;
    const auto trailer = next();
    if (!trailer || *trailer != "TREC\x1d" + control)
        return std::nullopt;
    while (i < body.size()) {
        const QByteArray &l = body.at(i++);
        if (!l.startsWith("<START-SIGNATURE>") && !l.startsWith("<START-CERTIFICATE>") && !l.startsWith("<SIGNER-VERSION>"))
            return std::nullopt;
    }
    return out + cargo + boxes;
}

QStringList storedIcesVoyage(const Database &db)
{
    QStringList out;
    auto dump = [&](const char *tag, const char *table, QStringList columns, const QString &from) {
        const TableDef *def = Schema::table(QLatin1String(table));
        QStringList selected;
        for (const QString &c : columns)
            selected << (c.contains(QLatin1Char('.')) ? c : QLatin1String(table) + QLatin1Char('.') + c);
        auto q = db.query(QStringLiteral("select %1 from %2").arg(selected.join(QLatin1Char(',')), from));
        while (q && q->next()) {
            QStringList r{QLatin1String(tag)};
            for (int i = 0; i < columns.size(); ++i) {
                const QString name = columns.at(i).section(QLatin1Char('.'), -1);
                const QString ofTable = columns.at(i).contains(QLatin1Char('.')) ? columns.at(i).section(QLatin1Char('.'), 0, 0)
                                                                                 : QLatin1String(table);
                const ColumnDef *c = Schema::column(ofTable, name);
                const QVariant v = q->value(i);
                if (!c || c->isText())
                    r << (c && c->type == ColumnType::Char ? igm::Format::trimTrailing(v.toString()) : v.toString());
                else if (c->type == ColumnType::Date)
                    r << db.dialect().dateFromDb(v).toString(Qt::ISODate);
                else
                    r << canonicalNumber(v.toDouble(), c->type != ColumnType::Double);
            }
            out << r.join(QLatin1Char('|'));
        }
        if (!q)
            out << q.failure().numberAndText();
        Q_UNUSED(def);
    };
    auto names = [](const QList<IcesTarget> &targets) {
        QStringList out;
        for (const IcesTarget &t : targets)
            out << QLatin1String(t.column);
        return out;
    };
    dump("V", "vesinfo", names(IcesVessel) + QStringList{QStringLiteral("arrdt"), QStringLiteral("arrtime")},
         QStringLiteral("vesinfo order by Id"));
    dump("M", "D_VESSEL_CD", {QStringLiteral("VESSEL_CD"), QStringLiteral("IMO_NO")},
         QStringLiteral("D_VESSEL_CD order by VESSEL_CD"));
    dump("C", "cargo", names(IcesCargo), QStringLiteral("cargo order by id"));
    dump("K", "contain", QStringList{QStringLiteral("cargo.lineno")} + names(IcesContainer),
         QStringLiteral("contain inner join cargo on cargo.id = contain.ref order by contain.autoid"));
    return out;
}

} // namespace quarl::test
