#include "flatfile/flatfile.h"

#include "manifest/fileerror.h"
#include "manifest/igmmessages.h"
#include "store/schema.h"

#include <QFileDevice>

#include <array>
#include <cerrno>

namespace quarl::igm::Flat {

namespace {

template<typename C>
std::array<qsizetype, size_t(C::Count)> widths()
{
    std::array<qsizetype, size_t(C::Count)> out{};
    const TableDef *t = Schema::table(QLatin1String(tableOf(C::Count)));
    for (size_t i = 0; i < out.size(); ++i) {
        const ColumnDef *def = t ? t->column(QLatin1String(columnName(C(i)))) : nullptr;
        out[i] = def && def->isText() ? def->size : 0;
    }
    return out;
}

} // namespace

qsizetype width(VoyageColumn c)
{
    static const auto w = widths<VoyageColumn>();
    return c == VoyageColumn::Count ? 0 : w[size_t(c)];
}
qsizetype width(BillColumn c)
{
    static const auto w = widths<BillColumn>();
    return c == BillColumn::Count ? 0 : w[size_t(c)];
}
qsizetype width(ContainerColumn c)
{
    static const auto w = widths<ContainerColumn>();
    return c == ContainerColumn::Count ? 0 : w[size_t(c)];
}

QString schemaName(const char *table, const char *column)
{
    const ColumnDef *c = Schema::column(QLatin1String(table), QLatin1String(column));
    return c ? QLatin1String(c->name) : QLatin1String(column);
}

void noteSubLine(ReadContext &cx, qint64 line, int number, const QString &text, const QString &bill)
{
    if (!cx.checking() || text.trimmed() == QLatin1String("0"))
        return;
    Problem p;
    p.severity = Problem::Severity::Warning;
    p.fileLine = line;
    p.field = fieldLabel(Section::Cargo, number, QStringLiteral("sub-line number"));
    p.text = QStringLiteral("\"%1\" where 0 is usual.").arg(text);
    p.blNo = bill;
    cx.note(p);
}

QString fieldLabel(Section section, int number, const QString &name)
{
    const char *record = section == Section::Vessel      ? "vessel"
                         : section == Section::Container ? "container"
                         : section == Section::Cargo     ? "cargo"
                                                         : "header";
    QString out = QStringLiteral("%1 field %2").arg(QLatin1String(record)).arg(number);
    if (!name.isEmpty())
        out += QStringLiteral(" (%1)").arg(name);
    return out;
}

bool isBlank(const QByteArray &line)
{
    for (const char c : line) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

QString shown(const QByteArray &line)
{
    QString text = Format::decodeLine(line.left(40));
    for (QChar &c : text) {
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    }
    return line.size() > 40 ? text + QStringLiteral("...") : text;
}

Problem layoutProblem(qint64 line, const QString &importText, const QString &checkText, const QString &field)
{
    Problem p;
    p.failure = Failure(ErrorNumber::BadFileFormat, importText);
    p.fileLine = line;
    p.text = checkText;
    p.field = field;
    return p;
}

Lines::Next Lines::next(QByteArray *line)
{
    for (;;) {
        switch (m_reader.next(line)) {
        case TextLineReader::Result::Line:
            return Next::Line;
        case TextLineReader::Result::End:
            return Next::End;
        case TextLineReader::Result::ReadError: {
            Problem p;
            if (const auto *file = qobject_cast<QFileDevice *>(&m_in))
                p.failure = fileFailure(*file, errno);
            else
                p.failure = Failure(ErrorNumber::PathFileAccess, m_in.errorString());
            m_context.raise(p);
            return Next::Stop;
        }
        case TextLineReader::Result::TooLong: {
            const qint64 n = m_reader.lineNumber() + 1;
            if (!m_context.raise(layoutProblem(
                    n,
                    QStringLiteral("Line %1 is longer than %2 characters: this is not an IGM file.").arg(n).arg(MaxLineLength),
                    QStringLiteral("The line is longer than %1 characters: no record is.").arg(MaxLineLength))))
                return Next::Stop;
            if (!m_reader.skipLine())
                return Next::End;
            continue;
        }
        }
    }
}

bool Lines::endsBefore(const char *expecting)
{
    Problem p;
    p.failure = Failure(ErrorNumber::PastEndOfFile,
                        QStringLiteral("Input past end of file: the file ends before the line %1; it is not a "
                                       "complete IGM file.")
                            .arg(QLatin1String(expecting)));
    p.text = QStringLiteral("The file ends before %1.").arg(QLatin1String(expecting));
    return m_context.raise(p);
}

void characters(const QByteArray &line, Section section, qint64 number, ReadContext &cx)
{
    if (!cx.checking())
        return;
    int field = 1;
    for (const char ch : line) {
        const uchar c = uchar(ch);
        if (c == uchar(Format::FieldSeparator)) {
            ++field;
            continue;
        }
        if (c < 0x20 || c > 0x7e) {
            Problem p;
            p.failure = Failure(ErrorNumber::BadFileFormat, QString());
            p.fileLine = number;
            p.field = section == Section::General ? QString() : fieldLabel(section, field, QString());
            p.text = QStringLiteral("Character code %1 is outside the file's character set (ASCII 32-126).").arg(c);
            cx.raise(p);
            return;
        }
    }
}

QList<BillColumn> TableLayout::lineColumns() const
{
    QList<BillColumn> out;
    for (const Field<BillColumn> &f : m_cargo)
        out << f.column;
    return out;
}

QList<ContainerColumn> TableLayout::containerColumns() const
{
    QList<ContainerColumn> out;
    for (const Field<ContainerColumn> &f : m_containers)
        out << f.column;
    return out;
}

QString TableLayout::label(VoyageColumn c) const
{
    const int n = numberOf(m_vessel, c);
    return n ? fieldLabel(Section::Vessel, n, igm::caption(c)) : igm::caption(c);
}

QString TableLayout::label(BillColumn c) const
{
    const int n = numberOf(m_cargo, c);
    return n ? fieldLabel(Section::Cargo, n, igm::caption(c)) : igm::caption(c);
}

QString TableLayout::label(ContainerColumn c) const
{
    const int n = numberOf(m_containers, c);
    return n ? fieldLabel(Section::Container, n, igm::caption(c)) : igm::caption(c);
}

bool RecordReader::lineError(const QString &importText, const QString &checkText, const QString &field)
{
    return m_cx.raise(layoutProblem(n(), QStringLiteral("Line %1 of the file %2").arg(n()).arg(importText), checkText, field));
}

bool RecordReader::binaryLine()
{
    return m_cx.raise(layoutProblem(n(), QStringLiteral("Line %1 holds binary data: this is not an IGM file.").arg(n()),
                                    QStringLiteral("The line holds binary data (character code 0).")));
}

Bill &RecordReader::newBill()
{
    m_bill.refused = 0;
    m_bill.fileLine = n();
    return m_bill;
}

Container &RecordReader::newContainer()
{
    m_container.refused = 0;
    m_container.fileLine = n();
    return m_container;
}

bool RecordReader::deliverBill(std::span<const Field<BillColumn>> table, const QStringList &f, int subLineField,
                               const QString &bill)
{
    if (!takeAll(table, f, m_bill, n(), m_cx, bill))
        return false;
    noteSubLine(m_cx, n(), subLineField, f.at(subLineField - 1), bill);
    m_bill[BillColumn::SubLineNo] = qint64(0); // the flat layouts have no house lines
    if (!m_sink.bill(std::move(m_bill)))
        return false;
    return m_lines.tick();
}

bool RecordReader::deliverContainer(std::span<const Field<ContainerColumn>> table, const QStringList &f)
{
    if (!takeAll(table, f, m_container, n(), m_cx))
        return false;
    if (!m_sink.container(std::move(m_container)))
        return false;
    return m_lines.tick();
}

namespace {
constexpr qsizetype FlushAt = 1 << 20;
}

RecordWriter::RecordWriter(QIODevice &out, const WriteOptions &o, QStringList *notices)
    : m_o(o), m_notices(notices), m_out(out)
{
    m_buf.reserve(FlushAt + 64 * 1024);
}

bool RecordWriter::startBill(const Bill &l)
{
    ++m_lines;
    if (!l.date(BillColumn::BlDate).isValid())
        return fail(Failure(ErrorNumber::InvalidUseOfNull,
                            QStringLiteral("Invalid use of Null: bill of lading %1 (line %2) has no B/L date.")
                                .arg(l.bill())
                                .arg(m_lines)));
    return true;
}

bool RecordWriter::billWritten()
{
    if (m_o.progress && m_lines % 1000 == 0)
        m_o.progress(m_lines, m_total);
    return flush(false);
}

void RecordWriter::endLines()
{
    if (m_linesEnded)
        return;
    m_linesEnded = true;
    tagLine(Format::CargoEnd);
    tagLine(Format::ContainerStart);
}

void RecordWriter::tagLine(const char *text)
{
    m_buf += text;
    m_buf += Format::LineEnd;
}

bool RecordWriter::flush(bool force)
{
    if (m_buf.isEmpty() || (!force && m_buf.size() < FlushAt))
        return true;
    errno = 0;
    if (m_out.write(m_buf) != m_buf.size()) {
        if (const auto *file = qobject_cast<QFileDevice *>(&m_out))
            return fail(fileFailure(*file, errno));
        return fail(Failure(ErrorNumber::PathFileAccess, m_out.errorString()));
    }
    m_buf.clear();
    return true;
}

} // namespace quarl::igm::Flat
