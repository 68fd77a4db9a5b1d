#include "sam/samreply.h"

#include "json/jsonschema.h"
#include "json/jsonsplitreader.h"
#include "json/jsontext.h"
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

    // A line of the reply, handed out by the reader before the rest: what it says is kept
    // aside and put where the lines stand when the rest is walked.
    void line(const QString &listKey, size_t i, const Json &v)
    {
        Aside &aside = m_aside[listKey];
        GatewayReply &into = aside.reply;
        swap(into);
        const SamLineIndex::Entry *byPlace = m_lines.at(qsizetype(i));
        walk(v, QStringLiteral("/master/") + listKey + QLatin1Char('/') + QString::number(i),
             byPlace ? byPlace->lineNo : qint64(i) + 1, 0);
        swap(into);
    }

    void walk(const Json &v, const QString &pointer, qint64 lineNo, qint64 subLineNo)
    {
        if (v.is_object()) {
            if (const auto codes = v.find("errorCode"); codes != v.end() && codes->is_array())
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
                if (pointer == QLatin1String("/master") && m_aside.contains(key))
                    putBack(m_aside[key]);
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

    // Lines whose list the rest of the reply does not hold (read, then gone twice over).
    void putAsideLeft()
    {
        for (Aside &aside : m_aside)
            putBack(aside);
    }

private:
    struct Aside
    {
        GatewayReply reply;
    };

    void swap(GatewayReply &other)
    {
        std::swap(other.errors, m_reply.errors);
        std::swap(other.unlisted, m_reply.unlisted);
        std::swap(other.identifiers, m_reply.identifiers);
    }

    // What was put aside, where it stands in the reply, as much as the lists hold.
    void putBack(Aside &aside)
    {
        QList<Finding> &errors = aside.reply.errors;
        const qsizetype room = std::max<qsizetype>(0, GatewayReply::MostListed - m_reply.errors.size());
        m_reply.unlisted += aside.reply.unlisted + std::max<qsizetype>(0, errors.size() - room);
        m_reply.errors << errors.mid(0, room);
        const qsizetype idRoom = std::max<qsizetype>(0, GatewayReply::MostIdentifiers - m_reply.identifiers.size());
        m_reply.identifiers << aside.reply.identifiers.mid(0, idRoom);
        aside.reply = GatewayReply();
    }

    static bool isErrorList(const Json &v)
    {
        if (!v.is_array() || v.empty())
            return false;
        for (const Json &e : v) {
            const auto code = e.is_object() ? e.find("errorCode") : e.end();
            if (!e.is_object() || code == e.end() || !code->is_string())
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
        if (m_reply.errors.size() >= GatewayReply::MostListed)
            ++m_reply.unlisted;
        else
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
        if (m_reply.identifiers.size() < GatewayReply::MostIdentifiers)
            m_reply.identifiers.append(id);
    }

    const SamLineIndex &m_lines;
    GatewayReply &m_reply;
    QHash<QString, Aside> m_aside; // by the key of the list of lines
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
    const JsonText json(file);
    SamLineIndex index;
    JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [&](size_t i, Json &&l) {
                                 // the gateway takes no more lines, nor house B/Ls under one
                                 if (index.lines.size() >= SamLineIndex::MostLines)
                                     return true;
                                 SamLineIndex::Entry line;
                                 const Json &ref = child(l, "MCRef");
                                 line.lineNo = text(ref, "lineNo").toLongLong();
                                 if (line.lineNo <= 0)
                                     line.lineNo = qint64(i) + 1;
                                 line.blNo = text(ref, "mstrBlNo");
                                 const Json &houses = list(l, "houseCargoDec");
                                 for (size_t k = 0; k < houses.size() && k < size_t(SamLineIndex::MostHouses); ++k) {
                                     const Json &href = child(houses[k], "HCRef");
                                     qint64 sub = text(href, "subLineNo").toLongLong();
                                     if (sub <= 0)
                                         sub = qint64(k) + 1;
                                     line.houses.insert(sub, text(href, "blNo"));
                                     line.houseOrder << sub;
                                 }
                                 index.byLineNo.insert(line.lineNo, index.lines.size());
                                 index.lines << line;
                                 return true;
                             }},
                            {{"master", "voyageTransportEquipment"}, {}}});
    reader.setFileMapped(json.mapped());
    Result<Json> top = reader.read(json.begin(), json.end(), QFileInfo(path).fileName());
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

namespace {

Result<GatewayReply> readReplyWithin(const char *begin, const char *end, const SamLineIndex &lines, bool fileMapped)
{
    GatewayReply reply;
    AckWalker walker(lines, reply);
    // The lines of an acknowledgement and the messages of a structure failure are read one
    // at a time: a reply to a long voyage is long too.
    QList<Finding> messages;
    qint64 unlistedMessages = 0;
    auto message = [&](size_t, Json &&m) {
        if (messages.size() >= GatewayReply::MostListed)
            return ++unlistedMessages, true;
        Finding r;
        r.text = text(m, "message");
        r.path = text(child(m, "instance"), "pointer");
        const QString keyword = text(m, "keyword");
        if (r.text.isEmpty())
            r.text = keyword;
        r.field = labelOf(r.path);
        // A missing key is named by itself, not by the object that lacks it.
        const Json &missing = list(m, "missing");
        if (!missing.empty() && missing.front().is_string())
            r.field = labelOf(r.path + QLatin1Char('/') + QString::fromStdString(missing.front().get<std::string>()));
        placeOfPointer(lines, r.path, &r);
        messages.append(r);
        return true;
    };
    JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [&](size_t i, Json &&l) { return walker.line(QStringLiteral("mastrCnsgmtDec"), i, l), true; }},
                            {{"master", "mastrCnsgnmtDec"}, [&](size_t i, Json &&l) { return walker.line(QStringLiteral("mastrCnsgnmtDec"), i, l), true; }},
                            {{"errorDetails", "errorMessage"}, message}});
    reader.setFileMapped(fileMapped);
    // A key given twice is a damaged reply: of its two values either might be the gateway's.
    reader.setRefuseDuplicateKeys(true);
    const Result<Json> read = reader.read(begin, end, QStringLiteral("The reply"));
    if (!read)
        return read.failure();
    const Json &top = read.value();
    if (!top.is_object() || (!top.contains("errorDetails") && !top.contains("master")))
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("This is not a reply of the gateway: it has neither errorDetails (_SFL) nor master (_ACK)."));
    const Json &header = child(top, "headerField");
    reply.sender = text(header, "senderID");
    reply.date = text(header, "date");
    if (top.contains("errorDetails")) {
        reply.kind = GatewayReply::Kind::StructureFailure;
        reply.errors.clear();
        reply.unlisted = 0;
        reply.identifiers.clear();
        const Json &details = child(top, "errorDetails");
        reply.status = text(details, "status");
        reply.jobNo = text(header, "sequenceOrControlNumber");
        const QString code = text(details, "errorCode");
        for (Finding &r : messages)
            r.rule = code;
        reply.errors = std::move(messages);
        reply.unlisted = unlistedMessages;
        if (reply.errors.isEmpty() && !code.isEmpty()) {
            Finding r;
            r.rule = code;
            r.text = reply.status;
            reply.errors.append(r);
        }
        return reply;
    }
    const Json &decRef = child(child(top, "master"), "decRef");
    reply.jobNo = text(decRef, "jobNo");
    reply.jobDate = text(decRef, "jobDt");
    // The key of the number the gateway allots: the declaration's own, or the sister message's.
    for (const auto &[number, date] : {std::pair{"mnfstNoRotnNo", "mnfstDtRotnDt"}, std::pair{"igmNo", "igmDt"},
                                       std::pair{"csn_no", "csn_dt"}, std::pair{"csnNmbr", "csnDt"}}) {
        if (!text(decRef, number).isEmpty()) {
            reply.reference = text(decRef, number);
            reply.referenceDate = text(decRef, date);
            break;
        }
    }
    walker.walk(top, QString(), 0, 0);
    walker.putAsideLeft();
    if (walker.lists == 0)
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("This is a declaration, not the gateway's reply: it holds no error codes."));
    return reply;
}

// The same, with whatever the libraries throw said as the failure.
Result<GatewayReply> readReplyText(const char *begin, const char *end, const SamLineIndex &lines, bool fileMapped)
{
    try {
        return readReplyWithin(begin, end, lines, fileMapped);
    } catch (const std::exception &e) {
        return Failure(ErrorNumber::BadFileFormat, QStringLiteral("The reply could not be read: %1").arg(QString::fromUtf8(e.what())));
    }
}

} // namespace

Result<GatewayReply> readGatewayReply(const QByteArray &data, const SamLineIndex &lines)
{
    return readReplyText(data.constData(), data.constData() + data.size(), lines, false);
}

Result<GatewayReply> readGatewayReply(const QString &path, const QString &declaration, QString *declarationUsed)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
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
    const JsonText json(file);
    return readReplyText(json.begin(), json.end(), lines, json.mapped());
}

Result<GatewayReply> readGatewayReplyFile(const QString &path, const SamLineIndex &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const JsonText json(file);
    return readReplyText(json.begin(), json.end(), lines, json.mapped());
}

QString GatewayReply::summary() const
{
    const QString kindText = kind == Kind::StructureFailure ? QStringLiteral("Structure failure (_SFL)")
                                                            : QStringLiteral("Acknowledgement (_ACK)");
    if (accepted())
        return kindText + QStringLiteral(": accepted, no errors");
    const qint64 all = errors.size() + unlisted;
    return QStringLiteral("%1: %2 %3").arg(kindText).arg(all).arg(all == 1 ? QStringLiteral("error") : QStringLiteral("errors"));
}

} // namespace quarl::igm
