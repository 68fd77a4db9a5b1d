#include "json/jsonsplitreader.h"

#include <nlohmann/json.hpp>

#include <QByteArray>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include <sys/mman.h>
#include <unistd.h>

namespace quarl::igm {

// Line ends between from and to, found with memchr, which reads many bytes at a time; *last
// is set to the last of them, when there is one.
static qint64 lineEnds(const char *from, const char *to, const char **last)
{
    qint64 n = 0;
    while (from < to) {
        const void *found = std::memchr(from, '\n', size_t(to - from));
        if (!found)
            break;
        ++n;
        *last = static_cast<const char *>(found);
        from = *last + 1;
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
    const char *end = nullptr; // where the parser stops: the piece's end, or sooner (stretch)
    const char *pieceEnd = nullptr;
    const JsonSplitReader::NextPiece *next = nullptr; // none: the text is one piece
    bool release = false;
    const char *counted = nullptr;
    const char *released = nullptr;
    const char *piece = nullptr; // where the piece read begins
    qint64 pieceOffset = 0;      // its offset in the whole text
    qint64 lines = 0;            // line ends before counted
    qint64 lineStart = 0;        // offset in the whole text of the line counted is on
    QByteArray head;             // the text's first bytes, for a byte-order mark, which the parser skips
    // The parser keeps every character since the last text or number it read: a stretch
    // without one may be this long at most (stretchStart is where the last one ended).
    qint64 mostStretch = std::numeric_limits<qint64>::max();
    qint64 stretchStart = 0;
    bool overrun = false; // the reading stopped at a stretch longer than that

    void enter(const char *from, const char *to)
    {
        at = counted = piece = from;
        pieceEnd = to;
        stretch();
        if (head.size() < 3)
            head.append(from, std::min<qsizetype>(to - from, 3 - head.size()));
    }

    // The parser's end in this piece: where the stretch that began at stretchStart ends.
    void stretch()
    {
        end = pieceEnd;
        if (!piece || stretchStart > std::numeric_limits<qint64>::max() - mostStretch)
            return;
        const qint64 limit = stretchStart + mostStretch - pieceOffset; // in this piece
        if (limit < pieceEnd - piece)
            end = piece + std::max<qint64>(limit, at - piece);
    }
    // A text or number was read: a new stretch begins. The parser's end moves on when the
    // parser reaches it (more()).
    void mark() { stretchStart = pieceOffset + (at - piece); }

    void count(const char *to)
    {
        const char *last = nullptr;
        lines += lineEnds(counted, to, &last);
        if (last)
            lineStart = pieceOffset + (last + 1 - piece);
        counted = to;
    }

    // Moves to the next piece when this one is read; false at the end of the text.
    bool more()
    {
        if (end != pieceEnd) {
            stretch();
            if (at != end)
                return true;
            overrun = true;
            return false;
        }
        if (!next)
            return false;
        if (piece) {
            count(pieceEnd);
            pieceOffset += pieceEnd - piece;
        }
        const char *begin = nullptr;
        const char *stop = nullptr;
        do {
            if (!(*next)(&begin, &stop)) {
                at = end = pieceEnd = counted = piece = nullptr;
                return false;
            }
        } while (begin == stop);
        enter(begin, stop);
        return true;
    }

    qint64 lineNow()
    {
        if (at)
            count(at);
        if (release)
            giveBack();
        return lines;
    }

    // Where a place in the piece read stands in the whole text.
    qint64 offsetOf(const char *p) const { return piece ? pieceOffset + (p - piece) : 0; }
    // The line and column (1-based) of a place in the whole text on the line read now.
    std::pair<qint64, qint64> placeOf(qint64 offset)
    {
        const qint64 line = lineNow() + 1;
        return {line, std::max<qint64>(1, offset - lineStart + 1)};
    }
    std::pair<qint64, qint64> placeOfLast() { return placeOf(at ? offsetOf(at) - 1 : 0); }

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

// What a value costs in memory, roughly: its place in its parent, and the text of a string
// or key beyond what a string holds in itself.
constexpr qint64 ValueCost = 64;
constexpr qsizetype ObjectRoom = 16; // members an object has room for from the start
constexpr qint64 ObjectCost = ValueCost + ObjectRoom * qint64(sizeof(Json::object_t::value_type));
qint64 textCost(const std::string &s)
{
    return s.size() > 15 ? qint64(s.size()) + 17 : 0;
}

QString megabytes(qint64 bytes)
{
    return QString::number(bytes >> 20);
}

class Handler : public nlohmann::json_sax<Json>
{
public:
    Handler(std::vector<JsonSplitReader::Split> &splits, const JsonSplitReader::Limits &limits, bool refuseDuplicates,
            QList<JsonSplitReader::DuplicateKey> &duplicates, qint64 &duplicateCount, JsonCursor &lines,
            qint64 &elementLine)
        : m_splits(splits), m_limits(limits), m_refuseDuplicates(refuseDuplicates), m_duplicates(duplicates),
          m_duplicateCount(duplicateCount), m_lines(lines), m_elementLine(elementLine)
    {
    }

    Json root;
    bool stopped = false;
    size_t errorPosition = 0;
    std::string errorText;
    QString refusal; // why the reading stopped short of what the text holds

    bool null() override { return value(Json(nullptr)); }
    bool boolean(bool v) override { return value(Json(v)); }
    bool number_integer(number_integer_t v) override { return m_lines.mark(), value(Json(v)); }
    bool number_unsigned(number_unsigned_t v) override { return m_lines.mark(), value(Json(v)); }
    bool number_float(number_float_t v, const string_t &) override { return m_lines.mark(), value(Json(v)); }
    bool string(string_t &v) override
    {
        m_lines.mark();
        const qint64 cost = textCost(v);
        return value(Json(std::move(v)), cost);
    }
    bool binary(binary_t &v) override { return value(Json::binary(std::move(v))); }

    bool start_object(std::size_t) override { return open(false); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t &k) override
    {
        m_lines.mark();
        Open &open = m_open.back();
        if (!open.value) {
            m_key = std::move(k);
            return true;
        }
        // One search per key: the object keeps its keys in order, in a plain list; a long
        // object keeps their places beside.
        Json::object_t &top = open.value->get_ref<Json::object_t &>();
        constexpr size_t Searched = 32;
        Json *twice = nullptr;
        if (open.keys) {
            const auto [at, added] = open.keys->emplace(k, top.size());
            if (!added)
                twice = &(top.begin() + std::ptrdiff_t(at->second))->second;
        } else {
            for (auto &member : top) {
                if (member.first == k) {
                    twice = &member.second;
                    break;
                }
            }
            if (!twice && top.size() + 1 >= Searched) {
                open.keys = std::make_unique<std::unordered_map<std::string, size_t>>();
                for (auto member = top.begin(); member != top.end(); ++member)
                    open.keys->emplace(member->first, size_t(member - top.begin()));
                open.keys->emplace(k, top.size());
            }
        }
        if (twice) {
            const std::string where = pointer() + "/" + k;
            const auto [line, column] = m_lines.placeOf(keyBegins(k));
            ++m_duplicateCount;
            if (m_duplicates.size() < JsonSplitReader::MostDuplicatesListed)
                m_duplicates.append({QString::fromStdString(where), line, column});
            if (m_refuseDuplicates)
                return refuse(QStringLiteral("gives the key \"%1\" twice in one object: line %2, column %3 (%4)")
                                  .arg(QString::fromStdString(k))
                                  .arg(line)
                                  .arg(column)
                                  .arg(QString::fromStdString(where)));
            m_slot = twice;
            m_key = std::move(k);
            return true;
        }
        if (!spend(ValueCost + textCost(k)))
            return false;
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
        Json *value;                             // none: passed over, not built
        std::string key;                         // under which it was opened; "[]" for an array element
        JsonSplitReader::Split *split = nullptr; // this array's elements are handed out or passed over
        size_t count = 0;                        // elements seen, handed out or kept
        bool array = false;
        std::unique_ptr<std::unordered_map<std::string, size_t>> keys; // of a long object: the place of each key
    };

    std::string pointer() const
    {
        std::string p;
        for (size_t i = 1; i < m_open.size(); ++i)
            p += "/" + (m_open[i].key == "[]" ? std::to_string(m_open[i - 1].count - 1) : m_open[i].key);
        return p;
    }

    // Where the key just read begins in the text: its opening quote, found back from the
    // closing one the parser stands after; reckoned from its length when the piece read
    // does not hold it.
    qint64 keyBegins(const std::string &k) const
    {
        const char *piece = m_lines.piece;
        const char *close = m_lines.at - 1;
        if (close - piece > qsizetype(k.size()) && close[-qsizetype(k.size()) - 1] == '"')
            return m_lines.offsetOf(close - k.size() - 1);
        for (const char *p = close - 1; p >= piece; --p) {
            if (*p != '"')
                continue;
            qsizetype backslashes = 0;
            for (const char *b = p - 1; b >= piece && *b == '\\'; --b)
                ++backslashes;
            if (backslashes % 2 == 0)
                return m_lines.offsetOf(p);
        }
        return m_lines.offsetOf(close) - qint64(k.size()) - 1;
    }

    bool refuse(const QString &why)
    {
        refusal = why;
        return false;
    }

    // The memory a value built takes, counted against the element it is in or the rest.
    bool spend(qint64 cost)
    {
        qint64 &used = m_inPiece ? m_pieceUsed : m_restUsed;
        const qint64 most = m_inPiece ? m_limits.elementBytes : m_limits.restBytes;
        used += cost;
        if (used <= most)
            return true;
        const auto [line, column] = m_lines.placeOfLast();
        if (m_inPiece) {
            std::string element;
            for (size_t i = 1; i < m_pieceDepth && i < m_open.size(); ++i)
                element += "/" + (m_open[i].key == "[]" ? std::to_string(m_open[i - 1].count - 1) : m_open[i].key);
            return refuse(QStringLiteral("holds more than %1 MB in one element, %2, which is more than this program "
                                         "reads: line %3, column %4")
                              .arg(megabytes(most), QString::fromStdString(element))
                              .arg(line)
                              .arg(column));
        }
        return refuse(QStringLiteral("holds more than %1 MB besides its lists of lines, which is more than this "
                                     "program reads: line %2, column %3 (%4)")
                          .arg(megabytes(most))
                          .arg(line)
                          .arg(column)
                          .arg(QString::fromStdString(pointer())));
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

    // Whether the value that begins now is passed over: it stands in a value passed over,
    // or is an element of a list whose elements are.
    bool passingOver() const
    {
        if (m_open.empty())
            return false;
        const Open &top = m_open.back();
        return !top.value || (top.split && !top.split->take);
    }

    // Where a value goes: a place in the document, a new piece when its array is split, or
    // nowhere when it is passed over.
    Json *place(Json &&v, bool *piece)
    {
        *piece = false;
        if (m_open.empty()) {
            root = std::move(v);
            return &root;
        }
        Open &top = m_open.back();
        if (top.array)
            ++top.count;
        if (!top.value)
            return nullptr;
        if (top.array) {
            if (top.split) {
                if (!top.split->take) {
                    m_lines.lineNow(); // the text passed over is given back as the text read is
                    return nullptr;
                }
                *piece = true;
                m_elementLine = m_lines.lineNow() + 1;
                m_piece = std::move(v);
                m_pieceUsed = 0;
                return &m_piece;
            }
            Json &parent = *top.value;
            parent.push_back(std::move(v));
            return &parent.back();
        }
        *m_slot = std::move(v);
        return m_slot;
    }

    bool value(Json &&v, qint64 textCost = 0)
    {
        bool piece = false;
        if (!place(std::move(v), &piece))
            return true;
        if (piece)
            m_inPiece = true;
        if (!spend(ValueCost + textCost))
            return false;
        if (piece) {
            m_inPiece = false;
            return hand();
        }
        return true;
    }

    bool open(bool isArray)
    {
        if (int(m_open.size()) >= m_limits.depth) {
            const auto [line, column] = m_lines.placeOfLast();
            return refuse(QStringLiteral("nests its arrays and objects more than %1 deep, which no real file does: "
                                         "line %2, column %3 (%4)")
                              .arg(m_limits.depth)
                              .arg(line)
                              .arg(column)
                              .arg(QString::fromStdString(pointer())));
        }
        Json v;
        if (!passingOver()) {
            if (isArray) {
                v = Json::array();
            } else {
                // Room for the members of the message's widest groups: a growing list of
                // members would copy every key it holds each time it moves.
                v = Json::object();
                v.get_ref<Json::object_t &>().reserve(ObjectRoom);
            }
        }
        const std::string key = m_open.empty() ? std::string() : (m_open.back().array ? "[]" : m_key);
        bool piece = false;
        Json *where = place(std::move(v), &piece);
        Open o{where, key, nullptr, 0, isArray, nullptr};
        if (where && isArray && !m_inPiece && key != "[]")
            o.split = splitFor(key);
        if (piece) {
            m_inPiece = true;
            m_pieceDepth = m_open.size() + 1;
        }
        m_open.push_back(std::move(o));
        return !where || spend(isArray ? ValueCost : ObjectCost);
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
    const JsonSplitReader::Limits &m_limits;
    const bool m_refuseDuplicates;
    QList<JsonSplitReader::DuplicateKey> &m_duplicates;
    qint64 &m_duplicateCount;
    JsonCursor &m_lines;
    qint64 &m_elementLine;
    std::vector<Open> m_open;
    std::string m_key;
    Json *m_slot = nullptr; // the value of the key just read
    Json m_piece;
    bool m_inPiece = false;
    size_t m_pieceDepth = 0;
    qint64 m_pieceUsed = 0;
    qint64 m_restUsed = 0;
};

} // namespace

namespace {

// The scan of jsonWithout: objects on the paths are copied key by key, other values whole,
// the values at the paths left out.
class Outline
{
public:
    Outline(const char *begin, const char *end, const std::vector<std::vector<std::string>> &paths, qint64 mostBytes,
            bool fileMapped)
        : m_at(begin), m_end(end), m_paths(paths), m_most(mostBytes), m_released(begin), m_fileMapped(fileMapped)
    {
    }

    bool run()
    {
        space();
        if (m_at == m_end || *m_at != '{' || !object({}))
            return false;
        space();
        return m_at == m_end;
    }
    QByteArray text;

private:
    void space()
    {
        while (m_at < m_end && (*m_at == ' ' || *m_at == '\n' || *m_at == '\r' || *m_at == '\t'))
            ++m_at;
    }

    // Past a string, m_at on its opening quote.
    bool string()
    {
        for (++m_at; m_at < m_end; ++m_at) {
            if (*m_at == '\\')
                ++m_at;
            else if (*m_at == '"')
                return ++m_at, true;
        }
        return false;
    }

    // Past a value of any kind: strings and brackets matched, nothing else looked at.
    bool value()
    {
        if (m_at == m_end)
            return false;
        if (*m_at == '"')
            return string();
        if (*m_at != '[' && *m_at != '{') {
            while (m_at < m_end && *m_at != ',' && *m_at != '}' && *m_at != ']' && *m_at != ' ' && *m_at != '\n'
                   && *m_at != '\r' && *m_at != '\t')
                ++m_at;
            return true;
        }
        qint64 depth = 0;
        for (; m_at < m_end; ++m_at) {
            const char c = *m_at;
            if (c == '"') {
                if (!string())
                    return false;
                --m_at;
            } else if (c == '[' || c == '{') {
                ++depth;
            } else if (c == ']' || c == '}') {
                if (--depth == 0)
                    return ++m_at, true;
                giveBack();
            }
        }
        return false;
    }

    bool copy(const char *from)
    {
        text.append(from, m_at - from);
        return text.size() <= m_most;
    }

    // An object on the paths, m_at on its opening brace; at: its keys from the top.
    bool object(const std::vector<std::string> &at)
    {
        text += '{';
        ++m_at;
        std::unordered_set<std::string> seen;
        for (bool first = true;; first = false) {
            space();
            if (m_at == m_end)
                return false;
            if (*m_at == '}') {
                ++m_at;
                text += '}';
                return true;
            }
            if (!first) {
                if (*m_at != ',')
                    return false;
                ++m_at;
                text += ',';
                space();
            }
            const char *keyBegin = m_at;
            if (m_at == m_end || *m_at != '"' || !string())
                return false;
            const std::string key(keyBegin + 1, m_at - 1);
            if (!seen.insert(key).second)
                return false;
            if (!copy(keyBegin))
                return false;
            space();
            if (m_at == m_end || *m_at != ':')
                return false;
            ++m_at;
            text += ':';
            space();
            std::vector<std::string> here = at;
            here.push_back(key);
            bool leftOut = false;
            bool inside = false;
            for (const std::vector<std::string> &path : m_paths) {
                const bool prefix = path.size() >= here.size() && std::equal(here.begin(), here.end(), path.begin());
                leftOut = leftOut || (prefix && path.size() == here.size());
                inside = inside || (prefix && path.size() > here.size());
            }
            if (leftOut) {
                if (!value())
                    return false;
                text += "[]";
            } else if (inside && m_at < m_end && *m_at == '{') {
                if (!object(here))
                    return false;
            } else {
                const char *from = m_at;
                if (!value() || !copy(from))
                    return false;
            }
        }
    }

    void giveBack()
    {
        static const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
        constexpr quintptr Stretch = 8 << 20;
        if (!m_fileMapped || quintptr(m_at - m_released) < Stretch + page)
            return;
        const quintptr from = quintptr(m_released) & ~(page - 1);
        const quintptr to = quintptr(m_at) & ~(page - 1);
        if (to <= from || to - from < Stretch)
            return;
        madvise(reinterpret_cast<void *>(from), to - from, MADV_DONTNEED);
        m_released = reinterpret_cast<const char *>(to);
    }

    const char *m_at;
    const char *m_end;
    const std::vector<std::vector<std::string>> &m_paths;
    qint64 m_most;
    const char *m_released;
    bool m_fileMapped;
};

} // namespace

std::optional<QByteArray> jsonWithout(const char *begin, const char *end, const std::vector<std::vector<std::string>> &paths,
                                      qint64 mostBytes, bool fileMapped)
{
    Outline outline(begin, end, paths, mostBytes, fileMapped);
    if (!outline.run())
        return std::nullopt;
    return std::move(outline.text);
}

JsonSplitReader::JsonSplitReader(std::vector<Split> splits) : m_splits(std::move(splits)) {}

Result<Json> JsonSplitReader::read(const char *begin, const char *end, const QString &name)
{
    JsonCursor cursor;
    cursor.mostStretch = m_limits.stretchBytes;
    cursor.enter(begin, end);
    cursor.released = begin;
    cursor.release = m_fileMapped;
    return parse(cursor, name, begin, end);
}

Result<Json> JsonSplitReader::read(const NextPiece &next, const QString &name)
{
    JsonCursor cursor;
    cursor.mostStretch = m_limits.stretchBytes;
    cursor.next = &next;
    cursor.more();
    return parse(cursor, name, nullptr, nullptr);
}

Result<Json> JsonSplitReader::parse(JsonCursor &cursor, const QString &name, const char *whole, const char *wholeEnd)
{
    m_stopped = false;
    m_duplicateKeys.clear();
    m_duplicateCount = 0;
    Handler handler(m_splits, m_limits, m_refuseDuplicates, m_duplicateKeys, m_duplicateCount, cursor, m_elementLine);
    m_partial = &handler.root;
    bool ok = false;
    QString thrown;
    try {
        ok = Json::sax_parse(SharedIterator{&cursor}, SharedIterator{&cursor}, &handler);
    } catch (const std::exception &e) {
        // from the library or a callback: the reading ends here, and says where
        thrown = QString::fromUtf8(e.what());
    }
    m_partial = nullptr;
    m_byteOrderMark = cursor.head.startsWith("\xEF\xBB\xBF");
    auto cleaned = [](QString reason) {
        // "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error ..."
        if (reason.startsWith(QLatin1String("[json.exception."))) {
            if (const qsizetype bracket = reason.indexOf(QLatin1String("] ")); bracket >= 0)
                reason = reason.mid(bracket + 2);
        }
        if (const qsizetype dash = reason.indexOf(QLatin1String(": ")); dash >= 0)
            reason = reason.mid(dash + 2);
        return reason;
    };
    if (!thrown.isEmpty())
        return Failure(ErrorNumber::BadFileFormat, QStringLiteral("%1 could not be read past line %2: %3")
                                                       .arg(name)
                                                       .arg(cursor.lineNow() + 1)
                                                       .arg(cleaned(thrown)));
    if (!handler.refusal.isEmpty())
        return Failure(ErrorNumber::BadFileFormat, name + QLatin1Char(' ') + handler.refusal);
    if (cursor.overrun) {
        const auto [line, column] = cursor.placeOf(cursor.offsetOf(cursor.at));
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("%1 has more than %2 MB in one stretch that no text or number ends, which is more than "
                                      "this program reads: line %3, column %4")
                           .arg(name, megabytes(m_limits.stretchBytes))
                           .arg(line)
                           .arg(column));
    }
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
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("%1 is not a JSON file as it stands: %2: %3").arg(name, where, cleaned(reason)));
    }
    return std::move(handler.root);
}

} // namespace quarl::igm
