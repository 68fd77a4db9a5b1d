#include "igm/icesreader.h"

#include "igm/fileerror.h"
#include "igm/icesformat.h"
#include "igm/igmformat.h"
#include "igm/igmmessages.h"
#include "igm/linereader.h"
#include "store/cargokeys.h"
#include "store/database.h"

#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cerrno>
#include <memory>
#include <tuple>
#include <cmath>

namespace quarl::igm {

namespace {

using namespace Format;

enum class Kind { Text, Number, Integer, Date, OptionalDate };

struct FieldMap
{
    int field; // 1-based, as the layout counts
    const char *column;
    Kind kind;
};

const FieldMap CargoMap[] = {
    {4, "vslcode", Kind::Text},     {5, "voyno", Kind::Text},       {8, "lineno", Kind::Integer},
    {10, "blno", Kind::Text},       {11, "bldt", Kind::Date},       {12, "portload", Kind::Text},
    {13, "portdest", Kind::Text},   {14, "HBlNo", Kind::Text},      {15, "HBlDt", Kind::OptionalDate},
    {16, "impname", Kind::Text},    {17, "impadd1", Kind::Text},    {18, "impadd2", Kind::Text},
    {19, "impadd3", Kind::Text},    {20, "notname", Kind::Text},    {21, "notadd1", Kind::Text},
    {22, "notadd2", Kind::Text},    {23, "notadd3", Kind::Text},    {24, "naturecargo", Kind::Text},
    {25, "itemtype", Kind::Text},   {26, "cargomove", Kind::Text},  {27, "destcode", Kind::Text},
    {28, "pkgs", Kind::Integer},    {29, "pkgtype", Kind::Text},    {30, "grosswt", Kind::Number},
    {31, "unitwt", Kind::Text},     {32, "volume", Kind::Number},   {33, "unitvol", Kind::Text},
    {34, "marks", Kind::Text},      {35, "gdesc", Kind::Text},      {36, "unocode", Kind::Text},
    {37, "imocode", Kind::Text},    {38, "tpregno", Kind::Number},  {39, "caccode", Kind::Text},
    {40, "trmode", Kind::Text},     {41, "mlo", Kind::Text},
};

const FieldMap ContainerMap[] = {
    {8, "lineno", Kind::Integer},   {9, "sublineno", Kind::Integer}, {10, "containno", Kind::Text},
    {11, "sealno", Kind::Text},     {12, "agentcode", Kind::Text},   {13, "constatus", Kind::Text},
    {14, "conpkgs", Kind::Integer}, {15, "conwt", Kind::Number},     {16, "isocode", Kind::Text},
    {17, "socflag", Kind::Text},
};

QString insertSql(const char *table, const QStringList &columns)
{
    return QStringLiteral("insert into %1 (%2) values (%3)")
        .arg(QLatin1String(table), columns.join(QLatin1Char(',')),
             QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')));
}

class Importer
{
public:
    Importer(const Database &db, const IgmImportOptions &options, const Confirm &confirm)
        : m_db(db), m_options(options), m_confirm(confirm), m_insert(db.handle()), m_other(db.handle())
    {
    }
    IgmImportResult run(const QString &path);

private:
    enum class Section { General, Vessel, Cargo, Container };
    // Sets the failure with the section and column being read, as the older import does.
    bool refuse(qint64 code, const QString &text, Section section = Section::General, const QString &column = {})
    {
        return refuse(Failure(code, text), section, column);
    }
    bool refuse(const Failure &failure, Section section = Section::General, const QString &column = {})
    {
        m_failure = failure;
        QString context;
        switch (section) {
        case Section::Vessel: context = QLatin1String(Messages::VesselContext) + column; break;
        case Section::Cargo: context = QLatin1String(Messages::CargoContext) + column; break;
        case Section::Container: context = QLatin1String(Messages::ContainerContext) + column; break;
        case Section::General: context = QLatin1String(Messages::GeneralContext); break;
        }
        m_message = m_failure.numberAndText() + QLatin1String(Messages::ContextSeparator) + context;
        return false;
    }
    bool dbFailure(const QSqlError &e, Section section)
    {
        Failure f = Database::failureOf(e);
        f.description += QStringLiteral(" (line %1 of the file)").arg(m_reader->lineNumber());
        return refuse(f, section);
    }
    // The next line that is not blank; false at the end of the file or on a read error.
    bool next(QByteArray *line, const char *expecting);
    bool expect(const char *tag);
    bool record(QStringList *fields, int count, const char *what, Section section, const char *end);
    bool convert(const QString &text, Kind kind, const char *column, Section section, QVariant *value);
    bool storeVessel(const QStringList &f);
    bool importCargo();
    bool importContainers();

    const Database &m_db;
    const IgmImportOptions &m_options;
    const Confirm &m_confirm;
    QSqlQuery m_insert;
    QSqlQuery m_other;
    QFile m_file;
    std::unique_ptr<LineReader> m_reader;
    Failure m_failure;
    QString m_message;
    QStringList m_notices;
    QHash<qint64, qint64> m_lineToId;
    qint64 m_lines = 0;
    qint64 m_containers = 0;
    bool m_pending = false; // a record line was read ahead
    QByteArray m_pendingLine;
};

bool Importer::next(QByteArray *line, const char *expecting)
{
    if (m_pending) {
        m_pending = false;
        *line = m_pendingLine;
        return true;
    }
    for (;;) {
        switch (m_reader->next(line)) {
        case LineReader::Result::Line:
            if (line->contains('\0'))
                return refuse(ErrorNumber::BadFileFormat,
                              QStringLiteral("Line %1 holds binary data: this is not an IGM file.")
                                  .arg(m_reader->lineNumber()));
            if (line->trimmed().isEmpty())
                continue;
            return true;
        case LineReader::Result::TooLong:
            return refuse(ErrorNumber::BadFileFormat,
                          QStringLiteral("Line %1 is longer than %2 characters: this is not an IGM file.")
                              .arg(m_reader->lineNumber() + 1)
                              .arg(MaxIgmLineLength));
        case LineReader::Result::ReadError:
            m_failure = fileFailure(m_file, errno);
            m_message = m_failure.numberAndText();
            return false;
        case LineReader::Result::End:
            return refuse(ErrorNumber::PastEndOfFile,
                          QStringLiteral("Input past end of file: the file ends before the line %1; it is not a "
                                         "complete IGM file.")
                              .arg(QLatin1String(expecting)));
        }
    }
}

bool Importer::expect(const char *tag)
{
    QByteArray line;
    if (!next(&line, tag))
        return false;
    if (line.trimmed().compare(tag, Qt::CaseInsensitive) != 0)
        return refuse(ErrorNumber::BadFileFormat,
                      QStringLiteral("Line %1 of the file should be %2, not \"%3\".")
                          .arg(m_reader->lineNumber())
                          .arg(QLatin1String(tag), decodeLine(line.left(40))));
    return true;
}

bool Importer::record(QStringList *fields, int count, const char *what, Section section, const char *end)
{
    QByteArray line;
    if (!next(&line, end))
        return false;
    if (line.startsWith('<')) { // an end tag: the caller looks at it
        m_pending = true;
        m_pendingLine = line;
        fields->clear();
        return true;
    }
    *fields = decodeLine(line).split(QLatin1Char(FieldSeparator));
    if (fields->size() != count)
        return refuse(ErrorNumber::BadFileFormat,
                      QStringLiteral("Line %1 of the file holds %2 fields; a %3 of the ICES 1.5 layout has %4.")
                          .arg(m_reader->lineNumber())
                          .arg(fields->size())
                          .arg(QLatin1String(what))
                          .arg(count),
                      section);
    return true;
}

bool Importer::convert(const QString &text, Kind kind, const char *column, Section section, QVariant *value)
{
    auto mismatch = [&](const QString &why) {
        return refuse(ErrorNumber::TypeMismatch,
                      QStringLiteral("Type mismatch in line %1 of the file: %2").arg(m_reader->lineNumber()).arg(why),
                      section, QLatin1String(column));
    };
    const QString t = text.trimmed();
    switch (kind) {
    case Kind::Text:
        *value = text;
        return true;
    case Kind::Number: {
        double v = 0;
        if (!t.isEmpty() && !parseNumber(t, &v))
            return mismatch(QStringLiteral("\"%1\" is not a number.").arg(text));
        *value = v;
        return true;
    }
    case Kind::Integer: {
        double v = 0;
        if (!t.isEmpty() && (!parseNumber(t, &v) || std::trunc(v) != v || std::fabs(v) > 2147483647.0))
            return mismatch(QStringLiteral("\"%1\" is not a whole number.").arg(text));
        *value = qint64(v);
        return true;
    }
    case Kind::OptionalDate:
        if (t.isEmpty()) {
            *value = m_db.dialect().dateToDb(QDate());
            return true;
        }
        Q_FALLTHROUGH();
    case Kind::Date: {
        const QDate d = parseDate(t);
        if (!d.isValid())
            return mismatch(QStringLiteral("\"%1\" is not a date DDMMYYYY.").arg(text));
        *value = m_db.dialect().dateToDb(d);
        return true;
    }
    }
    return false;
}

bool Importer::storeVessel(const QStringList &f)
{
    const Section s = Section::Vessel;
    {
        auto q = m_db.query(QStringLiteral("select * from vesinfo where 1 = 0"));
        if (!q)
            return refuse(q.failure(), s);
        if (q->record().indexOf(QStringLiteral("tocode")) < 0)
            return refuse(ErrorNumber::InvalidArgument,
                          QStringLiteral("This company database lacks the columns of the ICES 1.5 layout: run "
                                         "Patches, Modify Tables for ICES 1.5 (2.1.0) first."),
                          s);
    }
    QDate eta;
    QString etaTime;
    if (!f.value(17).trimmed().isEmpty() && !Ices::parseArrival(f.value(17), &eta, &etaTime))
        return refuse(ErrorNumber::TypeMismatch,
                      QStringLiteral("Type mismatch in line %1 of the file: \"%2\" is not an arrival DDMMYYYY HH:MM.")
                          .arg(m_reader->lineNumber())
                          .arg(f.value(17)),
                      s, QStringLiteral("arrdt"));
    QStringList columns;
    QVariantList values;
    auto put = [&](const char *column, int field, Kind kind) {
        QVariant v;
        if (!convert(f.value(field - 1), kind, column, s, &v))
            return false;
        columns << QLatin1String(column);
        values << v;
        return true;
    };
    const std::initializer_list<std::tuple<const char *, int, Kind>> map = {
        {"IgmNo", 3, Kind::Text},         {"IgmDt", 4, Kind::OptionalDate}, {"vslcode", 6, Kind::Text},
        {"voyno", 7, Kind::Text},         {"slinecode", 8, Kind::Text},     {"sagentcode", 9, Kind::Text},
        {"mastername", 10, Kind::Text},   {"portarrival", 11, Kind::Text},  {"arrportcd", 11, Kind::Text},
        {"lastport", 12, Kind::Text},     {"lastport1", 13, Kind::Text},    {"lastport2", 14, Kind::Text},
        {"vsltype", 15, Kind::Text},      {"TotItems", 16, Kind::Integer},  {"cargodesc", 17, Kind::Text},
        {"lhdues", 19, Kind::Number},     {"samebottom", 20, Kind::Text},   {"shipstoredecl", 21, Kind::Text},
        {"crewdecl", 22, Kind::Text},     {"pesslist", 23, Kind::Text},     {"creweffdecl", 24, Kind::Text},
        {"maridecl", 25, Kind::Text},     {"terminalop", 26, Kind::Text},   {"tocode", 26, Kind::Text},
    };
    for (const auto &[column, field, kind] : map) {
        if (!put(column, field, kind))
            return false;
    }
    columns << QStringLiteral("arrdt") << QStringLiteral("arrtime");
    values << m_db.dialect().dateToDb(eta) << (eta.isValid() ? QVariant(etaTime) : QVariant(QMetaType::fromType<QString>()));

    // name, nationality and tonnage from the vessel code master, as the voyage screen does
    const QString vessel = f.value(5);
    const QString imo = f.value(4).trimmed();
    auto master = m_db.query(QStringLiteral("select * from D_VESSEL_CD where VESSEL_CD = ?"), {vessel});
    if (!master)
        return refuse(master.failure(), s);
    if (master->next()) {
        const QSqlRecord r = master->record();
        columns << QStringLiteral("vslname") << QStringLiteral("vslnation") << QStringLiteral("grt") << QStringLiteral("nrt");
        values << r.value(QStringLiteral("VESSEL_NM")) << r.value(QStringLiteral("VESSEL_NATION"))
               << r.value(QStringLiteral("grt")) << r.value(QStringLiteral("nrt"));
        const QString known = r.value(QStringLiteral("IMO_NO")).toString().trimmed();
        if (known.isEmpty() && !imo.isEmpty()) {
            if (Status st = m_db.exec(QStringLiteral("update D_VESSEL_CD set IMO_NO = ? where VESSEL_CD = ?"), {imo, vessel});
                !st)
                return refuse(st.failure(), s, QStringLiteral("IMO_NO"));
        } else if (!imo.isEmpty() && known != imo) {
            m_notices << QStringLiteral("Vessel %1 has IMO number %2 in the vessel codes; the file's %3 was not taken.")
                             .arg(vessel, known, imo);
        }
    } else if (!vessel.trimmed().isEmpty()) {
        if (Status st = m_db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, IMO_NO) values (?, ?)"),
                                  {vessel, imo.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(imo)});
            !st)
            return refuse(st.failure(), s, QStringLiteral("IMO_NO"));
        m_notices << QStringLiteral("Vessel code %1 added to the vessel codes with IMO number %2.").arg(vessel, imo);
    }
    if (!m_other.prepare(insertSql("vesinfo", columns)))
        return dbFailure(m_other.lastError(), s);
    for (int i = 0; i < values.size(); ++i)
        m_other.bindValue(i, values.at(i));
    if (!m_other.exec())
        return dbFailure(m_other.lastError(), s);
    return true;
}

bool Importer::importCargo()
{
    if (!expect(CargoStart))
        return false;
    auto key = nextCargoId(m_db);
    if (!key)
        return refuse(key.failure());
    qint64 id = key.value();
    QStringList columns{QStringLiteral("id"), QStringLiteral("sublineno")};
    for (const FieldMap &m : CargoMap)
        columns << QLatin1String(m.column);
    if (!m_insert.prepare(insertSql("cargo", columns)))
        return dbFailure(m_insert.lastError(), Section::Cargo);
    QStringList f;
    for (;;) {
        if (!record(&f, Ices::CargoFields, "cargo record", Section::Cargo, CargoEnd))
            return false;
        if (f.isEmpty())
            return expect(CargoEnd);
        int i = 2;
        for (const FieldMap &m : CargoMap) {
            QVariant v;
            if (!convert(f.value(m.field - 1), m.kind, m.column, Section::Cargo, &v))
                return false;
            m_insert.bindValue(i++, v);
        }
        const qint64 lineNo = qint64(numericValue(f.value(7)));
        if (m_lineToId.contains(lineNo))
            return refuse(ErrorNumber::BadFileFormat,
                          QStringLiteral("Line number %1 occurs twice in the cargo section (line %2 of the file): the "
                                         "containers cannot be told apart.")
                              .arg(lineNo)
                              .arg(m_reader->lineNumber()),
                          Section::Cargo, QStringLiteral("lineno"));
        m_insert.bindValue(0, id);
        m_insert.bindValue(1, 0);
        if (!m_insert.exec())
            return dbFailure(m_insert.lastError(), Section::Cargo);
        m_lineToId.insert(lineNo, id++);
        ++m_lines;
    }
}

bool Importer::importContainers()
{
    if (!expect(ContainerStart))
        return false;
    QStringList columns{QStringLiteral("ref")};
    for (const FieldMap &m : ContainerMap)
        columns << QLatin1String(m.column);
    if (!m_insert.prepare(insertSql("contain", columns)))
        return dbFailure(m_insert.lastError(), Section::Container);
    QStringList f;
    for (;;) {
        if (!record(&f, Ices::ContainerFields, "container record", Section::Container, ContainerEnd))
            return false;
        if (f.isEmpty())
            return expect(ContainerEnd);
        double lineNo = -1;
        const bool numeric = parseNumber(f.value(7), &lineNo) && std::trunc(lineNo) == lineNo;
        const auto found = m_lineToId.constFind(qint64(lineNo));
        if (!numeric || found == m_lineToId.constEnd())
            return refuse(ErrorNumber::BadFileFormat,
                          QStringLiteral("Container %1 (line %2 of the file) belongs to line number %3, which is not "
                                         "in the cargo section.")
                              .arg(f.value(9), QString::number(m_reader->lineNumber()), f.value(7)),
                          Section::Container, QStringLiteral("ref"));
        m_insert.bindValue(0, found.value());
        int i = 1;
        for (const FieldMap &m : ContainerMap) {
            QString text = f.value(m.field - 1);
            if (m.field == 13 && text.trimmed() == QLatin1String(Ices::EmptyStatus))
                text = QLatin1String(Ices::OurEmptyStatus);
            QVariant v;
            if (!convert(text, m.kind, m.column, Section::Container, &v))
                return false;
            m_insert.bindValue(i++, v);
        }
        if (!m_insert.exec())
            return dbFailure(m_insert.lastError(), Section::Container);
        ++m_containers;
    }
}

IgmImportResult Importer::run(const QString &path)
{
    IgmImportResult result;
    auto failed = [&]() {
        IgmImportResult r;
        r.outcome = Outcome::failed(m_failure, m_message.isEmpty() ? m_failure.numberAndText() : m_message);
        return r;
    };
    m_file.setFileName(path);
    errno = 0;
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_failure = fileFailure(m_file, errno);
        return failed();
    }
    m_reader = std::make_unique<LineReader>(&m_file, MaxIgmLineLength);
    QByteArray header;
    if (!next(&header, "HREC"))
        return failed();
    QString version;
    if (layoutOfHeader(header, &version) != HeaderLayout::Ices15) {
        refuse(ErrorNumber::BadFileFormat, unknownLayoutMessage(path, version));
        return failed();
    }
    QStringList vessel;
    if (!expect(Ices::ManifestStart) || !expect(VesselStart)
        || !record(&vessel, Ices::VesselFields, "vessel record", Section::Vessel, VesselEnd))
        return failed();
    if (vessel.isEmpty()) {
        refuse(ErrorNumber::BadFileFormat, QStringLiteral("The file holds no vessel record."));
        return failed();
    }
    if (!expect(VesselEnd))
        return failed();
    result.vessel = vessel.value(5);
    result.voyage = vessel.value(6);
    if (!m_confirm || !m_confirm(Messages::importQuestion(result.vessel, result.voyage))) {
        result.outcome = Outcome::declined();
        return result;
    }
    Transaction tx(m_db);
    if (!tx.started()) {
        refuse(tx.started().failure());
        return failed();
    }
    if (m_options.withVessel) {
        if (!storeVessel(vessel))
            return failed();
        result.vessels = 1;
    }
    if (!importCargo() || !importContainers())
        return failed();
    // the end of the manifest and the trailer; whatever follows (a signature) is not ours
    if (Status s = tx.commit(); !s) {
        refuse(s.failure());
        return failed();
    }
    if (m_options.progress)
        m_options.progress(m_file.size(), m_file.size());
    result.lines = m_lines;
    result.containers = m_containers;
    result.outcome = Outcome::done(QLatin1String(Messages::Imported));
    result.outcome.notices = m_notices;
    return result;
}

} // namespace

QString unknownLayoutMessage(const QString &path, const QString &version)
{
    return QStringLiteral("%1 is not an IGM file this program reads: its header names the version \"%2\", neither "
                          "the older layout (HREC**) nor ICES1_5.")
        .arg(path, version);
}

HeaderLayout peekHeaderLayout(const QString &path, QString *version)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return HeaderLayout::NoHeader;
    LineReader reader(&file, MaxIgmLineLength);
    QByteArray line;
    while (reader.next(&line) == LineReader::Result::Line) {
        if (!line.trimmed().isEmpty())
            return layoutOfHeader(line, version);
    }
    return HeaderLayout::NoHeader;
}

IgmImportResult ImportIces15File(const Database &db, const QString &path, const IgmImportOptions &options,
                                 const Confirm &confirm)
{
    return Importer(db, options, confirm).run(path);
}

} // namespace quarl::igm
