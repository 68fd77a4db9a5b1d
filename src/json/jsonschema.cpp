#include "json/jsonschema.h"

#include <nlohmann/json.hpp>

#include <QFile>
#include <QRegularExpression>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <deque>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace quarl::igm {

struct SchemaNode
{
    enum TypeBit : unsigned { Object = 1, Array = 2, String = 4, Number = 8, Integer = 16, Boolean = 32, Null = 64 };
    unsigned types = 0; // 0: any type
    QString typeText;
    std::vector<std::string> required;
    // The keys of properties and of required together, so that a member is looked up once.
    struct Member
    {
        const SchemaNode *node = nullptr; // its schema (properties); none: only required
        int required = -1;                // its place in required
    };
    std::unordered_map<std::string, Member> members;
    const SchemaNode *items = nullptr;
    qint64 minLength = -1;
    qint64 maxLength = -1;
    std::optional<double> minimum;
    std::optional<double> maximum;
    std::optional<QRegularExpression> pattern;
    QString patternWords; // the description when there is one, else the pattern
    std::optional<std::vector<Json>> enumValues;
    QString enumText;
    const SchemaNode *ref = nullptr;
};

namespace {

const std::unordered_map<std::string, unsigned> TypeNames = {
    {"object", SchemaNode::Object}, {"array", SchemaNode::Array},       {"string", SchemaNode::String},
    {"number", SchemaNode::Number}, {"integer", SchemaNode::Integer},   {"boolean", SchemaNode::Boolean},
    {"null", SchemaNode::Null},
};

// Keywords that only annotate; they are kept out of validation.
bool isAnnotation(const std::string &key)
{
    return key == "$schema" || key == "$id" || key == "$comment" || key == "title" || key == "description"
        || key == "definitions" || key == "default" || key == "examples";
}

bool isInteger(const Json &v)
{
    if (v.is_number_integer())
        return true;
    if (!v.is_number_float())
        return false;
    const double d = v.get<double>();
    return std::isfinite(d) && std::floor(d) == d;
}

bool matchesType(const Json &v, unsigned types)
{
    if ((types & SchemaNode::Object) && v.is_object())
        return true;
    if ((types & SchemaNode::Array) && v.is_array())
        return true;
    if ((types & SchemaNode::String) && v.is_string())
        return true;
    if ((types & SchemaNode::Number) && v.is_number())
        return true;
    if ((types & SchemaNode::Integer) && isInteger(v))
        return true;
    if ((types & SchemaNode::Boolean) && v.is_boolean())
        return true;
    return (types & SchemaNode::Null) && v.is_null();
}

// JSON Schema counts characters, not bytes: UTF-8 continuation bytes are not counted.
qint64 characterCount(const std::string &s)
{
    qint64 n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

QString valueText(const Json &v)
{
    if (v.is_string())
        return QString::fromStdString(v.get_ref<const std::string &>());
    return QString::fromStdString(v.dump());
}

QString numberText(double d)
{
    return QString::number(d, 'g', 17);
}

std::string escapeToken(const std::string &token)
{
    std::string out;
    out.reserve(token.size());
    for (char c : token) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

} // namespace

struct JsonSchema::Data
{
    // Told apart from every other schema compiled, for what a thread remembers of it.
    const quint64 serial = nextSerial();
    Json document;
    std::deque<SchemaNode> nodes;
    std::unordered_map<std::string, SchemaNode *> byPointer;
    const SchemaNode *root = nullptr;
    QString name;

    Result<SchemaNode *> compile(const std::string &pointer);
    // A text against a node's pattern. The same texts come again and again (ports, dates,
    // codes): each thread remembers a few hundred of them and whether they matched.
    bool matchesPattern(const SchemaNode *n, const std::string &s) const
    {
        struct Memo
        {
            quint64 serial = 0;
            const SchemaNode *node = nullptr;
            std::string text;
            bool matched = false;
        };
        thread_local std::array<Memo, 512> memo;
        Memo &m = memo[(std::hash<std::string>()(s) ^ (quintptr(n) / alignof(SchemaNode))) % memo.size()];
        if (m.serial == serial && m.node == n && m.text == s)
            return m.matched;
        m.serial = serial;
        m.node = n;
        m.text = s;
        m.matched = n->pattern->match(QString::fromStdString(s)).hasMatch();
        return m.matched;
    }
    static quint64 nextSerial()
    {
        static std::atomic<quint64> last{0};
        return ++last;
    }
    void validate(const Json &v, const SchemaNode *n, std::string &path, const FailureSink &out) const;

    Failure refuse(const std::string &pointer, const QString &what) const
    {
        return Failure(ErrorNumber::BadFileFormat, QStringLiteral("The schema %1 cannot be used: %2 (at %3).")
                                                       .arg(name, what,
                                                            pointer.empty() ? QStringLiteral("its top")
                                                                            : QString::fromStdString(pointer)));
    }
};

Result<SchemaNode *> JsonSchema::Data::compile(const std::string &pointer)
{
    if (auto it = byPointer.find(pointer); it != byPointer.end())
        return it->second;
    const Json::json_pointer jp(pointer);
    if (!document.contains(jp))
        return refuse(pointer, QStringLiteral("nothing is there"));
    const Json &s = document.at(jp);
    if (!s.is_object())
        return refuse(pointer, QStringLiteral("a schema must be an object"));
    SchemaNode &node = nodes.emplace_back();
    byPointer.emplace(pointer, &node);

    for (auto it = s.begin(); it != s.end(); ++it) {
        const std::string &key = it.key();
        const Json &v = it.value();
        const std::string here = pointer + "/" + escapeToken(key);
        if (isAnnotation(key)) {
            if (key == "description" && v.is_string())
                node.patternWords = QString::fromStdString(v.get<std::string>());
            continue;
        }
        if (key == "$ref") {
            if (!v.is_string() || v.get<std::string>().rfind("#", 0) != 0)
                return refuse(here, QStringLiteral("only references into the schema itself (\"#/...\") are read"));
            Result<SchemaNode *> target = compile(v.get<std::string>().substr(1));
            if (!target)
                return target.failure();
            node.ref = target.value();
        } else if (key == "type") {
            const Json names = v.is_array() ? v : Json::array({v});
            QStringList texts;
            for (const Json &t : names) {
                const auto found = t.is_string() ? TypeNames.find(t.get<std::string>()) : TypeNames.end();
                if (found == TypeNames.end())
                    return refuse(here, QStringLiteral("unknown type %1").arg(QString::fromStdString(t.dump())));
                node.types |= found->second;
                texts << QString::fromStdString(found->first);
            }
            node.typeText = texts.join(QStringLiteral(" or "));
        } else if (key == "required") {
            if (!v.is_array())
                return refuse(here, QStringLiteral("required must be a list of names"));
            for (const Json &r : v) {
                if (!r.is_string())
                    return refuse(here, QStringLiteral("required must be a list of names"));
                // a name given twice is one requirement
                if (std::find(node.required.begin(), node.required.end(), r.get<std::string>()) == node.required.end())
                    node.required.push_back(r.get<std::string>());
            }
        } else if (key == "properties") {
            if (!v.is_object())
                return refuse(here, QStringLiteral("properties must be an object"));
            for (auto p = v.begin(); p != v.end(); ++p) {
                Result<SchemaNode *> child = compile(here + "/" + escapeToken(p.key()));
                if (!child)
                    return child.failure();
                node.members[p.key()].node = child.value();
            }
        } else if (key == "items") {
            Result<SchemaNode *> child = compile(here);
            if (!child)
                return child.failure();
            node.items = child.value();
        } else if (key == "minLength" || key == "maxLength") {
            if (!v.is_number_unsigned() && !(v.is_number_integer() && v.get<qint64>() >= 0))
                return refuse(here, QStringLiteral("%1 must be a whole number").arg(QString::fromStdString(key)));
            (key == "minLength" ? node.minLength : node.maxLength) = v.get<qint64>();
        } else if (key == "minimum" || key == "maximum") {
            if (!v.is_number())
                return refuse(here, QStringLiteral("%1 must be a number").arg(QString::fromStdString(key)));
            (key == "minimum" ? node.minimum : node.maximum) = v.get<double>();
        } else if (key == "pattern") {
            if (!v.is_string())
                return refuse(here, QStringLiteral("pattern must be text"));
            QRegularExpression re(QString::fromStdString(v.get<std::string>()));
            if (!re.isValid())
                return refuse(here, QStringLiteral("the pattern is not a regular expression: %1").arg(re.errorString()));
            re.optimize();
            node.pattern = re;
        } else if (key == "enum") {
            if (!v.is_array() || v.empty())
                return refuse(here, QStringLiteral("enum must be a list of values"));
            node.enumValues = std::vector<Json>(v.begin(), v.end());
            QStringList texts;
            for (const Json &e : v)
                texts << valueText(e);
            node.enumText = texts.join(QStringLiteral(", "));
        } else {
            return refuse(here, QStringLiteral("the keyword \"%1\" is not one this program checks").arg(QString::fromStdString(key)));
        }
    }
    if (node.pattern && node.patternWords.isEmpty())
        node.patternWords = node.pattern->pattern();
    for (int i = 0; i < int(node.required.size()); ++i)
        node.members[node.required[size_t(i)]].required = i;
    return &node;
}

void JsonSchema::Data::validate(const Json &v, const SchemaNode *n, std::string &path, const FailureSink &out) const
{
    // $ref replaces the schema it stands in (draft-07).
    while (n->ref)
        n = n->ref;
    auto fail = [&](const char *keyword, QString expected, QString found, QString property = {}, qint64 length = -1) {
        SchemaFailure f;
        f.length = length;
        f.pointer = QString::fromStdString(path);
        f.keyword = QLatin1String(keyword);
        f.expected = std::move(expected);
        f.found = std::move(found);
        f.property = std::move(property);
        out(std::move(f));
    };
    if (n->types && !matchesType(v, n->types))
        fail("type", n->typeText, valueText(v));
    if (n->enumValues) {
        bool any = false;
        for (const Json &e : *n->enumValues)
            any = any || e == v;
        if (!any)
            fail("enum", n->enumText, valueText(v));
    }
    if (v.is_string()) {
        const std::string &s = v.get_ref<const std::string &>();
        if (n->minLength >= 0 || n->maxLength >= 0) {
            const qint64 length = characterCount(s);
            if (n->minLength >= 0 && length < n->minLength)
                fail("minLength", QString::number(n->minLength), valueText(v), {}, length);
            if (n->maxLength >= 0 && length > n->maxLength)
                fail("maxLength", QString::number(n->maxLength), valueText(v), {}, length);
        }
        if (n->pattern && !matchesPattern(n, s))
            fail("pattern", n->patternWords, QString::fromStdString(s));
    } else if (v.is_number()) {
        const double d = v.get<double>();
        if (n->minimum && d < *n->minimum)
            fail("minimum", numberText(*n->minimum), valueText(v));
        if (n->maximum && d > *n->maximum)
            fail("maximum", numberText(*n->maximum), valueText(v));
    } else if (v.is_object()) {
        // One look-up per member; the missing required keys are told before what is wrong
        // inside the members.
        struct Found
        {
            const std::string *key;
            const Json *value;
            const SchemaNode *node;
        };
        QVarLengthArray<Found, 32> found;
        QVarLengthArray<bool, 64> present(qsizetype(n->required.size()), false);
        if (!n->members.empty()) {
            for (auto it = v.begin(); it != v.end(); ++it) {
                const auto p = n->members.find(it.key());
                if (p == n->members.end())
                    continue;
                if (p->second.required >= 0)
                    present[p->second.required] = true;
                if (p->second.node)
                    found.append({&it.key(), &it.value(), p->second.node});
            }
        }
        for (size_t i = 0; i < n->required.size(); ++i) {
            if (!present[qsizetype(i)])
                fail("required", {}, {}, QString::fromStdString(n->required[i]));
        }
        for (const Found &f : found) {
            const size_t mark = path.size();
            path += '/';
            if (std::none_of(f.key->begin(), f.key->end(), [](char c) { return c == '~' || c == '/'; }))
                path += *f.key;
            else
                path += escapeToken(*f.key);
            validate(*f.value, f.node, path, out);
            path.resize(mark);
        }
    } else if (v.is_array() && n->items) {
        for (size_t i = 0; i < v.size(); ++i) {
            const size_t mark = path.size();
            path += '/';
            path += std::to_string(i);
            validate(v[i], n->items, path, out);
            path.resize(mark);
        }
    }
}

JsonSchema::JsonSchema() = default;

Result<JsonSchema> JsonSchema::fromData(const QByteArray &data, const QString &name)
{
    auto d = std::make_shared<Data>();
    d->name = name;
    // Nested no deeper than the documents it checks, so that the compiling that follows its
    // nesting keeps to the stack.
    constexpr int MostDepth = 64;
    try {
        d->document = Json::parse(data.constBegin(), data.constEnd(), [](int depth, Json::parse_event_t, Json &) {
            if (depth > MostDepth)
                throw std::length_error("arrays and objects nested more than 64 deep");
            return true;
        });
    } catch (const std::exception &e) {
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("The schema %1 is not JSON: %2").arg(name, QString::fromUtf8(e.what())));
    }
    Result<SchemaNode *> root = d->compile(std::string());
    if (!root)
        return root.failure();
    // A reference that leads back to itself would be followed for ever.
    for (const auto &[pointer, node] : d->byPointer) {
        const SchemaNode *n = node;
        for (size_t steps = 0; n && n->ref; ++steps) {
            if (steps > d->nodes.size())
                return d->refuse(pointer, QStringLiteral("its reference leads back to itself"));
            n = n->ref;
        }
    }
    d->root = root.value();
    JsonSchema schema;
    schema.d = std::move(d);
    return schema;
}

Result<JsonSchema> JsonSchema::fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(ErrorNumber::FileNotFound,
                       QStringLiteral("Cannot read the schema %1: %2").arg(path, file.errorString()));
    return fromData(file.readAll(), path);
}

const SchemaNode *JsonSchema::root() const
{
    return d ? d->root : nullptr;
}

const SchemaNode *JsonSchema::at(const SchemaNode *node, const QStringList &steps) const
{
    for (const QString &step : steps) {
        while (node && node->ref)
            node = node->ref;
        if (!node)
            return nullptr;
        if (step == QLatin1String("[]")) {
            node = node->items;
        } else {
            const auto p = node->members.find(step.toStdString());
            node = p == node->members.end() ? nullptr : p->second.node;
        }
    }
    while (node && node->ref)
        node = node->ref;
    return node;
}

void JsonSchema::validate(const Json &value, const SchemaNode *node, std::string pointer, QList<SchemaFailure> *failures) const
{
    validate(value, node, std::move(pointer), [failures](SchemaFailure &&f) { failures->append(std::move(f)); });
}

bool JsonSchema::accepts(const Json &value, const SchemaNode *node) const
{
    bool failed = false;
    validate(value, node, std::string(), [&failed](SchemaFailure &&) { failed = true; });
    return !failed;
}

bool JsonSchema::acceptsType(const Json &value, const SchemaNode *node) const
{
    while (node && node->ref)
        node = node->ref;
    return !node || !node->types || matchesType(value, node->types);
}

void JsonSchema::validate(const Json &value, const SchemaNode *node, std::string pointer, const FailureSink &sink) const
{
    if (node)
        d->validate(value, node, pointer, sink);
}

QList<SchemaFailure> JsonSchema::validate(const Json &value) const
{
    QList<SchemaFailure> failures;
    validate(value, root(), std::string(), &failures);
    return failures;
}

QString pointerToken(const QString &token)
{
    return QString::fromStdString(escapeToken(token.toStdString()));
}

} // namespace quarl::igm
