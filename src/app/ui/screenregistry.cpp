#include "app/ui/screenregistry.h"

#include <QHash>
#include <QWidget>

namespace quarl {

namespace {
QHash<QString, ScreenFactory> &factories()
{
    static QHash<QString, ScreenFactory> map;
    return map;
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

} // namespace quarl
