#pragma once

#include "core/failure.h"
#include "json/jsonschema.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace quarl::igm {

struct JsonCursor;

// Reads a JSON document from memory and hands the elements of the named arrays one by one to
// a callback, which may keep them or let them go, so that a long list never stands in memory
// whole. The rest of the document is returned, the split arrays in it left empty. Keys keep
// their order. A key given twice in one object keeps its first place and its last value, as
// other readers do; its places are listed in duplicateKeys, or the reading stops at it.
//
// What a hostile text can make of memory and the stack is bounded: arrays and objects nest
// at most Limits::depth deep, an element handed out and the rest of the document each take
// at most so much memory, and a reading that goes beyond says where.
class JsonSplitReader
{
public:
    // index: the element's place in its array; false stops the reading.
    using Take = std::function<bool(size_t index, Json &&element)>;
    struct Split
    {
        std::vector<std::string> path; // keys from the top, {"master", "mastrCnsgmtDec"}
        Take take;                     // none: the elements are read and passed over, never built
    };
    struct Limits
    {
        int depth = 64;                      // arrays and objects in one another
        qint64 elementBytes = 48ll << 20;    // the memory one element handed out may take
        qint64 restBytes = 16ll << 20;       // the memory the rest of the document may take
        // The text between the end of one text or number and the end of the next (which
        // the parser holds whole): a text longer, or as much of brackets, literals and
        // blanks without a text or number, is more than any real file has.
        qint64 stretchBytes = 8ll << 20;
    };
    // A key given twice in one object: its place in the document and in the text.
    struct DuplicateKey
    {
        QString pointer; // "/master/mastrCnsgmtDec/0/MCRef/lineNo"
        qint64 line = 0; // of the text, 1-based, where the second one begins
        qint64 column = 0;
    };
    static constexpr qsizetype MostDuplicatesListed = 1000;

    explicit JsonSplitReader(std::vector<Split> splits);
    // The text is a file mapped into memory: the pages read are given back to the system as
    // the reading goes on (they come back from the file when read again), so that a long
    // file is not held whole. Never for text in ordinary memory.
    void setFileMapped(bool mapped) { m_fileMapped = mapped; }
    void setLimits(const Limits &limits) { m_limits = limits; }
    // A key given twice ends the reading with a failure that names it, its line and column.
    void setRefuseDuplicateKeys(bool refuse) { m_refuseDuplicates = refuse; }

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
    // The first MostDuplicatesListed keys given twice, and how many there are in all.
    const QList<DuplicateKey> &duplicateKeys() const { return m_duplicateKeys; }
    qint64 duplicateKeyCount() const { return m_duplicateCount; }
    // The text began with UTF-8's byte-order mark (which the reading passes over).
    bool byteOrderMark() const { return m_byteOrderMark; }

private:
    Result<Json> parse(JsonCursor &cursor, const QString &name, const char *whole, const char *wholeEnd);

    std::vector<Split> m_splits;
    Limits m_limits;
    bool m_stopped = false;
    bool m_fileMapped = false;
    bool m_refuseDuplicates = false;
    bool m_byteOrderMark = false;
    qint64 m_elementLine = 0;
    const Json *m_partial = nullptr;
    QList<DuplicateKey> m_duplicateKeys;
    qint64 m_duplicateCount = 0;
};

// The text of a document with the values at the given paths (keys from the top) left out,
// each replaced by an empty array, found by a scan that only matches quotes and brackets,
// many times faster than reading: for a reader that needs what stands around a long list,
// wherever it stands. Nothing when the text is not plainly an object, when one of the
// objects on the paths has a key twice, or when what is left is longer than mostBytes: the
// caller then reads the whole text, which says what is wrong and where.
std::optional<QByteArray> jsonWithout(const char *begin, const char *end, const std::vector<std::vector<std::string>> &paths,
                                      qint64 mostBytes, bool fileMapped);

} // namespace quarl::igm
