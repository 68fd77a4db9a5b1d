#include "reports/mailhandoff.h"

#include "core/settings.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUuid>

#include <curl/curl.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace quarl::reports {

namespace {

constexpr char Crlf[] = "\r\n";

bool isAscii(const QString &s)
{
    for (QChar c : s) {
        if (c.unicode() > 126 || (c.unicode() < 32 && c != QLatin1Char('\t')))
            return false;
    }
    return true;
}

// A header value on one line: a line break typed into a field must not start a header.
QString oneLine(const QString &s)
{
    QString t = s;
    t.replace(QRegularExpression(QStringLiteral("[\\r\\n]+")), QStringLiteral(" "));
    return t;
}

// Non-ASCII text as encoded words of at most 75 characters, folded between them.
QByteArray encodedWords(const QString &text)
{
    if (isAscii(text))
        return text.toUtf8();
    QByteArray out;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype n = qMin<qsizetype>(12, text.size() - i);
        if (i + n < text.size() && text.at(i + n - 1).isHighSurrogate())
            --n;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + text.mid(i, n).toUtf8().toBase64() + "?=";
        i += n;
    }
    return out;
}

QByteArray addressHeader(const char *name, const QStringList &addresses)
{
    QByteArray out = QByteArray(name) + ": ";
    qsizetype lineLength = out.size();
    for (int i = 0; i < addresses.size(); ++i) {
        QByteArray a = oneLine(addresses.at(i)).toUtf8();
        if (i + 1 < addresses.size())
            a += ',';
        if (i > 0) {
            if (lineLength + a.size() + 1 > 76) {
                out += "\r\n ";
                lineLength = 1;
            } else {
                out += ' ';
                ++lineLength;
            }
        }
        out += a;
        lineLength += a.size();
    }
    return out + Crlf;
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray b = data.toBase64();
    QByteArray out;
    out.reserve(b.size() + b.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < b.size(); i += 76)
        out += b.mid(i, 76) + Crlf;
    return out;
}

// The file name parameters of an attachment's headers.
QByteArray nameParameter(const char *param, const QString &name)
{
    const bool plain = isAscii(name) && !name.contains(QLatin1Char('"')) && !name.contains(QLatin1Char('\\'));
    if (plain)
        return QByteArray(param) + "=\"" + name.toLatin1() + '"';
    return QByteArray(param) + "*=UTF-8''" + name.toUtf8().toPercentEncoding();
}

QByteArray bodyPart(const QString &body)
{
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    bool sevenBit = isAscii(QString(text).remove(QLatin1Char('\n')));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.size() > 900)
            sevenBit = false;
    }
    QByteArray crlfText = text.toUtf8().replace("\n", Crlf);
    if (sevenBit) {
        if (!crlfText.endsWith(Crlf))
            crlfText += Crlf;
        return "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" + crlfText;
    }
    return "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
           + base64Lines(crlfText);
}

Failure fileFailureOf(const QFile &file, int savedErrno)
{
    if (savedErrno != 0)
        return Failure(savedErrno, QStringLiteral("%1: %2").arg(file.fileName(), QString::fromLocal8Bit(std::strerror(savedErrno))));
    return Failure(qint64(53), QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Upload
{
    const QByteArray *data;
    qsizetype offset = 0;
};

size_t readUpload(char *buffer, size_t size, size_t count, void *user)
{
    auto *u = static_cast<Upload *>(user);
    const size_t room = size * count;
    const size_t left = size_t(u->data->size() - u->offset);
    const size_t n = qMin(room, left);
    std::memcpy(buffer, u->data->constData() + u->offset, n);
    u->offset += qsizetype(n);
    return n;
}

} // namespace

int SmtpServer::effectivePort() const
{
    if (port > 0)
        return port;
    switch (security) {
    case Security::None: return 25;
    case Security::StartTls: return 587;
    case Security::Tls: return 465;
    }
    return 25;
}

SmtpServer::Security SmtpServer::securityFromText(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("starttls"))
        return Security::StartTls;
    if (t == QLatin1String("ssl") || t == QLatin1String("tls"))
        return Security::Tls;
    return Security::None;
}

QStringList splitAddresses(const QString &field)
{
    QStringList out;
    for (const QString &part : field.split(QRegularExpression(QStringLiteral("[;,]")))) {
        const QString a = oneLine(part).trimmed();
        if (!a.isEmpty())
            out << a;
    }
    return out;
}

QString bareAddress(const QString &entry)
{
    const qsizetype open = entry.lastIndexOf(QLatin1Char('<'));
    const qsizetype close = entry.lastIndexOf(QLatin1Char('>'));
    if (open >= 0 && close > open)
        return entry.mid(open + 1, close - open - 1).trimmed();
    return entry.trimmed();
}

SmtpServer smtpServerFromSettings()
{
    SmtpServer s;
    s.host = Settings::mailHost();
    s.port = Settings::mailPort().toInt();
    s.security = SmtpServer::securityFromText(Settings::mailSecurity());
    s.user = Settings::mailUser();
    s.password = Settings::mailPassword();
    s.from = Settings::mailFrom();
    return s;
}

bool smtpConfigured()
{
    return !Settings::mailHost().isEmpty();
}

Result<QByteArray> composeMessage(const MailMessage &message, const QString &from)
{
    const QByteArray boundary = "=_quarl_" + QUuid::createUuid().toByteArray(QUuid::Id128);
    QByteArray out;
    out += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + Crlf;
    out += addressHeader("From", {from});
    if (!message.to.isEmpty())
        out += addressHeader("To", message.to);
    if (!message.cc.isEmpty())
        out += addressHeader("Cc", message.cc);
    out += "Subject: " + encodedWords(oneLine(message.subject)) + Crlf;
    const QString domain = bareAddress(from).section(QLatin1Char('@'), 1);
    out += "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + '@'
           + (domain.isEmpty() ? QByteArray("quarl") : domain.toUtf8()) + '>' + Crlf;
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    out += "This is a message in MIME format.\r\n";
    out += "--" + boundary + Crlf + bodyPart(message.body);

    QMimeDatabase mimes;
    for (const QString &path : message.attachments) {
        QFile f(path);
        errno = 0;
        if (!f.open(QIODevice::ReadOnly))
            return fileFailureOf(f, errno);
        errno = 0;
        const QByteArray data = f.readAll();
        if (f.error() != QFileDevice::NoError)
            return fileFailureOf(f, errno);
        const QString name = QFileInfo(path).fileName();
        const QByteArray type = mimes.mimeTypeForFile(path).name().toLatin1();
        out += "--" + boundary + Crlf;
        out += "Content-Type: " + type + "; " + nameParameter("name", name) + Crlf;
        out += "Content-Transfer-Encoding: base64\r\n";
        out += "Content-Disposition: attachment; " + nameParameter("filename", name) + "\r\n\r\n";
        out += base64Lines(data);
    }
    out += "--" + boundary + "--\r\n";
    return out;
}

Status sendSmtp(const MailMessage &message, const SmtpServer &server)
{
    QStringList recipients;
    for (const QString &a : message.to + message.cc)
        recipients << bareAddress(a);
    if (recipients.isEmpty())
        return Failure(MailError::NoRecipient, QStringLiteral("No mail address is given: fill in Email Addresses."));
    if (server.from.isEmpty())
        return Failure(MailError::NoSender,
                       QStringLiteral("No sender address is set: fill in the Sender Address of the mail server "
                                      "in House Keeping->System Parameter."));
    Result<QByteArray> text = composeMessage(message, server.from);
    if (!text)
        return text.status();

    initCurlOnce();
    CURL *curl = curl_easy_init();
    if (!curl)
        return Failure(qint64(CURLE_FAILED_INIT), QStringLiteral("The mail library could not be started."));

    const bool ipv6 = server.host.contains(QLatin1Char(':'));
    const QString url = QStringLiteral("%1://%2:%3")
                            .arg(server.security == SmtpServer::Security::Tls ? QStringLiteral("smtps")
                                                                                : QStringLiteral("smtp"),
                                 ipv6 ? QLatin1Char('[') + server.host + QLatin1Char(']') : server.host)
                            .arg(server.effectivePort());
    const QByteArray urlBytes = url.toUtf8();
    const QByteArray fromBytes = '<' + bareAddress(server.from).toUtf8() + '>';
    const QByteArray user = server.user.toUtf8();
    const QByteArray password = server.password.toUtf8();
    curl_slist *rcpt = nullptr;
    for (const QString &r : recipients)
        rcpt = curl_slist_append(rcpt, ('<' + r.toUtf8() + '>').constData());

    Upload upload{&text.value()};
    char errorText[CURL_ERROR_SIZE] = {0};
    const long timeout = qMax(1, server.timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, fromBytes.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(text->size()));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // The greeting, the login and every reply must come within the time-out; a large
    // attachment may take longer as a whole, as long as it keeps moving.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, timeout);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeout + long(text->size() / 4096));
    if (server.security == SmtpServer::Security::StartTls)
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!server.user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }

    const CURLcode rc = curl_easy_perform(curl);
    long reply = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);
    if (rc == CURLE_OK)
        return Status::ok();

    QString why = errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(rc));
    if (reply >= 400)
        why += QStringLiteral(" (server reply %1)").arg(reply);
    return Failure(qint64(rc), QStringLiteral("The mail server %1:%2 did not take the message: %3")
                                   .arg(server.host)
                                   .arg(server.effectivePort())
                                   .arg(why));
}

Status handToMailClient(const MailMessage &message)
{
    const QString noClient = QStringLiteral(
        "No mail program is installed to send the mail. Set the mail server in House Keeping->System Parameter, "
        "or install a desktop mail program.");
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (program.isEmpty())
        return Failure(MailError::NoMailClient, noClient);
    for (const QString &path : message.attachments) {
        if (!QFileInfo(path).isFile())
            return Failure(qint64(ENOENT), QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(ENOENT))));
    }
    QStringList args{QStringLiteral("--utf8")};
    for (const QString &c : message.cc)
        args << QStringLiteral("--cc") << bareAddress(c);
    if (!message.subject.isEmpty())
        args << QStringLiteral("--subject") << oneLine(message.subject);
    if (!message.body.isEmpty())
        args << QStringLiteral("--body") << message.body;
    for (const QString &path : message.attachments)
        args << QStringLiteral("--attach") << QFileInfo(path).absoluteFilePath();
    for (const QString &t : message.to)
        args << bareAddress(t);

    // Some mail programs keep xdg-email waiting until their window closes: after a while
    // the message counts as handed off and the program is left running.
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(program, args);
    if (!process->waitForStarted(10000)) {
        const QString why = process->errorString();
        delete process;
        return Failure(MailError::NoMailClient, noClient + QStringLiteral(" (") + why + QLatin1Char(')'));
    }
    if (!process->waitForFinished(15000)) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return Status::ok();
    }
    const int code = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    const QString err = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
    delete process;
    if (code == 0)
        return Status::ok();
    if (code == 3) // xdg-email: no tool to hand the message to
        return Failure(MailError::NoMailClient, noClient);
    return Failure(MailError::MailClientFailed,
                   QStringLiteral("The desktop mail program could not open the message (xdg-email ended with %1)%2")
                       .arg(code)
                       .arg(err.isEmpty() ? QString() : QStringLiteral(": ") + err));
}

Status sendMail(const MailMessage &message)
{
    if (smtpConfigured())
        return sendSmtp(message, smtpServerFromSettings());
    return handToMailClient(message);
}

QString mailSentText(const MailMessage &message)
{
    return QStringLiteral("The mail is sent to %1.").arg((message.to + message.cc).join(QStringLiteral(", ")));
}

} // namespace quarl::reports
