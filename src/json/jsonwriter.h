#pragma once

#include <QByteArray>
#include <QString>

#include <string_view>
#include <vector>

class QIODevice;

namespace quarl::igm {

// Writes JSON to a device as it is made, keys in the order they are given, UTF-8 without a
// byte-order mark. It holds only the open containers and a buffer, so its memory does not
// grow with the document. Objects and arrays are laid out one member a line; an object begun
// inline stays on one line (the leaves of a long list read best that way).
class JsonStreamWriter
{
public:
    enum class Layout { Block, Inline };

    explicit JsonStreamWriter(QIODevice *device);
    ~JsonStreamWriter();

    void beginObject(Layout layout = Layout::Block);               // the document, or an array element
    void beginObject(std::string_view key, Layout layout = Layout::Block);
    void endObject();
    void beginArray(std::string_view key);
    void endArray();

    void string(std::string_view key, const QString &value);
    // Left out when empty, as optional fields are.
    void optionalString(std::string_view key, const QString &value);
    void integer(std::string_view key, qint64 value);
    // A plain decimal with at most maxDecimals, trailing zeros dropped; left out when the value
    // is not a finite number.
    void decimal(std::string_view key, double value, int maxDecimals);

    // Elements of the open array that another writer laid out at the same depth, read from
    // the device to its end.
    void elementsFrom(QIODevice &from);

    // Writes what is buffered; false when the device refused a write.
    bool flush();
    bool failed() const { return m_failed; }

    // "1234.5" from 1234.50 with 2 decimals; "0" for -0.
    static QByteArray decimalText(double value, int maxDecimals);
    // The JSON string literal of a text, quotes included.
    static void appendString(QByteArray &out, const QString &text);

private:
    struct Open
    {
        bool isArray = false;
        bool isInline = false;
        bool empty = true;
    };
    void member(std::string_view key);
    void element();
    void separate(bool inlineLayout);
    void maybeFlush();

    QIODevice *m_device;
    QByteArray m_buffer;
    std::vector<Open> m_open;
    bool m_failed = false;
};

} // namespace quarl::igm
