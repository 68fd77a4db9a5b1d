#pragma once

#include "core/failure.h"
#include "json/jsonschema.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quarl::igm {

struct JsonCursor;

// Reads a JSON document from memory and hands the elements of the named arrays one by one to
// a callback, which may keep them or let them go, so that a long list never stands in memory
// whole. The rest of the document is returned, the split arrays in it left empty. Keys keep
// their order. A key given twice in one object keeps its first place and its last value, as
// other readers do; its places are listed in duplicateKeys.
class JsonSplitReader
{
public:
    // index: the element's place in its array; false stops the reading.
    using Take = std::function<bool(size_t index, Json &&element)>;
    struct Split
    {
        std::vector<std::string> path; // keys from the top, {"master", "mastrCnsgmtDec"}
        Take take;
    };

    explicit JsonSplitReader(std::vector<Split> splits);
    // The text is a file mapped into memory: the pages read are given back to the system as
    // the reading goes on (they come back from the file when read again), so that a long
    // file is not held whole. Never for text in ordinary memory.
    void setFileMapped(bool mapped) { m_fileMapped = mapped; }

    // The document without the split arrays' elements; a failure names the line and column
    // of a syntax error. A reading stopped by a callback returns what was read so far and
    // stopped() is then true.
    Result<Json> read(const char *begin, const char *end, const QString &name);
    // The same of a text that comes a piece at a time (a file as it is being written): next
    // gives the next piece, which stays where it is until next is called again, and false at
    // the end of the text.
    using NextPiece = std::function<bool(const char **begin, const char **end)>;
    Result<Json> read(const NextPiece &next, const QString &name);
    bool stopped() const { return m_stopped; }
    // While a callback runs: the line of the text (1-based) where its element begins, and
    // the document as read so far (what stands before the list in the text).
    qint64 elementLine() const { return m_elementLine; }
    const Json &partial() const { return *m_partial; }
    const QStringList &duplicateKeys() const { return m_duplicateKeys; }
    // The text began with UTF-8's byte-order mark (which the reading passes over).
    bool byteOrderMark() const { return m_byteOrderMark; }

private:
    Result<Json> parse(JsonCursor &cursor, const QString &name, const char *whole, const char *wholeEnd);

    std::vector<Split> m_splits;
    bool m_stopped = false;
    bool m_fileMapped = false;
    bool m_byteOrderMark = false;
    qint64 m_elementLine = 0;
    const Json *m_partial = nullptr;
    QStringList m_duplicateKeys;
};

} // namespace quarl::igm
