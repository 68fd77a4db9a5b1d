#include "core/secretstore.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <mutex>

namespace quarl {

namespace {

// The few parts of libsecret's C interface used here (libsecret/secret-schema.h,
// secret-password.h); their layout is fixed by the library's ABI.
struct SchemaAttribute
{
    const char *name;
    int type; // SECRET_SCHEMA_ATTRIBUTE_STRING = 0
};
struct Schema
{
    const char *name;
    int flags; // SECRET_SCHEMA_NONE = 0
    SchemaAttribute attributes[32];
    int reserved;
    void *reserved1, *reserved2, *reserved3, *reserved4, *reserved5, *reserved6, *reserved7;
};
struct GErrorLayout
{
    quint32 domain;
    int code;
    char *message;
};

// Every secret of this program carries these attributes, unused ones empty: libsecret's
// variadic calls take them in a fixed order.
const char *const AttributeNames[] = {"kind", "folder", "host", "port", "database", "user"};
constexpr int AttributeCount = 6;

using StoreFn = int (*)(const Schema *, const char *collection, const char *label, const char *password,
                        void *cancellable, GErrorLayout **error, ...);
using LookupFn = char *(*)(const Schema *, void *cancellable, GErrorLayout **error, ...);
using ClearFn = int (*)(const Schema *, void *cancellable, GErrorLayout **error, ...);
using FreeFn = void (*)(char *);
using ErrorFreeFn = void (*)(GErrorLayout *);

class LibSecretStore : public SecretStore
{
public:
    bool load()
    {
        m_lib.setFileNameAndVersion(QStringLiteral("secret-1"), 0);
        if (!m_lib.load())
            return false;
        m_store = reinterpret_cast<StoreFn>(m_lib.resolve("secret_password_store_sync"));
        m_lookup = reinterpret_cast<LookupFn>(m_lib.resolve("secret_password_lookup_sync"));
        m_clear = reinterpret_cast<ClearFn>(m_lib.resolve("secret_password_clear_sync"));
        m_free = reinterpret_cast<FreeFn>(m_lib.resolve("secret_password_free"));
        m_errorFree = reinterpret_cast<ErrorFreeFn>(m_lib.resolve("g_error_free"));
        if (!m_store || !m_lookup || !m_clear || !m_free || !m_errorFree)
            return false;
        m_schema = Schema{};
        m_schema.name = "org.quarl.Password";
        for (int i = 0; i < AttributeCount; ++i)
            m_schema.attributes[i] = {AttributeNames[i], 0};
        return true;
    }

    // Whether a service answers: a lookup that fails (rather than finding nothing) means none.
    bool answers()
    {
        QString why;
        lookupChecked({{QStringLiteral("kind"), QStringLiteral("probe")}}, &why);
        return why.isEmpty();
    }

    Status store(const Attributes &attributes, const QString &label, const QString &secret) override
    {
        const Values v(attributes);
        GErrorLayout *error = nullptr;
        const QByteArray l = label.toUtf8(), s = secret.toUtf8();
        const int ok = m_store(&m_schema, "default", l.constData(), s.constData(), nullptr, &error, //
                               v[0], v.at(0), v[1], v.at(1), v[2], v.at(2), v[3], v.at(3), v[4], v.at(4), v[5], v.at(5),
                               static_cast<const char *>(nullptr));
        if (ok && !error)
            return Status::ok();
        return Failure(ErrorNumber::PathFileAccess,
                       QStringLiteral("The Secret Service did not keep the password: %1").arg(take(error)));
    }

    std::optional<QString> lookup(const Attributes &attributes) override
    {
        QString why;
        return lookupChecked(attributes, &why);
    }

    Status clear(const Attributes &attributes) override
    {
        const Values v(attributes);
        GErrorLayout *error = nullptr;
        m_clear(&m_schema, nullptr, &error, v[0], v.at(0), v[1], v.at(1), v[2], v.at(2), v[3], v.at(3), v[4], v.at(4),
                v[5], v.at(5), static_cast<const char *>(nullptr));
        if (!error)
            return Status::ok();
        return Failure(ErrorNumber::PathFileAccess,
                       QStringLiteral("The Secret Service did not remove the password: %1").arg(take(error)));
    }

    QString name() const override { return QStringLiteral("the Secret Service"); }

private:
    struct Values
    {
        explicit Values(const Attributes &a)
        {
            for (int i = 0; i < AttributeCount; ++i)
                bytes[i] = a.value(QLatin1String(AttributeNames[i])).toUtf8();
        }
        const char *operator[](int i) const { return AttributeNames[i]; }
        const char *at(int i) const { return bytes[i].constData(); }
        QByteArray bytes[AttributeCount];
    };

    std::optional<QString> lookupChecked(const Attributes &attributes, QString *why)
    {
        const Values v(attributes);
        GErrorLayout *error = nullptr;
        char *found = m_lookup(&m_schema, nullptr, &error, v[0], v.at(0), v[1], v.at(1), v[2], v.at(2), v[3], v.at(3),
                               v[4], v.at(4), v[5], v.at(5), static_cast<const char *>(nullptr));
        if (error) {
            *why = take(error);
            if (why->isEmpty())
                *why = QStringLiteral("no answer");
        }
        if (!found)
            return std::nullopt;
        const QString secret = QString::fromUtf8(found);
        m_free(found);
        return secret;
    }

    QString take(GErrorLayout *error)
    {
        if (!error)
            return QString();
        const QString text = QString::fromUtf8(error->message);
        m_errorFree(error);
        return text;
    }

    QLibrary m_lib;
    Schema m_schema{};
    StoreFn m_store = nullptr;
    LookupFn m_lookup = nullptr;
    ClearFn m_clear = nullptr;
    FreeFn m_free = nullptr;
    ErrorFreeFn m_errorFree = nullptr;
};

std::mutex mutex;
bool searched = false;
SecretStore *chosen = nullptr;

// Without a session bus no Secret Service can answer, and asking would only start the bus
// daemon's search for one.
bool sessionBusReachable()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus")));
}

} // namespace

SecretStore *SecretStore::current()
{
    std::lock_guard lock(mutex);
    if (!searched) {
        searched = true;
        if (qEnvironmentVariable("QUARL_SECRET_SERVICE") != QLatin1String("0") && sessionBusReachable()) {
            static LibSecretStore libsecret;
            if (libsecret.load() && libsecret.answers())
                chosen = &libsecret;
        }
    }
    return chosen;
}

void SecretStore::setCurrent(SecretStore *store)
{
    std::lock_guard lock(mutex);
    searched = true;
    chosen = store;
}

} // namespace quarl
