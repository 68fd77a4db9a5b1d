#pragma once

#include "core/failure.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <QXmlStreamReader>

#include <memory>

class QSqlQuery;

namespace quarl {
class Database;
}

// Result sets saved as XML in the persistence format of the ADO data access library:
// a schema part naming the columns with their types, then one z:row element per row
// with an attribute per non-null column.
namespace quarl::igm::Rowset {

inline constexpr char SchemaNs[] = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
inline constexpr char DataTypeNs[] = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
inline constexpr char RowsetNs[] = "urn:schemas-microsoft-com:rowset";
inline constexpr char RowNs[] = "#RowsetSchema";

// Writes every row of query (a selection of all columns of table, in table order) to
// path, UTF-8. Column types and sizes come from the store's schema. The file appears
// under its name only when complete.
Status write(const Database &db, const QString &table, QSqlQuery &query, const QString &path, qint64 *rows);

// A value of a row: absent for a null column.
struct Value
{
    QString text;
    bool present = false;
};

struct Column
{
    QString name;  // the column's real name (rs:name when the attribute name is an alias)
    QString alias; // the attribute name used in the rows
    QString type;  // dt:type, empty when not given
};

// Larger files are refused: an export of the largest voyage a file can hold stays far below.
inline constexpr qint64 MaxFileSize = qint64(256) << 20;
// Longest piece of markup (a row with all its values) the reader holds in memory.
inline constexpr qint64 MaxTokenSize = qint64(1) << 20;

// Reads a rowset file in bounded memory: the schema first, then row by row, fed to the
// parser a piece at a time so that no value can grow past MaxTokenSize. Accepts the full
// form ADO writes and the minimal form (names only), either quote style, any prefix bound
// to the format's namespaces, whitespace anywhere.
class Reader
{
public:
    Status open(const QString &path);
    qint64 lineNumber() const { return m_xml.lineNumber(); } // of the row last read
    const QList<Column> &columns() const { return m_columns; }
    // The next row: values by position in columns(). False at the end of the data, or on
    // an error (then status() tells it).
    bool next(QList<Value> *row);
    const Status &status() const { return m_status; }

private:
    QXmlStreamReader::TokenType nextToken();
    Status readSchema();
    Status xmlFailure(const QString &what) const;

    QString m_path;
    std::unique_ptr<QFile> m_file;
    QXmlStreamReader m_xml;
    QList<Column> m_columns;
    QHash<QString, int> m_byAlias;
    bool m_inData = false;
    bool m_done = false;
    qint64 m_unparsed = 0; // bytes fed since the last token
    bool m_tooLong = false;
    Status m_status;
};

} // namespace quarl::igm::Rowset
