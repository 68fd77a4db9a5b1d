#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <QString>

#include <optional>

// The rules of the fields kept for today's arrival manifest (parties, codes, ports, goods),
// apart from the widgets. None of these fields is required: an empty one always passes.
// Each rule answers with an empty text when the value passes, or with the reason in words
// for the status line.
namespace quarl::FilingRules {

// PAN: five letters, four digits, a letter (AAAAA9999A).
QString pan(const QString &text);
// A party's code by its type: IEC 10 letters or digits, PAN as above, a GSTIN (GSN, GSD,
// GSG) 15 letters or digits. Without a type, fallbackType decides.
QString partyCode(const QString &code, const QString &type, const QString &fallbackType);
// Postal code: a PIN of 6 digits in India (country IN, or none given); elsewhere at most
// 9 letters, digits or blanks.
QString postalCode(const QString &text, const QString &country);
// HS code: 6 or 8 digits.
QString hsCode(const QString &text);
// A number of packages: a whole number.
QString wholeNumber(const QString &text);

// Codes from the masters: country (ISO alpha-2, D_CNTRY_CD), port (D_PORT_CD).
Result<QString> country(const Database &db, const QString &code);
Result<QString> port(const Database &db, const QString &code);
// An Indian state code of D_STATE_CD (only when the country is IN or none is given); the
// state's name through name when found.
Result<QString> state(const Database &db, const QString &code, const QString &country, QString *name = nullptr);
// A party's address in the structured form, read from the free lines it was typed in (the
// importer's three lines): the last PIN of six digits, an Indian state named in full (the
// longest name of D_STATE_CD found), the last line without them as the city, the lines
// before it as the street. Whatever is not found stays empty.
struct PartyAddress
{
    QString street;
    QString city;
    QString pin;
    QString state; // the code
    QString stateName;
};
Result<PartyAddress> addressFromLines(const Database &db, const QStringList &lines);

// A code of a code list: table with its code column.
Result<QString> listed(const Database &db, const QString &table, const QString &column, const QString &code,
                       const QString &what);

} // namespace quarl::FilingRules
