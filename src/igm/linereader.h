#pragma once

#include <QByteArray>
#include <QIODevice>

namespace quarl::igm {

// Reads a text file line by line in bounded memory. A line ends at LF, CR LF or a lone
// CR; the end is not part of the line. A line longer than the limit is reported, not read.
class LineReader
{
public:
    enum class Result { Line, End, TooLong, ReadError };

    LineReader(QIODevice *device, qsizetype maxLineLength);

    Result next(QByteArray *line);
    qint64 lineNumber() const { return m_lineNumber; } // of the last line returned
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
};

} // namespace quarl::igm
