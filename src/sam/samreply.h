#pragma once

#include "core/failure.h"
#include "manifest/finding.h"

#include <QHash>
#include <QList>
#include <QString>

namespace quarl::igm {

// The lines of a filed SAM by line number and by their place in the file, so that a reply's
// error can name the B/L to mend.
struct SamLineIndex
{
    struct Entry
    {
        qint64 lineNo = 0;
        QString blNo;
        QHash<qint64, QString> houses; // sub-line -> house B/L number
        QList<qint64> houseOrder;      // sub-lines in the file's order
    };
    // What the gateway takes at most: the lines beyond, and house B/Ls beyond under a line,
    // are not indexed.
    static constexpr qsizetype MostLines = 99999;
    static constexpr qsizetype MostHouses = 9999;
    QList<Entry> lines; // in the file's order
    QHash<qint64, qsizetype> byLineNo;

    const Entry *line(qint64 lineNo) const;
    const Entry *at(qsizetype index) const;
    bool isEmpty() const { return lines.isEmpty(); }
};

// Reads the lines of a SAM file (the declaration a reply answers).
Result<SamLineIndex> readSamLineIndex(const QString &path);

// A number the gateway gave a line (MCIN or PCIN).
struct ReplyIdentifier
{
    qint64 lineNo = 0;
    qint64 subLineNo = 0;
    QString blNo;
    QString type;
    QString number;
};

struct GatewayReply
{
    enum class Kind { StructureFailure, Acknowledgement };
    Kind kind = Kind::Acknowledgement;
    QString status;   // SFL: the gateway's status text
    QString sender;
    QString jobNo;
    QString jobDate;   // decRef.jobDt of an _ACK (YYYYMMDD)
    QString date;
    // The voyage's reference an _ACK gives in decRef (the manifest or rotation number the
    // gateway allots) and its date; empty when it gives none.
    QString reference;
    QString referenceDate;
    // What a reply lists at most: the first errors in the reply's order (the rest counted),
    // and a number for each line and house B/L the gateway can take.
    static constexpr qsizetype MostListed = 1000;
    static constexpr qsizetype MostIdentifiers = 200000;

    QList<Finding> errors; // rule: the gateway's code; text: its own words; field: the label of our screens // in the reply's order; successes left out
    qint64 unlisted = 0;   // errors beyond the list
    QList<ReplyIdentifier> identifiers;

    bool accepted() const { return kind == Kind::Acknowledgement && errors.isEmpty() && unlisted == 0; }
    // "Structure failure (_SFL): 1 error" / "Acknowledgement (_ACK): 2 errors" / "... accepted"
    QString summary() const;
};

// Reads an _SFL or _ACK file of the gateway. The B/L numbers come from the declaration:
// declaration when given, else the _DEC file of the same name beside the reply.
// declarationUsed names the file read, or stays empty when none was found.
Result<GatewayReply> readGatewayReply(const QString &path, const QString &declaration = {},
                                      QString *declarationUsed = nullptr);
Result<GatewayReply> readGatewayReply(const QByteArray &data, const SamLineIndex &lines);
// The reply file with the lines given (none: B/L numbers not named).
Result<GatewayReply> readGatewayReplyFile(const QString &path, const SamLineIndex &lines);

// The _DEC file a reply answers: F_..._ACK.json -> F_..._DEC.json in the same folder.
QString declarationFor(const QString &replyPath);

} // namespace quarl::igm
