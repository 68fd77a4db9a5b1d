#include "core/ui/screenregistry.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace quarl {

namespace {
QHash<QString, ScreenFactory> &factories()
{
    static QHash<QString, ScreenFactory> map;
    return map;
}

QPointer<QWidget> &host()
{
    static QPointer<QWidget> widget;
    return widget;
}
} // namespace

ScreenRegistration::ScreenRegistration(const char *name, ScreenFactory factory)
{
    factories().insert(QLatin1String(name), std::move(factory));
}

QWidget *createScreen(const QString &name)
{
    const auto it = factories().constFind(name);
    if (it == factories().constEnd())
        return nullptr;
    QWidget *w = (*it)();
    if (w && w->objectName().isEmpty())
        w->setObjectName(name);
    return w;
}

ScopedScreenFactory::ScopedScreenFactory(const QString &name, ScreenFactory factory)
    : m_name(name), m_previous(factories().value(name))
{
    factories().insert(name, std::move(factory));
}

ScopedScreenFactory::~ScopedScreenFactory()
{
    if (m_previous)
        factories().insert(m_name, m_previous);
    else
        factories().remove(m_name);
}

bool hasScreen(const QString &name)
{
    return factories().contains(name);
}

QStringList screenNames()
{
    QStringList names = factories().keys();
    names.sort();
    return names;
}

void setScreenHost(QWidget *widget)
{
    host() = widget;
}

QWidget *screenHost()
{
    return host();
}

} // namespace quarl
