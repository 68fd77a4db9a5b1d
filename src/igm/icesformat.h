#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

// The pieces of today's sea-manifest flat file (version ICES1_5 of message SACHI01)
// shared by its writer, its reader and the pre-filing check. Fields are separated by GS
// (0x1d) with none after the last one; every line ends CR LF.
namespace quarl::igm::Ices {

inline constexpr char Version[] = "ICES1_5";
inline constexpr char MessageId[] = "SACHI01";
inline constexpr char ManifestStart[] = "<manifest>";
inline constexpr char TrailerTag[] = "TREC";
inline constexpr char HeaderTag[] = "HREC";
inline constexpr char EmptyStatus[] = "EMP";    // the gateway's code for an empty container
inline constexpr char OurEmptyStatus[] = "MTY";

inline constexpr int HeaderFields = 12;
inline constexpr int VesselFields = 26;
inline constexpr int CargoFields = 41;
inline constexpr int ContainerFields = 17;

struct HeaderValues
{
    QString sender;        // the gateway user id
    QString customHouse;   // receiver: the custom house code
    QString testOrProduction; // "T" or "P"
    QString controlNumber;
    QDateTime written;
};

// HREC GS ZZ GS sender GS ZZ GS custom house GS ICES1_5 GS T/P GS GS SACHI01 GS control GS YYYYMMDD GS HHMM
QByteArray headerLine(const HeaderValues &h);
QByteArray trailerLine(const QString &controlNumber);

// "HH:MM" from a stored time ("6:30", "0630", "18:00:00"); empty when it is no time.
QString clockTime(const QString &stored);
// "DDMMYYYY HH:MM"; a missing time as 00:00.
QByteArray arrival(const QDate &date, const QString &time);
// The date and "HH:MM" of "DDMMYYYY HH:MM"; false when the text is not of that form.
bool parseArrival(QStringView text, QDate *date, QString *time);

// Fixed decimals, no grouping: weights in kilograms with 3, tonnes with 2.
QByteArray fixed(double value, int decimals);

} // namespace quarl::igm::Ices

namespace quarl::igm {

// The flat-file layouts this program reads and writes.
enum class IgmLayout {
    Older, // header "HREC**,ZZ,...", the default
    Ices15,
};

// What the first line of a file says its layout is.
enum class HeaderLayout {
    Older,    // "HREC**..."
    Ices15,   // "HREC" GS ... with version ICES1_5
    Unknown,  // a header line "HREC..." naming neither
    NoHeader, // the line is not a header line
};
HeaderLayout layoutOfHeader(const QByteArray &firstLine, QString *version = nullptr);

// The names used by settings and quarlctl: "older" and "ices15".
QString layoutName(IgmLayout layout);
bool parseLayoutName(const QString &name, IgmLayout *layout);

} // namespace quarl::igm
