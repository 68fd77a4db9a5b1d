#pragma once

#include "core/failure.h"

#include <QString>

namespace quarl {

// The passwords of loguser. A password is kept as a salted PBKDF2-HMAC-SHA512 hash
// (OpenSSL), written "$Q1$" + salt + "$" + hash in unpadded base64url: 49 characters, so
// it fits the char(50) column of older databases. Older databases hold the password as
// typed; such a value still matches and the logon then replaces it by its hash.
namespace PasswordHash {

inline constexpr int Iterations = 210000;

// A new hash with a fresh random salt; empty when the system cannot provide randomness.
QString make(const QString &password);
// Whether the stored value is a hash made by make() (trailing blanks of a char column ignored).
bool isHash(const QString &stored);
// Whether the typed password matches the stored value, hash or plain text.
bool matches(const QString &password, const QString &stored);

} // namespace PasswordHash

class Database;
// Gives the user (every loguser row with that uid) the hash of a new password. Fails when
// no such user exists or the password is empty.
Status setUserPassword(const Database &db, const QString &userId, const QString &password);

// Whether actingUser, who gave actingPassword, may set targetUser's password: a
// super-user of the company (menu rights " SU") may set every user's, any other user
// only the own. Fails with the logon's "Access denied ..." when the password is wrong.
// The stored rights of the user whose id and password these are (id as stored, rights as
// stored); the logon's "Access denied Username/Password do not match" when none matches.
struct UserRights
{
    QString userId;
    QString userRights;
    QString menuRights;
};
Result<UserRights> authenticateUser(const Database &db, const QString &userId, const QString &password);

Status mayChangePassword(const Database &db, const QString &actingUser, const QString &actingPassword,
                         const QString &targetUser);
} // namespace quarl
