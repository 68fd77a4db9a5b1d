#include "app/ui/frmmenu.h"

#include "app/ui/frmlogon.h"
#include "app/ui/programend.h"
#include "appearance/ui/appearance.h"
#include "core/keyboardlocks.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/ui/altkeys.h"
#include "core/ui/screenregistry.h"
#include "store/patches.h"
#include "store/session.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <optional>

namespace quarl {

namespace {
QPointer<frmMenu> &theInstance()
{
    static QPointer<frmMenu> window;
    return window;
}

QString entryKey(const QString &arrayName, int index)
{
    return arrayName + QLatin1Char('/') + QString::number(index);
}

QString caption()
{
    return QStringLiteral("Quarl (Ver %1.%2.%3)").arg(QUARL_VERSION_MAJOR).arg(QUARL_VERSION_MINOR).arg(QUARL_VERSION_TWEAK);
}

// The saved place of the main window ("x,y,width,height") moved into the screen that shows
// most of it; nothing when it is unreadable, larger than that screen or when no screen shows
// enough of it to take hold of (a monitor gone, another resolution).
std::optional<QRect> placeOnScreens(const QString &saved, const QList<QScreen *> &screens)
{
    const QStringList parts = saved.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    const QRect r(v[0], v[1], v[2], v[3]);
    if (r.width() <= 0 || r.height() <= 0)
        return std::nullopt;
    QRect best;
    int bestArea = 0;
    for (const QScreen *screen : screens) {
        const QRect shown = screen->availableGeometry().intersected(r);
        if (shown.width() >= 100 && shown.height() >= 50 && shown.width() * shown.height() > bestArea) {
            bestArea = shown.width() * shown.height();
            best = screen->availableGeometry();
        }
    }
    if (bestArea == 0 || r.width() > best.width() || r.height() > best.height())
        return std::nullopt;
    QRect fitted = r;
    fitted.moveLeft(std::clamp(fitted.left(), best.left(), best.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), best.top(), best.bottom() - fitted.height() + 1));
    return fitted;
}
} // namespace

frmMenu::frmMenu()
{
    theInstance() = this;
    setScreenHost(this);
    setObjectName(QStringLiteral("frmMenu"));
    setAttribute(Qt::WA_DeleteOnClose);

    // Load: a failing step shows its message and the load goes on.
    setWindowTitle(caption());
    setWindowIcon(QIcon(QStringLiteral(":/icons/vessel.png")));
    if (Status s = loadSkin(Settings::skinPath()); !s)
        Prompter::current().message(s.failure().numberAndText());

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    ScreenAltKeys::install(m_mdi);

    PreparedReportData::setCurrent(&m_reportData);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    resize(1024, 720);
    applyAppearance(this);
}

// Keys of a desktop program's work area, at the end of the Window menu: they take no
// caption or code of the menus above.
void frmMenu::buildScreenCommands(QMenu *windowMenu)
{
    m_windowMenu = windowMenu;
    windowMenu->addSeparator();
    QAction *close = windowMenu->addAction(tr("Cl&ose Screen"));
    close->setObjectName(QStringLiteral("actCloseScreen"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    connect(close, &QAction::triggered, this, [this] {
        if (QMdiSubWindow *sub = m_mdi->activeSubWindow())
            sub->close();
    });
    QAction *next = windowMenu->addAction(tr("&Next Screen"));
    next->setObjectName(QStringLiteral("actNextScreen"));
    next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab));
    connect(next, &QAction::triggered, this, [this] {
        m_mdi->activateNextSubWindow();
        focusActiveScreen();
    });
    QAction *previous = windowMenu->addAction(tr("P&revious Screen"));
    previous->setObjectName(QStringLiteral("actPreviousScreen"));
    // The menu shows the first; Shift+Tab arrives as Backtab, which the second one matches.
    previous->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)});
    connect(previous, &QAction::triggered, this, [this] {
        m_mdi->activatePreviousSubWindow();
        focusActiveScreen();
    });
    for (QAction *a : {close, next, previous})
        a->setShortcutContext(Qt::WindowShortcut);
    windowMenu->addSeparator()->setObjectName(QStringLiteral("screenListSeparator"));
    connect(windowMenu, &QMenu::aboutToShow, this, &frmMenu::listOpenScreens);
}

void frmMenu::listOpenScreens()
{
    for (const QPointer<QAction> &a : std::as_const(m_screenList))
        delete a.data();
    m_screenList.clear();
    int n = 0;
    for (QMdiSubWindow *sub : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->widget() || (!sub->isVisible() && !sub->isMinimized()))
            continue;
        ++n;
        const QString title = sub->widget()->windowTitle();
        QAction *a = m_windowMenu->addAction(n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title) : title);
        a->setObjectName(QStringLiteral("actScreen_") + sub->widget()->objectName());
        a->setCheckable(true);
        a->setChecked(sub == m_mdi->activeSubWindow());
        QPointer<QMdiSubWindow> guard(sub);
        connect(a, &QAction::triggered, this, [this, guard] {
            if (!guard)
                return;
            if (guard->isMinimized())
                guard->showNormal();
            m_mdi->setActiveSubWindow(guard);
            focusActiveScreen();
        });
        m_screenList << a;
    }
}

// Where the user types next: the screen's own focus (its first field or Add), else the
// work area, so that keys never go nowhere.
void frmMenu::focusActiveScreen()
{
    QMdiSubWindow *sub = m_mdi->activeSubWindow();
    QWidget *screen = sub ? sub->widget() : nullptr;
    if (!screen) {
        m_mdi->setFocus(Qt::OtherFocusReason);
        return;
    }
    QWidget *target = screen->focusWidget();
    if (!target || !target->isVisible() || !target->isEnabled()) {
        target = screen;
        for (QWidget *w = screen->nextInFocusChain(); w && w != screen; w = w->nextInFocusChain()) {
            if (screen->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
                target = w;
                break;
            }
        }
    }
    target->setFocus(Qt::OtherFocusReason);
}

frmMenu::~frmMenu()
{
    if (PreparedReportData::current() == &m_reportData)
        PreparedReportData::setCurrent(nullptr);
}

frmMenu *frmMenu::instance()
{
    return theInstance();
}

void frmMenu::showAfterLogon()
{
    frmMenu *w = instance();
    if (!w) {
        w = new frmMenu;
        w->restorePlacement();
    }
    w->show();
    w->raise();
    w->activateWindow();
    w->focusActiveScreen();
    // Activation may come later or, offscreen, never; the new session must show at once.
    w->activate();
}

// Maximised the first time, then as the user left it on this machine. With no screen to
// fit it to, the window keeps its opening size.
frmLogon *frmMenu::openLogon(QWidget *parent)
{
    auto *logon = new frmLogon(parent);
    connect(logon, &frmLogon::loggedOn, logon, &frmMenu::showAfterLogon);
    logon->show();
    return logon;
}

void frmMenu::restorePlacement()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return;
    const std::optional<QRect> place = placeOnScreens(Settings::windowGeometry(), screens);
    if (place)
        setGeometry(*place);
    if (!place || Settings::windowMaximized() == QLatin1String("1"))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMenu::savePlacement()
{
    if (!isVisible())
        return;
    const bool maximized = isMaximized() || isFullScreen();
    const QRect r = maximized ? normalGeometry() : geometry();
    if (r.isValid())
        Settings::setWindowGeometry(QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
    Settings::setWindowMaximized(maximized ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmMenu::buildMenus()
{
    using namespace MainMenu;
    for (const Top &top : tops()) {
        QMenu *menu = menuBar()->addMenu(top.caption);
        menu->setObjectName(top.name);
        const bool windowMenu = top.array == Array::Window;
        for (const Entry &e : entries(top.array)) {
            QAction *action = e.isSeparator() ? menu->addSeparator() : menu->addAction(e.caption);
            action->setObjectName(arrayName(e.array) + QLatin1Char('_') + QString::number(e.index));
            action->setProperty("index", e.index);
            action->setVisible(!e.hidden);
            m_entries.insert(entryKey(arrayName(e.array), e.index), action);
            if (!e.isSeparator()) {
                const Array a = e.array;
                const int i = e.index;
                connect(action, &QAction::triggered, this, [this, a, i] { run(a, i); });
            }
        }
        if (windowMenu)
            buildScreenCommands(menu);
    }
}

void frmMenu::buildToolbar()
{
    QToolBar *bar = addToolBar(QStringLiteral("Toolbar1"));
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    for (const MainMenu::ToolButton &b : MainMenu::toolButtons()) {
        // Its own action, so that the menu entry's enabled state never reaches it.
        QAction *action = bar->addAction(QIcon(b.icon), b.tooltip);
        action->setObjectName(QStringLiteral("Toolbar1_%1").arg(b.number));
        action->setToolTip(b.tooltip);
        const MainMenu::Array a = b.array;
        const int i = b.index;
        connect(action, &QAction::triggered, this, [this, a, i] { run(a, i); });
        m_toolbarButtons << action;
    }
}

void frmMenu::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    const QStringList initial = {QStringLiteral("Import General Manifest for ICEGATE"), QStringLiteral("CAPS"),
                                 QStringLiteral("NUM"), QString(), QString(), QString()};
    for (int i = 0; i < initial.size(); ++i) {
        auto *panel = new QLabel(initial.at(i), this);
        panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
        if (i == 1 || i == 2)
            panel->setAlignment(Qt::AlignCenter);
        statusBar()->addPermanentWidget(panel, i == 0 || i == 4 ? 1 : 0);
        m_panels << panel;
    }
    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &frmMenu::refreshClockPanels);
    m_clock->start();
    refreshClockPanels();
}

void frmMenu::refreshClockPanels()
{
    const KeyboardLocks locks = readKeyboardLocks();
    const auto showLock = [](QLabel *panel, const std::optional<bool> &on) {
        panel->setEnabled(on.value_or(false));
        panel->setToolTip(on ? QString() : QStringLiteral("The keyboard does not report this lock."));
    };
    showLock(m_panels.at(1), locks.caps);
    showLock(m_panels.at(2), locks.num);
    m_panels.at(3)->setText(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
}

QAction *frmMenu::menuAction(const QString &arrayName, int index) const
{
    return m_entries.value(entryKey(arrayName, index));
}

QAction *frmMenu::toolbarButton(int number) const
{
    return number >= 1 && number <= m_toolbarButtons.size() ? m_toolbarButtons.at(number - 1) : nullptr;
}

QLabel *frmMenu::statusPanel(int number) const
{
    return number >= 1 && number <= m_panels.size() ? m_panels.at(number - 1) : nullptr;
}

void frmMenu::activate()
{
    using namespace MainMenu;
    // Import IGM File under its setting; Import SAM File always (it reads what another party sent)
    if (QAction *a = menuAction(arrayName(Array::Window), ImportIgmIndex))
        a->setVisible(Settings::igmImportEnabled());

    const Session &session = Session::current();
    for (const Entry &e : entries()) {
        if (rightsControlled(e.array, e.index))
            menuAction(arrayName(e.array), e.index)->setEnabled(enabledFor(session.menuRights, e.array, e.index));
    }
    m_panels.at(4)->setText(session.companyName);
    m_panels.at(5)->setText(QStringLiteral("User : ") + session.userId);
}

void frmMenu::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activate();
}

void frmMenu::run(MainMenu::Array array, int index)
{
    const MainMenu::Entry *e = MainMenu::entry(array, index);
    if (!e)
        return;
    switch (e->action) {
    case MainMenu::Action::OpenScreen: openScreen(e->screen); break;
    case MainMenu::Action::Exit: exitProgram(); break;
    case MainMenu::Action::Logout: logout(); break;
    case MainMenu::Action::Cascade: m_mdi->cascadeSubWindows(); break;
    case MainMenu::Action::TileHorizontal: tileHorizontal(); break;
    case MainMenu::Action::TileVertical: tileVertical(); break;
    case MainMenu::Action::Command: runCommand(MainMenu::arrayName(array), index); break;
    case MainMenu::Action::None: break;
    }
}

// The upgrade and patch entries run on the company database of the session and show
// what the command reports; a command that has nothing to say shows nothing.
void frmMenu::runCommand(const QString &arrayName, int index)
{
    const PatchInfo *patch = nullptr;
    for (const PatchInfo &p : Patches::all()) {
        if (p.menu == arrayName && p.index == index)
            patch = &p;
    }
    if (!patch)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const PatchResult result = Patches::run(patch->id, Session::current().connection);
    QGuiApplication::restoreOverrideCursor();
    if (!result.message.isEmpty())
        Prompter::current().message(result.message, result.isOk() ? Prompter::Icon::None : Prompter::Icon::Critical);
}

QWidget *frmMenu::openScreen(const QString &name)
{
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (sub->widget() && sub->widget()->objectName() == name) {
            if (sub->isMinimized())
                sub->showNormal();
            sub->show();
            m_mdi->setActiveSubWindow(sub);
            sub->raise();
            return sub->widget();
        }
    }
    QWidget *screen = createScreen(name);
    if (!screen) {
        Prompter::current().message(QStringLiteral("This screen is not available in this version."),
                                    Prompter::Icon::Information);
        return nullptr;
    }
    screen->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = m_mdi->addSubWindow(screen);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(windowIcon());
    // Every frame's own menu claims Ctrl+F4 as well, which leaves the key to nobody once
    // two screens are open: the Window menu's Close Screen takes it alone.
    if (QMenu *frameMenu = sub->systemMenu()) {
        for (QAction *a : frameMenu->actions()) {
            if (a->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_F4)))
                a->setShortcuts({});
        }
    }
    applySkin(sub); // the window's frame and the screen in it
    // A screen that closes itself takes its frame with it.
    connect(screen, &QObject::destroyed, sub, &QObject::deleteLater);
    sub->show();
    // no smaller than what shows all of the screen (its load has run by now)
    sub->setMinimumSize(sub->minimumSizeHint().expandedTo(QSize(0, 0)));
    m_mdi->setActiveSubWindow(sub);
    focusActiveScreen();
    return screen;
}

bool frmMenu::closeAllScreens()
{
    for (QMdiSubWindow *sub : m_mdi->subWindowList(QMdiArea::ActivationHistoryOrder)) {
        if (!sub->isVisible() && !sub->isMinimized())
            continue; // closed already, waiting for its deletion
        // the screen that asks is the one in front
        m_mdi->setActiveSubWindow(sub);
        if (!sub->close())
            return false;
    }
    return true;
}

void frmMenu::logout()
{
    // A new logon must not find the last user's screens: they hold that user's rights
    // and record sets on that company's connection.
    if (!closeAllScreens())
        return;
    savePlacement(); // the program may end from the logon screen
    Session::end();
    activate();
    m_mdi->setFocus(Qt::OtherFocusReason);
    auto *logon = new frmLogon(this);
    connect(logon, &frmLogon::loggedOn, logon, &frmMenu::showAfterLogon);
    logon->setWindowModality(Qt::ApplicationModal);
    // Over the main window it inherits the skin's style sheet; without the skin's colours
    // too, a dark skin would leave it unreadable.
    if (currentSkin()) {
        logon->ensurePolished();
        applySkin(logon);
    }
    logon->show();
}

void frmMenu::exitProgram()
{
    // as closing the window: no typed record is dropped unasked
    close();
}

void frmMenu::tileHorizontal()
{
    tile(Qt::Vertical);
}

void frmMenu::tileVertical()
{
    tile(Qt::Horizontal);
}

// Horizontal tiling lays the windows one below the other, each as wide as the work
// area; vertical tiling puts them side by side, each as tall as the work area.
void frmMenu::tile(Qt::Orientation stacking)
{
    QList<QMdiSubWindow *> windows;
    for (QMdiSubWindow *sub : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->isVisible() && !sub->isMinimized())
            windows << sub;
    }
    if (windows.isEmpty())
        return;
    // Each window gets its share of the work area but never less than its minimum size;
    // what does not fit lies beyond the area, which then scrolls.
    const QRect area = m_mdi->viewport()->rect();
    const int n = int(windows.size());
    int at = 0;
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow *sub = windows.at(i);
        if (sub->isMaximized())
            sub->showNormal();
        const QSize least = sub->minimumSize().expandedTo(sub->minimumSizeHint());
        QRect r;
        if (stacking == Qt::Vertical) {
            const int share = area.height() * (i + 1) / n - area.height() * i / n;
            r = QRect(0, at, std::max(area.width(), least.width()), std::max(share, least.height()));
            at += r.height();
        } else {
            const int share = area.width() * (i + 1) / n - area.width() * i / n;
            r = QRect(at, 0, std::max(share, least.width()), std::max(area.height(), least.height()));
            at += r.width();
        }
        sub->setGeometry(r);
    }
}

void frmMenu::closeEvent(QCloseEvent *event)
{
    // The screens close first, while the connection is still there for them.
    if (!closeAllScreens()) {
        event->ignore();
        return;
    }
    savePlacement();
    m_reportData.close();
    PreparedReportData::setCurrent(nullptr);
    Session::current().connection.close();
    event->accept();
    endProgram();
}

} // namespace quarl
