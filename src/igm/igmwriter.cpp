#include "igm/igmwriter.h"

#include "igm/fileerror.h"
#include "igm/igmformat.h"
#include "igm/igmmessages.h"
#include "store/database.h"
#include "store/schema.h"

#include <QDir>
#include <QHash>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cerrno>
#include <algorithm>
#include <vector>

namespace quarl::igm {

namespace {

using namespace Format;

constexpr qsizetype FlushAt = 1 << 20;

// Both selections request no order: the writer puts the rows in order itself, which
// spares the engine a sort of every column of every row.
const QString CargoSql = QStringLiteral(
    "select id, lineno, vslcode, voyno, blno, bldt, portload, portdest, impname, impadd1, impadd2, impadd3, "
    "notname, notadd1, notadd2, notadd3, naturecargo, itemtype, cargomove, destcode, pkgs, pkgtype, grosswt, "
    "unitwt, volume, unitvol, marks, gdesc, unocode, imocode, tpregno, caccode, trmode, mlo "
    "from cargo where vslcode = ? and voyno = ?");
enum CargoColumn {
    cId, cLineNo, cVslCode, cVoyNo, cBlNo, cBlDt, cPortLoad, cPortDest, cImpName, cImpAdd1, cImpAdd2, cImpAdd3,
    cNotName, cNotAdd1, cNotAdd2, cNotAdd3, cNatureCargo, cItemType, cCargoMove, cDestCode, cPkgs, cPkgType,
    cGrossWt, cUnitWt, cVolume, cUnitVol, cMarks, cGDesc, cUnoCode, cImoCode, cTpRegNo, cCacCode, cTrMode, cMlo
};

const QString VesselSql = QStringLiteral(
    "select vslname, vslcode, voyno, slinecode, sagentcode, mastername, vslnation, portarrival, lastport, "
    "lastport1, lastport2, grt, nrt, vsltype, cargodesc, lhdues, samebottom, shipstoredecl, crewdecl, pesslist, "
    "creweffdecl, maridecl, terminalop from vesinfo where vslcode = ? and voyno = ? order by Id");

const QString ContainerSql = QStringLiteral(
    "select contain.ref, contain.autoid, contain.containno, contain.sealno, contain.agentcode, contain.constatus, "
    "contain.conpkgs, contain.conwt, contain.isocode, contain.socflag "
    "from contain inner join cargo on contain.ref = cargo.id where cargo.vslcode = ? and cargo.voyno = ?");

// One record: every field followed by the separator, the line by CR LF.
class Record
{
public:
    explicit Record(QByteArray &out) : m_out(out) {}
    Record &text(const char *constant)
    {
        m_out += constant;
        return sep();
    }
    Record &empty() { return sep(); }
    // width: the column's, so that a text keeps to it in the file
    Record &value(const QVariant &v, qsizetype width = 0)
    {
        appendValue(m_out, v, width);
        return sep();
    }
    Record &trimmed(const QVariant &v, qsizetype width = 0)
    {
        if (!v.isNull())
            appendText(m_out, trimTrailing(v.toString()), width);
        return sep();
    }
    Record &number(qint64 n)
    {
        m_out += QByteArray::number(n);
        return sep();
    }
    Record &date(const QDate &d)
    {
        appendDate(m_out, d);
        return sep();
    }
    // the value, or nothing when blank is set
    Record &valueUnless(bool blank, const QVariant &v, qsizetype width = 0)
    {
        return blank ? empty() : value(v, width);
    }
    void end() { m_out += LineEnd; }

private:
    Record &sep()
    {
        m_out += FieldSeparator;
        return *this;
    }
    QByteArray &m_out;
};

// The widths of a selection's columns, by position.
std::vector<qsizetype> widths(const QSqlRecord &record, const char *table)
{
    std::vector<qsizetype> out;
    for (int i = 0; i < record.count(); ++i) {
        const ColumnDef *c = Schema::column(QLatin1String(table), record.fieldName(i));
        out.push_back(c && c->isText() ? c->size : 0);
    }
    return out;
}

void line(QByteArray &out, const char *text)
{
    out += text;
    out += LineEnd;
}

// A formatted piece of a record kept in an arena until the rows are in order.
struct Piece
{
    qsizetype offset;
    qsizetype length;
};

class Writer
{
public:
    Writer(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
           const IgmWriteOptions &options)
        : m_db(db), m_path(path), m_vessel(vessel), m_voyage(voyage), m_options(options), m_update(db.handle())
    {
    }

    IgmWriteResult run();

private:
    // A cargo line as read: fields 1-5 (head) and 7-39 (tail) around the line number.
    struct Line
    {
        qint64 id;
        bool renumber; // its stored lineno differs from its position
        Piece head;
        Piece tail;
        QString undated; // the B/L number when the line has no B/L date
    };
    struct Container
    {
        qsizetype line; // position of its line
        qint64 autoid;
        Piece fields;   // fields 8-15
    };

    Status open();
    Status flush(bool force);
    void writeVessels(qint64 lineCount, const QList<QVariantList> &vessels, const std::vector<qsizetype> &w);
    Status readCargo();
    Status writeCargo();
    Status renumber();
    Status writeContainers(QStringList *notices);
    void put(const Piece &p, const QByteArray &arena) { m_buf.append(arena.constData() + p.offset, p.length); }
    IgmWriteResult fail(const Failure &f)
    {
        m_file.cancelWriting();
        IgmWriteResult r;
        r.outcome = Outcome::failed(f);
        return r;
    }

    const Database &m_db;
    QString m_path;
    QString m_vessel;
    QString m_voyage;
    const IgmWriteOptions &m_options;
    QSqlQuery m_update; // released after the transaction has ended
    QSaveFile m_file;
    QByteArray m_buf;
    QByteArray m_arena;
    std::vector<Line> m_lines; // in id order once read
    qint64 m_containers = 0;
};

Status Writer::open()
{
    m_file.setFileName(m_path);
    errno = 0;
    if (!m_file.open(QIODevice::WriteOnly))
        return fileFailure(m_file, errno);
    return Status::ok();
}

Status Writer::flush(bool force)
{
    if (m_buf.isEmpty() || (!force && m_buf.size() < FlushAt))
        return Status::ok();
    errno = 0;
    if (m_file.write(m_buf) != m_buf.size())
        return fileFailure(m_file, errno);
    m_buf.clear();
    return Status::ok();
}

void Writer::writeVessels(qint64 lineCount, const QList<QVariantList> &vessels, const std::vector<qsizetype> &w)
{
    for (const QVariantList &v : vessels) {
        Record r(m_buf);
        r.text("V").empty().empty();
        for (int i = 0; i <= 13; ++i) // vslname .. vsltype
            r.value(v.at(i), w[i]);
        r.number(lineCount);
        r.value(v.at(14), w[14]); // cargodesc
        r.empty().empty();
        for (int i = 15; i <= 22; ++i) // lhdues .. terminalop
            r.value(v.at(i), w[i]);
        r.end();
    }
}

Status Writer::readCargo()
{
    auto q = m_db.query(CargoSql, {m_vessel, m_voyage});
    if (!q)
        return q.failure();
    const Dialect &dialect = m_db.dialect();
    const std::vector<qsizetype> w = widths(q->record(), "cargo");
    std::vector<double> stored;
    while (q->next()) {
        Line line;
        line.id = q->value(cId).toLongLong();
        stored.push_back(q->value(cLineNo).isNull() ? -1.0 : numericValue(q->value(cLineNo)));
        line.head.offset = m_arena.size();
        Record r(m_arena);
        r.text("V").value(q->value(cVslCode), w[cVslCode]).value(q->value(cVoyNo), w[cVoyNo]).empty().empty();
        line.head.length = m_arena.size() - line.head.offset;
        line.tail.offset = m_arena.size();
        const QDate bldt = dialect.dateFromDb(q->value(cBlDt));
        if (!bldt.isValid())
            line.undated = q->value(cBlNo).toString();
        const bool noVolume = numericValue(q->value(cVolume)) == 0;
        // a line without a date is refused below, once its position is known
        r.text("0").value(q->value(cBlNo), w[cBlNo]).date(bldt.isValid() ? bldt : QDate(1, 1, 1));
        r.value(q->value(cPortLoad), w[cPortLoad]).value(q->value(cPortDest), w[cPortDest]).empty().empty();
        for (int c = cImpName; c <= cUnitWt; ++c) // importer, notify party .. unit of weight
            r.value(q->value(c), w[c]);
        r.valueUnless(noVolume, q->value(cVolume)).valueUnless(noVolume, q->value(cUnitVol), w[cUnitVol]);
        r.value(q->value(cMarks), w[cMarks]).value(q->value(cGDesc), w[cGDesc]);
        r.value(q->value(cUnoCode), w[cUnoCode]).value(q->value(cImoCode), w[cImoCode]);
        r.valueUnless(numericValue(q->value(cTpRegNo)) == 0, q->value(cTpRegNo));
        r.trimmed(q->value(cCacCode), w[cCacCode]).trimmed(q->value(cTrMode), w[cTrMode]).trimmed(q->value(cMlo), w[cMlo]);
        r.end();
        line.tail.length = m_arena.size() - line.tail.offset;
        line.renumber = false;
        m_lines.push_back(std::move(line));
    }
    if (q->lastError().isValid())
        return Database::failureOf(q->lastError());
    std::vector<qsizetype> order(m_lines.size());
    for (qsizetype i = 0; i < qsizetype(order.size()); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [this](qsizetype a, qsizetype b) { return m_lines[a].id < m_lines[b].id; });
    std::vector<Line> sorted;
    sorted.reserve(m_lines.size());
    for (qsizetype i : order) {
        sorted.push_back(std::move(m_lines[i]));
        sorted.back().renumber = stored[i] != double(sorted.size());
    }
    m_lines = std::move(sorted);
    for (qsizetype i = 0; i < qsizetype(m_lines.size()); ++i) {
        if (!m_lines[i].undated.isNull())
            return Failure(ErrorNumber::InvalidUseOfNull,
                           QStringLiteral("Invalid use of Null: bill of lading %1 (line %2) has no B/L date.")
                               .arg(m_lines[i].undated)
                               .arg(i + 1));
    }
    return Status::ok();
}

Status Writer::writeCargo()
{
    const qint64 total = qint64(m_lines.size());
    for (qint64 n = 0; n < total; ++n) {
        const Line &line = m_lines[n];
        put(line.head, m_arena);
        m_buf += QByteArray::number(n + 1);
        m_buf += FieldSeparator;
        put(line.tail, m_arena);
        if (Status s = flush(false); !s)
            return s;
        if (m_options.progress && (n + 1) % 1000 == 0)
            m_options.progress(n + 1, total);
    }
    return Status::ok();
}

Status Writer::renumber()
{
    QSqlQuery &u = m_update;
    bool prepared = false;
    for (qsizetype n = 0; n < qsizetype(m_lines.size()); ++n) {
        if (!m_lines[n].renumber)
            continue;
        if (!prepared && !u.prepare(QStringLiteral("update cargo set lineno = ? where id = ?")))
            return Database::failureOf(u.lastError());
        prepared = true;
        u.bindValue(0, qint64(n + 1));
        u.bindValue(1, m_lines[n].id);
        if (!u.exec())
            return Database::failureOf(u.lastError());
    }
    return Status::ok();
}

Status Writer::writeContainers(QStringList *notices)
{
    QHash<qint64, qsizetype> position;
    position.reserve(m_lines.size());
    for (qsizetype n = 0; n < qsizetype(m_lines.size()); ++n)
        position.insert(m_lines[n].id, n);

    auto q = m_db.query(ContainerSql, {m_vessel, m_voyage});
    if (!q)
        return q.failure();
    QByteArray arena;
    std::vector<Container> boxes;
    const std::vector<qsizetype> w = widths(q->record(), "contain");
    while (q->next()) {
        Container c;
        c.line = position.value(q->value(0).toLongLong(), -1);
        c.autoid = q->value(1).toLongLong();
        c.fields.offset = arena.size();
        Record r(arena);
        r.value(q->value(2), w[2]).value(q->value(3), w[3]).value(q->value(4), w[4]).value(q->value(5), w[5]);
        r.valueUnless(numericValue(q->value(6)) == 0, q->value(6));
        r.valueUnless(numericValue(q->value(7)) == 0, q->value(7));
        r.value(q->value(8), w[8]).value(q->value(9), w[9]);
        r.end();
        c.fields.length = arena.size() - c.fields.offset;
        if (c.line >= 0)
            boxes.push_back(c);
    }
    if (q->lastError().isValid())
        return Database::failureOf(q->lastError());
    // grouped by line in the order of the lines, then in autoid order
    std::sort(boxes.begin(), boxes.end(), [](const Container &a, const Container &b) {
        return a.line != b.line ? a.line < b.line : a.autoid < b.autoid;
    });
    line(m_buf, CargoEnd);
    line(m_buf, ContainerStart);
    for (const Container &c : boxes) {
        const Line &l = m_lines[c.line];
        put(l.head, m_arena);
        m_buf += QByteArray::number(c.line + 1);
        m_buf += FieldSeparator;
        m_buf += '0';
        m_buf += FieldSeparator;
        put(c.fields, arena);
        if (Status s = flush(false); !s)
            return s;
    }
    if (boxes.empty())
        notices->append(QLatin1String(Messages::NoContainers));
    line(m_buf, ContainerEnd);
    line(m_buf, ManifestEnd);
    line(m_buf, Trailer);
    m_containers = qint64(boxes.size());
    return Status::ok();
}

IgmWriteResult Writer::run()
{
    IgmWriteResult result;
    const QString user = trimTrailing(m_options.iceGateUser);
    const QString customs = trimTrailing(m_options.customHouseCode);
    if (user.trimmed().isEmpty() || customs.trimmed().isEmpty()) {
        result.outcome = Outcome::refused(QLatin1String(Messages::SettingsMissing));
        return result;
    }

    // One moment of the voyage: lines and containers saved meanwhile by another
    // workstation come in whole or not at all.
    Transaction tx(m_db, TxMode::SnapshotWrite);
    if (!tx.started())
        return fail(tx.started().failure());

    QList<QVariantList> vessels;
    std::vector<qsizetype> vesselWidths;
    {
        auto q = m_db.query(VesselSql, {m_vessel, m_voyage});
        if (!q)
            return fail(q.failure());
        vesselWidths = widths(q->record(), "vesinfo");
        while (q->next()) {
            QVariantList row;
            for (int i = 0; i < 23; ++i)
                row << q->value(i);
            vessels << row;
        }
    }
    if (vessels.isEmpty()) {
        result.outcome = Outcome::refused(QLatin1String(Messages::NoVoyage));
        return result;
    }
    if (Status s = readCargo(); !s)
        return fail(s.failure());
    const qint64 lines = qint64(m_lines.size());
    if (lines == 0) {
        result.outcome = Outcome::refused(QLatin1String(Messages::NoCargo));
        return result;
    }

    if (Status s = open(); !s)
        return fail(s.failure());
    m_buf.reserve(FlushAt + 64 * 1024);
    m_buf += headerLine(user, customs);
    m_buf += LineEnd;
    m_buf += IgmIdPrefix;
    appendText(m_buf, QFileInfo(m_path).fileName());
    m_buf += LineEnd;
    line(m_buf, ManifestStart);
    line(m_buf, VesselStart);
    writeVessels(lines, vessels, vesselWidths);
    line(m_buf, VesselEnd);
    line(m_buf, CargoStart);

    QStringList notices;
    if (Status s = writeCargo(); !s)
        return fail(s.failure());
    if (Status s = writeContainers(&notices); !s)
        return fail(s.failure());
    if (Status s = renumber(); !s)
        return fail(s.failure());
    if (Status s = flush(true); !s)
        return fail(s.failure());
    // Line numbers first: should the commit fail, no file names lines that were not stored.
    if (Status s = tx.commit(); !s)
        return fail(s.failure());
    errno = 0;
    if (!m_file.commit())
        return fail(fileFailure(m_file, errno));
    if (m_options.progress)
        m_options.progress(lines, lines);

    result.outcome = Outcome::done();
    result.outcome.notices = notices;
    result.path = m_path;
    result.lines = lines;
    result.containers = m_containers;
    return result;
}

} // namespace

IgmWriteResult WriteIgmFile(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
                            const IgmWriteOptions &options)
{
    return Writer(db, path, vessel, voyage, options).run();
}

IgmWriteResult GenerateIgmFile(const Database &db, const QString &folder, const QString &vessel,
                               const QString &voyage, const IgmWriteOptions &options)
{
    if (vessel.trimmed().isEmpty() || voyage.trimmed().isEmpty()) {
        // the file would be named ".igm" or after half the voyage
        IgmWriteResult r;
        r.outcome = Outcome::failed(Failure(ErrorNumber::BadFileName,
                                            QStringLiteral("Bad file name: give a vessel code and a voyage number.")));
        return r;
    }
    const QString name = igmFileName(vessel, voyage);
    if (!usableInFileName(name)) {
        IgmWriteResult r;
        r.outcome = Outcome::failed(Failure(ErrorNumber::BadFileName,
                                            QStringLiteral("Bad file name: vessel code and voyage number must not "
                                                           "hold / or \\ or control characters (\"%1\").")
                                                .arg(name)));
        return r;
    }
    const QString path = QDir(folder).absoluteFilePath(name);
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        IgmWriteResult r;
        r.outcome = Outcome::failed(Failure(ErrorNumber::PathFileAccess,
                                            QStringLiteral("Cannot replace the earlier file %1.").arg(path)));
        return r;
    }
    return WriteIgmFile(db, path, vessel, voyage, options);
}

} // namespace quarl::igm
