#pragma once

#include "core/secretstore.h"

namespace quarl::test {

// A keyring in memory, put in place of the desktop's for as long as it lives (the test
// programs run without one: QUARL_SECRET_SERVICE=0).
class MemorySecretStore : public SecretStore
{
public:
    MemorySecretStore() { SecretStore::setCurrent(this); }
    ~MemorySecretStore() override { SecretStore::setCurrent(nullptr); }

    Status store(const Attributes &attributes, const QString &, const QString &secret) override
    {
        secrets[key(attributes)] = secret;
        return Status::ok();
    }
    std::optional<QString> lookup(const Attributes &attributes) override
    {
        const auto it = secrets.constFind(key(attributes));
        return it == secrets.cend() ? std::nullopt : std::optional<QString>(*it);
    }
    Status clear(const Attributes &attributes) override
    {
        secrets.remove(key(attributes));
        return Status::ok();
    }
    QString name() const override { return QStringLiteral("the test keyring"); }

    static QString key(const Attributes &attributes)
    {
        QString k;
        for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
            k += it.key() + QLatin1Char('=') + it.value() + QLatin1Char('\n');
        return k;
    }

    QMap<QString, QString> secrets; // the attributes, one "name=value" a line -> the secret
};

} // namespace quarl::test
