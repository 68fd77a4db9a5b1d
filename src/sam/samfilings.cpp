#include "sam/samfilings.h"

#include "store/database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace quarl::igm {

bool replyNameParts(const QString &fileName, QString *sender, qint64 *job, QDate *date)
{
    static const QRegularExpression name(QStringLiteral("^F_SACHM23_SAM_(.+)_([0-9]{1,7})_([0-9]{8,12})_(ACK|SFL|DEC)\\.json$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = name.match(fileName);
    if (!m.hasMatch())
        return false;
    *sender = m.captured(1);
    *job = m.captured(2).toLongLong();
    // this program names its files yyyyMMdd; the gateway's samples also ddMMyyyy and ddMMyyyyHHmm
    const QString d = m.captured(3);
    *date = QDate::fromString(d, QStringLiteral("yyyyMMdd"));
    if (!date->isValid() || d.size() != 8)
        *date = QDate::fromString(d.left(8), QStringLiteral("ddMMyyyy"));
    return true;
}

QString fileSha256(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

QString filingText(const Filings::Filing &f)
{
    QString text = QStringLiteral("%1  job %2 of %3  %4%5  %6 line(s), %7 house(s), %8 container(s)  %9")
                       .arg(f.written.toString(QStringLiteral("dd/MM/yyyy HH:mm")))
                       .arg(f.jobNumber)
                       .arg(f.jobDate.toString(QStringLiteral("dd/MM/yyyy")), f.messageType,
                            f.indicator == QLatin1String("T") ? QStringLiteral(" (test)") : QString())
                       .arg(f.lines)
                       .arg(f.houses)
                       .arg(f.containers)
                       .arg(f.stateText());
    if (!f.reference.isEmpty())
        text += QStringLiteral(" (reference %1%2)").arg(f.reference, f.referenceDate.isEmpty() ? QString() : QStringLiteral(" of ") + f.referenceDate);
    text += QStringLiteral("  %1  %2 on %3").arg(QDir::toNativeSeparators(f.path), f.user.isEmpty() ? QStringLiteral("-") : f.user,
                                                  f.workstation.isEmpty() ? QStringLiteral("-") : f.workstation);
    return text;
}

namespace {

// The declaration the reply answers, as the register names it: the file where it was
// written, else a copy of the same bytes beside the reply.
QString filedDeclaration(const Filings::Filing &filing, const QString &replyPath, QStringList *notes)
{
    const QString beside = declarationFor(replyPath);
    QStringList changed;
    for (const QString &candidate : {filing.path, beside}) {
        if (candidate.isEmpty() || !QFileInfo(candidate).isFile())
            continue;
        if (fileSha256(candidate).compare(filing.sha256, Qt::CaseInsensitive) == 0)
            return candidate;
        changed << QDir::toNativeSeparators(candidate);
    }
    if (!changed.isEmpty())
        *notes << QStringLiteral("%1 is not the file filed with job number %2: its SHA-256 differs from the one of the "
                                 "register. B/L numbers are not named.")
                      .arg(changed.join(QStringLiteral(", ")))
                      .arg(filing.jobNumber);
    else
        *notes << QStringLiteral("The file filed with job number %1 is neither at %2 nor beside the reply: B/L numbers "
                                 "are not named.")
                      .arg(filing.jobNumber)
                      .arg(QDir::toNativeSeparators(filing.path));
    return {};
}

Filings::ReplyOutcome outcomeOf(const GatewayReply &reply, const QString &path)
{
    Filings::ReplyOutcome o;
    o.state = reply.kind == GatewayReply::Kind::StructureFailure ? Filings::State::StructureFailure
              : reply.accepted()                                  ? Filings::State::Accepted
                                                                  : Filings::State::Rejected;
    o.errors = reply.errors.size() + reply.unlisted;
    o.replyFile = QFileInfo(path).fileName();
    o.read = QDateTime::currentDateTime();
    o.reference = reply.reference;
    o.referenceDate = reply.referenceDate;
    // the numbers of a declaration the gateway did not accept stand for nothing
    if (reply.accepted()) {
        for (const ReplyIdentifier &id : reply.identifiers)
            o.numbers << Filings::ReplyOutcome::Number{id.lineNo, id.subLineNo, id.type, id.number};
    }
    return o;
}

} // namespace

Result<ReplyOfFiling> readReplyOfFiling(const Database *db, const QString &path, const ReplyReading &how)
{
    ReplyOfFiling out;
    if (!db) {
        Result<GatewayReply> r = readGatewayReply(path, how.declaration, &out.declaration);
        if (!r)
            return r.failure();
        out.reply = r.value();
        return out;
    }
    const Result<bool> kept = Filings::kept(*db);
    if (!kept)
        return kept.failure();
    // First what it answers, without the lines.
    Result<GatewayReply> first = readGatewayReplyFile(path, SamLineIndex());
    if (!first)
        return first.failure();
    QString sender = first->sender.trimmed();
    bool numeric = false;
    qint64 job = first->jobNo.trimmed().toLongLong(&numeric);
    QDate date = QDate::fromString(first->jobDate.trimmed(), QStringLiteral("yyyyMMdd"));
    QString nameSender;
    qint64 nameJob = 0;
    QDate nameDate;
    if (replyNameParts(QFileInfo(path).fileName(), &nameSender, &nameJob, &nameDate)) {
        if (sender.isEmpty())
            sender = nameSender;
        if (!numeric || job <= 0)
            job = nameJob, numeric = true;
        if (!date.isValid())
            date = nameDate;
    }
    if (!kept.value()) {
        out.notes << QStringLiteral("This company database keeps no register of filings yet (Patches, Keep a Register of "
                                    "SAM Filings (2.5.0)): the reply is not stored.");
    } else if (sender.isEmpty() || !numeric || job <= 0) {
        out.notes << QStringLiteral("The reply names no sender and job number, nor does its file name: the filing it "
                                    "answers is not known, and the reply is not stored.");
    } else {
        Result<std::optional<Filings::Filing>> found = Filings::answered(*db, sender, job, date);
        if (!found)
            return found.failure();
        out.filing = found.value();
        if (!out.filing)
            out.notes << QStringLiteral("The register holds no filing of %1 with job number %2: the reply is not stored.")
                             .arg(sender)
                             .arg(job);
    }
    QString declaration = how.declaration;
    if (declaration.isEmpty() && out.filing)
        declaration = filedDeclaration(*out.filing, path, &out.notes);
    Result<GatewayReply> r = !declaration.isEmpty() || !out.filing ? readGatewayReply(path, declaration, &out.declaration)
                                                                    : first;
    if (!r)
        return r.failure();
    out.reply = r.value();
    if (out.filing && how.store) {
        Result<qint64> stored = Filings::storeReply(*db, *out.filing, outcomeOf(out.reply, path));
        if (!stored)
            return stored.failure();
        out.stored = true;
        out.linesNumbered = stored.value();
    }
    return out;
}

} // namespace quarl::igm
