#include "json/jsonsplitreader.h"

#include <nlohmann/json.hpp>

#include <QByteArray>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace quarl::igm {

// Line ends between from and to, found with memchr, which reads many bytes at a time.
static qint64 lineEnds(const char *from, const char *to)
{
    qint64 n = 0;
    while (from < to) {
        const void *found = std::memchr(from, '\n', size_t(to - from));
        if (!found)
            break;
        ++n;
        from = static_cast<const char *>(found) + 1;
    }
    return n;
}

// Where the parser reads: the piece of text it is in. A text read whole is one piece; a
// text that comes a piece at a time asks for the next when the parser reaches the end of
// one. Lines are counted a stretch at a time, for the handler to tell where an element
// begins; of a mapped file, the pages counted are given back now and then.
struct JsonCursor
{
    const char *at = nullptr;
    const char *end = nullptr;
    const JsonSplitReader::NextPiece *next = nullptr; // none: the text is one piece
    bool release = false;
    const char *counted = nullptr;
    const char *released = nullptr;
    qint64 lines = 0; // line ends before counted
    QByteArray head;  // the text's first bytes, for a byte-order mark, which the parser skips

    void enter(const char *from, const char *to)
    {
        at = counted = from;
        end = to;
        if (head.size() < 3)
            head.append(from, std::min<qsizetype>(to - from, 3 - head.size()));
    }

    // Moves to the next piece when this one is read; false at the end of the text.
    bool more()
    {
        if (!next)
            return false;
        lines += lineEnds(counted, end);
        const char *begin = nullptr;
        const char *stop = nullptr;
        do {
            if (!(*next)(&begin, &stop)) {
                at = end = counted = nullptr;
                return false;
            }
        } while (begin == stop);
        enter(begin, stop);
        return true;
    }

    qint64 lineNow()
    {
        lines += lineEnds(counted, at);
        counted = at;
        if (release)
            giveBack();
        return lines;
    }

    void giveBack()
    {
        static const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
        constexpr quintptr Stretch = 8 << 20;
        const quintptr from = quintptr(released) & ~(page - 1);
        const quintptr to = quintptr(counted) & ~(page - 1);
        if (to <= from || to - from < Stretch)
            return;
        madvise(reinterpret_cast<void *>(from), to - from, MADV_DONTNEED);
        released = reinterpret_cast<const char *>(to);
    }
};

namespace {

// The parser's iterator: its begin and end share the cursor; they are unequal while there
// is text left.
struct SharedIterator
{
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char *;
    using reference = const char &;

    JsonCursor *cursor = nullptr;

    reference operator*() const { return *cursor->at; }
    SharedIterator &operator++()
    {
        ++cursor->at;
        return *this;
    }
    bool operator==(const SharedIterator &) const { return !left(); }
    bool operator!=(const SharedIterator &) const { return left(); }

private:
    bool left() const { return cursor->at != cursor->end || cursor->more(); }
};

class Handler : public nlohmann::json_sax<Json>
{
public:
    Handler(std::vector<JsonSplitReader::Split> &splits, QStringList &duplicates, JsonCursor &lines, qint64 &elementLine)
        : m_splits(splits), m_duplicates(duplicates), m_lines(lines), m_elementLine(elementLine)
    {
    }

    Json root;
    bool stopped = false;
    size_t errorPosition = 0;
    std::string errorText;

    bool null() override { return value(Json(nullptr)); }
    bool boolean(bool v) override { return value(Json(v)); }
    bool number_integer(number_integer_t v) override { return value(Json(v)); }
    bool number_unsigned(number_unsigned_t v) override { return value(Json(v)); }
    bool number_float(number_float_t v, const string_t &) override { return value(Json(v)); }
    bool string(string_t &v) override { return value(Json(std::move(v))); }
    bool binary(binary_t &v) override { return value(Json::binary(std::move(v))); }

    bool start_object(std::size_t) override
    {
        // Room for the members of the message's widest groups: a growing list of members
        // would copy every key it holds each time it moves.
        Json o = Json::object();
        o.get_ref<Json::object_t &>().reserve(16);
        return open(std::move(o));
    }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t &k) override
    {
        // One search per key: the object keeps its keys in order, in a plain list.
        Json::object_t &top = m_open.back().value->get_ref<Json::object_t &>();
        for (auto &member : top) {
            if (member.first == k) {
                m_duplicates << QString::fromStdString(pointer() + "/" + k);
                m_slot = &member.second;
                m_key = std::move(k);
                return true;
            }
        }
        using Members = std::vector<Json::object_t::value_type, Json::object_t::allocator_type>;
        top.Members::emplace_back(std::move(k), Json());
        m_slot = &top.back().second;
        m_key = top.back().first;
        return true;
    }

    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &ex) override
    {
        errorPosition = position;
        errorText = ex.what();
        return false;
    }

private:
    struct Open
    {
        Json *value;
        std::string key;                      // under which it was opened; "[]" for an array element
        JsonSplitReader::Split *split = nullptr; // this array's elements are handed out
        size_t count = 0;                     // elements seen, handed out or kept
    };

    std::string pointer() const
    {
        std::string p;
        for (size_t i = 1; i < m_open.size(); ++i)
            p += "/" + (m_open[i].key == "[]" ? std::to_string(m_open[i - 1].count - 1) : m_open[i].key);
        return p;
    }

    JsonSplitReader::Split *splitFor(const std::string &key) const
    {
        for (JsonSplitReader::Split &s : m_splits) {
            if (s.path.empty() || s.path.size() != m_open.size())
                continue;
            bool same = s.path.back() == key;
            for (size_t i = 0; same && i + 1 < s.path.size(); ++i)
                same = m_open[i + 1].key == s.path[i];
            if (same)
                return &s;
        }
        return nullptr;
    }

    // Where a value goes: a place in the document, or a new piece when its array is split.
    Json *place(Json &&v, bool *piece)
    {
        *piece = false;
        if (m_open.empty()) {
            root = std::move(v);
            return &root;
        }
        Open &top = m_open.back();
        Json &parent = *top.value;
        if (parent.is_array()) {
            ++top.count;
            if (top.split) {
                *piece = true;
                m_elementLine = m_lines.lineNow() + 1;
                m_piece = std::move(v);
                return &m_piece;
            }
            parent.push_back(std::move(v));
            return &parent.back();
        }
        *m_slot = std::move(v);
        return m_slot;
    }

    bool value(Json &&v)
    {
        bool piece = false;
        place(std::move(v), &piece);
        if (piece)
            return hand();
        return true;
    }

    bool open(Json &&v)
    {
        const bool isArray = v.is_array();
        const std::string key = m_open.empty() ? std::string() : (m_open.back().value->is_array() ? "[]" : m_key);
        bool piece = false;
        Json *where = place(std::move(v), &piece);
        Open o{where, key};
        if (isArray && !m_inPiece && key != "[]")
            o.split = splitFor(key);
        if (piece) {
            m_inPiece = true;
            m_pieceDepth = m_open.size() + 1;
        }
        m_open.push_back(std::move(o));
        return true;
    }

    bool close()
    {
        m_open.pop_back();
        if (m_inPiece && m_open.size() < m_pieceDepth) {
            m_inPiece = false;
            return hand();
        }
        return true;
    }

    bool hand()
    {
        Open &top = m_open.back();
        if (!top.split->take(top.count - 1, std::move(m_piece))) {
            stopped = true;
            return false;
        }
        m_piece = Json();
        return true;
    }

    std::vector<JsonSplitReader::Split> &m_splits;
    QStringList &m_duplicates;
    JsonCursor &m_lines;
    qint64 &m_elementLine;
    std::vector<Open> m_open;
    std::string m_key;
    Json *m_slot = nullptr; // the value of the key just read
    Json m_piece;
    bool m_inPiece = false;
    size_t m_pieceDepth = 0;
};

} // namespace

JsonSplitReader::JsonSplitReader(std::vector<Split> splits) : m_splits(std::move(splits)) {}

Result<Json> JsonSplitReader::read(const char *begin, const char *end, const QString &name)
{
    JsonCursor cursor;
    cursor.enter(begin, end);
    cursor.released = begin;
    cursor.release = m_fileMapped;
    return parse(cursor, name, begin, end);
}

Result<Json> JsonSplitReader::read(const NextPiece &next, const QString &name)
{
    JsonCursor cursor;
    cursor.next = &next;
    cursor.more();
    return parse(cursor, name, nullptr, nullptr);
}

Result<Json> JsonSplitReader::parse(JsonCursor &cursor, const QString &name, const char *whole, const char *wholeEnd)
{
    m_stopped = false;
    m_duplicateKeys.clear();
    Handler handler(m_splits, m_duplicateKeys, cursor, m_elementLine);
    m_partial = &handler.root;
    const bool ok = Json::sax_parse(SharedIterator{&cursor}, SharedIterator{&cursor}, &handler);
    m_partial = nullptr;
    m_byteOrderMark = cursor.head.startsWith("\xEF\xBB\xBF");
    if (handler.stopped) {
        m_stopped = true;
        return std::move(handler.root);
    }
    if (!ok) {
        QString reason = QString::fromStdString(handler.errorText);
        QString where;
        if (whole) {
            const size_t at = std::min<size_t>(handler.errorPosition, size_t(wholeEnd - whole));
            const auto line = 1 + std::count(whole, whole + at, '\n');
            const char *lineStart = whole + at;
            while (lineStart > whole && lineStart[-1] != '\n')
                --lineStart;
            where = QStringLiteral("line %1, column %2").arg(line).arg(whole + at - lineStart);
        } else {
            // the text read so far is gone: the parser's own count says where
            static const QRegularExpression place(QStringLiteral("line (\\d+), column (\\d+)"));
            const QRegularExpressionMatch m = place.match(reason);
            where = m.hasMatch() ? QStringLiteral("line %1, column %2").arg(m.captured(1), m.captured(2))
                                 : QStringLiteral("line %1").arg(cursor.lineNow() + 1);
        }
        if (const qsizetype dash = reason.indexOf(QLatin1String(": ")); dash >= 0)
            reason = reason.mid(dash + 2);
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("%1 is not a JSON file as it stands: %2: %3").arg(name, where, reason));
    }
    return std::move(handler.root);
}

} // namespace quarl::igm
