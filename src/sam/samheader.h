#pragma once

#include "core/failure.h"
#include "json/jsonschema.h"

#include <QString>

// The header of a SAM file (the declaration reference, the authorised person, the vessel and
// the voyage) read before its lines, wherever it stands in the text.
namespace quarl::igm {

// Whether a SAM document read so far holds the voyage's header.
bool hasSamHeader(const Json &top);
// The SAM file without its lines and its list of containers: read up to the first line when
// the header stands before it (the usual order), else the whole text, lines passed over.
// A key given twice ends the reading. fileMapped: the text is a file mapped into memory,
// whose pages are given back as they are read (JsonSplitReader::setFileMapped).
Result<Json> readSamHeader(const char *begin, const char *end, const QString &name, bool fileMapped);
// The whole text with the lines and the list of containers passed over.
Result<Json> readSamWithoutLines(const char *begin, const char *end, const QString &name, bool fileMapped,
                                 bool refuseDuplicateKeys = true);

} // namespace quarl::igm
