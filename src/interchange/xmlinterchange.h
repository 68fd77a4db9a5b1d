#pragma once

#include "manifest/outcome.h"

#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

inline constexpr char CargoXmlFileName[] = "cargo.xml";
inline constexpr char ContainerXmlFileName[] = "contain.xml";
// The goods items of the lines (release 2.2.0 on): a third file beside the two, each row
// with the B/L number of its line, so that a file of another export is never taken for it.
inline constexpr char ItemXmlFileName[] = "cargoitem.xml";

struct XmlExportResult
{
    Outcome outcome;
    QString cargoPath;
    QString containerPath;
    QString itemsPath; // empty when the database keeps no goods items
    qint64 lines = 0;
    qint64 containers = 0;
    qint64 items = 0;
};

// Writes every column of the voyage's lines to cargoPath and of their containers to
// containerPath as rowset XML. A voyage without lines leaves a cargo file without rows
// and is refused; a voyage without containers gives a notice and a container file
// without rows. With itemsPath, a database that keeps goods items writes them there too.
XmlExportResult WriteXmlFiles(const Database &db, const QString &cargoPath, const QString &containerPath,
                              const QString &vessel, const QString &voyage, const QString &itemsPath = QString());

// The command: cargo.xml, contain.xml (and cargoitem.xml) in folder, earlier files of
// those names deleted first. On success the message is the "File ... successfully is saved" text.
XmlExportResult generateXmlFiles(const Database &db, const QString &folder, const QString &vessel,
                                 const QString &voyage);

struct XmlImportResult
{
    Outcome outcome;
    qint64 lines = 0;
    qint64 containers = 0;
    qint64 items = 0;
};

// Adds the lines and containers of two exported files to the database: every line gets a
// new id (the largest id plus 1, 2, ...) and its containers follow it. Every line must
// belong to the given vessel code and voyage number. The goods items come from itemsPath,
// or when it is empty from cargoitem.xml beside the cargo file if there is one (files of
// older installations have none); an item whose B/L number is not its line's is refused.
// Columns the files lack stay empty. One transaction: on any error or refusal nothing is
// stored.
XmlImportResult importXmlFiles(const Database &db, const QString &cargoPath, const QString &containerPath,
                               const QString &vessel, const QString &voyage, const QString &itemsPath = QString());

} // namespace quarl::igm
