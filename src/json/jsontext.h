#pragma once

#include <QByteArray>

class QIODevice;

namespace quarl::igm {

// The text of a JSON document to read: a file mapped into memory where it can be (a reader
// then gives the pages back as it goes on, see JsonSplitReader::setFileMapped), else what
// the device holds, read into memory. The device stays open while the text is used.
class JsonText
{
public:
    explicit JsonText(QIODevice &in);
    JsonText(const JsonText &) = delete;
    JsonText &operator=(const JsonText &) = delete;

    const char *begin() const { return m_begin; }
    const char *end() const { return m_end; }
    bool mapped() const { return m_mapped; }

private:
    QByteArray m_data;
    const char *m_begin = nullptr;
    const char *m_end = nullptr;
    bool m_mapped = false;
};

} // namespace quarl::igm
