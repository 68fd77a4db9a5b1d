#include "app/ui/frmmenu.h"

#include "app/keyboardlocks.h"
#include "app/prompter.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/ui/frmlogon.h"
#include "app/ui/programend.h"
#include "app/ui/screenregistry.h"
#include "appearance/ui/appearance.h"
#include "store/patches.h"

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

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
} // namespace

frmMenu::frmMenu()
{
    theInstance() = this;
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

    PreparedReportData::setCurrent(&m_reportData);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    resize(1024, 720);
    applyAppearance(this);
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
    if (!w)
        w = new frmMenu;
    w->show();
    w->raise();
    w->activateWindow();
    // Activation may come later or, offscreen, never; the new session must show at once.
    w->activate();
}

void frmMenu::buildMenus()
{
    using namespace MainMenu;
    for (const Top &top : tops()) {
        QMenu *menu = menuBar()->addMenu(top.caption);
        menu->setObjectName(top.name);
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
    applySkin(sub); // the window's frame and the screen in it
    // A screen that closes itself takes its frame with it.
    connect(screen, &QObject::destroyed, sub, &QObject::deleteLater);
    sub->show();
    m_mdi->setActiveSubWindow(sub);
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
    Session::end();
    activate();
    auto *logon = new frmLogon(this);
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
    const QRect area = m_mdi->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow *sub = windows.at(i);
        if (sub->isMaximized())
            sub->showNormal();
        QRect r;
        if (stacking == Qt::Vertical) {
            const int top = area.height() * i / n;
            const int bottom = area.height() * (i + 1) / n;
            r = QRect(0, top, area.width(), bottom - top);
        } else {
            const int left = area.width() * i / n;
            const int right = area.width() * (i + 1) / n;
            r = QRect(left, 0, right - left, area.height());
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
    m_reportData.close();
    PreparedReportData::setCurrent(nullptr);
    Session::current().connection.close();
    event->accept();
    endProgram();
}

} // namespace quarl
