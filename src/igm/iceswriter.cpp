#include "igm/iceswriter.h"

#include "core/placeholders.h"
#include "igm/fileerror.h"
#include "igm/igmformat.h"
#include "igm/igmmessages.h"
#include "store/database.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cerrno>
#include <vector>

namespace quarl::igm {

namespace {

using namespace Format;

// A row read by column name, so that a database not yet given the newer columns is
// written all the same (their values then count as missing).
class Row
{
public:
    Row(const QSqlQuery &q) : m_record(q.record()) {}
    QVariant operator()(const char *column) const
    {
        const int i = m_record.indexOf(QLatin1String(column));
        return i < 0 ? QVariant() : m_record.value(i);
    }
    QString text(const char *column) const { return trimTrailing((*this)(column).toString()); }

private:
    QSqlRecord m_record;
};

// One record: fields separated by GS, none after the last, CR LF.
class Record
{
public:
    explicit Record(QByteArray &out) : m_out(out) {}
    Record &raw(const QByteArray &bytes)
    {
        sep();
        m_out += bytes;
        return *this;
    }
    Record &text(const QString &t)
    {
        sep();
        appendText(m_out, t);
        return *this;
    }
    Record &value(const QVariant &v)
    {
        sep();
        if (!v.isNull())
            appendText(m_out, trimTrailing(v.toString()));
        return *this;
    }
    Record &empty() { return raw({}); }
    Record &date(const QDate &d)
    {
        sep();
        if (d.isValid())
            appendDate(m_out, d);
        return *this;
    }
    Record &whole(const QVariant &v) // integer; nothing when null
    {
        sep();
        if (!v.isNull())
            appendNumber(m_out, numericValue(v));
        return *this;
    }
    void end() { m_out += LineEnd; }

private:
    void sep()
    {
        if (m_started)
            m_out += FieldSeparator;
        m_started = true;
    }
    QByteArray &m_out;
    bool m_started = false;
};

void line(QByteArray &out, const char *text)
{
    out += text;
    out += LineEnd;
}

class Writer
{
public:
    Writer(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
           const IcesWriteOptions &options)
        : m_db(db), m_path(path), m_vessel(vessel), m_voyage(voyage), m_options(options), m_update(db.handle())
    {
    }
    IgmWriteResult run();

private:
    struct Line
    {
        qint64 id;
        qint64 storedLineNo;
        QByteArray tail; // fields 9-41
    };
    IgmWriteResult fail(const Failure &f)
    {
        m_file.cancelWriting();
        IgmWriteResult r;
        r.outcome = Outcome::failed(f);
        return r;
    }
    // fields 1-7 of cargo and container records
    void head(Record &r) const
    {
        r.raw("F").text(m_customs).text(m_imo).text(m_vesselCode).text(m_voyageNo).text(m_igmNo).date(m_igmDate);
    }

    const Database &m_db;
    QString m_path;
    QString m_vessel;
    QString m_voyage;
    const IcesWriteOptions &m_options;
    QSqlQuery m_update;
    QSaveFile m_file;
    QString m_customs;
    QString m_imo;
    QString m_vesselCode;
    QString m_voyageNo;
    QString m_igmNo;
    QDate m_igmDate;
};

IgmWriteResult Writer::run()
{
    IgmWriteResult result;
    const QString user = trimTrailing(m_options.iceGateUser).trimmed();
    m_customs = trimTrailing(m_options.customHouseCode).trimmed();
    if (user.isEmpty() || m_customs.isEmpty()) {
        result.outcome = Outcome::refused(QLatin1String(Messages::SettingsMissing));
        return result;
    }
    const QString control = m_options.controlNumber.trimmed();
    if (control.isEmpty()) {
        result.outcome = Outcome::failed(
            Failure(ErrorNumber::InvalidArgument, QStringLiteral("No control number for the file's header.")));
        return result;
    }
    const Dialect &dialect = m_db.dialect();
    QStringList missing;

    Transaction tx(m_db);
    if (!tx.started())
        return fail(tx.started().failure());

    QByteArray vesselRecord;
    {
        auto q = m_db.query(QStringLiteral("select * from vesinfo where vslcode = ? and voyno = ? order by Id"),
                            {m_vessel, m_voyage});
        if (!q)
            return fail(q.failure());
        if (!q->next()) {
            result.outcome = Outcome::refused(QLatin1String(Messages::NoVoyage));
            return result;
        }
        const Row v(*q);
        m_vesselCode = v.text("vslcode");
        m_voyageNo = v.text("voyno");
        m_igmNo = v.text("IgmNo");
        m_igmDate = dialect.dateFromDb(v("IgmDt"));

        auto m = m_db.query(QStringLiteral("select * from D_VESSEL_CD where VESSEL_CD = ?"), {m_vessel});
        if (!m)
            return fail(m.failure());
        if (m->next())
            m_imo = Row(*m).text("IMO_NO").trimmed();
        if (m_imo.isEmpty())
            missing << QStringLiteral("the vessel's IMO number (Vessel Code Setup, IMO No.)");

        QString port = v.text("arrportcd").trimmed();
        if (port.isEmpty() && v.text("portarrival").trimmed() != QLatin1String(Placeholder::Port))
            port = v.text("portarrival").trimmed();
        if (port.isEmpty())
            missing << QStringLiteral("the port of arrival as filed");
        QString terminal = v.text("tocode").trimmed();
        if (terminal.isEmpty() && v.text("terminalop").trimmed() != QLatin1String(Placeholder::Terminal))
            terminal = v.text("terminalop").trimmed();
        if (terminal.isEmpty())
            missing << QStringLiteral("the terminal operator code");
        const QDate arrDate = dialect.dateFromDb(v("arrdt"));
        if (!arrDate.isValid())
            missing << QStringLiteral("the expected arrival date and time");
        else if (Ices::clockTime(v.text("arrtime")).isEmpty())
            missing << QStringLiteral("the expected arrival time (00:00 written)");

        Record r(vesselRecord);
        r.raw("F").text(m_customs).text(m_igmNo).date(m_igmDate).text(m_imo).text(m_vesselCode).text(m_voyageNo);
        r.value(v("slinecode")).value(v("sagentcode")).value(v("mastername")).text(port);
        r.value(v("lastport")).value(v("lastport1")).value(v("lastport2")).value(v("vsltype"));
        r.raw("%LINES%"); // the count, known once the lines are read
        r.value(v("cargodesc"));
        r.raw(arrDate.isValid() ? Ices::arrival(arrDate, v.text("arrtime")) : QByteArray());
        const double dues = numericValue(v("lhdues"));
        r.raw(dues == 0 ? QByteArray() : Ices::fixed(dues, 2));
        for (const char *flag : {"samebottom", "shipstoredecl", "crewdecl", "pesslist", "creweffdecl", "maridecl"})
            r.value(v(flag));
        r.text(terminal);
        r.end();
    }

    std::vector<Line> lines;
    QHash<qint64, qsizetype> position;
    int placeholderDestinations = 0;
    {
        auto q = m_db.query(QStringLiteral("select * from cargo where vslcode = ? and voyno = ? order by id"),
                            {m_vessel, m_voyage});
        if (!q)
            return fail(q.failure());
        while (q->next()) {
            const Row c(*q);
            Line l;
            l.id = c("id").toLongLong();
            l.storedLineNo = c("lineno").isNull() ? -1 : qint64(numericValue(c("lineno")));
            const QDate bldt = dialect.dateFromDb(c("bldt"));
            if (!bldt.isValid())
                return fail(Failure(ErrorNumber::InvalidUseOfNull,
                                    QStringLiteral("Invalid use of Null: bill of lading %1 (line %2) has no B/L date.")
                                        .arg(c.text("blno"))
                                        .arg(lines.size() + 1)));
            if (c.text("portdest").trimmed() == QLatin1String(Placeholder::Port))
                ++placeholderDestinations;
            Record r(l.tail);
            r.raw("0").value(c("blno")).date(bldt).value(c("portload")).value(c("portdest"));
            r.value(c("HBlNo")).date(dialect.dateFromDb(c("HBlDt")));
            for (const char *col : {"impname", "impadd1", "impadd2", "impadd3", "notname", "notadd1", "notadd2",
                                    "notadd3", "naturecargo", "itemtype", "cargomove", "destcode"})
                r.value(c(col));
            r.whole(c("pkgs")).value(c("pkgtype"));
            r.raw(Ices::fixed(numericValue(c("grosswt")), 3)).value(c("unitwt"));
            const double volume = numericValue(c("volume"));
            if (volume == 0)
                r.empty().empty();
            else
                r.raw(Ices::fixed(volume, 3)).value(c("unitvol"));
            r.value(c("marks")).value(c("gdesc")).value(c("unocode")).value(c("imocode"));
            const double bond = numericValue(c("tpregno"));
            if (bond == 0)
                r.empty();
            else
                r.whole(bond);
            r.value(c("caccode")).value(c("trmode")).value(c("mlo"));
            r.end();
            position.insert(l.id, qsizetype(lines.size()));
            lines.push_back(std::move(l));
        }
        if (q->lastError().isValid())
            return fail(Database::failureOf(q->lastError()));
    }
    if (lines.empty()) {
        result.outcome = Outcome::refused(QLatin1String(Messages::NoCargo));
        return result;
    }
    if (placeholderDestinations > 0)
        result.outcome.notices << QStringLiteral("%1 line(s) have the port of destination %2, which is also what is "
                                                 "stored when none was keyed: check them.")
                                      .arg(placeholderDestinations)
                                      .arg(QLatin1String(Placeholder::Port));

    m_file.setFileName(m_path);
    errno = 0;
    if (!m_file.open(QIODevice::WriteOnly))
        return fail(fileFailure(m_file, errno));

    QByteArray buf;
    buf += Ices::headerLine({user, m_customs, m_options.testOrProduction.trimmed().toUpper() == QLatin1String("T")
                                                  ? QStringLiteral("T")
                                                  : QStringLiteral("P"),
                             control, m_options.written});
    buf += LineEnd;
    line(buf, Ices::ManifestStart);
    line(buf, VesselStart);
    buf += vesselRecord.replace("%LINES%", QByteArray::number(qint64(lines.size())));
    line(buf, VesselEnd);
    line(buf, CargoStart);
    for (qsizetype n = 0; n < qsizetype(lines.size()); ++n) {
        Record r(buf);
        head(r);
        r.raw(QByteArray::number(n + 1));
        buf += FieldSeparator;
        buf += lines[n].tail;
    }
    line(buf, CargoEnd);
    line(buf, ContainerStart);

    qint64 containers = 0;
    {
        auto q = m_db.query(
            QStringLiteral("select contain.* from contain inner join cargo on contain.ref = cargo.id "
                           "where cargo.vslcode = ? and cargo.voyno = ? order by cargo.id, contain.autoid"),
            {m_vessel, m_voyage});
        if (!q)
            return fail(q.failure());
        while (q->next()) {
            const Row c(*q);
            const qsizetype at = position.value(c("ref").toLongLong(), -1);
            if (at < 0)
                continue;
            Record r(buf);
            head(r);
            r.raw(QByteArray::number(at + 1)).raw("0").value(c("containno")).value(c("sealno")).value(c("agentcode"));
            const QString status = c.text("constatus").trimmed();
            r.text(status.compare(QLatin1String(Ices::OurEmptyStatus), Qt::CaseInsensitive) == 0
                       ? QLatin1String(Ices::EmptyStatus)
                       : status);
            r.raw(QByteArray::number(qint64(numericValue(c("conpkgs")))));
            r.raw(Ices::fixed(numericValue(c("conwt")), 2));
            r.value(c("isocode")).value(c("socflag"));
            r.end();
            ++containers;
        }
        if (q->lastError().isValid())
            return fail(Database::failureOf(q->lastError()));
    }
    if (containers == 0)
        result.outcome.notices << QLatin1String(Messages::NoContainers);
    line(buf, ContainerEnd);
    line(buf, ManifestEnd);
    buf += Ices::trailerLine(control);
    buf += LineEnd;

    errno = 0;
    if (m_file.write(buf) != buf.size())
        return fail(fileFailure(m_file, errno));
    bool prepared = false;
    for (qsizetype n = 0; n < qsizetype(lines.size()); ++n) {
        if (lines[n].storedLineNo == n + 1)
            continue;
        if (!prepared && !m_update.prepare(QStringLiteral("update cargo set lineno = ? where id = ?")))
            return fail(Database::failureOf(m_update.lastError()));
        prepared = true;
        m_update.bindValue(0, qint64(n + 1));
        m_update.bindValue(1, lines[n].id);
        if (!m_update.exec())
            return fail(Database::failureOf(m_update.lastError()));
    }
    if (Status s = tx.commit(); !s)
        return fail(s.failure());
    errno = 0;
    if (!m_file.commit())
        return fail(fileFailure(m_file, errno));
    if (m_options.progress)
        m_options.progress(qint64(lines.size()), qint64(lines.size()));

    for (const QString &m : missing)
        result.outcome.notices << QStringLiteral("Missing for the ICES 1.5 file, written empty: %1.").arg(m);
    result.outcome.kind = Outcome::Kind::Done;
    result.path = m_path;
    result.lines = qint64(lines.size());
    result.containers = containers;
    return result;
}

} // namespace

IgmWriteResult WriteIces15File(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
                               const IcesWriteOptions &options)
{
    return Writer(db, path, vessel, voyage, options).run();
}

IgmWriteResult GenerateIgmFileInLayout(const Database &db, IgmLayout layout, const QString &folder,
                                       const QString &vessel, const QString &voyage, const IcesWriteOptions &options)
{
    if (layout == IgmLayout::Older) {
        IgmWriteOptions older;
        older.iceGateUser = options.iceGateUser;
        older.customHouseCode = options.customHouseCode;
        older.progress = options.progress;
        return GenerateIgmFile(db, folder, vessel, voyage, older);
    }
    const QString name = igmFileName(vessel, voyage);
    IgmWriteResult r;
    if (!usableInFileName(name)) {
        r.outcome = Outcome::failed(Failure(ErrorNumber::BadFileName,
                                            QStringLiteral("Bad file name: vessel code and voyage number must not "
                                                           "hold / or \\ or control characters (\"%1\").")
                                                .arg(name)));
        return r;
    }
    const QString path = QDir(folder).absoluteFilePath(name);
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        r.outcome = Outcome::failed(
            Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot replace the earlier file %1.").arg(path)));
        return r;
    }
    return WriteIces15File(db, path, vessel, voyage, options);
}

} // namespace quarl::igm
