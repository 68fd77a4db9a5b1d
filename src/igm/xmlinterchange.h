#pragma once

#include "igm/outcome.h"

#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

inline constexpr char CargoXmlFileName[] = "cargo.xml";
inline constexpr char ContainerXmlFileName[] = "contain.xml";

struct XmlExportResult
{
    Outcome outcome;
    QString cargoPath;
    QString containerPath;
    qint64 lines = 0;
    qint64 containers = 0;
};

// Writes every column of the voyage's lines to cargoPath and of their containers to
// containerPath as rowset XML. A voyage without lines leaves a cargo file without rows
// and is refused; a voyage without containers gives a notice and a container file
// without rows.
XmlExportResult WriteXmlFiles(const Database &db, const QString &cargoPath, const QString &containerPath,
                              const QString &vessel, const QString &voyage);

// The command: cargo.xml and contain.xml in folder, earlier files of those names deleted
// first. On success the message is the "File ... successfully is saved" text.
XmlExportResult GenerateXmlFiles(const Database &db, const QString &folder, const QString &vessel,
                                 const QString &voyage);

struct XmlImportResult
{
    Outcome outcome;
    qint64 lines = 0;
    qint64 containers = 0;
};

// Adds the lines and containers of two exported files to the database: every line gets a
// new id (the largest id plus 1, 2, ...) and its containers follow it. Every line must
// belong to the given vessel code and voyage number. One transaction: on any error or
// refusal nothing is stored.
XmlImportResult ImportXmlFiles(const Database &db, const QString &cargoPath, const QString &containerPath,
                               const QString &vessel, const QString &voyage);

} // namespace quarl::igm
