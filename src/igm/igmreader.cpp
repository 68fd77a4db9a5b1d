#include "igm/igmreader.h"

#include "core/placeholders.h"
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
    Text,    // the text as read, no longer than its column
    Number,  // double column: empty gives 0, anything but a decimal number is refused
    Integer, // integer column: empty gives 0, anything but a whole number is refused
    Date,    // DDMMYYYY
};

struct FieldMap
{
    int field;
    const char *column;
    Kind kind;
    bool notNegative = false; // packages and weights
};

// Fields of each record, the leading "V" included.
constexpr int VesselLayout = 29;
constexpr int CargoLayout = 39;
constexpr int ContainerLayout = 15;
// Cargo records of installations older than the columns tpregno to mlo end at imocode.
constexpr int OlderCargoLayout = 35;

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
    {24, "destcode", Kind::Text},    {25, "pkgs", Kind::Integer, true},      {26, "pkgtype", Kind::Text},
    {27, "grosswt", Kind::Number, true},   {28, "unitwt", Kind::Text},       {29, "volume", Kind::Number},
    {30, "unitvol", Kind::Text},     {31, "marks", Kind::Text},        {32, "gdesc", Kind::Text},
    {33, "unocode", Kind::Text},     {34, "imocode", Kind::Text},      {35, "tpregno", Kind::Number},
    {36, "caccode", Kind::Text},     {37, "trmode", Kind::Text},       {38, "mlo", Kind::Text},
};

// contain from a container record; ref is looked up from field 5
const FieldMap ContainerFields[] = {
    {5, "lineno", Kind::Integer},    {6, "sublineno", Kind::Integer},  {7, "containno", Kind::Text},
    {8, "sealno", Kind::Text},       {9, "agentcode", Kind::Text},     {10, "constatus", Kind::Text},
    {11, "conpkgs", Kind::Integer, true},  {12, "conwt", Kind::Number, true},     {13, "isocode", Kind::Text},
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

bool isBlank(const QByteArray &line)
{
    for (const char c : line) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

bool isMarker(const QByteArray &line)
{
    for (const char *m : {VesselStart, VesselEnd, CargoStart, CargoEnd, ContainerStart, ContainerEnd, ManifestEnd, Trailer}) {
        if (line == m)
            return true;
    }
    return false;
}

// A line of the file as a message shows it: its start, control characters as blanks.
QString shown(const QByteArray &line)
{
    QString text = decodeLine(line.left(40));
    for (QChar &c : text) {
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    }
    return line.size() > 40 ? text + QStringLiteral("...") : text;
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
    struct VesselRecord
    {
        QVariantList values; // of VesselFields, converted
        QString lineCount;   // field 17 as read
        qint64 line = 0;
    };

    bool strip(const QString &source, ImportError *error);
    bool nextLine(QByteArray *line, ImportError *error, const char *expecting);
    // The next line that is not blank; at the end of the file an error naming expecting.
    bool nextNonBlank(QByteArray *line, ImportError *error, const char *expecting);
    // The next non-blank line must be marker.
    bool expect(const char *marker, ImportError *error);
    // After the containers: <END-manifest>, the trailer, and nothing else.
    bool readEnd(ImportError *error);
    enum class Next { Record, End, Failed };
    // The fields of the section's next record, skipping blank lines, up to its end marker.
    Next nextRecord(const char *end, int layout, QStringList *fields, ImportError *error);
    bool recordFields(const QByteArray &raw, int layout, QStringList *fields, ImportError *error);
    bool sameVoyage(const QStringList &fields, Section section, ImportError *error);
    bool readVesselRecords(ImportError *error);
    bool convert(const QString &text, const FieldMap &map, const char *table, Section section, QVariant *value,
                 ImportError *error);
    bool storeVessel(const VesselRecord &vessel, ImportError *error);
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
    // "Line n of the file" + text, for the faults of the file's layout
    ImportError lineError(const QString &text) const
    {
        return formatError(ErrorNumber::BadFileFormat,
                           QStringLiteral("Line %1 of the file %2").arg(m_reader->lineNumber()).arg(text));
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
    QList<VesselRecord> m_vessels;
    QString m_vesselCode; // of the vessel record: every line and container must carry these
    QString m_voyage;
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

bool Importer::nextNonBlank(QByteArray *line, ImportError *error, const char *expecting)
{
    do {
        if (!nextLine(line, error, expecting))
            return false;
    } while (isBlank(*line));
    return true;
}

bool Importer::expect(const char *marker, ImportError *error)
{
    QByteArray line;
    if (!nextNonBlank(&line, error, marker))
        return false;
    if (line == marker)
        return true;
    *error = lineError(QStringLiteral("holds \"%1\" where the line %2 belongs.").arg(shown(line), QLatin1String(marker)));
    return false;
}

bool Importer::readEnd(ImportError *error)
{
    if (!expect(ManifestEnd, error))
        return false;
    bool trailer = false;
    QByteArray line;
    for (;;) {
        switch (m_reader->next(&line)) {
        case LineReader::Result::End:
            return true;
        case LineReader::Result::TooLong:
        case LineReader::Result::ReadError:
            return nextLine(&line, error, ManifestEnd); // says why
        case LineReader::Result::Line:
            break;
        }
        if (isBlank(line))
            continue;
        if (line == Trailer && !trailer) {
            trailer = true;
            continue;
        }
        *error = lineError(QStringLiteral("holds \"%1\" after the end of the manifest: the file holds more than one "
                                          "manifest or is damaged.")
                               .arg(shown(line)));
        return false;
    }
}

bool Importer::recordFields(const QByteArray &raw, int layout, QStringList *fields, ImportError *error)
{
    if (!splitFields(decodeLine(raw), fields)) {
        *error = lineError(QStringLiteral("holds more than %1 fields.").arg(MaxFields));
        return false;
    }
    // Older files end a record with one empty field more.
    if (fields->size() == layout + 1 && fields->last().isEmpty())
        fields->removeLast();
    const qsizetype n = fields->size();
    if (n != layout && !(layout == CargoLayout && n == OlderCargoLayout)) {
        *error = lineError(QStringLiteral("holds %1 fields where its section's records have %2: a line break or a "
                                          "separator is missing or too many.")
                               .arg(n)
                               .arg(layout));
        return false;
    }
    if (fields->at(0) != QLatin1String("V")) {
        *error = lineError(QStringLiteral("does not begin with the field V: it is not a record of its section."));
        return false;
    }
    return true;
}

bool Importer::sameVoyage(const QStringList &fields, Section section, ImportError *error)
{
    if (fields.at(1) == m_vesselCode && fields.at(2) == m_voyage)
        return true;
    *error = formatError(ErrorNumber::BadFileFormat,
                         QStringLiteral("Line %1 of the file belongs to %2 / %3, not to the vessel record's %4 / %5.")
                             .arg(QString::number(m_reader->lineNumber()), fields.at(1), fields.at(2), m_vesselCode,
                                  m_voyage),
                         section, columnName(section == Section::Cargo ? "cargo" : "contain", "vslcode"));
    return false;
}

bool Importer::readVesselRecords(ImportError *error)
{
    QByteArray line;
    // The header lines before it are not examined, but no part of the manifest may come first.
    for (;;) {
        if (!nextLine(&line, error, VesselStart))
            return false;
        if (unquoted(line) == VesselStart)
            break;
        if (isMarker(line) || line.contains(FieldSeparator)) {
            *error = lineError(QStringLiteral("holds \"%1\" before the line %2.").arg(shown(line), QLatin1String(VesselStart)));
            return false;
        }
    }
    // The vessel record is the whole line: a comma is part of a field.
    QStringList fields;
    for (;;) {
        if (!nextNonBlank(&line, error, VesselEnd))
            return false;
        if (line == VesselEnd)
            break;
        if (isMarker(line)) {
            *error = lineError(QStringLiteral("holds \"%1\" where the line %2 belongs.")
                                   .arg(shown(line), QLatin1String(VesselEnd)));
            return false;
        }
        if (!recordFields(unquoted(line), VesselLayout, &fields, error))
            return false;
        if (m_vessels.isEmpty()) {
            m_vesselCode = fields.at(4);
            m_voyage = fields.at(5);
            if (m_vesselCode.trimmed().isEmpty() || m_voyage.trimmed().isEmpty()) {
                *error = lineError(QStringLiteral("is a vessel record without a vessel code or a voyage number."));
                return false;
            }
        } else if (fields.at(4) != m_vesselCode || fields.at(5) != m_voyage) {
            *error = lineError(QStringLiteral("is a vessel record of %1 / %2, another voyage than %3 / %4.")
                                   .arg(fields.at(4), fields.at(5), m_vesselCode, m_voyage));
            return false;
        }
        VesselRecord v;
        v.line = m_reader->lineNumber();
        for (const FieldMap &m : VesselFields) {
            QString text = fields.at(m.field);
            if (text.isEmpty() && (m.field == 7 || m.field == 8))
                text = QStringLiteral(" ");
            else if (text.isEmpty() && m.field == 11)
                text = QLatin1String(Placeholder::Port);
            QVariant value;
            if (!convert(text, m, "vesinfo", Section::Vessel, &value, error))
                return false;
            v.values << value;
        }
        v.lineCount = fields.at(17);
        m_vessels << v;
    }
    if (m_vessels.isEmpty()) {
        *error = formatError(ErrorNumber::BadFileFormat, QStringLiteral("The file holds no vessel record."));
        return false;
    }
    return true;
}

bool Importer::convert(const QString &text, const FieldMap &map, const char *table, Section section,
                       QVariant *value, ImportError *error)
{
    auto refuse = [&](const QString &code, const QString &why) {
        *error = formatError(0, QStringLiteral("%1 in line %2 of the file: %3")
                                    .arg(code == QLatin1String("22001") ? QStringLiteral("Value too long")
                                                                        : QStringLiteral("Type mismatch"))
                                    .arg(m_reader->lineNumber())
                                    .arg(why),
                             section, columnName(table, map.column));
        error->failure.code = code;
        return false;
    };
    const QString mismatch = QString::number(ErrorNumber::TypeMismatch);
    switch (map.kind) {
    case Kind::Text: {
        const ColumnDef *def = Schema::column(QLatin1String(table), QLatin1String(map.column));
        if (def && def->isText() && text.size() > def->size)
            return refuse(QStringLiteral("22001"), QStringLiteral("%1 characters where the column takes at most %2.")
                                                       .arg(text.size())
                                                       .arg(def->size));
        *value = text;
        return true;
    }
    case Kind::Number:
    case Kind::Integer: {
        double v = 0;
        if (!text.trimmed().isEmpty() && !parseNumber(text, &v))
            return refuse(mismatch, QStringLiteral("\"%1\" is not a number.").arg(text));
        if (map.kind == Kind::Integer && (std::trunc(v) != v || std::fabs(v) > 2147483647.0))
            return refuse(mismatch, QStringLiteral("\"%1\" is not a whole number.").arg(text));
        if (map.notNegative && v < 0)
            return refuse(mismatch, QStringLiteral("\"%1\" is below 0.").arg(text));
        if (map.kind == Kind::Integer)
            *value = qint64(v);
        else
            *value = v + 0.0; // no negative zero
        return true;
    }
    case Kind::Date: {
        const QDate d = parseDate(text);
        if (!d.isValid())
            return refuse(mismatch, QStringLiteral("\"%1\" is not a date DDMMYYYY.").arg(text));
        *value = m_db.dialect().dateToDb(d);
        return true;
    }
    }
    return false;
}

bool Importer::storeVessel(const VesselRecord &vessel, ImportError *error)
{
    QStringList columns;
    for (const FieldMap &m : VesselFields)
        columns << QLatin1String(m.column);
    QSqlQuery &q = m_vesselInsert;
    if (!q.prepare(insertSql("vesinfo", columns))) {
        *error = dbError(q.lastError());
        return false;
    }
    for (int i = 0; i < vessel.values.size(); ++i)
        q.bindValue(i, vessel.values.at(i));
    if (!q.exec()) {
        *error = dbError(q.lastError());
        error->failure.description += QStringLiteral(" (vessel record in line %1)").arg(vessel.line);
        return false;
    }
    return true;
}

Importer::Next Importer::nextRecord(const char *end, int layout, QStringList *fields, ImportError *error)
{
    QByteArray raw;
    if (!nextNonBlank(&raw, error, end))
        return Next::Failed;
    if (raw == end)
        return Next::End;
    if (isMarker(raw)) {
        *error = lineError(QStringLiteral("holds \"%1\" where the line %2 belongs.").arg(shown(raw), QLatin1String(end)));
        return Next::Failed;
    }
    return recordFields(raw, layout, fields, error) ? Next::Record : Next::Failed;
}

bool Importer::importCargo(ImportError *error)
{
    if (!expect(CargoStart, error))
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
        if (const Next n = nextRecord(CargoEnd, CargoLayout, &fields, error); n != Next::Record) {
            if (n == Next::Failed)
                return false;
            break;
        }
        if (!sameVoyage(fields, Section::Cargo, error))
            return false;
        // The key is taken one ahead, as the older installations did: the first line
        // gets the old largest id plus 2.
        ++nextKey;
        int i = 2;
        for (const FieldMap &m : CargoFields) {
            QVariant v;
            if (!convert(fields.value(m.field), m, "cargo", Section::Cargo, &v, error))
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
    // The vessel record counts the lines written: fewer or more here means lines were lost
    // or joined on the way.
    for (const VesselRecord &v : m_vessels) {
        double count = 0;
        if (v.lineCount.trimmed().isEmpty() || (parseNumber(v.lineCount, &count) && count == double(m_lines)))
            continue;
        *error = formatError(ErrorNumber::BadFileFormat,
                             QStringLiteral("The vessel record (line %1 of the file) counts %2 lines, the cargo "
                                            "section holds %3: the file is incomplete or damaged.")
                                 .arg(v.line)
                                 .arg(v.lineCount)
                                 .arg(m_lines));
        return false;
    }
    return true;
}

bool Importer::importContainers(ImportError *error)
{
    if (!expect(ContainerStart, error))
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
        if (const Next n = nextRecord(ContainerEnd, ContainerLayout, &fields, error); n != Next::Record)
            return n == Next::End;
        if (!sameVoyage(fields, Section::Container, error))
            return false;
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
            if (!convert(fields.value(m.field), m, "contain", Section::Container, &v, error))
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

    if (!readVesselRecords(&error))
        return failed();
    result.vessel = m_vesselCode;
    result.voyage = m_voyage;
    if (!m_confirm || !m_confirm(Messages::importQuestion(result.vessel, result.voyage))) {
        result.outcome = Outcome::declined();
        return result;
    }

    Transaction tx(m_db);
    if (!tx.started()) {
        error.failure = tx.started().failure();
        return failed();
    }
    if (m_options.withVessel) {
        for (const VesselRecord &v : m_vessels) {
            if (!storeVessel(v, &error))
                return failed();
        }
        result.vessels = int(m_vessels.size());
    }
    if (!importCargo(&error) || !importContainers(&error) || !readEnd(&error))
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
