#pragma once

#include <QByteArray>
#include <QIODevice>

namespace quarl {

// Reads a text file line by line in bounded memory. A line ends at LF, CR LF or a lone
// CR; the end is not part of the line. A line longer than the limit is reported, not read.
class TextLineReader
{
public:
    enum class Result { Line, End, TooLong, ReadError };

    TextLineReader(QIODevice *device, qsizetype maxLineLength);

    Result next(QByteArray *line);
    // After TooLong: passes over the rest of that line; false at the end of the file.
    bool skipLine();
    qint64 lineNumber() const { return m_lineNumber; } // of the last line returned
    enum class End { CrLf, Lf, Cr, None };
    End lastEnd() const { return m_lastEnd; } // how the last line returned ended
    qint64 bytesRead() const { return m_consumed; }

private:
    bool fill();

    QIODevice *m_device;
    qsizetype m_max;
    QByteArray m_buf;
    qsizetype m_pos = 0;
    bool m_eof = false;
    bool m_error = false;
    qint64 m_lineNumber = 0;
    qint64 m_consumed = 0;
    End m_lastEnd = End::None;
};

} // namespace quarl
