#pragma once

#include "core/failure.h"
#include "igm/icesformat.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

// One finding of the pre-filing check: where (line of the file, record and field) and what.
struct CheckFinding
{
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    qint64 line = 0;  // line of the file, 1-based; 0 for the file as a whole
    QString field;    // "cargo field 38 (transit bond number)"; empty for a whole line
    QString text;

    bool isError() const { return severity == Severity::Error; }
    // "Error, line 12, cargo field 38 (transit bond number): ..."
    QString toString() const;
};

// The codes of the company's masters the check compares against.
struct CodeLists
{
    QSet<QString> ports, packages, units, natures, itemTypes, movements, statuses, isoCodes;
    QHash<QString, QString> unoClasses; // UN number -> IMO class
};
Result<CodeLists> loadCodeLists(const Database &db);

struct CheckReport
{
    bool recognised = false; // the header names a layout this program knows
    IgmLayout layout = IgmLayout::Older;
    qint64 cargoLines = 0;
    qint64 containers = 0;
    QList<CheckFinding> findings; // in line order

    int errors() const;
    int warnings() const;
};

// Checks a flat file of either layout before it leaves the office: envelope and section
// order, field counts, line totals and numbering, containers and their packages, ISO 6346
// check digits, duplicates, codes (when codes is given), dangerous goods, B/L dates,
// field lengths, transshipment fields and characters. Reads the file only.
CheckReport CheckIgmFile(const QString &path, const CodeLists *codes = nullptr);
CheckReport CheckIgmData(const QByteArray &data, const CodeLists *codes = nullptr);

} // namespace quarl::igm
