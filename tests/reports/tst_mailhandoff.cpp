#include "common/testdb.h"
#include "common/testmail.h"
#include "common/testmain.h"

#include "core/settings.h"
#include "reports/mailhandoff.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quarl;
using namespace quarl::reports;

namespace {

bool writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// A loopback socket that listens and never answers (the kernel takes the connection);
// closed at once, its port is one where nothing listens.
struct Listener
{
    int fd = -1;
    int port = 0;
    Listener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), len) != 0 || ::listen(fd, 4) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return;
        port = ntohs(a.sin_port);
    }
    ~Listener() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

QString token()
{
    return QUuid::createUuid().toString(QUuid::Id128).left(12);
}

} // namespace

// The mail hand-off against the SMTP server of the test command: what arrives, and how
// a refused login, a closed port and a silent server end.
class TestMailHandoff : public QObject
{
    Q_OBJECT

    test::TestSmtp m_smtp;

    SmtpServer server() const
    {
        SmtpServer s;
        s.host = m_smtp.host;
        s.port = m_smtp.port;
        s.from = QStringLiteral("Sea Pearl Agency <filing@seapearl.example>");
        s.timeoutSeconds = 3;
        return s;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString why;
        QVERIFY2(test::testSmtp(&m_smtp, &why), qPrintable(why));
    }

    // Logged in, two recipients and a copy, a subject and body outside ASCII, a text file
    // with CRLF and a binary file with every byte value: all of it arrives as it was.
    void messageArrivesIntact()
    {
        QTemporaryDir dir;
        const QString igm = dir.filePath(QStringLiteral("SEAPRL024E.igm"));
        const QByteArray igmBytes = "HREC**,ZZ,AGENT01,ZZ,INNSA1,5,UN,D,SACHI01,,,01A\r\nIGMID/SEAPRL024E.igm\r\n"
                                    "<manifest>2.0\r\n.\r\n..dot line\r\nTREC**\r\n";
        QByteArray binary;
        for (int i = 0; i < 256 * 40; ++i)
            binary += char(i % 256);
        const QString bin = dir.filePath(QStringLiteral("cargo \"copy\".xml"));
        QVERIFY(writeBytes(igm, igmBytes));
        QVERIFY(writeBytes(bin, binary));

        const QString t = token();
        MailMessage m;
        m.to = splitAddresses(QStringLiteral(" customs@icegate.example; Line Office <line@office.example>,"));
        m.cc = splitAddresses(QStringLiteral("accounts@seapearl.example"));
        m.subject = QStringLiteral("IGM SEAPRL/024E \u2013 Nhava Sheva %1").arg(t);
        m.body = QStringLiteral("Please find the manifest attached.\n.\n..\nRegards,\nFiling desk");
        m.attachments = {igm, bin};
        SmtpServer s = server();
        s.user = m_smtp.user;
        s.password = m_smtp.password;
        const Status sent = sendSmtp(m, s);
        QVERIFY2(sent, qPrintable(sent.failure().numberAndText()));

        const QList<test::ReceivedMail> got = test::receivedMail(m_smtp.maildir, t);
        QCOMPARE(got.size(), 1);
        const test::ReceivedMail &mail = got.first();
        QCOMPARE(mail.headers.value(QStringLiteral("subject")), m.subject);
        QCOMPARE(mail.headers.value(QStringLiteral("to")),
                 QStringLiteral("customs@icegate.example, Line Office <line@office.example>"));
        QCOMPARE(mail.headers.value(QStringLiteral("cc")), QStringLiteral("accounts@seapearl.example"));
        QCOMPARE(mail.headers.value(QStringLiteral("from")), s.from);
        // the copy recipient is an envelope recipient too, so the copy is delivered
        const QString rcpt = mail.headers.value(QStringLiteral("x-rcptto"));
        for (const char *a : {"customs@icegate.example", "line@office.example", "accounts@seapearl.example"})
            QVERIFY2(rcpt.contains(QLatin1String(a)), qPrintable(rcpt));
        QCOMPARE(QString(mail.body).remove(QLatin1Char('\r')), m.body); // the server's Maildir keeps LF
        QCOMPARE(mail.attachments.size(), 2);
        QCOMPARE(mail.attachments.at(0).fileName, QStringLiteral("SEAPRL024E.igm"));
        QCOMPARE(mail.attachments.at(0).data, igmBytes);
        QCOMPARE(mail.attachments.at(1).fileName, QStringLiteral("cargo \"copy\".xml"));
        QCOMPARE(mail.attachments.at(1).contentType, QStringLiteral("application/xml"));
        QCOMPARE(mail.attachments.at(1).data, binary);
    }

    void failuresEndWithAMessage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("refused login") << "login" << qint64(67) << "535";
        QTest::newRow("closed port") << "closed" << qint64(7) << "did not take the message";
        QTest::newRow("silent server") << "silent" << qint64(28) << "did not take the message";
        QTest::newRow("missing attachment") << "attachment" << qint64(2) << "No such file";
        QTest::newRow("no recipient") << "recipient" << MailError::NoRecipient << "Email Addresses";
        QTest::newRow("no sender") << "sender" << MailError::NoSender << "Sender Address";
    }
    void failuresEndWithAMessage()
    {
        QFETCH(QString, kind);
        QFETCH(qint64, code);
        QFETCH(QString, says);
        SmtpServer s = server();
        MailMessage m;
        m.to = {QStringLiteral("agent@example.in")};
        m.subject = QStringLiteral("Refused %1").arg(token());
        Listener silent; // takes the connection and never greets
        if (kind == QLatin1String("login")) {
            s.user = m_smtp.user;
            s.password = QStringLiteral("wrong");
        } else if (kind == QLatin1String("closed")) {
            Listener probe;
            QVERIFY(probe.port > 0);
            probe.close();
            s.host = QStringLiteral("127.0.0.1");
            s.port = probe.port;
        } else if (kind == QLatin1String("silent")) {
            QVERIFY(silent.port > 0);
            s.host = QStringLiteral("127.0.0.1");
            s.port = silent.port;
        } else if (kind == QLatin1String("attachment")) {
            m.attachments = {QStringLiteral("/nonexistent/SEAPRL024E.igm")};
        } else if (kind == QLatin1String("recipient")) {
            m.to.clear();
        } else if (kind == QLatin1String("sender")) {
            s.from.clear();
        }
        QElapsedTimer clock;
        clock.start();
        const Status sent = sendSmtp(m, s);
        QVERIFY(!sent);
        QVERIFY2(clock.elapsed() < (s.timeoutSeconds + 2) * 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(sent.failure().code, QString::number(code));
        QVERIFY2(sent.failure().numberAndText().contains(says), qPrintable(sent.failure().numberAndText()));
        QVERIFY(test::receivedMail(m_smtp.maildir, m.subject).isEmpty());
    }

    // Without a server in the settings the desktop mail client gets the message; without
    // one installed the user is told so.
    void desktopMailClient()
    {
        test::TempHome home;
        QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        MailMessage m;
        m.to = {QStringLiteral("agent@example.in")};
        m.cc = {QStringLiteral("copy@example.in")};
        m.subject = QStringLiteral("Manifest");
        const Status none = sendMail(m);
        QCOMPARE(none.failure().code, QString::number(MailError::NoMailClient));
        QVERIFY(none.failure().description.contains(QLatin1String("No mail program is installed")));

        // a mail client that writes down what it was handed
        const QString args = bin.filePath(QStringLiteral("args"));
        const QString fake = bin.filePath(QStringLiteral("xdg-email"));
        QVERIFY(writeBytes(fake, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + args.toLocal8Bit() + "'\n"));
        QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m.attachments = {fake};
        const Status handed = sendMail(m);
        qputenv("PATH", path);
        QVERIFY2(handed, qPrintable(handed.failure().numberAndText()));
        QFile f(args);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({"--utf8", "--cc", "copy@example.in", "--subject", "Manifest", "--attach", fake,
                              "agent@example.in"}));
    }
};

QUARL_TEST(TestMailHandoff)
#include "tst_mailhandoff.moc"
