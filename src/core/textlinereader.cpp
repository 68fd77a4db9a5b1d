#include "core/textlinereader.h"

namespace quarl {

namespace {
constexpr qint64 ChunkSize = 256 * 1024;
}

TextLineReader::TextLineReader(QIODevice *device, qsizetype maxLineLength) : m_device(device), m_max(maxLineLength) {}

bool TextLineReader::fill()
{
    if (m_eof)
        return false;
    if (m_pos > 0) {
        m_buf.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype old = m_buf.size();
    m_buf.resize(old + ChunkSize);
    const qint64 n = m_device->read(m_buf.data() + old, ChunkSize);
    if (n < 0) {
        m_error = true;
        m_eof = true;
        m_buf.resize(old);
        return false;
    }
    m_buf.resize(old + n);
    if (n == 0)
        m_eof = true;
    return n > 0;
}

TextLineReader::Result TextLineReader::next(QByteArray *line)
{
    qsizetype scanned = m_pos;
    for (;;) {
        const char *data = m_buf.constData();
        const qsizetype size = m_buf.size();
        qsizetype i = scanned;
        while (i < size && data[i] != '\n' && data[i] != '\r')
            ++i;
        if (i - m_pos > m_max)
            return Result::TooLong;
        if (i < size) {
            // A CR at the very end of the buffer may be followed by its LF in the next chunk.
            if (data[i] == '\r' && i + 1 == size && !m_eof) {
                scanned = i - m_pos;
                fill();
                scanned += m_pos;
                continue;
            }
            *line = m_buf.mid(m_pos, i - m_pos);
            qsizetype end = i + 1;
            m_lastEnd = data[i] == '\n' ? End::Lf : End::Cr;
            if (data[i] == '\r' && end < size && data[end] == '\n') {
                ++end;
                m_lastEnd = End::CrLf;
            }
            m_consumed += end - m_pos;
            m_pos = end;
            ++m_lineNumber;
            return Result::Line;
        }
        scanned = i - m_pos;
        if (!fill()) {
            if (m_error)
                return Result::ReadError;
            if (m_pos >= m_buf.size())
                return Result::End;
            // last line without a line end
            *line = m_buf.mid(m_pos);
            m_lastEnd = End::None;
            m_consumed += m_buf.size() - m_pos;
            m_pos = m_buf.size();
            ++m_lineNumber;
            return Result::Line;
        }
        scanned += m_pos; // fill() moved the unread part to the front
    }
}

bool TextLineReader::skipLine()
{
    for (;;) {
        const char *data = m_buf.constData();
        const qsizetype size = m_buf.size();
        qsizetype i = m_pos;
        while (i < size && data[i] != '\n' && data[i] != '\r')
            ++i;
        m_consumed += i - m_pos;
        m_pos = i;
        if (i < size) {
            // the line end, CR LF across a chunk included
            if (data[i] == '\r' && i + 1 == size && !m_eof)
                fill();
            const char *d = m_buf.constData();
            qsizetype end = m_pos + 1;
            if (d[m_pos] == '\r' && end < m_buf.size() && d[end] == '\n')
                ++end;
            m_consumed += end - m_pos;
            m_pos = end;
            ++m_lineNumber;
            return true;
        }
        m_buf.clear();
        m_pos = 0;
        if (!fill()) {
            ++m_lineNumber;
            return false;
        }
    }
}

} // namespace quarl
