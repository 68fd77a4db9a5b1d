#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quarl::reports {

// One message to hand off: the mail fields of a sending screen and the files to attach.
struct MailMessage
{
    QStringList to;          // addresses; a field as typed may be split with splitAddresses()
    QStringList cc;
    QString subject;
    QString body;
    QStringList attachments; // full paths, attached in this order
};

// The SMTP server of the settings (section Mail).
struct SmtpServer
{
    enum class Security { None, StartTls, Tls };

    QString host;
    int port = 0;            // 0: 25, 587 or 465 after the security
    Security security = Security::None;
    QString user;            // no login when empty
    QString password;
    QString from;            // the sender address
    int timeoutSeconds = 30; // a server that stays silent this long ends the sending

    int effectivePort() const;
    static Security securityFromText(const QString &text); // "none", "starttls", "ssl" or "tls"
};

// The program's numbers for hand-off failures without a library or system code.
namespace MailError {
inline constexpr qint64 NoMailClient = 429;   // no desktop mail program to hand the message to
inline constexpr qint64 NoRecipient = 5;
inline constexpr qint64 NoSender = 5;
inline constexpr qint64 MailClientFailed = 440;
} // namespace MailError

// "a@x.in; B <b@y.in>, c@z.in" -> the three entries, blanks trimmed, empty ones dropped.
QStringList splitAddresses(const QString &field);
// The bare address of an entry: "B <b@y.in>" -> "b@y.in".
QString bareAddress(const QString &entry);

SmtpServer smtpServerFromSettings();
// Whether the settings name a mail server; otherwise the desktop mail client is used.
bool smtpConfigured();

// The MIME text of the message as sent: headers, the body as text and every file
// attached in base64 with its content type and name. Fails when a file cannot be read.
Result<QByteArray> composeMessage(const MailMessage &message, const QString &from);

// Sends through the server; returns when the server has taken the message or failed.
Status sendSmtp(const MailMessage &message, const SmtpServer &server);
// Opens a new message in the desktop mail client (xdg-email) with everything filled in.
Status handToMailClient(const MailMessage &message);

// The hand-off of every sending screen and command: SMTP when the settings name a
// server, otherwise the desktop mail client.
Status sendMail(const MailMessage &message);

// What a sending screen says when the server has taken the message ("The mail is sent to
// a@x.in, b@y.in."): a mail client shows the message itself, a server gives no other sign.
QString mailSentText(const MailMessage &message);

// Asked before a mail without a subject goes out (No the default).
inline constexpr char NoSubjectQuestion[] = "The mail has no subject. Send it anyway ?";

} // namespace quarl::reports
