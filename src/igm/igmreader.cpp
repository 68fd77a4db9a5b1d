#include "igm/igmreader.h"

#include "igm/fileerror.h"
#include "igm/icesreader.h"
#include "igm/igmformat.h"
#include "igm/igmmessages.h"
#include "igm/linereader.h"
#include "store/cargokeys.h"
#include "store/database.h"
#include "store/schema.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cmath>
#include <memory>

namespace quarl::igm {

namespace {

using namespace Format;

enum class Section { General, Vessel, Cargo, Container };

constexpr char CancelledText[] = "The import was cancelled; nothing of the file was stored.";

// An error of the import with the section and column it arose in.
struct ImportError
{
    Failure failure;
    Section section = Section::General;
    QString column;
    bool cancelled = false;

    QString message() const
    {
        if (cancelled)
            return failure.description;
        QString context;
        switch (section) {
        case Section::Vessel: context = QLatin1String(Messages::VesselContext) + column; break;
        case Section::Cargo: context = QLatin1String(Messages::CargoContext) + column; break;
        case Section::Container: context = QLatin1String(Messages::ContainerContext) + column; break;
        case Section::General: context = QLatin1String(Messages::GeneralContext); break;
        }
        return failure.numberAndText() + QLatin1String(Messages::ContextSeparator) + context;
    }
};

// Where a field of a record goes: its column, and how the text becomes a value.
enum class Kind {
    Text,    // the text as read
    Number,  // double column: numeric value, empty or non-numeric text gives 0
    Integer, // integer column: empty gives 0, anything but a whole number is refused
    Decimal, // double column of a container: empty gives 0, a non-number is refused
    Date,    // DDMMYYYY
};

struct FieldMap
{
    int field;
    const char *column;
    Kind kind;
};

// vesinfo from the vessel record (field k to column position k + 2)
const FieldMap VesselFields[] = {
    {3, "vslname", Kind::Text},      {4, "vslcode", Kind::Text},       {5, "voyno", Kind::Text},
    {6, "slinecode", Kind::Text},    {7, "sagentcode", Kind::Text},    {8, "mastername", Kind::Text},
    {9, "vslnation", Kind::Text},    {10, "portarrival", Kind::Text},  {11, "lastport", Kind::Text},
    {12, "lastport1", Kind::Text},   {13, "lastport2", Kind::Text},    {14, "grt", Kind::Number},
    {15, "nrt", Kind::Number},       {16, "vsltype", Kind::Text},      {17, "TotItems", Kind::Integer},
    {18, "cargodesc", Kind::Text},   {21, "lhdues", Kind::Number},     {22, "samebottom", Kind::Text},
    {23, "shipstoredecl", Kind::Text}, {24, "crewdecl", Kind::Text},   {25, "pesslist", Kind::Text},
    {26, "creweffdecl", Kind::Text}, {27, "maridecl", Kind::Text},     {28, "terminalop", Kind::Text},
};

// cargo from a cargo record; id and sublineno are set by the reader itself
const FieldMap CargoFields[] = {
    {1, "vslcode", Kind::Text},      {2, "voyno", Kind::Text},         {5, "lineno", Kind::Integer},
    {7, "blno", Kind::Text},         {8, "bldt", Kind::Date},          {9, "portload", Kind::Text},
    {10, "portdest", Kind::Text},    {13, "impname", Kind::Text},      {14, "impadd1", Kind::Text},
    {15, "impadd2", Kind::Text},     {16, "impadd3", Kind::Text},      {17, "notname", Kind::Text},
    {18, "notadd1", Kind::Text},     {19, "notadd2", Kind::Text},      {20, "notadd3", Kind::Text},
    {21, "naturecargo", Kind::Text}, {22, "itemtype", Kind::Text},     {23, "cargomove", Kind::Text},
    {24, "destcode", Kind::Text},    {25, "pkgs", Kind::Integer},      {26, "pkgtype", Kind::Text},
    {27, "grosswt", Kind::Number},   {28, "unitwt", Kind::Text},       {29, "volume", Kind::Number},
    {30, "unitvol", Kind::Text},     {31, "marks", Kind::Text},        {32, "gdesc", Kind::Text},
    {33, "unocode", Kind::Text},     {34, "imocode", Kind::Text},      {35, "tpregno", Kind::Number},
    {36, "caccode", Kind::Text},     {37, "trmode", Kind::Text},       {38, "mlo", Kind::Text},
};

// contain from a container record; ref is looked up from field 5
const FieldMap ContainerFields[] = {
    {5, "lineno", Kind::Integer},    {6, "sublineno", Kind::Integer},  {7, "containno", Kind::Text},
    {8, "sealno", Kind::Text},       {9, "agentcode", Kind::Text},     {10, "constatus", Kind::Text},
    {11, "conpkgs", Kind::Integer},  {12, "conwt", Kind::Decimal},     {13, "isocode", Kind::Text},
    {14, "socflag", Kind::Text},
};

// A comma-delimited item without the double quotes around it.
QByteArray unquoted(const QByteArray &item)
{
    if (item.size() >= 2 && item.startsWith('"') && item.endsWith('"'))
        return item.mid(1, item.size() - 2);
    return item;
}

QString columnName(const char *table, const char *column)
{
    // the canonical spelling of the schema, for messages
    const ColumnDef *c = Schema::column(QLatin1String(table), QLatin1String(column));
    return c ? QLatin1String(c->name) : QLatin1String(column);
}

QString insertSql(const char *table, const QStringList &columns)
{
    QStringList marks(columns.size(), QStringLiteral("?"));
    return QStringLiteral("insert into %1 (%2) values (%3)")
        .arg(QLatin1String(table), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

class Importer
{
public:
    Importer(const Database &db, const IgmImportOptions &options, const Confirm &confirm)
        : m_db(db), m_options(options), m_confirm(confirm), m_vesselInsert(db.handle()), m_cargoInsert(db.handle()),
          m_containerInsert(db.handle())
    {
    }

    IgmImportResult run(const QString &path);

private:
    bool strip(const QString &source, ImportError *error);
    bool nextLine(QByteArray *line, ImportError *error, const char *expecting);
    bool skipTo(const char *marker, ImportError *error);
    enum class Next { Record, End, Failed };
    // The fields of the section's next record, skipping empty lines, up to its end marker.
    Next nextRecord(const char *end, QStringList *fields, ImportError *error);
    bool readVesselRecord(QStringList *fields, ImportError *error);
    bool convert(const QString &text, Kind kind, const char *table, const char *column, Section section,
                 QVariant *value, ImportError *error);
    bool storeVessel(const QStringList &fields, ImportError *error);
    bool importCargo(ImportError *error);
    bool importContainers(ImportError *error);
    ImportError dbError(const QSqlError &e) const
    {
        ImportError err;
        err.failure = Database::failureOf(e);
        err.failure.description += QStringLiteral(" (line %1 of the file)").arg(m_reader->lineNumber());
        return err;
    }
    ImportError formatError(qint64 code, const QString &text, Section section = Section::General,
                            const QString &column = {}) const
    {
        ImportError err;
        err.failure = Failure(code, text);
        err.section = section;
        err.column = column;
        return err;
    }
    // False when the user has cancelled the import.
    bool reportProgress(ImportError *error)
    {
        if (m_reader->lineNumber() % 200 != 0)
            return true;
        if (m_options.progress)
            m_options.progress(m_reader->bytesRead(), m_size);
        if (m_options.cancelled && m_options.cancelled()) {
            error->failure = Failure(ErrorNumber::Cancelled, QLatin1String(CancelledText));
            error->cancelled = true;
            return false;
        }
        return true;
    }

    const Database &m_db;
    const IgmImportOptions &m_options;
    const Confirm &m_confirm;
    // Members, so that they are released after the transaction has ended: PostgreSQL
    // refuses to free a statement inside a failed transaction.
    QSqlQuery m_vesselInsert;
    QSqlQuery m_cargoInsert;
    QSqlQuery m_containerInsert;
    QFile m_file;
    std::unique_ptr<LineReader> m_reader;
    qint64 m_size = 0;
    QHash<qint64, qint64> m_lineToId; // file line number to the new cargo id
    qint64 m_lines = 0;
    qint64 m_containers = 0;
};

bool Importer::strip(const QString &source, ImportError *error)
{
    QFile in(source);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly)) {
        error->failure = fileFailure(in, errno);
        return false;
    }
    QSaveFile out(m_options.workingFile);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly)) {
        error->failure = fileFailure(out, errno);
        return false;
    }
    LineReader reader(&in, MaxIgmLineLength);
    QByteArray line;
    QByteArray buf;
    for (;;) {
        const LineReader::Result r = reader.next(&line);
        if (r == LineReader::Result::End)
            break;
        if (r == LineReader::Result::TooLong) {
            *error = formatError(ErrorNumber::BadFileFormat,
                                 QStringLiteral("Line %1 is longer than %2 characters: this is not an IGM file.")
                                     .arg(reader.lineNumber() + 1)
                                     .arg(MaxIgmLineLength));
            return false;
        }
        if (r == LineReader::Result::ReadError) {
            error->failure = fileFailure(in, errno);
            return false;
        }
        // the comma-delimited items of the line, without their quotes, joined without commas
        for (const QByteArray &item : line.split(','))
            buf += unquoted(item);
        buf += LineEnd;
        if (buf.size() > (1 << 20)) {
            errno = 0;
            if (out.write(buf) != buf.size()) {
                error->failure = fileFailure(out, errno);
                return false;
            }
            buf.clear();
        }
    }
    errno = 0;
    if (out.write(buf) != buf.size() || !out.commit()) {
        error->failure = fileFailure(out, errno);
        return false;
    }
    return true;
}

bool Importer::nextLine(QByteArray *line, ImportError *error, const char *expecting)
{
    switch (m_reader->next(line)) {
    case LineReader::Result::Line:
        if (line->contains('\0')) {
            *error = formatError(ErrorNumber::BadFileFormat,
                                 QStringLiteral("Line %1 holds binary data: this is not an IGM file.")
                                     .arg(m_reader->lineNumber()));
            return false;
        }
        return true;
    case LineReader::Result::TooLong:
        *error = formatError(ErrorNumber::BadFileFormat,
                             QStringLiteral("Line %1 is longer than %2 characters: this is not an IGM file.")
                                 .arg(m_reader->lineNumber() + 1)
                                 .arg(MaxIgmLineLength));
        return false;
    case LineReader::Result::ReadError:
        error->failure = fileFailure(m_file, errno);
        return false;
    case LineReader::Result::End:
        break;
    }
    *error = formatError(ErrorNumber::PastEndOfFile,
                         QStringLiteral("Input past end of file: the file ends before the line %1; it is not a "
                                        "complete IGM file.")
                             .arg(QLatin1String(expecting)));
    return false;
}

bool Importer::skipTo(const char *marker, ImportError *error)
{
    QByteArray line;
    for (;;) {
        if (!nextLine(&line, error, marker))
            return false;
        if (line == marker)
            return true;
    }
}

bool Importer::readVesselRecord(QStringList *fields, ImportError *error)
{
    // Read as comma-delimited items: the item after "<vesinfo>" is the vessel record,
    // which thereby ends at its first comma.
    QByteArray line;
    QList<QByteArray> items;
    qsizetype at = -1;
    while (at < 0) {
        if (!nextLine(&line, error, VesselStart))
            return false;
        items = line.split(',');
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (unquoted(items.at(i)) == VesselStart) {
                at = i;
                break;
            }
        }
    }
    QByteArray record;
    if (at + 1 < items.size()) {
        record = unquoted(items.at(at + 1));
    } else {
        if (!nextLine(&line, error, "of the vessel record"))
            return false;
        record = unquoted(line.left(line.indexOf(',') < 0 ? line.size() : line.indexOf(',')));
    }
    if (record == VesselEnd || record.isEmpty()) {
        *error = formatError(ErrorNumber::BadFileFormat, QStringLiteral("The file holds no vessel record."));
        return false;
    }
    if (!splitFields(decodeLine(record), fields)) {
        *error = formatError(ErrorNumber::BadFileFormat,
                             QStringLiteral("The vessel record holds more than %1 fields.").arg(MaxFields));
        return false;
    }
    return true;
}

bool Importer::convert(const QString &text, Kind kind, const char *table, const char *column, Section section,
                       QVariant *value, ImportError *error)
{
    auto mismatch = [&](const QString &why) {
        *error = formatError(ErrorNumber::TypeMismatch,
                             QStringLiteral("Type mismatch in line %1 of the file: %2")
                                 .arg(m_reader->lineNumber())
                                 .arg(why),
                             section, columnName(table, column));
        return false;
    };
    switch (kind) {
    case Kind::Text:
        *value = text;
        return true;
    case Kind::Number: {
        double v = 0;
        *value = parseNumber(text, &v) ? v : 0.0;
        return true;
    }
    case Kind::Decimal: {
        double v = 0;
        if (!text.trimmed().isEmpty() && !parseNumber(text, &v))
            return mismatch(QStringLiteral("\"%1\" is not a number.").arg(text));
        *value = v;
        return true;
    }
    case Kind::Integer: {
        double v = 0;
        if (!text.trimmed().isEmpty()
            && (!parseNumber(text, &v) || std::trunc(v) != v || std::fabs(v) > 2147483647.0))
            return mismatch(QStringLiteral("\"%1\" is not a whole number.").arg(text));
        *value = qint64(v);
        return true;
    }
    case Kind::Date: {
        const QDate d = parseDate(text);
        if (!d.isValid())
            return mismatch(QStringLiteral("\"%1\" is not a date DDMMYYYY.").arg(text));
        *value = m_db.dialect().dateToDb(d);
        return true;
    }
    }
    return false;
}

bool Importer::storeVessel(const QStringList &fields, ImportError *error)
{
    QStringList columns;
    QVariantList values;
    for (const FieldMap &m : VesselFields) {
        QString text = fields.value(m.field);
        if (text.isEmpty() && (m.field == 7 || m.field == 8))
            text = QStringLiteral(" ");
        else if (text.isEmpty() && m.field == 11)
            text = QStringLiteral("INIXY1");
        QVariant v;
        if (!convert(text, m.kind, "vesinfo", m.column, Section::Vessel, &v, error))
            return false;
        columns << QLatin1String(m.column);
        values << v;
    }
    QSqlQuery &q = m_vesselInsert;
    if (!q.prepare(insertSql("vesinfo", columns))) {
        *error = dbError(q.lastError());
        return false;
    }
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec()) {
        *error = dbError(q.lastError());
        return false;
    }
    return true;
}

Importer::Next Importer::nextRecord(const char *end, QStringList *fields, ImportError *error)
{
    QByteArray raw;
    for (;;) {
        if (!nextLine(&raw, error, end))
            return Next::Failed;
        if (raw == end)
            return Next::End;
        if (raw.isEmpty())
            continue;
        if (!splitFields(decodeLine(raw), fields)) {
            *error = formatError(ErrorNumber::BadFileFormat,
                                 QStringLiteral("Line %1 of the file holds more than %2 fields.")
                                     .arg(m_reader->lineNumber())
                                     .arg(MaxFields));
            return Next::Failed;
        }
        return Next::Record;
    }
}

bool Importer::importCargo(ImportError *error)
{
    if (!skipTo(CargoStart, error))
        return false;
    auto next = nextCargoId(m_db);
    if (!next) {
        error->failure = next.failure();
        return false;
    }
    qint64 nextKey = next.value();

    QStringList columns{QStringLiteral("id"), QStringLiteral("sublineno")};
    for (const FieldMap &m : CargoFields)
        columns << QLatin1String(m.column);
    QSqlQuery &insert = m_cargoInsert;
    if (!insert.prepare(insertSql("cargo", columns))) {
        *error = dbError(insert.lastError());
        return false;
    }
    QStringList fields;
    for (;;) {
        if (const Next n = nextRecord(CargoEnd, &fields, error); n != Next::Record)
            return n == Next::End;
        // The key is taken one ahead, as the older installations did: the first line
        // gets the old largest id plus 2.
        ++nextKey;
        int i = 2;
        for (const FieldMap &m : CargoFields) {
            QVariant v;
            if (!convert(fields.value(m.field), m.kind, "cargo", m.column, Section::Cargo, &v, error))
                return false;
            insert.bindValue(i++, v);
        }
        const qint64 lineNo = fields.value(5).trimmed().isEmpty() ? 0 : qint64(numericValue(fields.value(5)));
        if (m_lineToId.contains(lineNo)) {
            *error = formatError(ErrorNumber::BadFileFormat,
                                 QStringLiteral("Line number %1 occurs twice in the cargo section (line %2 of the "
                                                "file): the containers cannot be told apart.")
                                     .arg(lineNo)
                                     .arg(m_reader->lineNumber()),
                                 Section::Cargo, columnName("cargo", "lineno"));
            return false;
        }
        insert.bindValue(0, nextKey);
        insert.bindValue(1, lineNo); // the link of the containers until the import ends
        if (!insert.exec()) {
            *error = dbError(insert.lastError());
            return false;
        }
        m_lineToId.insert(lineNo, nextKey);
        ++m_lines;
        if (!reportProgress(error))
            return false;
    }
}

bool Importer::importContainers(ImportError *error)
{
    if (!skipTo(ContainerStart, error))
        return false;
    QStringList columns{QStringLiteral("ref")};
    for (const FieldMap &m : ContainerFields)
        columns << QLatin1String(m.column);
    QSqlQuery &insert = m_containerInsert;
    if (!insert.prepare(insertSql("contain", columns))) {
        *error = dbError(insert.lastError());
        return false;
    }
    QStringList fields;
    for (;;) {
        if (const Next n = nextRecord(ContainerEnd, &fields, error); n != Next::Record)
            return n == Next::End;
        const QString lineText = fields.value(5);
        double lineNo = 0;
        const bool numeric = lineText.trimmed().isEmpty() || parseNumber(lineText, &lineNo);
        const auto found = m_lineToId.constFind(qint64(lineNo));
        if (!numeric || std::trunc(lineNo) != lineNo || found == m_lineToId.constEnd()) {
            *error = formatError(ErrorNumber::BadFileFormat,
                                 QStringLiteral("Container %1 (line %2 of the file) belongs to line number %3, "
                                                "which is not in the cargo section.")
                                     .arg(fields.value(7), QString::number(m_reader->lineNumber()), lineText),
                                 Section::Container, columnName("contain", "ref"));
            return false;
        }
        insert.bindValue(0, found.value());
        int i = 1;
        for (const FieldMap &m : ContainerFields) {
            QVariant v;
            if (!convert(fields.value(m.field), m.kind, "contain", m.column, Section::Container, &v, error))
                return false;
            insert.bindValue(i++, v);
        }
        if (!insert.exec()) {
            *error = dbError(insert.lastError());
            return false;
        }
        ++m_containers;
        if (!reportProgress(error))
            return false;
    }
}

IgmImportResult Importer::run(const QString &sourcePath)
{
    IgmImportResult result;
    ImportError error;
    auto failed = [&]() {
        result.outcome = Outcome::failed(error.failure, error.message());
        result.lines = result.containers = 0;
        result.vessels = 0;
        return result;
    };

    QString path = sourcePath;
    if (m_options.strip) {
        if (!strip(sourcePath, &error))
            return failed();
        path = m_options.workingFile;
    }
    m_file.setFileName(path);
    errno = 0;
    if (!m_file.open(QIODevice::ReadOnly)) {
        error.failure = fileFailure(m_file, errno);
        return failed();
    }
    m_size = m_file.size();
    m_reader = std::make_unique<LineReader>(&m_file, MaxIgmLineLength);

    QStringList vessel;
    if (!readVesselRecord(&vessel, &error))
        return failed();
    result.vessel = vessel.value(4);
    result.voyage = vessel.value(5);
    const QString question = QLatin1String(Messages::ImportQuestionPrefix) + result.vessel
                             + QLatin1String(Messages::VoyageSeparator) + result.voyage
                             + QLatin1String(Messages::ImportQuestionSuffix);
    if (!m_confirm || !m_confirm(question)) {
        result.outcome = Outcome::declined();
        return result;
    }

    Transaction tx(m_db);
    if (!tx.started()) {
        error.failure = tx.started().failure();
        return failed();
    }
    if (m_options.withVessel) {
        if (!storeVessel(vessel, &error))
            return failed();
        result.vessels = 1;
    }
    if (!importCargo(&error) || !importContainers(&error))
        return failed();
    if (Status s = m_db.exec(QStringLiteral("update cargo set sublineno = 0 where sublineno <> 0")); !s) {
        error.failure = s.failure();
        return failed();
    }
    if (m_options.cancelled && m_options.cancelled()) {
        error.failure = Failure(ErrorNumber::Cancelled, QLatin1String(CancelledText));
        error.cancelled = true;
        return failed();
    }
    if (Status s = tx.commit(); !s) {
        error.failure = s.failure();
        return failed();
    }
    if (m_options.progress)
        m_options.progress(m_size, m_size);
    result.lines = m_lines;
    result.containers = m_containers;
    result.outcome = Outcome::done(QLatin1String(Messages::Imported));
    return result;
}

} // namespace

IgmImportResult ImportIgmFile(const Database &db, const QString &path, const IgmImportOptions &options,
                              const Confirm &confirm)
{
    // the layout from the header line: today's goes to its own reader
    QString version;
    switch (peekHeaderLayout(path, &version)) {
    case HeaderLayout::Ices15:
        return ImportIces15File(db, path, options, confirm);
    case HeaderLayout::Unknown: {
        IgmImportResult r;
        r.outcome = Outcome::refused(unknownLayoutMessage(path, version));
        return r;
    }
    case HeaderLayout::Older:
    case HeaderLayout::NoHeader:
        break;
    }
    return Importer(db, options, confirm).run(path);
}

} // namespace quarl::igm
