#pragma once

#include "core/failure.h"
#include "json/jsonschema.h"
#include "store/database.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quarl::test {

// The hand-written SAM file of the small voyage (a straight line, a consolidated line with
// two house B/Ls, a transhipment line, an empty container) and the schema shipped with Quarl.
QString samFixture(const QString &name);
QByteArray samGoldenData();
igm::Json samGolden();
QByteArray samSchemaData();

// Applies edits to a document, one a line: "set POINTER JSON", "del POINTER",
// "add POINTER JSON" (appends to the list at POINTER), "last POINTER" (moves the key to the
// end of its object). Returns false with a reason.
bool editJson(igm::Json &doc, const QString &edits, QString *why);

// The hand-written file's filer (submitter and signer), as a company keeps it.
Status keepGoldenFiler(const Database &db);

// python3-jsonschema's failures of a SAM file against the schema the program ships, one
// "pointer|keyword" each; when python3 or jsonschema cannot run, one entry and why says so.
QStringList samSchemaVerdict(const QString &file, QString *why);

// The rows a SAM import stores into (voyage, lines, containers, goods items, vessel codes);
// a table that cannot be read counts one, so that a failure never reads as "nothing stored".
qint64 samRowsIn(const Database &db);

} // namespace quarl::test
