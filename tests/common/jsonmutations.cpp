#include "common/jsonmutations.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>

namespace quarl::test {

namespace {

using igm::Json;

std::string escaped(const std::string &key)
{
    std::string out;
    for (const char c : key)
        out += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
    return out;
}

// Every place of the document as a JSON pointer, the whole document first.
void collect(const Json &v, const std::string &at, std::vector<std::string> *out)
{
    out->push_back(at);
    if (v.is_object()) {
        for (auto it = v.begin(); it != v.end(); ++it)
            collect(it.value(), at + '/' + escaped(it.key()), out);
    } else if (v.is_array()) {
        for (size_t i = 0; i < v.size(); ++i)
            collect(v[i], at + '/' + std::to_string(i), out);
    }
}

bool isDateLike(const std::string &s)
{
    return (s.size() == 8 || s.size() == 14) && std::isdigit(static_cast<unsigned char>(s[0]));
}

} // namespace

JsonMutations::JsonMutations(const QByteArray &good, quint32 seed)
    : m_good(Json::parse(good.constBegin(), good.constEnd())), m_goodText(good), m_rng(seed)
{
}

QByteArray JsonMutations::next()
{
    m_made.clear();
    // half of the texts damaged in their structure, three in ten in their bytes, the rest both
    const int kind = pick(10);
    QByteArray text;
    if (kind >= 5 && kind < 8) {
        text = m_goodText;
    } else {
        Json doc = m_good;
        QList<std::pair<QByteArray, QByteArray>> afterDump;
        for (int n = kind < 5 ? 1 + pick(3) : 1; n > 0; --n)
            structure(doc, &afterDump);
        text = QByteArray::fromStdString(doc.dump(pick(3) == 0 ? -1 : 1));
        for (const auto &[mark, replacement] : afterDump)
            text.replace(mark, replacement);
    }
    if (kind >= 5) {
        for (int n = kind < 8 ? 1 + pick(3) : 1; n > 0; --n)
            bytes(text);
    }
    return text;
}

Json JsonMutations::oddValue(const Json &current, QList<std::pair<QByteArray, QByteArray>> *afterDump)
{
    if (current.is_number() && pick(2) == 0) {
        // the schema's bounds and beyond, whole numbers written as fractions, fractions
        const double v = current.get<double>();
        const Json numbers[] = {0, 1, -1, 9999, 10000, 99999, 100000, 9999999, 10000000, 99999999, 100000000,
                                2147483647, 2147483648.0, 4294967296LL, 1e15, 1e19, 1e300, 0.5, 1.0, -0.0,
                                v + 1, v * 1e6, v + 0.25, -v};
        const Json &n = numbers[pick(int(std::size(numbers)))];
        m_made << QStringLiteral("number %1").arg(QString::fromStdString(n.dump()));
        return n;
    }
    const std::string s = current.is_string() ? current.get<std::string>() : std::string("X");
    const Json values[] = {true, false, nullptr, "", "   ", "X", 0, -1, 1, 1.5, 1e19, "1", "20250230",
                           Json::array(), Json::object(), Json::array({1, "a"}), Json::object({{"a", 1}}),
                           std::string("A\0B", 3), "\xc3\xa9\xc3\xbc", "\xf0\x9f\x98\x80", " " + s + " ", s + s,
                           "\t" + s, s + "\n"};
    const Json &v = values[pick(int(std::size(values)))];
    m_made << QStringLiteral("value %1").arg(QString::fromStdString(v.dump()));
    Q_UNUSED(afterDump);
    return v;
}

void JsonMutations::structure(Json &doc, QList<std::pair<QByteArray, QByteArray>> *afterDump)
{
    std::vector<std::string> pointers;
    collect(doc, std::string(), &pointers);
    if (pointers.size() < 2)
        return;
    const std::string where = pointers[1 + size_t(pick(int(pointers.size()) - 1))];
    const Json::json_pointer p(where);
    Json &parent = doc.at(p.parent_pointer());
    const std::string last = p.back();
    Json &value = doc.at(p);
    const QString at = QString::fromStdString(where);
    auto mark = [&](const char *what) { return QByteArray("@@") + what + QByteArray::number(++m_marks) + "@@"; };
    switch (pick(12)) {
    case 0: // removed
        m_made << QStringLiteral("removed %1").arg(at);
        if (parent.is_array())
            parent.erase(std::stoul(last));
        else
            parent.erase(last);
        return;
    case 1:
    case 2:
        m_made << at;
        value = oddValue(value, afterDump);
        return;
    case 3: // an element of a list twice
        if (parent.is_array()) {
            m_made << QStringLiteral("repeated %1").arg(at);
            const Json copy = value;
            parent.insert(parent.begin() + pick(int(parent.size()) + 1), copy);
        } else if (value.is_array() && !value.empty()) {
            m_made << QStringLiteral("repeated in %1").arg(at);
            const Json copy = value[size_t(pick(int(value.size())))];
            value.push_back(copy);
        } else {
            m_made << at;
            value = oddValue(value, afterDump);
        }
        return;
    case 4: // another order
        if (parent.is_array() && parent.size() > 1) {
            const size_t other = size_t(pick(int(parent.size())));
            m_made << QStringLiteral("swapped %1 with %2").arg(at).arg(other);
            std::swap(parent[std::stoul(last)], parent[other]);
        } else if (parent.is_object()) {
            m_made << QStringLiteral("moved last %1").arg(at);
            Json moved = std::move(value);
            parent.erase(last);
            parent[last] = std::move(moved);
        }
        return;
    case 5: // a key twice in its object
        if (parent.is_object()) {
            const QByteArray key = mark("key");
            m_made << QStringLiteral("twice %1").arg(at);
            parent[key.toStdString()] = pick(2) ? value : oddValue(value, afterDump);
            afterDump->append({'"' + key + '"', QByteArray::fromStdString(Json(last).dump())});
        }
        return;
    case 6: // a key renamed
        if (parent.is_object()) {
            std::string renamed = last;
            if (pick(2))
                renamed[0] = char(std::islower(static_cast<unsigned char>(renamed[0])) ? std::toupper(renamed[0]) : std::tolower(renamed[0]));
            else
                renamed += "x";
            m_made << QStringLiteral("renamed %1 %2").arg(at, QString::fromStdString(renamed));
            Json moved = std::move(value);
            parent.erase(last);
            parent[renamed] = std::move(moved);
        }
        return;
    case 7: // something more
        if (value.is_object()) {
            m_made << QStringLiteral("a key more in %1").arg(at);
            value["zzMore"] = oddValue(Json(), afterDump);
        } else if (value.is_array()) {
            m_made << QStringLiteral("an element more in %1").arg(at);
            value.push_back(pick(2) && !value.empty() ? Json::object() : oddValue(Json(), afterDump));
        } else {
            m_made << at;
            value = oddValue(value, afterDump);
        }
        return;
    case 8: // a number as text, text as a number
        if (value.is_number()) {
            m_made << QStringLiteral("as text %1").arg(at);
            value = value.dump();
        } else if (value.is_string() && !value.get<std::string>().empty()
                   && value.get<std::string>().find_first_not_of("0123456789.-") == std::string::npos) {
            m_made << QStringLiteral("as a number %1").arg(at);
            value = std::strtod(value.get<std::string>().c_str(), nullptr);
        } else {
            m_made << at;
            value = oddValue(value, afterDump);
        }
        return;
    case 9: // a date of another form
        if (value.is_string() && isDateLike(value.get<std::string>())) {
            const char *forms[] = {"2025-02-25", "20250230", "20251301", "2025022", "202502250", "20250225T06:00", "00000000",
                                   "29991231", "20240229", "20230229", "20250312T24:00", "20250312T06:60", "20250312 06:00",
                                   "20250312T6:00", "20250312T06:00Z", "20250312", " 20250312T06:00 ", "2025031２"};
            const char *form = forms[pick(int(std::size(forms)))];
            m_made << QStringLiteral("date %1 %2").arg(at, QString::fromUtf8(form));
            value = form;
        } else {
            m_made << at;
            value = oddValue(value, afterDump);
        }
        return;
    case 10: { // a long text
        const size_t sizes[] = {size_t(value.is_string() ? value.get<std::string>().size() + 1 : 11), 36, 71, 257, 513,
                                65536, 200000};
        const size_t n = sizes[pick(int(std::size(sizes)))];
        m_made << QStringLiteral("%1 characters %2").arg(n).arg(at);
        value = std::string(n, pick(2) ? 'X' : ' ');
        return;
    }
    default: { // nested deep
        const int depths[] = {10, 63, 64, 65, 1000, 100000};
        const int depth = depths[pick(int(std::size(depths)))];
        const bool arrays = pick(2);
        const QByteArray key = mark("deep");
        m_made << QStringLiteral("nested %1 deep %2").arg(depth).arg(at);
        value = key.toStdString();
        afterDump->append({'"' + key + '"', arrays ? QByteArray("[").repeated(depth) + QByteArray("]").repeated(depth)
                                                   : QByteArray("{\"a\":").repeated(depth) + "0" + QByteArray("}").repeated(depth)});
        return;
    }
    }
}

void JsonMutations::bytes(QByteArray &text)
{
    if (text.isEmpty())
        return;
    const qsizetype at = qsizetype(m_rng.bounded(quint64(text.size())));
    switch (pick(9)) {
    case 0:
        text[at] = char(pick(256));
        m_made << QStringLiteral("byte %1 changed").arg(at);
        return;
    case 1:
        text.truncate(at);
        m_made << QStringLiteral("cut at %1").arg(at);
        return;
    case 2: {
        const int n = 1 + pick(40);
        text.remove(at, n);
        m_made << QStringLiteral("%1 bytes removed at %2").arg(n).arg(at);
        return;
    }
    case 3: {
        const QByteArray tokens[] = {",", "}", "]", "{", "[", "\"", "\\", ":", "\\u0000", "\\ud800", "\\\"", "1e400", "-", "NaN",
                                     "Infinity", "true", "null", "\xff", "\xc3", "\xef\xbb\xbf", QByteArray(1, '\0'), "\t", "\n",
                                     "/*x*/", "\x7f", "\xed\xa0\x80", "\xc0\xaf", "0x1F", "01", ".5", "1.", "+1", "-0", "\x01"};
        const QByteArray &t = tokens[pick(int(std::size(tokens)))];
        text.insert(at, t);
        m_made << QStringLiteral("%1 inserted at %2").arg(QString::fromLatin1(t.toPercentEncoding()), QString::number(at));
        return;
    }
    case 4: {
        const qsizetype from = qsizetype(m_rng.bounded(quint64(text.size())));
        const QByteArray copy = text.mid(from, 1 + pick(200));
        text.insert(at, copy);
        m_made << QStringLiteral("%1 bytes from %2 repeated at %3").arg(copy.size()).arg(from).arg(at);
        return;
    }
    case 5: {
        QByteArray noise;
        for (int n = 1 + pick(64); n > 0; --n)
            noise += char(pick(256));
        text.insert(at, noise);
        m_made << QStringLiteral("%1 bytes of noise at %2").arg(noise.size()).arg(at);
        return;
    }
    case 6: // another digit: the text most often stays JSON
        for (qsizetype i = at; i < text.size(); ++i) {
            if (text[i] >= '0' && text[i] <= '9') {
                text[i] = char('0' + pick(10));
                m_made << QStringLiteral("digit at %1").arg(i);
                return;
            }
        }
        return;
    case 7: // another letter
        for (qsizetype i = at; i < text.size(); ++i) {
            if (text[i] >= 'A' && text[i] <= 'Z') {
                text[i] = pick(2) ? char(text[i] + 32) : char('A' + pick(26));
                m_made << QStringLiteral("letter at %1").arg(i);
                return;
            }
        }
        return;
    default:
        if (at + 1 < text.size()) {
            std::swap(text[at], text[at + 1]);
            m_made << QStringLiteral("bytes %1 and %2 swapped").arg(at).arg(at + 1);
        }
        return;
    }
}

HangGuard::HangGuard(std::chrono::seconds bound)
    : m_bound(bound), m_watch([this] {
          std::unique_lock lock(m_mutex);
          while (!m_stop) {
              if (!m_busy) {
                  m_changed.wait(lock);
                  continue;
              }
              if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_busy
                  && std::chrono::steady_clock::now() >= m_deadline) {
                  std::fprintf(stderr, "HANG: %s has run more than %lld s\n", m_what.constData(), static_cast<long long>(m_bound.count()));
                  std::fflush(stderr);
                  std::abort();
              }
          }
      })
{
}

HangGuard::~HangGuard()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_watch.join();
}

std::chrono::steady_clock::time_point HangGuard::begin(const QString &what)
{
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_mutex);
        m_what = what.toUtf8();
        m_deadline = now + m_bound;
        m_busy = true;
    }
    m_changed.notify_all();
    return now;
}

bool HangGuard::end(std::chrono::steady_clock::time_point start)
{
    {
        std::lock_guard lock(m_mutex);
        m_busy = false;
    }
    m_changed.notify_all();
    return std::chrono::steady_clock::now() - start <= m_bound;
}

} // namespace quarl::test
