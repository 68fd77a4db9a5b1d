#pragma once

#include "app/logon.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quarl {

// The logon screen: the first window of the program, and again after "&Logout".
// A successful logon records the session, remembers the choices and says so (the main
// window opens on it: frmMenu::openLogon); Cancel ends the program. A logon that fails says why and stays, with what was
// typed, so that it can be tried again or another company chosen.
class frmLogon : public QDialog
{
    Q_OBJECT
public:
    explicit frmLogon(QWidget *parent = nullptr);

Q_SIGNALS:
    // The session is recorded; the main window shows itself on it.
    void loggedOn();

public Q_SLOTS:
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillCompanyList();
    void focusFirstEmpty();
    // Opens the company connection, registering a chosen data file while the data
    // source is not registered; false when the logon stops here.
    bool openCompanyConnection(const CompanyEntry &company);
    bool registerChosenDataFile();
    bool registerPostgresSource(const QString &name);
    int selectedCompanyIndex() const;
    void fail(const Failure &failure);

    Logon m_logon;
    bool m_listPending = true;

    QLabel *lblHeading;
    QComboBox *cboDSNList;
    QLineEdit *txtUID;
    QLineEdit *txtPWD;
    QCheckBox *Check1;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
};

} // namespace quarl
