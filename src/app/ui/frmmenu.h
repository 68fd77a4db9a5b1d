#pragma once

#include <QPointer>

#include "app/mainmenu.h"
#include "core/preparedreportdata.h"

#include <QHash>
#include <QMainWindow>

class QAction;
class QLabel;
class QMdiArea;
class QTimer;

namespace quarl {

class frmLogon;

// The main window: the work area in which every screen opens, the menus enabled by the
// user's menu rights, six toolbar shortcuts and the status bar. One per run; shown by
// the first logon and re-activated by every later one.
class frmMenu : public QMainWindow
{
    Q_OBJECT
public:
    frmMenu();
    ~frmMenu() override;

    static frmMenu *instance();
    // After a successful logon: loads and shows the main window, or re-activates it.
    static void showAfterLogon();
    // The logon screen, shown, opening the main window when the logon succeeds: at the
    // start (no parent) and after "&Logout" (over the main window).
    static frmLogon *openLogon(QWidget *parent = nullptr);

    // The menu entry of a control array ("menFile", "menHK", "menRep", "menWin",
    // "menPatch") by its index; nullptr for an unknown entry. Commands that other parts
    // of the program provide (upgrades, patches) connect to its triggered() signal.
    QAction *menuAction(const QString &arrayName, int index) const;
    QAction *toolbarButton(int number) const; // 1..6
    QLabel *statusPanel(int number) const;    // 1..6
    QMdiArea *mdiArea() const { return m_mdi; }
    PreparedReportData &preparedReportData() { return m_reportData; }

    // What runs each time the window becomes active: the "Import IGM File" switch, the
    // menu rights, the company and user panels.
    void activate();

    // Brings an open screen to the front, or loads it, gives it the skin and shows it in
    // the work area. nullptr when no such screen is part of this program.
    Q_INVOKABLE QWidget *openScreen(const QString &name);

    // Closes every open screen through its own close, which may ask about an unsaved
    // record; false, with the rest left open, as soon as one stays open.
    bool closeAllScreens();
    // Both close the screens first; a screen that stays open cancels them.
    void logout();
    void exitProgram();
    void tileHorizontal();
    void tileVertical();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void restorePlacement();
    void savePlacement();
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void run(MainMenu::Array array, int index);
    void runCommand(const QString &arrayName, int index);
    void tile(Qt::Orientation orientation);
    void buildScreenCommands(QMenu *windowMenu);
    void listOpenScreens();
    void focusActiveScreen();
    void refreshClockPanels();

    QMdiArea *m_mdi;
    QHash<QString, QAction *> m_entries; // "menFile/3"
    QList<QAction *> m_toolbarButtons;
    QList<QLabel *> m_panels;
    QTimer *m_clock;
    QMenu *m_windowMenu = nullptr;
    QList<QPointer<QAction>> m_screenList; // the open screens, at the end of the Window menu
    PreparedReportData m_reportData;
};

} // namespace quarl
