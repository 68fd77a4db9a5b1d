#include "reports/rtfwriter.h"

#include <QIODevice>

#include <cerrno>

namespace quarl::reports {

namespace {

// Bytes gathered before they go to the device.
constexpr qsizetype FlushAt = 256 * 1024;

} // namespace

RtfWriter::RtfWriter(QIODevice &out, int sheetWidth, int sheetHeight, bool landscape, int margin)
    : m_out(out), m_sheetWidth(sheetWidth), m_sheetHeight(sheetHeight), m_margin(margin), m_landscape(landscape)
{
    m_pending.reserve(FlushAt + 4096);
}

int RtfWriter::fontIndex(const QString &family)
{
    if (family.isEmpty())
        return 0;
    const int i = int(m_fonts.indexOf(family));
    if (i >= 0)
        return i;
    m_fonts << family;
    return int(m_fonts.size()) - 1;
}

QByteArray RtfWriter::escape(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 8);
    for (const QChar ch : text) {
        const ushort u = ch.unicode();
        switch (u) {
        case '\\': out += "\\\\"; break;
        case '{': out += "\\{"; break;
        case '}': out += "\\}"; break;
        case '\t': out += "\\tab "; break;
        case '\n': out += "\\line "; break;
        case '\r': break;
        default:
            if (u >= 0x20 && u < 0x80) {
                out += char(u);
            } else if (u >= 0x80) {
                // \uN takes a signed 16-bit number, followed by what readers without
                // Unicode show instead: the Latin-1 character where there is one, else a
                // '?' written as a hex escape (a bare one can swallow the next letter in
                // some readers). Each half of a surrogate pair goes on its own.
                out += "\\u" + QByteArray::number(qint16(u)) + "\\'";
                out += QByteArray::number(u >= 0xa0 && u <= 0xff ? u : 0x3f, 16).rightJustified(2, '0');
            }
        }
    }
    return out;
}

namespace {

QByteArray paraFormat(const RtfWriter::Para &f)
{
    QByteArray out = "\\pard\\plain";
    if (f.centred)
        out += "\\qc";
    if (f.keepWithNext)
        out += "\\keepn";
    if (f.spaceBefore)
        out += "\\sb" + QByteArray::number(f.spaceBefore);
    if (f.spaceAfter)
        out += "\\sa" + QByteArray::number(f.spaceAfter);
    if (f.shaded)
        out += "\\cbpat2\\shading10000";
    out += "\\fs" + QByteArray::number(f.halfPoints);
    if (f.bold)
        out += "\\b";
    return out + ' ';
}

} // namespace

void RtfWriter::pageHead(const QStringList &rows, int firstHalfPoints, const QString &firstFont)
{
    Q_ASSERT(!m_begun); // its fonts go into the font table at the top
    QByteArray h = "{\\header ";
    for (int i = 0; i < rows.size(); ++i) {
        Para p;
        p.centred = true;
        p.bold = true;
        p.halfPoints = i == 0 ? firstHalfPoints : 22;
        p.spaceAfter = i == rows.size() - 1 ? 120 : 0;
        QByteArray fmt = paraFormat(p);
        if (i == 0 && !firstFont.isEmpty())
            fmt += "\\f" + QByteArray::number(fontIndex(firstFont)) + ' ';
        h += fmt + escape(rows[i]) + "\\par\n";
    }
    h += "}\n";
    m_head += h;
}

void RtfWriter::pageFoot(const QString &left, const QString &right)
{
    Q_ASSERT(!m_begun);
    const int w = textWidth();
    QByteArray f = "{\\footer \\pard\\plain\\fs14\\tqc\\tx" + QByteArray::number(w / 2) + "\\tqr\\tx"
                   + QByteArray::number(w) + ' ' + escape(left)
                   + "\\tab Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}} of "
                     "{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 1}}\\tab "
                   + escape(right) + "\\par}\n";
    m_head += f;
}

void RtfWriter::paragraph(const QString &text, const Para &format)
{
    body(paraFormat(format) + escape(text) + "\\par\n");
}

void RtfWriter::row(const QStringList &cells, const QList<int> &widths, bool header, bool shaded, int halfPoints,
                    QList<bool> boldCells)
{
    QByteArray r = "\\trowd\\trgaph60\\trleft0";
    if (header)
        r += "\\trhdr";
    r += "\\trkeep";
    int x = 0;
    for (int i = 0; i < cells.size(); ++i) {
        if (shaded)
            r += "\\clcbpat2";
        r += "\\clbrdrt\\brdrs\\brdrw5\\clbrdrl\\brdrs\\brdrw5\\clbrdrb\\brdrs\\brdrw5\\clbrdrr\\brdrs\\brdrw5";
        x += widths.value(i, 1000);
        r += "\\cellx" + QByteArray::number(x);
    }
    r += '\n';
    for (int i = 0; i < cells.size(); ++i) {
        const bool bold = header || boldCells.value(i, false);
        r += "\\pard\\plain\\intbl\\fs" + QByteArray::number(halfPoints) + (bold ? "\\b " : " ") + escape(cells[i])
             + "\\cell\n";
    }
    r += "\\row\n";
    body(r);
}

QByteArray RtfWriter::fontTable() const
{
    QByteArray t = "{\\fonttbl";
    for (int i = 0; i < m_fonts.size(); ++i)
        t += "{\\f" + QByteArray::number(i) + "\\fswiss\\fcharset0 " + escape(m_fonts[i]) + ";}";
    return t + "}\n";
}

void RtfWriter::begin()
{
    m_begun = true;
    m_pending += "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\n" + fontTable()
                + "{\\colortbl;\\red0\\green0\\blue0;\\red232\\green236\\blue241;}\n" + "\\paperw"
                + QByteArray::number(m_sheetWidth) + "\\paperh" + QByteArray::number(m_sheetHeight) + "\\margl"
                + QByteArray::number(m_margin) + "\\margr" + QByteArray::number(m_margin) + "\\margt"
                + QByteArray::number(m_margin) + "\\margb" + QByteArray::number(m_margin)
                + (m_landscape ? "\\landscape" : "") + "\n\\sectd" + (m_landscape ? "\\lndscpsxn" : "")
                + "\\headery360\\footery360\n" + m_head;
    m_head.clear();
}

void RtfWriter::body(const QByteArray &bytes)
{
    if (!m_begun)
        begin();
    m_pending += bytes;
    if (m_pending.size() >= FlushAt)
        flush();
}

void RtfWriter::flush()
{
    if (!m_failed && !m_pending.isEmpty()) {
        errno = 0;
        if (m_out.write(m_pending) != m_pending.size()) {
            m_failed = true;
            m_errno = errno;
        }
    }
    m_pending.resize(0); // keeps its room for the next block
}

bool RtfWriter::finish()
{
    if (!m_begun)
        begin();
    m_pending += "}\n";
    flush();
    return !m_failed;
}

} // namespace quarl::reports
