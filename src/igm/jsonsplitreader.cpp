#include "igm/jsonsplitreader.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include <sys/mman.h>
#include <unistd.h>

namespace quarl::igm {

namespace {

// Walks the text for the parser. The parser's own iterator and its end share the place
// read to, so that the handler can count the lines up to an element when it needs them.
struct SharedIterator
{
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char *;
    using reference = const char &;

    const char **at = nullptr;   // the place read to, shared
    const char *end = nullptr;   // set on the end iterator only

    const char *position() const { return end ? end : *at; }
    reference operator*() const { return **at; }
    SharedIterator &operator++()
    {
        ++*at;
        return *this;
    }
    bool operator==(const SharedIterator &o) const { return position() == o.position(); }
    bool operator!=(const SharedIterator &o) const { return position() != o.position(); }
};

// Lines of the text up to the place read to, counted a stretch at a time; of a mapped file,
// the pages counted are given back now and then.
struct LineCount
{
    const char *const *at;
    const char *counted;
    bool release = false;
    qint64 lines = 0; // line ends before counted
    const char *released = nullptr;

    qint64 now()
    {
        lines += std::count(counted, *at, '\n');
        counted = *at;
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

class Handler : public nlohmann::json_sax<Json>
{
public:
    Handler(std::vector<JsonSplitReader::Split> &splits, QStringList &duplicates, LineCount &lines, qint64 &elementLine)
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
                m_elementLine = m_lines.now() + 1;
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
    LineCount &m_lines;
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
    m_stopped = false;
    m_duplicateKeys.clear();
    const char *at = begin;
    LineCount lines{&at, begin, m_fileMapped};
    lines.released = begin;
    Handler handler(m_splits, m_duplicateKeys, lines, m_elementLine);
    m_partial = &handler.root;
    const bool ok = Json::sax_parse(SharedIterator{&at, nullptr}, SharedIterator{&at, end}, &handler);
    m_partial = nullptr;
    if (handler.stopped) {
        m_stopped = true;
        return std::move(handler.root);
    }
    if (!ok) {
        const size_t at = std::min<size_t>(handler.errorPosition, size_t(end - begin));
        const auto line = 1 + std::count(begin, begin + at, '\n');
        const char *lineStart = begin + at;
        while (lineStart > begin && lineStart[-1] != '\n')
            --lineStart;
        QString reason = QString::fromStdString(handler.errorText);
        if (const qsizetype dash = reason.indexOf(QLatin1String(": ")); dash >= 0)
            reason = reason.mid(dash + 2);
        return Failure(ErrorNumber::BadFileFormat, QStringLiteral("%1 is not a JSON file as it stands: line %2, column %3: %4")
                                                       .arg(name)
                                                       .arg(line)
                                                       .arg(begin + at - lineStart)
                                                       .arg(reason));
    }
    return std::move(handler.root);
}

} // namespace quarl::igm
