#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace quarl {
class Database;
}

namespace quarl::test {

// What an import of a SAM file under the vessel code `vessel` into a company database
// without the voyage must store, read from the file apart from the reader (with
// QJsonDocument, by the schema's types, ranges and date forms, the values a stored row
// needs and the widths of the store's columns): one text per row, "V|..." the voyage header,
// "M|..." the vessel code master's row, "C|..." a line (a master, then its house B/Ls, in
// file order), "K|..." a container and "I|..." a goods item, in the order they are stored.
// nullopt when the file is not a manifest the store can hold as it stands, with why.
struct StrictRefusal
{
    QString why;
    // the message may be sound: a text wider than its column, or no number for a column of numbers
    bool columnsOnly = false;
};
std::optional<QStringList> strictSamReading(const QByteArray &file, const QString &vessel, StrictRefusal *refusal = nullptr);

// The rows of vesinfo, D_VESSEL_CD, cargo, contain and cargoitem in the same form, in key order.
QStringList storedSamVoyage(const Database &db);

// What a reply of the gateway says, read apart from the program's reader: the kind ("SFL"
// or "ACK") and how many errors it reports (successes left out); nullopt when the text is
// no reply (not JSON, neither errorDetails nor master, or an acknowledgement without any
// list of error codes).
struct StrictReply
{
    QString kind;
    qint64 errors = 0;
};
std::optional<StrictReply> strictReplyReading(const QByteArray &file);

} // namespace quarl::test
