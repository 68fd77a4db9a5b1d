#include "json/jsonwriter.h"

#include <QIODevice>

#include <cmath>

namespace quarl::igm {

namespace {
constexpr qsizetype FlushAt = 1 << 16;
}

JsonStreamWriter::JsonStreamWriter(QIODevice *device) : m_device(device)
{
    m_buffer.reserve(FlushAt + 4096);
}

JsonStreamWriter::~JsonStreamWriter() = default;

void JsonStreamWriter::separate(bool inlineLayout)
{
    Open &o = m_open.back();
    if (!o.empty)
        m_buffer += ',';
    o.empty = false;
    if (inlineLayout) {
        m_buffer += ' ';
    } else {
        m_buffer += '\n';
        m_buffer.append(qsizetype(m_open.size()), ' ');
    }
}

void JsonStreamWriter::member(std::string_view key)
{
    separate(m_open.back().isInline);
    m_buffer += '"';
    m_buffer.append(key.data(), qsizetype(key.size()));
    m_buffer += "\": ";
}

void JsonStreamWriter::element()
{
    if (!m_open.empty())
        separate(m_open.back().isInline);
}

void JsonStreamWriter::beginObject(Layout layout)
{
    element();
    m_buffer += '{';
    m_open.push_back({false, layout == Layout::Inline || (!m_open.empty() && m_open.back().isInline), true});
}

void JsonStreamWriter::beginObject(std::string_view key, Layout layout)
{
    member(key);
    m_buffer += '{';
    m_open.push_back({false, layout == Layout::Inline || m_open.back().isInline, true});
}

void JsonStreamWriter::endObject()
{
    const Open o = m_open.back();
    m_open.pop_back();
    if (o.isInline) {
        m_buffer += o.empty ? "}" : " }";
    } else {
        if (!o.empty) {
            m_buffer += '\n';
            m_buffer.append(qsizetype(m_open.size()), ' ');
        }
        m_buffer += '}';
    }
    if (m_open.empty())
        m_buffer += '\n';
    maybeFlush();
}

void JsonStreamWriter::beginArray(std::string_view key)
{
    member(key);
    m_buffer += '[';
    m_open.push_back({true, m_open.back().isInline, true});
}

void JsonStreamWriter::endArray()
{
    const Open o = m_open.back();
    m_open.pop_back();
    if (!o.empty && !o.isInline) {
        m_buffer += '\n';
        m_buffer.append(qsizetype(m_open.size()), ' ');
    }
    m_buffer += ']';
    maybeFlush();
}

void JsonStreamWriter::string(std::string_view key, const QString &value)
{
    member(key);
    appendString(m_buffer, value);
}

void JsonStreamWriter::optionalString(std::string_view key, const QString &value)
{
    if (!value.isEmpty())
        string(key, value);
}

void JsonStreamWriter::integer(std::string_view key, qint64 value)
{
    member(key);
    m_buffer += QByteArray::number(value);
}

void JsonStreamWriter::decimal(std::string_view key, double value, int maxDecimals)
{
    if (!std::isfinite(value))
        return;
    member(key);
    m_buffer += decimalText(value, maxDecimals);
}

QByteArray JsonStreamWriter::decimalText(double value, int maxDecimals)
{
    QByteArray text = QByteArray::number(value, 'f', maxDecimals);
    if (text.contains('.')) {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.'))
            text.chop(1);
    }
    if (text == "-0")
        text = "0";
    return text;
}

void JsonStreamWriter::appendString(QByteArray &out, const QString &text)
{
    static const char Hex[] = "0123456789abcdef";
    // Plain ASCII with nothing to escape, most of a manifest, is copied as it stands.
    const char16_t *u = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype plain = 0;
    while (plain < n && u[plain] >= 0x20 && u[plain] < 0x80 && u[plain] != u'"' && u[plain] != u'\\')
        ++plain;
    if (plain == n) {
        const qsizetype at = out.size();
        out.resize(at + n + 2);
        char *p = out.data() + at;
        *p++ = '"';
        for (qsizetype i = 0; i < n; ++i)
            p[i] = char(u[i]);
        p[n] = '"';
        return;
    }
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += Hex[u >> 4];
                out += Hex[u & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void JsonStreamWriter::elementsFrom(QIODevice &from)
{
    flush();
    QByteArray chunk(FlushAt, Qt::Uninitialized);
    qint64 n = 0;
    while (!m_failed && (n = from.read(chunk.data(), chunk.size())) > 0) {
        m_open.back().empty = false;
        if (m_device->write(chunk.constData(), n) != n)
            m_failed = true;
    }
    if (n < 0)
        m_failed = true;
}

void JsonStreamWriter::maybeFlush()
{
    if (m_buffer.size() >= FlushAt)
        flush();
}

bool JsonStreamWriter::flush()
{
    if (!m_failed && !m_buffer.isEmpty() && m_device->write(m_buffer) != m_buffer.size())
        m_failed = true;
    m_buffer.resize(0); // keeps its room
    return !m_failed;
}

} // namespace quarl::igm
