#pragma once

#include "core/failure.h"
#include "json/jsonschema.h"
#include "manifest/codelists.h"
#include "manifest/finding.h"

#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace quarl {
class Database;
}

namespace quarl::igm {

struct SamRule
{
    const char *id;
    const char *what; // one line, for the table of the gateway's error codes and the README
};
// Every rule of the check, in the order the check runs them.
const QList<SamRule> &samRules();

// The company's masters the check looks codes up in: those of the flat file and the lists
// of today's filing (a list the database does not keep stays empty and is not looked in).
struct SamMasters
{
    CodeLists codes;
    QSet<QString> countries, states, codeTypes, sealTypes, shipTypes, purposes;
};
Result<SamMasters> loadSamMasters(const Database &db);

struct SamCheckOptions
{
    const JsonSchema *schema = nullptr;  // default: samSchema()
    const SamMasters *masters = nullptr; // without them codes are not looked up
    QString fileName;                    // checked against the gateway's naming when given
};

struct SamCheckReport
{
    // The findings listed at most: the first of them in their order, the rest counted.
    static constexpr qsizetype MostListed = 1000;

    bool readable = false; // the file is JSON; without it there is one finding, the syntax error
    qint64 lines = 0;
    qint64 houses = 0;
    qint64 containers = 0; // in the voyage's list
    QList<Finding> findings; // the voyage first, then line by line, then the voyage's list of containers
    qint64 errorCount = 0;   // of all the findings, listed or not
    qint64 warningCount = 0;

    qint64 errors() const { return errorCount; }
    qint64 warnings() const { return warningCount; }
    // The findings counted but not listed.
    qint64 unlisted() const { return errorCount + warningCount - findings.size(); }
};

// The schema the check and the writer's tests use: SACHM23_SAM.schema.json in the
// installation folder when a user has put one there, else the one shipped with the program.
// source names the file it came from.
Result<JsonSchema> samSchema(QString *source = nullptr);
inline constexpr char SamSchemaFileName[] = "SACHM23_SAM.schema.json";

// Checks a SAM file before it is signed: the schema, then the gateway's business rules that
// can be checked without the gateway's own data. Reads the file a line at a time.
SamCheckReport checkSamFile(const QString &path, const SamCheckOptions &options = {});
SamCheckReport checkSamData(const QByteArray &data, const SamCheckOptions &options = {});
SamCheckReport checkSamData(const char *begin, const char *end, const SamCheckOptions &options);

// The same check of a file while it is being written: the writer hands over each piece it
// writes, in order, and another thread reads and checks them as they come, so that writing
// and checking a long voyage take about the time of the longer of the two. Memory holds a
// few pieces at most: a writer ahead of the check waits for it.
class SamCheckStream
{
public:
    explicit SamCheckStream(const SamCheckOptions &options);
    ~SamCheckStream();
    SamCheckStream(const SamCheckStream &) = delete;
    SamCheckStream &operator=(const SamCheckStream &) = delete;

    // A copy of the piece is taken.
    void add(const char *data, qint64 size);
    // The report on all the pieces added; waits for the check to end.
    SamCheckReport finish();

private:
    struct Data;
    std::unique_ptr<Data> d;
};

} // namespace quarl::igm
