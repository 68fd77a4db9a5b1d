#include "sam/samreply.h"

#include "json/jsonschema.h"
#include "json/jsonsplitreader.h"
#include "json/jsonvalues.h"
#include "sam/samfields.h"

#include <nlohmann/json.hpp>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace quarl::igm {

namespace {

using namespace JsonValues;

bool isSuccess(const QString &code, const QString &message)
{
    bool numeric = false;
    const int n = code.toInt(&numeric);
    return (numeric && n == 0) || (code.isEmpty() && message.startsWith(QLatin1String("Success"), Qt::CaseInsensitive));
}

// The label of the last key of a path, for the paths the gateway writes without indexes too.
QString labelOf(const QString &path)
{
    QStringList keys;
    for (const QString &t : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        bool numeric = false;
        t.toLongLong(&numeric);
        if (!numeric)
            keys << t;
    }
    if (keys.size() < 2)
        return {};
    const QString label = samFieldLabel(keys.at(keys.size() - 2), keys.last());
    return label == keys.last() ? QString() : label;
}

// Names the B/L of a line from the declaration.
void nameLine(const SamLineIndex &lines, qint64 lineNo, qint64 subLineNo, QString *blNo)
{
    if (const SamLineIndex::Entry *l = lines.line(lineNo))
        *blNo = subLineNo > 0 ? l->houses.value(subLineNo) : l->blNo;
}

class AckWalker
{
public:
    AckWalker(const SamLineIndex &lines, GatewayReply &reply) : m_lines(lines), m_reply(reply) {}

    int lists = 0; // error lists seen, successes included

    void walk(const Json &v, const QString &pointer, qint64 lineNo, qint64 subLineNo)
    {
        if (v.is_object()) {
            if (v.contains("errorCode") && v["errorCode"].is_array())
                ++lists;
            if (const auto ref = v.find("MCRef"); ref != v.end() && ref->is_object()) {
                const qint64 n = text(*ref, "lineNo").toLongLong();
                if (n > 0)
                    lineNo = n;
            }
            if (const auto ref = v.find("HCRef"); ref != v.end() && ref->is_object()) {
                const qint64 n = text(*ref, "subLineNo").toLongLong();
                if (n > 0)
                    subLineNo = n;
            }
            for (auto it = v.begin(); it != v.end(); ++it) {
                const QString key = QString::fromStdString(it.key());
                const QString here = pointer + QLatin1Char('/') + key;
                if (isErrorList(it.value())) {
                    ++lists;
                    for (const Json &e : it.value())
                        error(e, pointer, lineNo, subLineNo);
                } else if (key == QLatin1String("mcResponse") || key == QLatin1String("hcResponse")) {
                    identifier(it.value(), lineNo, key == QLatin1String("hcResponse") ? subLineNo : 0);
                } else {
                    walk(it.value(), here, lineNo, subLineNo);
                }
            }
        } else if (v.is_array()) {
            const bool lineList = pointer.endsWith(QLatin1String("/mastrCnsgmtDec")) || pointer.endsWith(QLatin1String("/mastrCnsgnmtDec"));
            const bool houseList = pointer.endsWith(QLatin1String("/houseCargoDec")) || pointer.endsWith(QLatin1String("/hcargoDec"));
            for (size_t i = 0; i < v.size(); ++i) {
                qint64 l = lineNo;
                qint64 s = subLineNo;
                // An element without its reference is named by its place.
                if (lineList) {
                    const SamLineIndex::Entry *byPlace = m_lines.at(qsizetype(i));
                    l = byPlace ? byPlace->lineNo : qint64(i) + 1;
                    s = 0;
                } else if (houseList) {
                    const SamLineIndex::Entry *line = m_lines.line(lineNo);
                    s = line && qsizetype(i) < line->houseOrder.size() ? line->houseOrder.at(qsizetype(i)) : qint64(i) + 1;
                }
                walk(v[i], pointer + QLatin1Char('/') + QString::number(i), l, s);
            }
        }
    }

private:
    static bool isErrorList(const Json &v)
    {
        if (!v.is_array() || v.empty())
            return false;
        for (const Json &e : v) {
            if (!e.is_object() || !e.contains("errorCode") || !e["errorCode"].is_string())
                return false;
        }
        return true;
    }

    void error(const Json &e, const QString &where, qint64 lineNo, qint64 subLineNo)
    {
        const QString code = text(e, "errorCode");
        const QString message = text(e, "errorMessage");
        if (isSuccess(code, message))
            return;
        Finding r;
        r.rule = code;
        r.text = message;
        r.path = text(e, "pathName");
        if (r.path.isEmpty())
            r.path = where;
        r.field = labelOf(r.path);
        const bool onLine = r.path.contains(QLatin1String("/mastrCnsgmtDec")) || r.path.contains(QLatin1String("/mastrCnsgnmtDec"))
                         || where.contains(QLatin1String("/mastrCnsg"));
        if (onLine) {
            r.lineNo = lineNo;
            const bool onHouse = r.path.contains(QLatin1String("/houseCargoDec")) || where.contains(QLatin1String("/hcargoDec"))
                              || where.contains(QLatin1String("/houseCargoDec"));
            r.subLineNo = onHouse ? subLineNo : 0;
            nameLine(m_lines, r.lineNo, r.subLineNo, &r.blNo);
        }
        m_reply.errors.append(r);
    }

    void identifier(const Json &v, qint64 lineNo, qint64 subLineNo)
    {
        const QString number = text(v, "mcinPcin");
        if (number.isEmpty())
            return;
        ReplyIdentifier id;
        id.lineNo = lineNo;
        id.subLineNo = subLineNo;
        id.type = text(v, "cinTyp");
        id.number = number;
        nameLine(m_lines, lineNo, subLineNo, &id.blNo);
        m_reply.identifiers.append(id);
    }

    const SamLineIndex &m_lines;
    GatewayReply &m_reply;
};

// The line and sub-line a JSON pointer of the declaration names: /master/mastrCnsgmtDec/3/...
void placeOfPointer(const SamLineIndex &lines, const QString &pointer, Finding *r)
{
    static const QRegularExpression line(QStringLiteral("^/master/mastrCnsgmtDec/([0-9]+)(/houseCargoDec/([0-9]+))?"));
    const QRegularExpressionMatch m = line.match(pointer);
    if (!m.hasMatch())
        return;
    const qsizetype index = m.captured(1).toLongLong();
    const SamLineIndex::Entry *l = lines.at(index);
    r->lineNo = l ? l->lineNo : index + 1;
    if (m.hasCaptured(3)) {
        const qsizetype house = m.captured(3).toLongLong();
        r->subLineNo = l && house < l->houseOrder.size() ? l->houseOrder.at(house) : house + 1;
    }
    nameLine(lines, r->lineNo, r->subLineNo, &r->blNo);
}

} // namespace

const SamLineIndex::Entry *SamLineIndex::line(qint64 lineNo) const
{
    const auto it = byLineNo.constFind(lineNo);
    return it == byLineNo.constEnd() ? nullptr : &lines.at(it.value());
}

const SamLineIndex::Entry *SamLineIndex::at(qsizetype index) const
{
    return index >= 0 && index < lines.size() ? &lines.at(index) : nullptr;
}

Result<SamLineIndex> readSamLineIndex(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray data = file.readAll();
    SamLineIndex index;
    JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [&](size_t i, Json &&l) {
                                 SamLineIndex::Entry line;
                                 const auto ref = l.is_object() ? l.find("MCRef") : l.end();
                                 line.lineNo = ref != l.end() ? text(*ref, "lineNo").toLongLong() : 0;
                                 if (line.lineNo <= 0)
                                     line.lineNo = qint64(i) + 1;
                                 line.blNo = ref != l.end() ? text(*ref, "mstrBlNo") : QString();
                                 const auto houses = l.is_object() ? l.find("houseCargoDec") : l.end();
                                 if (houses != l.end() && houses->is_array()) {
                                     for (size_t k = 0; k < houses->size(); ++k) {
                                         const Json &h = (*houses)[k];
                                         const auto href = h.is_object() ? h.find("HCRef") : h.end();
                                         qint64 sub = href != h.end() ? text(*href, "subLineNo").toLongLong() : 0;
                                         if (sub <= 0)
                                             sub = qint64(k) + 1;
                                         line.houses.insert(sub, href != h.end() ? text(*href, "blNo") : QString());
                                         line.houseOrder << sub;
                                     }
                                 }
                                 index.byLineNo.insert(line.lineNo, index.lines.size());
                                 index.lines << line;
                                 return true;
                             }}});
    Result<Json> top = reader.read(data.constData(), data.constData() + data.size(), QFileInfo(path).fileName());
    if (!top)
        return top.failure();
    return index;
}

QString declarationFor(const QString &replyPath)
{
    static const QRegularExpression reply(QStringLiteral("_(ACK|SFL)\\.json$"), QRegularExpression::CaseInsensitiveOption);
    QString dec = replyPath;
    dec.replace(reply, QStringLiteral("_DEC.json"));
    return dec == replyPath ? QString() : dec;
}

Result<GatewayReply> readGatewayReply(const QByteArray &data, const SamLineIndex &lines)
{
    Json top;
    try {
        top = Json::parse(data.constBegin(), data.constEnd());
    } catch (const Json::parse_error &e) {
        QString reason = QString::fromUtf8(e.what());
        if (const qsizetype at = reason.indexOf(QLatin1String(": ")); at >= 0)
            reason = reason.mid(at + 2);
        return Failure(ErrorNumber::BadFileFormat, QStringLiteral("The reply is not a JSON file as it stands: %1").arg(reason));
    }
    if (!top.is_object() || (!top.contains("errorDetails") && !top.contains("master")))
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("This is not a reply of the gateway: it has neither errorDetails (_SFL) nor master (_ACK)."));
    GatewayReply reply;
    const Json header = top.value("headerField", Json::object());
    reply.sender = text(header, "senderID");
    reply.date = text(header, "date");
    if (top.contains("errorDetails")) {
        reply.kind = GatewayReply::Kind::StructureFailure;
        const Json details = top["errorDetails"];
        reply.status = text(details, "status");
        reply.jobNo = text(header, "sequenceOrControlNumber");
        const QString code = text(details, "errorCode");
        const Json messages = details.is_object() ? details.value("errorMessage", Json::array()) : Json::array();
        for (const Json &m : messages.is_array() ? messages : Json::array()) {
            Finding r;
            r.rule = code;
            r.text = text(m, "message");
            if (const auto instance = m.find("instance"); instance != m.end())
                r.path = text(*instance, "pointer");
            const QString keyword = text(m, "keyword");
            if (r.text.isEmpty())
                r.text = keyword;
            r.field = labelOf(r.path);
            // A missing key is named by itself, not by the object that lacks it.
            if (const auto missing = m.find("missing"); missing != m.end() && missing->is_array() && !missing->empty()
                && missing->front().is_string())
                r.field = labelOf(r.path + QLatin1Char('/') + QString::fromStdString(missing->front().get<std::string>()));
            placeOfPointer(lines, r.path, &r);
            reply.errors.append(r);
        }
        if (messages.empty() && !code.isEmpty()) {
            Finding r;
            r.rule = code;
            r.text = reply.status;
            reply.errors.append(r);
        }
        return reply;
    }
    const Json master = top["master"];
    if (const auto decRef = master.find("decRef"); decRef != master.end())
        reply.jobNo = text(*decRef, "jobNo");
    AckWalker walker(lines, reply);
    walker.walk(top, QString(), 0, 0);
    if (walker.lists == 0)
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("This is a declaration, not the gateway's reply: it holds no error codes."));
    return reply;
}

Result<GatewayReply> readGatewayReply(const QString &path, const QString &declaration, QString *declarationUsed)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray data = file.readAll();
    SamLineIndex lines;
    const QString dec = declaration.isEmpty() ? declarationFor(path) : declaration;
    if (!dec.isEmpty() && (!declaration.isEmpty() || QFileInfo::exists(dec))) {
        Result<SamLineIndex> read = readSamLineIndex(dec);
        if (!read)
            return read.failure();
        lines = read.value();
        if (declarationUsed)
            *declarationUsed = dec;
    }
    return readGatewayReply(data, lines);
}

QString GatewayReply::summary() const
{
    const QString kindText = kind == Kind::StructureFailure ? QStringLiteral("Structure failure (_SFL)")
                                                            : QStringLiteral("Acknowledgement (_ACK)");
    if (accepted())
        return kindText + QStringLiteral(": accepted, no errors");
    return QStringLiteral("%1: %2 %3").arg(kindText).arg(errors.size()).arg(errors.size() == 1 ? QStringLiteral("error") : QStringLiteral("errors"));
}

} // namespace quarl::igm
