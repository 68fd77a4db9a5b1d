#pragma once

#include "core/textlinereader.h"
#include "manifest/igmformat.h"
#include "manifest/layout.h"

#include <QByteArray>
#include <QStringList>

#include <span>

// What the two flat-file layouts share: lines of fields separated by GS in marked
// sections, read a line at a time, and field tables that put each field into a column.
namespace quarl::igm::Flat {

// Longest line taken; a longer one means the file is not a manifest.
inline constexpr qsizetype MaxLineLength = 64 * 1024;

// A field of a record: where it stands, the column it fills, how it converts.
template<typename C>
struct Field
{
    int number;        // 1-based, as the layout counts
    C column;          // C::Count: no column (a constant, or what the layout handles itself)
    Format::Kind kind = Format::Kind::Text;
    const char *name = nullptr; // its own name, where the column's caption does not say it
};

// The width of a text column of the schema; 0 for other columns.
qsizetype width(VoyageColumn c);
qsizetype width(BillColumn c);
qsizetype width(ContainerColumn c);

inline const char *tableOf(VoyageColumn) { return Table::Vessel; }
inline const char *tableOf(BillColumn) { return Table::Cargo; }
inline const char *tableOf(ContainerColumn) { return Table::Container; }
inline Section sectionOf(VoyageColumn) { return Section::Vessel; }
inline Section sectionOf(BillColumn) { return Section::Cargo; }
inline Section sectionOf(ContainerColumn) { return Section::Container; }
// The schema's spelling of a column, as the import's message names it.
QString schemaName(const char *table, const char *column);

// "vessel field 12 (port before last)"
QString fieldLabel(Section section, int number, const QString &name);
// While checking: a warning for a cargo record whose sub-line number (field number) is not 0.
void noteSubLine(ReadContext &cx, qint64 line, int number, const QString &text, const QString &bill);

bool isBlank(const QByteArray &line);
// A line of the file as a message shows it: its start, control characters as blanks.
QString shown(const QByteArray &line);

// The lines of a file with the faults every line can have: binary data, a line longer
// than any record, a read error, the end of the file where more was expected.
class Lines
{
public:
    Lines(QIODevice &in, ReadContext &context) : m_reader(&in, MaxLineLength), m_in(in), m_context(context) {}

    enum class Next { Line, End, Stop };
    // The next line; an over-long one is raised (and skipped when checking).
    Next next(QByteArray *line);
    // At the end of the file where expecting should stand: raised as an incomplete file.
    bool endsBefore(const char *expecting);
    qint64 number() const { return m_reader.lineNumber(); }
    qint64 bytesRead() const { return m_reader.bytesRead(); }
    TextLineReader::End lastEnd() const { return m_reader.lastEnd(); }
    bool tick() { return m_context.tick(number(), bytesRead()); }

private:
    TextLineReader m_reader;
    QIODevice &m_in;
    ReadContext &m_context;
    qint64 m_skipped = 0;
};

// Problems of a file's layout (number 321 unless given), naming the line.
Problem layoutProblem(qint64 line, const QString &importText, const QString &checkText,
                      const QString &field = QString());

// Converts the text of a field into its column of row; a refusal is raised (the value
// then stays null), naming the field as label() says. False when the reading stops.
template<typename C, typename Label>
bool take(const Field<C> &f, const QString &text, Row<C> &row, qint64 line, ReadContext &cx, const Label &label,
          const QString &bill = QString())
{
    QString why;
    QVariant value;
    const Format::Refusal r = Format::convert(text, f.kind, width(f.column), &value, &why);
    if (r == Format::Refusal::None) {
        row[f.column] = std::move(value);
        return true;
    }
    row.refused |= quint64(1) << size_t(f.column);
    row[f.column] = QVariant();
    Problem p;
    const bool tooLong = r == Format::Refusal::TooLong;
    p.failure = Failure(Format::refusalCode(r), QStringLiteral("%1 in line %2 of the file: %3")
                                                    .arg(tooLong ? QStringLiteral("Value too long")
                                                                 : QStringLiteral("Type mismatch"))
                                                    .arg(line)
                                                    .arg(why));
    p.section = sectionOf(f.column);
    p.column = schemaName(tableOf(f.column), columnName(f.column));
    p.fileLine = line;
    p.field = label();
    p.text = why;
    p.blNo = bill;
    return cx.raise(p);
}

// The characters outside ASCII 32-126 of a record line, for the check: one finding per
// line, naming the field.
void characters(const QByteArray &line, Section section, qint64 number, ReadContext &cx);

// The number of the field that fills column c; 0 when none does.
template<typename C>
int numberOf(std::span<const Field<C>> table, C c)
{
    for (const Field<C> &f : table) {
        if (f.column == c)
            return f.number;
    }
    return 0;
}

// Takes every field of a table from a record's fields into row; false when the reading stops.
template<typename C>
bool takeAll(std::span<const Field<C>> table, const QStringList &f, Row<C> &row, qint64 line, ReadContext &cx,
             const QString &bill = QString())
{
    for (const Field<C> &field : table) {
        if (!take(field, f.at(field.number - 1), row, line, cx,
                  [&] { return fieldLabel(sectionOf(field.column), field.number, caption(field.column)); }, bill))
            return false;
    }
    return true;
}

// A layout described by its three field tables: the columns it carries and the labels
// that name a column by its field.
class TableLayout : public Layout
{
public:
    QList<BillColumn> lineColumns() const override;
    QList<ContainerColumn> containerColumns() const override;
    QString label(VoyageColumn c) const override;
    QString label(BillColumn c) const override;
    QString label(ContainerColumn c) const override;

protected:
    TableLayout(std::span<const Field<VoyageColumn>> vessel, std::span<const Field<BillColumn>> cargo,
                std::span<const Field<ContainerColumn>> containers)
        : m_vessel(vessel), m_cargo(cargo), m_containers(containers)
    {
    }

private:
    std::span<const Field<VoyageColumn>> m_vessel;
    std::span<const Field<BillColumn>> m_cargo;
    std::span<const Field<ContainerColumn>> m_containers;
};

// What the readers of both layouts share: the lines, the records under construction, the
// problems of a line, and the hand-on of cargo and container records.
class RecordReader
{
protected:
    RecordReader(QIODevice &in, ManifestSink &sink, ReadContext &cx) : m_lines(in, cx), m_sink(sink), m_cx(cx) {}

    qint64 n() const { return m_lines.number(); }
    bool lineError(const QString &importText, const QString &checkText, const QString &field = QString());
    // A line holding a NUL byte, raised; false when the reading stops.
    bool binaryLine();
    // The record of the current line, taking every field anew.
    Bill &newBill();
    Container &newContainer();
    // Fills the bill started by newBill() from the table and hands it on; subLineField is
    // the number of the field that holds the sub-line number.
    bool deliverBill(std::span<const Field<BillColumn>> table, const QStringList &f, int subLineField,
                     const QString &bill);
    bool deliverContainer(std::span<const Field<ContainerColumn>> table, const QStringList &f);

    Lines m_lines;
    ManifestSink &m_sink;
    ReadContext &m_cx;

private:
    Bill m_bill;
    Container m_container;
};

// What the writers of both layouts share: the buffer written out a megabyte at a time,
// the count of bills with the progress, the end of the cargo section.
class RecordWriter : public ManifestWriter
{
protected:
    RecordWriter(QIODevice &out, const WriteOptions &o, QStringList *notices);

    // Counts the bill; one without its B/L date cannot be filed.
    bool startBill(const Bill &l);
    // After a bill's record: the progress every thousand lines, the buffer written when full.
    bool billWritten();
    // Closes the cargo section and opens the containers' (once).
    void endLines();
    void tagLine(const char *text);
    bool flush(bool force);

    const WriteOptions &m_o;
    QStringList *m_notices;
    QByteArray m_buf;
    qint64 m_total = 0;
    qint64 m_lines = 0;
    qint64 m_containers = 0;

private:
    QIODevice &m_out;
    bool m_linesEnded = false;
};

} // namespace quarl::igm::Flat
