#pragma once

#include <QList>
#include <QString>

namespace quarl::MainMenu {

// The control arrays of the main window's menus, in menu-bar order.
enum class Array { File, HouseKeeping, Reports, Window, Patches };

enum class Action {
    OpenScreen, // opens the screen named by Entry::screen
    None,       // no action
    Exit,       // ends the program at once
    Logout,     // shows the logon screen again
    Cascade,
    TileHorizontal,
    TileVertical,
    Command,    // a command connected by whoever provides it (upgrades and patches)
};

struct Entry
{
    Array array;
    int index;
    QString caption;
    Action action;
    QString screen; // for OpenScreen
    bool hidden = false;
    bool isSeparator() const { return caption == QLatin1String("-"); }
};

struct Top
{
    Array array;
    QString name;    // object name of the top entry, e.g. "menFileTop"
    QString caption;
};

const QList<Top> &tops();
QString arrayName(Array array); // "menFile", "menHK", ...
const QList<Entry> &entries();
QList<Entry> entries(Array array);
const Entry *entry(Array array, int index);
const Entry *entry(const QString &arrayName, int index);

// The menu code the rights string must hold for the entry: menFile entries take their
// own index, menHK entries continue after menFile, menRep after menHK; -1 for the entries
// the rights never touch (the last two of menFile, separators, Window, Patches).
int code(Array array, int index);
QString codeText(Array array, int index); // "05", "17"; empty when the rights never touch it
bool rightsControlled(Array array, int index);
// Whether the menu rights string enables the entry: always for entries the rights never
// touch, otherwise when it holds " SU" or the entry's two-digit code anywhere.
bool enabledFor(const QString &menuRights, Array array, int index);

// Index of "Import IGM File" in the Window array; shown only under the setting.
inline constexpr int ImportIgmIndex = 4;
// Index of "Import SAM File" beside it, always shown.
inline constexpr int ImportSamIndex = 5;

struct ToolButton
{
    int number;      // 1..6
    QString tooltip;
    QString icon;    // resource path
    Array array;
    int index;
};
const QList<ToolButton> &toolButtons();

} // namespace quarl::MainMenu
