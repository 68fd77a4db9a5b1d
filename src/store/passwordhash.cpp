#include "store/passwordhash.h"

#include "core/rights.h"
#include "store/database.h"

#include <QByteArray>

#include <optional>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace quarl::PasswordHash {

namespace {

constexpr char Prefix[] = "$Q1$";
constexpr int SaltBytes = 16;
constexpr int HashBytes = 16;
constexpr auto Base64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

QString trimmedRight(const QString &s)
{
    qsizetype end = s.size();
    while (end > 0 && s.at(end - 1).isSpace())
        --end;
    return s.left(end);
}

QByteArray derive(const QString &password, const QByteArray &salt)
{
    const QByteArray pwd = password.toUtf8();
    QByteArray out(HashBytes, '\0');
    if (PKCS5_PBKDF2_HMAC(pwd.constData(), int(pwd.size()), reinterpret_cast<const unsigned char *>(salt.constData()),
                          int(salt.size()), Iterations, EVP_sha512(), int(out.size()),
                          reinterpret_cast<unsigned char *>(out.data()))
        != 1)
        return {};
    return out;
}

// salt and hash of a stored value; false when it is not one of ours
bool parse(const QString &stored, QByteArray *salt, QByteArray *hash)
{
    const QString s = trimmedRight(stored);
    if (!s.startsWith(QLatin1String(Prefix)))
        return false;
    const QStringList parts = s.mid(int(sizeof Prefix) - 1).split(QLatin1Char('$'));
    if (parts.size() != 2)
        return false;
    const auto decode = [](const QString &text, QByteArray *out) {
        auto r = QByteArray::fromBase64Encoding(text.toLatin1(), Base64 | QByteArray::AbortOnBase64DecodingErrors);
        if (!r)
            return false;
        *out = *r;
        return true;
    };
    return decode(parts.at(0), salt) && decode(parts.at(1), hash) && salt->size() == SaltBytes
           && hash->size() == HashBytes;
}

} // namespace

QString make(const QString &password)
{
    QByteArray salt(SaltBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), int(salt.size())) != 1)
        return {};
    const QByteArray hash = derive(password, salt);
    if (hash.isEmpty())
        return {};
    return QLatin1String(Prefix) + QString::fromLatin1(salt.toBase64(Base64)) + QLatin1Char('$')
           + QString::fromLatin1(hash.toBase64(Base64));
}

bool isHash(const QString &stored)
{
    QByteArray salt, hash;
    return parse(stored, &salt, &hash);
}

bool matches(const QString &password, const QString &stored)
{
    QByteArray salt, hash;
    if (!parse(stored, &salt, &hash)) {
        // A value from before hashing, as typed. A char column pads it with blanks, which
        // the old comparison ignored too.
        return trimmedRight(stored) == trimmedRight(password);
    }
    const QByteArray typed = derive(password, salt);
    return typed.size() == hash.size() && CRYPTO_memcmp(typed.constData(), hash.constData(), size_t(hash.size())) == 0;
}

} // namespace quarl::PasswordHash

namespace quarl {

Status setUserPassword(const Database &db, const QString &userId, const QString &password)
{
    if (password.isEmpty())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("The new password is empty."));
    auto n = db.scalar(QStringLiteral("select count(*) from loguser where uid = ?"), {userId});
    if (!n)
        return n.failure();
    if (n->toInt() == 0)
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("There is no user \"%1\".").arg(userId));
    const QString hash = PasswordHash::make(password);
    if (hash.isEmpty())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("The password could not be hashed."));
    return db.exec(QStringLiteral("update loguser set pwd = ? where uid = ?"), {hash, userId});
}

Result<UserRights> authenticateUser(const Database &db, const QString &userId, const QString &password)
{
    auto q = db.query(QStringLiteral("select uid, urights, mrights, pwd from loguser where uid = ?"), {userId});
    if (!q)
        return q.failure();
    while (q->next()) {
        const QVariant stored = q->value(3);
        if (!stored.isNull() && PasswordHash::matches(password, stored.toString()))
            return UserRights{q->value(0).toString().trimmed(), q->value(1).toString(), q->value(2).toString()};
    }
    return Failure(ErrorNumber::InvalidArgument, QStringLiteral("Access denied Username/Password do not match"));
}

Status mayChangePassword(const Database &db, const QString &actingUser, const QString &actingPassword,
                         const QString &targetUser)
{
    auto acting = authenticateUser(db, actingUser, actingPassword);
    if (!acting)
        return acting.failure();
    if (Rights::isSuperUser(acting->menuRights) || actingUser.trimmed() == targetUser.trimmed())
        return Status::ok();
    return Failure(ErrorNumber::InvalidArgument,
                   QStringLiteral("%1 is not a super-user of this company and may change only the own password.")
                       .arg(actingUser.trimmed()));
}

} // namespace quarl
