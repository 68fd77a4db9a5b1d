#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

namespace quarl::reports {

// A small writer of rich-text (RTF 1.x) documents: paragraphs, tables with repeated
// heads, a page head and foot with page numbers. Every text is escaped, so braces,
// backslashes and characters beyond ASCII come out as typed.
//
// The document goes into the device as it is written, a block at a time, so a report of
// any size takes the same memory. The page head and foot come first: the document's
// opening (font table, sheet, head and foot) is written with the first paragraph or row.
class RtfWriter
{
public:
    struct Para
    {
        bool bold = false;
        int halfPoints = 18;  // 9 pt
        bool centred = false;
        bool shaded = false;
        bool keepWithNext = false;
        int spaceBefore = 0;  // twips
        int spaceAfter = 0;
    };

    // Sheet and margins in twips (1/20 pt).
    RtfWriter(QIODevice &out, int sheetWidth, int sheetHeight, bool landscape, int margin = 720);

    int textWidth() const { return m_sheetWidth - 2 * m_margin; }

    // The page head (texts, one paragraph each, the first in headFont half-points) and the
    // foot "Page n of m" with left and right texts.
    void pageHead(const QStringList &rows, int firstHalfPoints, const QString &firstFont = {});
    void pageFoot(const QString &left, const QString &right);

    void paragraph(const QString &text, const Para &format);
    // A table row; widths in twips; a cell's rows separated by '\n'. header rows repeat
    // at the top of every page the table runs on.
    void row(const QStringList &cells, const QList<int> &widths, bool header = false, bool shaded = false,
             int halfPoints = 16, QList<bool> boldCells = {});

    // Ends the document and writes what is left. False when a write failed (errno as the
    // failed write left it); nothing is written after a failed write.
    bool finish();
    int writeErrno() const { return m_errno; }

    static QByteArray escape(const QString &text);

private:
    QByteArray fontTable() const;
    void begin();
    void body(const QByteArray &bytes);
    void flush();

    QIODevice &m_out;
    int m_sheetWidth, m_sheetHeight, m_margin;
    bool m_landscape;
    bool m_begun = false;
    bool m_failed = false;
    int m_errno = 0;
    QByteArray m_head, m_pending;
    QStringList m_fonts{QStringLiteral("Arial")};
    int fontIndex(const QString &family);
};

} // namespace quarl::reports
