#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

// The pieces the flat-file layouts share, and the conversions every layout uses: plain
// decimal numbers, DDMMYYYY dates, single-byte text within a column's width, codes.
namespace quarl::igm::Format {

inline constexpr char FieldSeparator = '\x1d'; // group separator, after every field
inline constexpr char LineEnd[] = "\r\n";

inline constexpr char ManifestStart[] = "<manifest>2.0";
inline constexpr char VesselStart[] = "<vesinfo>";
inline constexpr char VesselEnd[] = "<END-vesinfo>";
inline constexpr char CargoStart[] = "<cargo>";
inline constexpr char CargoEnd[] = "<END-cargo>";
inline constexpr char ContainerStart[] = "<contain>";
inline constexpr char ContainerEnd[] = "<END-contain>";
inline constexpr char ManifestEnd[] = "<END-manifest>";
inline constexpr char Trailer[] = "TREC**";
inline constexpr char IgmIdPrefix[] = "IGMID/";
inline constexpr char FileSuffix[] = ".igm";

// The reader takes at most this many fields of a record line.
inline constexpr int MaxFields = 101;

// Vessel code and voyage number, each without trailing blanks, + ".igm".
QString igmFileName(const QString &vessel, const QString &voyage);
// False when the text cannot be part of a file name in the program folder
// (a folder separator or a control character).
bool usableInFileName(const QString &text);

QString trimTrailing(const QString &text);

// The header line: "HREC**,ZZ," + user + ",ZZ," + custom house + ",5,UN,D,SACHI01,,,01A".
QByteArray headerLine(const QString &iceGateUser, const QString &customHouseCode);

// Appends text as single-byte characters: ASCII as it stands; the separator, CR, LF and
// the other control characters as a blank (the format has no escape); letters with
// accents without them (é as e), a few letters and signs spelled out (ß as ss, Æ as AE,
// dashes as -, curly quotes as straight ones, no-break spaces as blanks); anything
// else as "?". Never writes a byte above 127.
void appendText(QByteArray &out, QStringView text);
// The same, but never more than width bytes when the text itself has at most width
// characters: where spelled-out letters (ß as ss) would overflow a column of that width,
// each character gives one letter instead (ß as s), so the file reads back into the column.
// True when it had to shorten so.
bool appendText(QByteArray &out, QStringView text, qsizetype width);
QByteArray toSingleByte(QStringView text);
// Stored text kept as UTF-8 bytes, appended as appendText() appends it; trailing blanks
// dropped first with trim.
bool appendUtf8(QByteArray &out, const QByteArray &bytes, qsizetype width, bool trim = false);

// Plain decimal: no exponent, no grouping, no trailing zeros, "0.5" not ".5".
// Whole numbers up to 2^53 exactly; others to 15 significant digits, which keeps what
// was keyed and drops the noise of binary fractions.
void appendNumber(QByteArray &out, double value);
// A whole number in plain decimal.
void appendInteger(QByteArray &out, qint64 value);
QString formatNumber(double value);

// DDMMYYYY
void appendDate(QByteArray &out, const QDate &date);

// A stored value as the file writes it: numbers in plain decimal, text single-byte (a
// QByteArray holds UTF-8), null as nothing. True when a text had to be shortened to its
// width (see appendText).
bool appendValue(QByteArray &out, const QVariant &value, qsizetype width = 0);
// Fixed decimals, no grouping: weights in kilograms with 3, tonnes with 2.
QByteArray fixed(double value, int decimals);

// The numeric value of a stored value: null, empty and non-numeric text count as 0.
double numericValue(const QVariant &value);
// Strict: the whole text (blanks around allowed) must be a plain decimal number: an
// optional sign, digits with at most one point, no exponent, no grouping.
bool parseNumber(QStringView text, double *value);
// A number as the database engines and the XML exchange write it, an exponent allowed.
bool parseStoredNumber(QStringView text, double *value);

// How a field's text becomes the value of its column.
enum class Kind {
    Text,         // as read, no longer than the column
    Number,       // plain decimal, a sign allowed; empty gives 0
    Weight,       // plain decimal without a sign (weights, volumes kept apart); empty gives 0
    Count,        // whole number without a sign (packages, line numbers); empty gives 0
    Total,        // whole number without a sign; empty stays empty
    Date,         // DDMMYYYY
    OptionalDate, // DDMMYYYY or empty
};
enum class Refusal { None, TooLong, NotNumber, NotWhole, Signed, Exponent, DecimalComma, NotDate };
// The value of text for a column of kind (width: the column's, for text). On a refusal
// value is unchanged and why says what is wrong with the text, for a message.
Refusal convert(const QString &text, Kind kind, qsizetype width, QVariant *value, QString *why);
// The error number of a refusal: 22001 for a text too long, 13 (type mismatch) otherwise.
QString refusalCode(Refusal r);

// A code as the masters hold it: trimmed, in capitals.
QString code(const QVariant &value);

// A line of a file read as single-byte text: ASCII, else UTF-8 when it is valid UTF-8,
// else Windows-1252 (the code page of the older installations).
QString decodeLine(const QByteArray &line);

// Splits a record line at the separators. The text after the last separator counts as
// a field when it is not empty. False when the line holds more than MaxFields fields.
bool splitFields(const QString &line, QStringList *fields);

// DDMMYYYY to a date; invalid when the text is not eight digits of a real date.
QDate parseDate(QStringView text);

// "HH:MM" from a stored time ("6:30", "0630", "18:00:00"); empty when it is no time.
QString clockTime(const QString &stored);

// A vessel code or voyage number as typed or as another program wrote it: without the
// blanks around it.
QString voyageKey(const QString &text);

} // namespace quarl::igm::Format
