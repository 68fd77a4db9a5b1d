#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace quarl::test {

// The SMTP server of the test command: QUARL_TEST_SMTP (host:port), its Maildir
// QUARL_TEST_MAILDIR and the one login it takes, QUARL_TEST_SMTP_USER / _PASSWORD.
struct TestSmtp
{
    QString host;
    int port = 0;
    QString maildir;
    QString user;
    QString password;
};
// False with the reason when the test command did not start the server.
bool testSmtp(TestSmtp *smtp, QString *why);

// A message as it arrived, its MIME parts decoded.
struct ReceivedMail
{
    QMap<QString, QString> headers; // names in lower case, folded lines joined, encoded words decoded
    QString body;                   // the text part, line ends as sent
    struct Attachment
    {
        QString fileName;
        QString contentType;
        QByteArray data;
    };
    QList<Attachment> attachments;
};

// Every message in the Maildir whose subject contains token.
QList<ReceivedMail> receivedMail(const QString &maildir, const QString &token);
ReceivedMail parseMail(const QByteArray &raw);

} // namespace quarl::test
