#include "flatfile/flatfile.h"

#include "manifest/fileerror.h"
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

} // namespace quarl::igm::Flat
