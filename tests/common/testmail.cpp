#include "common/testmail.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace quarl::test {

namespace {

QString decodeWords(const QString &value)
{
    static const QRegularExpression word(QStringLiteral("=\\?UTF-8\\?B\\?([^?]*)\\?=(\\s+(?==\\?UTF-8\\?B\\?))?"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype at = 0;
    QByteArray pending;
    auto it = word.globalMatch(value);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart() != at) {
            out += QString::fromUtf8(pending);
            pending.clear();
            out += value.mid(at, m.capturedStart() - at);
        }
        pending += QByteArray::fromBase64(m.captured(1).toLatin1());
        at = m.capturedEnd();
    }
    out += QString::fromUtf8(pending) + value.mid(at);
    return out;
}

// Headers up to the first empty line; the rest is the content.
QMap<QString, QString> splitHeaders(const QByteArray &raw, QByteArray *content)
{
    QMap<QString, QString> headers;
    qsizetype end = raw.indexOf("\r\n\r\n");
    qsizetype skip = 4;
    if (end < 0 || (raw.indexOf("\n\n") >= 0 && raw.indexOf("\n\n") < end)) {
        end = raw.indexOf("\n\n");
        skip = 2;
    }
    const QByteArray head = end < 0 ? raw : raw.left(end);
    *content = end < 0 ? QByteArray() : raw.mid(end + skip);
    QString last;
    for (QByteArray line : head.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty() && (line.at(0) == ' ' || line.at(0) == '\t') && !last.isEmpty()) {
            headers[last] += QString::fromUtf8(line);
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        last = QString::fromLatin1(line.left(colon)).toLower();
        headers[last] = QString::fromUtf8(line.mid(colon + 1)).trimmed();
    }
    for (auto i = headers.begin(); i != headers.end(); ++i)
        i.value() = decodeWords(i.value());
    return headers;
}

QString parameter(const QString &header, const QString &name)
{
    const QRegularExpression quoted(name + QStringLiteral("=\"([^\"]*)\""), QRegularExpression::CaseInsensitiveOption);
    if (auto m = quoted.match(header); m.hasMatch())
        return m.captured(1);
    const QRegularExpression extended(name + QStringLiteral("\\*=UTF-8''([^;\\s]*)"), QRegularExpression::CaseInsensitiveOption);
    return QString::fromUtf8(QByteArray::fromPercentEncoding(extended.match(header).captured(1).toLatin1()));
}

QByteArray decoded(const QMap<QString, QString> &headers, const QByteArray &content)
{
    if (headers.value(QStringLiteral("content-transfer-encoding")).compare(QLatin1String("base64"), Qt::CaseInsensitive) == 0)
        return QByteArray::fromBase64(QByteArray(content).replace("\r", "").replace("\n", ""));
    return content;
}

} // namespace

bool testSmtp(TestSmtp *smtp, QString *why)
{
    const QString address = qEnvironmentVariable("QUARL_TEST_SMTP");
    smtp->maildir = qEnvironmentVariable("QUARL_TEST_MAILDIR");
    smtp->user = qEnvironmentVariable("QUARL_TEST_SMTP_USER");
    smtp->password = qEnvironmentVariable("QUARL_TEST_SMTP_PASSWORD");
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    smtp->host = address.left(colon);
    smtp->port = address.mid(colon + 1).toInt();
    if (colon <= 0 || smtp->port <= 0 || smtp->maildir.isEmpty() || smtp->user.isEmpty()) {
        *why = QStringLiteral("No test SMTP server: run the tests with scripts/test.sh (QUARL_TEST_SMTP, "
                              "QUARL_TEST_MAILDIR, QUARL_TEST_SMTP_USER are not set).");
        return false;
    }
    return true;
}

ReceivedMail parseMail(const QByteArray &raw)
{
    ReceivedMail mail;
    QByteArray content;
    mail.headers = splitHeaders(raw, &content);
    const QString boundary = parameter(mail.headers.value(QStringLiteral("content-type")), QStringLiteral("boundary"));
    if (boundary.isEmpty()) {
        mail.body = QString::fromUtf8(decoded(mail.headers, content));
        return mail;
    }
    const QByteArray delimiter = "--" + boundary.toLatin1();
    QList<QByteArray> parts = content.split('\n');
    QList<QByteArray> current;
    bool inPart = false;
    auto finish = [&]() {
        if (!inPart)
            return;
        QByteArray part = current.join('\n');
        if (part.endsWith('\r'))
            part.chop(1); // the line end before the delimiter belongs to it
        QByteArray partContent;
        const auto headers = splitHeaders(part, &partContent);
        const QString type = headers.value(QStringLiteral("content-type"));
        const QString disposition = headers.value(QStringLiteral("content-disposition"));
        if (disposition.startsWith(QLatin1String("attachment"), Qt::CaseInsensitive))
            mail.attachments.append({parameter(disposition, QStringLiteral("filename")), type.section(QLatin1Char(';'), 0, 0),
                                     decoded(headers, partContent)});
        else if (type.startsWith(QLatin1String("text/plain"), Qt::CaseInsensitive))
            mail.body = QString::fromUtf8(decoded(headers, partContent));
        current.clear();
    };
    for (const QByteArray &rawLine : parts) {
        QByteArray line = rawLine;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line == delimiter || line == delimiter + "--") {
            finish();
            inPart = line == delimiter;
            continue;
        }
        if (inPart)
            current << rawLine;
    }
    return mail;
}

QList<ReceivedMail> receivedMail(const QString &maildir, const QString &token)
{
    QList<ReceivedMail> out;
    for (const char *sub : {"new", "cur"}) {
        const QDir dir(QDir(maildir).filePath(QLatin1String(sub)));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            ReceivedMail m = parseMail(f.readAll());
            if (m.headers.value(QStringLiteral("subject")).contains(token))
                out << m;
        }
    }
    return out;
}

} // namespace quarl::test
