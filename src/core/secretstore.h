#pragma once

#include "core/failure.h"

#include <QMap>
#include <QString>

#include <optional>

namespace quarl {

// A password kept by the desktop's keyring (a freedesktop Secret Service) instead of in a
// file of this program. A secret is found by its attributes (name -> value).
class SecretStore
{
public:
    using Attributes = QMap<QString, QString>;

    virtual ~SecretStore() = default;

    virtual Status store(const Attributes &attributes, const QString &label, const QString &secret) = 0;
    // nullopt when nothing is kept under these attributes (or the store could not be asked).
    virtual std::optional<QString> lookup(const Attributes &attributes) = 0;
    virtual Status clear(const Attributes &attributes) = 0;
    // For messages and the README: "the Secret Service".
    virtual QString name() const = 0;

    // The store of this session: the Secret Service when libsecret is installed and a
    // service answers on the session bus; nullptr otherwise (then a PostgreSQL password
    // goes to the client library's password file, and the logon keeps no password).
    // Looked for once per process. libsecret is loaded at run time, so the program runs
    // without it; QUARL_SECRET_SERVICE=0 turns the search off.
    static SecretStore *current();
    // Tests put a store of their own in place (nullptr: none); the caller keeps it alive.
    static void setCurrent(SecretStore *store);
};

} // namespace quarl
