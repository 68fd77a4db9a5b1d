#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace quarl {

// The work screens by their names (frmVslCode, frmCargo ...). Each screen's own file
// registers it, so the main window opens screens without knowing their classes.
using ScreenFactory = std::function<QWidget *()>;

class ScreenRegistration
{
public:
    ScreenRegistration(const char *name, ScreenFactory factory);
};

QWidget *createScreen(const QString &name); // nullptr for an unknown name

// Puts a factory in the place of a screen's for as long as it lives, and then restores
// what was there (tests open stand-in screens through the main window with it).
class ScopedScreenFactory
{
public:
    ScopedScreenFactory(const QString &name, ScreenFactory factory);
    ~ScopedScreenFactory();
    ScopedScreenFactory(const ScopedScreenFactory &) = delete;
    ScopedScreenFactory &operator=(const ScopedScreenFactory &) = delete;

private:
    QString m_name;
    ScreenFactory m_previous;
};
bool hasScreen(const QString &name);
QStringList screenNames();

// The window the screens open in. The shell names it at start; windows of their own
// (the print preview) take it as their parent so that they close with it.
void setScreenHost(QWidget *host);
QWidget *screenHost(); // nullptr before the shell has named one, or after it is gone

} // namespace quarl

#define QUARL_REGISTER_SCREEN(Class) \
    static const quarl::ScreenRegistration quarlScreenRegistration_##Class(#Class, [] { return new Class; });
