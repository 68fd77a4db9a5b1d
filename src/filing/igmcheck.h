#pragma once

#include "core/failure.h"
#include "manifest/codelists.h"
#include "manifest/finding.h"
#include "manifest/layout.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

struct CheckReport
{
    bool recognised = false;          // a layout of this program reads the file
    const Layout *layout = nullptr;   // the file's layout, or the one the voyage is checked for
    qint64 cargoLines = 0;
    qint64 containers = 0;
    QList<Finding> findings;     // in line order; the first MaxFindings of them
    qint64 errorCount = 0;            // all of them, also those beyond the list
    qint64 warningCount = 0;

    int errors() const { return int(errorCount); }
    int warnings() const { return int(warningCount); }
    qint64 unlisted() const { return errorCount + warningCount - findings.size(); }
};

// A report lists this many findings at most (and counts the others).
inline constexpr qsizetype MaxFindings = 20000;

// Checks a manifest before it leaves the office. The layout's own rules (header, trailer,
// sections, field counts) come from reading the file in it; the rules on the manifest
// (totals, line numbers, containers on their lines, duplicate B/Ls and containers,
// packages adding up, codes of the masters when codes is given, check digits, dates,
// dangerous goods, lengths, transshipment fields) are the same for every layout and for
// a voyage of the database. A file is read as it goes, twice at most; its size does not
// raise the memory the check takes.
CheckReport checkIgmFile(const QString &path, const CodeLists *codes = nullptr);
CheckReport checkIgmData(const QByteArray &data, const CodeLists *codes = nullptr);
// The voyage as layout would file it.
CheckReport checkManifest(const Manifest &m, const Layout &layout, const CodeLists *codes = nullptr);
CheckReport checkVoyage(const Database &db, const QString &vessel, const QString &voyage, const Layout &layout,
                        const CodeLists *codes, Failure *failure);

} // namespace quarl::igm
