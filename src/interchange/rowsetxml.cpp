#include "interchange/rowsetxml.h"

#include "core/safefile.h"
#include "manifest/fileerror.h"
#include "manifest/outcome.h"
#include "store/database.h"
#include "store/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>

namespace quarl::igm::Rowset {

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isXmlName(const QString &name)
{
    if (name.isEmpty() || !isNameStart(name.at(0)))
        return false;
    for (const QChar c : name) {
        if (!(isNameStart(c) || c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('.')))
            return false;
    }
    return true;
}

// An attribute value between single quotes. Characters XML 1.0 cannot hold at all
// (control characters other than tab, CR and LF) are written as blanks.
void appendEscaped(QByteArray &out, QStringView text)
{
    const qsizetype n = text.size();
    qsizetype plainFrom = 0;
    auto flushPlain = [&](qsizetype upTo) {
        if (upTo > plainFrom)
            out += text.mid(plainFrom, upTo - plainFrom).toUtf8();
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        const char *entity = nullptr;
        switch (u) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '\'': entity = "&apos;"; break;
        case '"': entity = "&quot;"; break;
        case '\t': entity = "&#x9;"; break;
        case '\n': entity = "&#xA;"; break;
        case '\r': entity = "&#xD;"; break;
        default:
            if (u < 0x20 || u == 0xFFFE || u == 0xFFFF)
                entity = " ";
            else if (QChar::isHighSurrogate(u) && !(i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())))
                entity = "?";
            else if (QChar::isLowSurrogate(u) && !(i > 0 && QChar::isHighSurrogate(text[i - 1].unicode())))
                entity = "?";
            break;
        }
        if (entity) {
            flushPlain(i);
            out += entity;
            plainFrom = i + 1;
        }
    }
    flushPlain(n);
}

void appendDouble(QByteArray &out, double v)
{
    if (!std::isfinite(v))
        v = 0;
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v); // shortest text that reads back the same
    out.append(buf, r.ptr - buf);
}

struct WriteColumn
{
    QString name;
    QString alias;
    const ColumnDef *def = nullptr;
};

void appendSchema(QByteArray &out, const QString &table, const QList<WriteColumn> &columns)
{
    out += "<xml xmlns:s='";
    out += SchemaNs;
    out += "'\n\txmlns:dt='";
    out += DataTypeNs;
    out += "'\n\txmlns:rs='";
    out += RowsetNs;
    out += "'\n\txmlns:z='";
    out += RowNs;
    out += "'>\n<s:Schema id='RowsetSchema'>\n\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n";
    int number = 1;
    for (const WriteColumn &c : columns) {
        const ColumnDef *d = c.def;
        out += "\t\t<s:AttributeType name='";
        appendEscaped(out, c.alias);
        out += '\'';
        if (c.alias != c.name) {
            out += " rs:name='";
            appendEscaped(out, c.name);
            out += '\'';
        }
        out += " rs:number='" + QByteArray::number(number++) + '\'';
        const bool key = d && d->primaryKey;
        const bool autoId = d && d->type == ColumnType::AutoId;
        if (!key)
            out += " rs:nullable='true'";
        if (autoId)
            out += " rs:autoincrement='true'";
        else
            out += " rs:write='true'";
        out += " rs:basetable='";
        appendEscaped(out, table);
        out += "' rs:basecolumn='";
        appendEscaped(out, c.name);
        out += '\'';
        if (key)
            out += " rs:keycolumn='true'";
        out += ">\n\t\t\t<s:datatype";
        const QByteArray maybeNull = key ? " rs:maybenull='false'" : "";
        switch (d ? d->type : ColumnType::Text) {
        case ColumnType::AutoId:
        case ColumnType::Integer:
            out += " dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true'" + maybeNull;
            break;
        case ColumnType::SmallInt:
            out += " dt:type='i2' dt:maxLength='2' rs:precision='5' rs:fixedlength='true'" + maybeNull;
            break;
        case ColumnType::Double:
            out += " dt:type='float' dt:maxLength='8' rs:precision='15' rs:fixedlength='true'" + maybeNull;
            break;
        case ColumnType::Date:
            out += " dt:type='dateTime' rs:dbtype='variantdate' dt:maxLength='16' rs:fixedlength='true'" + maybeNull;
            break;
        case ColumnType::Char:
            out += " dt:type='string' dt:maxLength='" + QByteArray::number(d->size) + "' rs:fixedlength='true'";
            break;
        case ColumnType::Text:
            out += " dt:type='string'";
            if (d)
                out += " dt:maxLength='" + QByteArray::number(d->size) + '\'';
            break;
        }
        out += "/>\n\t\t</s:AttributeType>\n";
    }
    out += "\t\t<s:extends type='rs:rowbase'/>\n\t</s:ElementType>\n</s:Schema>\n<rs:data>\n";
}

} // namespace

Status write(const Database &db, const QString &table, QSqlQuery &query, const QString &path, qint64 *rows)
{
    const TableDef *def = Schema::table(table);
    const QSqlRecord record = query.record();
    QList<WriteColumn> columns;
    for (int i = 0; i < record.count(); ++i) {
        WriteColumn c;
        c.def = def ? def->column(record.fieldName(i)) : nullptr;
        // the schema's spelling, whatever case the engine reports
        c.name = c.def ? QLatin1String(c.def->name) : record.fieldName(i);
        c.alias = isXmlName(c.name) && !c.name.contains(QLatin1Char(':')) ? c.name : QStringLiteral("c%1").arg(i);
        columns << c;
    }

    SafeFileDevice file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.failure();
    QByteArray out;
    out.reserve(1 << 20);
    appendSchema(out, table, columns);

    const Dialect &dialect = db.dialect();
    qint64 count = 0;
    while (query.next()) {
        out += "\t<z:row";
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant v = query.value(i);
            if (v.isNull())
                continue;
            out += ' ';
            out += columns.at(i).alias.toUtf8();
            out += "='";
            const ColumnType type = columns.at(i).def ? columns.at(i).def->type : ColumnType::Text;
            const int id = v.metaType().id();
            if (type == ColumnType::Date) {
                const QDate d = dialect.dateFromDb(v);
                if (d.isValid())
                    out += d.toString(Qt::ISODate).toLatin1() + "T00:00:00";
                else
                    appendEscaped(out, v.toString());
            } else if (id == QMetaType::Double || id == QMetaType::Float) {
                appendDouble(out, v.toDouble());
            } else if (id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::UInt
                       || id == QMetaType::ULongLong || id == QMetaType::Short || id == QMetaType::UShort) {
                out += QByteArray::number(v.toLongLong());
            } else if (id == QMetaType::QDate) {
                out += v.toDate().toString(Qt::ISODate).toLatin1() + "T00:00:00";
            } else if (id == QMetaType::QDateTime) {
                out += v.toDateTime().toString(Qt::ISODate).left(19).toLatin1();
            } else {
                appendEscaped(out, v.toString());
            }
            out += '\'';
        }
        out += "/>\n";
        ++count;
        if (out.size() > (1 << 20)) {
            if (file.write(out) != out.size())
                return file.failure();
            out.clear();
        }
    }
    if (query.lastError().isValid())
        return Database::failureOf(query.lastError());
    out += "</rs:data>\n</xml>\n";
    if (file.write(out) != out.size() || !file.commit())
        return file.failure();
    if (rows)
        *rows = count;
    return Status::ok();
}

namespace {
bool isNs(QStringView uri, const char *ns)
{
    return uri.compare(QLatin1String(ns), Qt::CaseInsensitive) == 0;
}

// An attribute by namespace (without regard to the case of the URI) and local name;
// ns nullptr for an unqualified attribute.
QStringView attribute(const QXmlStreamAttributes &attrs, const char *ns, QLatin1String name)
{
    for (const QXmlStreamAttribute &a : attrs) {
        if (a.name() != name)
            continue;
        if (ns ? isNs(a.namespaceUri(), ns) : a.namespaceUri().isEmpty())
            return a.value();
    }
    return {};
}
} // namespace

Status Reader::xmlFailure(const QString &what) const
{
    return Failure(ErrorNumber::BadFileFormat, QStringLiteral("%1 is not a rowset XML file: %2 (line %3, column %4).")
                                                 .arg(m_path, what)
                                                 .arg(m_xml.lineNumber())
                                                 .arg(m_xml.columnNumber()));
}

Status Reader::open(const QString &path)
{
    m_path = path;
    m_file = std::make_unique<QFile>(path);
    errno = 0;
    if (!m_file->open(QIODevice::ReadOnly)) {
        m_status = fileFailure(*m_file, errno);
        return m_status;
    }
    if (m_file->size() > MaxFileSize) {
        m_status = Failure(ErrorNumber::BadFileFormat, QStringLiteral("%1 is larger than %2 MB: it is not an export "
                                                                      "of one voyage.")
                                                           .arg(path)
                                                           .arg(MaxFileSize >> 20));
        return m_status;
    }
    m_status = readSchema();
    return m_status;
}

QXmlStreamReader::TokenType Reader::nextToken()
{
    for (;;) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token != QXmlStreamReader::Invalid || m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
            m_unparsed = 0;
            return token;
        }
        if (m_file->atEnd())
            return token;
        if (m_unparsed > MaxTokenSize) {
            m_tooLong = true;
            return QXmlStreamReader::Invalid;
        }
        errno = 0;
        const QByteArray chunk = m_file->read(64 * 1024);
        if (chunk.isEmpty()) {
            m_status = fileFailure(*m_file, errno);
            return QXmlStreamReader::Invalid;
        }
        m_unparsed += chunk.size();
        m_xml.addData(chunk);
    }
}

Status Reader::readSchema()
{
    bool inSchema = false;
    bool sawSchema = false;
    struct Numbered
    {
        int number;
        int order;
        Column column;
    };
    QList<Numbered> found;
    for (;;) {
        const auto token = nextToken();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument)
            break;
        if (token == QXmlStreamReader::StartElement) {
            const QStringView ns = m_xml.namespaceUri();
            const QStringView name = m_xml.name();
            if (isNs(ns, SchemaNs) && name == QLatin1String("Schema")) {
                inSchema = sawSchema = true;
            } else if (inSchema && isNs(ns, SchemaNs) && name == QLatin1String("AttributeType")) {
                const QXmlStreamAttributes attrs = m_xml.attributes();
                Numbered n;
                n.order = int(found.size());
                n.column.alias = attribute(attrs, nullptr, QLatin1String("name")).toString();
                const QStringView real = attribute(attrs, RowsetNs, QLatin1String("name"));
                n.column.name = real.isEmpty() ? n.column.alias : real.toString();
                bool ok = false;
                n.number = attribute(attrs, RowsetNs, QLatin1String("number")).toInt(&ok);
                if (!ok)
                    n.number = 1 << 30;
                n.column.type = attribute(attrs, DataTypeNs, QLatin1String("type")).toString();
                if (n.column.alias.isEmpty())
                    return xmlFailure(QStringLiteral("a column without a name"));
                found << n;
            } else if (inSchema && isNs(ns, SchemaNs) && name == QLatin1String("datatype") && !found.isEmpty()) {
                const QXmlStreamAttributes attrs = m_xml.attributes();
                const QStringView type = attribute(attrs, DataTypeNs, QLatin1String("type"));
                if (!type.isEmpty())
                    found.last().column.type = type.toString();
            } else if (isNs(ns, RowsetNs) && name == QLatin1String("data")) {
                if (!sawSchema)
                    return xmlFailure(QStringLiteral("the data come before a schema"));
                std::stable_sort(found.begin(), found.end(),
                                 [](const Numbered &a, const Numbered &b) { return a.number < b.number; });
                for (const Numbered &n : found) {
                    if (m_byAlias.contains(n.column.alias))
                        return xmlFailure(QStringLiteral("the column %1 is declared twice").arg(n.column.alias));
                    m_byAlias.insert(n.column.alias, int(m_columns.size()));
                    m_columns << n.column;
                }
                m_inData = true;
                return Status::ok();
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (isNs(m_xml.namespaceUri(), SchemaNs) && m_xml.name() == QLatin1String("Schema"))
                inSchema = false;
        }
    }
    if (!m_status)
        return m_status;
    if (m_tooLong)
        return xmlFailure(QStringLiteral("an element or value longer than %1 MB").arg(MaxTokenSize >> 20));
    if (m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        return xmlFailure(m_xml.errorString());
    return xmlFailure(sawSchema ? QStringLiteral("no data part") : QStringLiteral("no rowset schema"));
}

bool Reader::next(QList<Value> *row)
{
    if (!m_status || m_done || !m_inData)
        return false;
    for (;;) {
        const auto token = nextToken();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument)
            break;
        if (token == QXmlStreamReader::StartElement) {
            const QStringView ns = m_xml.namespaceUri();
            const QStringView name = m_xml.name();
            if (isNs(ns, RowsetNs) && (name == QLatin1String("original") || name == QLatin1String("delete"))) {
                // pending changes of an updatable set: old values and deleted rows are not rows
                int depth = 1;
                while (depth > 0) {
                    const auto inner = nextToken();
                    if (inner == QXmlStreamReader::Invalid || inner == QXmlStreamReader::EndDocument)
                        break;
                    depth += inner == QXmlStreamReader::StartElement ? 1 : inner == QXmlStreamReader::EndElement ? -1 : 0;
                }
                if (depth > 0)
                    break;
                continue;
            }
            if (isNs(ns, RowsetNs) && (name == QLatin1String("insert") || name == QLatin1String("update")))
                continue; // pending changes: the rows inside are rows
            if (name != QLatin1String("row") || !(isNs(ns, RowNs) || ns.isEmpty())) {
                // a row spelled otherwise would be lost without a word
                m_status = xmlFailure(QStringLiteral("the data part holds the element %1, which is not a row")
                                          .arg(m_xml.qualifiedName().toString()));
                return false;
            }
            row->fill(Value(), m_columns.size());
            for (const QXmlStreamAttribute &a : m_xml.attributes()) {
                if (!a.namespaceUri().isEmpty())
                    continue;
                const auto it = m_byAlias.constFind(a.name().toString());
                if (it == m_byAlias.constEnd()) {
                    m_status = xmlFailure(QStringLiteral("a row holds the column %1, which the schema does not name")
                                              .arg(a.name().toString()));
                    return false;
                }
                (*row)[it.value()] = Value{a.value().toString(), true};
            }
            return true;
        }
        if (token == QXmlStreamReader::EndElement && isNs(m_xml.namespaceUri(), RowsetNs)
            && m_xml.name() == QLatin1String("data")) {
            m_done = true;
            return false;
        }
    }
    if (!m_status)
        return false;
    if (m_tooLong)
        m_status = xmlFailure(QStringLiteral("an element or value longer than %1 MB").arg(MaxTokenSize >> 20));
    else if (m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        m_status = xmlFailure(m_xml.errorString());
    else
        m_status = xmlFailure(QStringLiteral("the file ends inside the data part"));
    return false;
}

} // namespace quarl::igm::Rowset
