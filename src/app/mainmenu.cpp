#include "app/mainmenu.h"

#include "core/rights.h"

namespace quarl::MainMenu {

namespace {

Entry screenEntry(Array a, int i, const char *caption, const char *screen)
{
    return {a, i, QLatin1String(caption), Action::OpenScreen, QLatin1String(screen)};
}

Entry plain(Array a, int i, const char *caption, Action action, bool hidden = false)
{
    return {a, i, QLatin1String(caption), action, QString(), hidden};
}

// Every entry a user can see has its own underlined letter within its menu (the hidden
// ones excepted); the Window menu's letters also leave its screen commands and the
// numbers of the screen list free.
QList<Entry> buildEntries()
{
    using A = Array;
    return {
        screenEntry(A::File, 0, "&Company Master", "frmCompany"),
        plain(A::File, 1, "&Port Code Setup", Action::None, true),
        plain(A::File, 2, "&Country Code Setup", Action::None, true),
        screenEntry(A::File, 3, "Ve&ssel Code Setup", "frmVslCode"),
        plain(A::File, 4, "-", Action::None),
        screenEntry(A::File, 5, "&Vessel Information", "frmVslMast"),
        screenEntry(A::File, 6, "Cargo &Information", "frmCargo"),
        plain(A::File, 7, "-", Action::None),
        plain(A::File, 8, "E&xit", Action::Exit),
        plain(A::File, 9, "&Logout", Action::Logout),

        screenEntry(A::HouseKeeping, 0, "&Change Colour", "frmColor"),
        screenEntry(A::HouseKeeping, 1, "&User Master", "frmUser"),
        screenEntry(A::HouseKeeping, 2, "&System Parameter", "frmSyspara"),
        screenEntry(A::HouseKeeping, 3, "&Import XML Files", "frmImport"),
        plain(A::HouseKeeping, 4, "Update &Port Codes", Action::Command),
        plain(A::HouseKeeping, 5, "Update Cargo &Table", Action::Command),
        plain(A::HouseKeeping, 6, "-", Action::None),
        screenEntry(A::HouseKeeping, 7, "&Remove Data", "frmRemove"),

        screenEntry(A::Reports, 0, "&Check-List Printing", "frmCheckList"),
        screenEntry(A::Reports, 1, "Generate &Flat-File", "frmVslRep"),
        // a later index: the menu codes of users' rights stay as they were
        screenEntry(A::Reports, 4, "Generate &SAM (SCMTR)", "frmSamRep"),
        screenEntry(A::Reports, 2, "Generate &XML File for Agent", "frmCargoRep"),
        screenEntry(A::Reports, 3, "Cargo &Declaration", "frmCargoDec"),

        plain(A::Window, 0, "&Casacade", Action::Cascade),
        plain(A::Window, 1, "&Tile Horizontal", Action::TileHorizontal),
        plain(A::Window, 2, "Tile &Vertical", Action::TileVertical),
        plain(A::Window, 3, "&Information Window", Action::None),
        screenEntry(A::Window, 4, "Import I&GM File", "frmImportIGM"),
        screenEntry(A::Window, 5, "Import &SAM File", "frmImportSAM"),

        plain(A::Patches, 0, "&Modify Cargo Table for ICD (TP) (2.0.0)", Action::Command),
        plain(A::Patches, 1, "&Insert New Location codes for ICD (2.0.1)", Action::Command),
        plain(A::Patches, 2, "Insert &New Location codes for ICD (2.0.3)", Action::Command),
        plain(A::Patches, 3, "Insert &Sea Ports and Inland Depots of UN/LOCODE (2.1.0)", Action::Command),
        plain(A::Patches, 4, "Modify &Tables for ICES 1.5 (2.1.0)", Action::Command),
        plain(A::Patches, 5, "Modify Tables for SCMTR &Filing (2.2.0)", Action::Command),
        plain(A::Patches, 6, "&Keys of Bills of Lading Never Used Twice (2.3.0)", Action::Command),
        plain(A::Patches, 7, "Link &House B/Ls to Their Master Lines (2.4.0)", Action::Command),
        plain(A::Patches, 8, "Keep a &Register of SAM Filings (2.5.0)", Action::Command),
    };
}

int arraySize(Array array)
{
    int n = 0;
    for (const Entry &e : entries())
        n += e.array == array ? 1 : 0;
    return n;
}

} // namespace

const QList<Top> &tops()
{
    static const QList<Top> list = {
        {Array::File, QStringLiteral("menFileTop"), QStringLiteral("&File")},
        {Array::HouseKeeping, QStringLiteral("menHKTop"), QStringLiteral("&House Keeping")},
        {Array::Reports, QStringLiteral("menRepTop"), QStringLiteral("&Reports")},
        {Array::Window, QStringLiteral("frmWindTop"), QStringLiteral("&Window")},
        {Array::Patches, QStringLiteral("menPatchTop"), QStringLiteral("&Patches")},
    };
    return list;
}

QString arrayName(Array array)
{
    switch (array) {
    case Array::File: return QStringLiteral("menFile");
    case Array::HouseKeeping: return QStringLiteral("menHK");
    case Array::Reports: return QStringLiteral("menRep");
    case Array::Window: return QStringLiteral("menWin");
    case Array::Patches: return QStringLiteral("menPatch");
    }
    return {};
}

const QList<Entry> &entries()
{
    static const QList<Entry> list = buildEntries();
    return list;
}

QList<Entry> entries(Array array)
{
    QList<Entry> out;
    for (const Entry &e : entries()) {
        if (e.array == array)
            out << e;
    }
    return out;
}

const Entry *entry(Array array, int index)
{
    for (const Entry &e : entries()) {
        if (e.array == array && e.index == index)
            return &e;
    }
    return nullptr;
}

const Entry *entry(const QString &name, int index)
{
    for (const Top &t : tops()) {
        if (arrayName(t.array) == name)
            return entry(t.array, index);
    }
    return nullptr;
}

int code(Array array, int index)
{
    if (!rightsControlled(array, index))
        return -1;
    switch (array) {
    case Array::File: return index;
    case Array::HouseKeeping: return arraySize(Array::File) + index;
    case Array::Reports: return arraySize(Array::File) + arraySize(Array::HouseKeeping) + index;
    case Array::Window:
    case Array::Patches: break;
    }
    return -1;
}

QString codeText(Array array, int index)
{
    const int c = code(array, index);
    return c < 0 ? QString() : Rights::menuCode(c);
}

bool rightsControlled(Array array, int index)
{
    const Entry *e = entry(array, index);
    if (!e || e->isSeparator())
        return false;
    switch (array) {
    case Array::File: return index <= arraySize(Array::File) - 3; // never "E&xit" and "&Logout"
    case Array::HouseKeeping:
    case Array::Reports: return true;
    case Array::Window:
    case Array::Patches: break;
    }
    return false;
}

bool enabledFor(const QString &menuRights, Array array, int index)
{
    const int c = code(array, index);
    return c < 0 || Rights::grantsMenu(menuRights, c);
}

const QList<ToolButton> &toolButtons()
{
    static const QList<ToolButton> list = {
        {1, QStringLiteral("Cargo Information"), QStringLiteral(":/icons/cargo.png"), Array::File, 6},
        {2, QStringLiteral("Vessel Information"), QStringLiteral(":/icons/vessel.png"), Array::File, 5},
        {3, QStringLiteral("Vessel Code Setup"), QStringLiteral(":/icons/vesselcode.png"), Array::File, 3},
        {4, QStringLiteral("Check-List Printing"), QStringLiteral(":/icons/checklist.png"), Array::Reports, 0},
        {5, QStringLiteral("Generate XML File"), QStringLiteral(":/icons/xml.png"), Array::Reports, 2},
        {6, QStringLiteral("Generate Flat File (IGM)"), QStringLiteral(":/icons/igm.png"), Array::Reports, 1},
    };
    return list;
}

} // namespace quarl::MainMenu
