#include "app/ui/frmlogon.h"

#include "app/ui/programend.h"
#include "browser/companyregister.h"
#include "browser/ui/pgsourcedialog.h"
#include "core/installation.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/ui/enterkey.h"
#include "store/datasourceregistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

namespace {
const int LoguserTextSize = 50; // uid and pwd are char(50)
}

frmLogon::frmLogon(QWidget *parent) : QDialog(parent), m_logon(Settings::sysPath())
{
    setObjectName(QStringLiteral("frmLogon"));
    setWindowTitle(QStringLiteral("Logon"));
    setAttribute(Qt::WA_DeleteOnClose);

    lblHeading = new QLabel(QStringLiteral("Login"), this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    QFont big = lblHeading->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblHeading->setFont(big);
    lblHeading->setAlignment(Qt::AlignCenter);

    cboDSNList = new QComboBox(this);
    cboDSNList->setObjectName(QStringLiteral("cboDSNList"));
    cboDSNList->setEditable(true);
    cboDSNList->setInsertPolicy(QComboBox::NoInsert);
    cboDSNList->setMinimumContentsLength(28);

    txtUID = new QLineEdit(this);
    txtUID->setObjectName(QStringLiteral("txtUID"));
    txtUID->setMaxLength(LoguserTextSize);

    txtPWD = new QLineEdit(this);
    txtPWD->setObjectName(QStringLiteral("txtPWD"));
    txtPWD->setMaxLength(LoguserTextSize);
    txtPWD->setEchoMode(QLineEdit::Password);
    txtPWD->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"

    Check1 = new QCheckBox(QStringLiteral("&Save Password"), this);
    Check1->setObjectName(QStringLiteral("Check1"));

    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter is handled below; no button presses itself on Enter from a field.
    cmdOK->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    form->addRow(label(QStringLiteral("Company"), cboDSNList), cboDSNList);
    form->addRow(label(QStringLiteral("User ID"), txtUID), txtUID);
    form->addRow(label(QStringLiteral("Password"), txtPWD), txtPWD);
    form->addRow(QString(), Check1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto *top = new QVBoxLayout(this);
    top->setContentsMargins(18, 14, 18, 14);
    top->setSpacing(12);
    top->addWidget(lblHeading);
    top->addLayout(form);
    top->addLayout(buttons);

    setTabOrder(cboDSNList, txtUID);
    setTabOrder(txtUID, txtPWD);
    setTabOrder(txtPWD, Check1);
    setTabOrder(Check1, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, &frmLogon::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogon::cmdCancel_Click);

    // Load: the remembered user id and password; a remembered id ticks the box.
    txtUID->setText(Settings::savedUserId());
    txtPWD->setText(Logon::savedPassword(txtUID->text()));
    Check1->setChecked(!txtUID->text().isEmpty());

    EnterMovesFocus::install(this);
    // The password field's Enter confirms, so that id, Tab, password, Enter logs on;
    // this filter runs before the one above.
    txtPWD->installEventFilter(this);
}

void frmLogon::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_listPending) {
        fillCompanyList();
        m_listPending = false;
        focusFirstEmpty();
    }
}

void frmLogon::fillCompanyList()
{
    cboDSNList->clear();
    auto rows = m_logon.readRegister();
    if (rows) {
        for (const CompanyEntry &row : *rows)
            cboDSNList->addItem(row.name);
    }
    const int index = Logon::rememberedCompanyIndex(Settings::companyIndexText(), cboDSNList->count());
    cboDSNList->setCurrentIndex(index);
    if (index < 0)
        cboDSNList->setEditText(QString());
}

void frmLogon::focusFirstEmpty()
{
    if (txtUID->text().isEmpty())
        txtUID->setFocus(Qt::OtherFocusReason);
    else if (txtPWD->text().isEmpty())
        txtPWD->setFocus(Qt::OtherFocusReason);
    else
        cmdOK->setFocus(Qt::OtherFocusReason);
}

bool frmLogon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtPWD && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            cmdOK_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

int frmLogon::selectedCompanyIndex() const
{
    const int index = cboDSNList->currentIndex();
    if (index >= 0 && cboDSNList->itemText(index) == cboDSNList->currentText())
        return index;
    return -1;
}

void frmLogon::fail(const Failure &failure)
{
    // The server down, a wrong database password, a file gone: the clerk may mend it and
    // press OK again, or choose another company; the program goes on.
    Prompter::current().message(failure.numberAndText());
    cboDSNList->setFocus(Qt::OtherFocusReason);
}

bool frmLogon::registerChosenDataFile()
{
    const QString file = Prompter::current().openFileName(
        QStringLiteral("Select Data File Name"),
        QStringLiteral("Data files (%1)").arg(QLatin1String(Installation::DataFileFilter)), Installation::folder());
    if (file.isEmpty())
        return false;
    if (Logon::registerDataFile(file))
        Prompter::current().message(QStringLiteral("DSN Created Successfully"));
    else
        Prompter::current().message(QStringLiteral("DSN Creation Failed ... "), Prompter::Icon::Critical,
                                    QStringLiteral("DSN Creation"));
    return true;
}

bool frmLogon::registerPostgresSource(const QString &name)
{
    PgSourceDialog dialog(CompanyRegister::suggestedPostgres(name), this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // The company's database holds its tables already; an empty one is not this company.
    const auto registered = CompanyRegister::registerPostgres(name, dialog.params(), {});
    if (!registered) {
        Prompter::current().message(registered.failure().numberAndText());
        return true;
    }
    Prompter::current().message(QStringLiteral("DSN Created Successfully"));
    return true;
}

bool frmLogon::openCompanyConnection(const CompanyEntry &company)
{
    // The open is tried again after every registration; two cancelled answers in a row
    // give up, so that the user can pick another company or leave.
    int cancelled = 0;
    for (;;) {
        const Status opened = m_logon.openConnection(company.dataSource);
        if (opened)
            return true;
        if (!opened.failure().is(ErrorNumber::DataSourceNotFound)) {
            fail(opened.failure());
            return false;
        }
        const QString name = DataSourceRegistry::nameFromConnectionText(company.dataSource);
        const Prompter::Answer answer = Prompter::current().askYesNoCancel(
            QStringLiteral("Data Source Name does not exist: the company \"%1\" keeps its data in the data source "
                           "\"%2\", which is not registered on this workstation.\n\n"
                           "Yes: register it for the company's database on a PostgreSQL server (an office shared by "
                           "several workstations).\nNo: choose its data file.\nCancel: back to the logon.")
                .arg(company.name, name),
            Prompter::Icon::Question);
        bool registered = false;
        if (answer == Prompter::Answer::Yes)
            registered = registerPostgresSource(name);
        else if (answer == Prompter::Answer::No)
            registered = registerChosenDataFile();
        if (registered) {
            cancelled = 0;
        } else if (answer == Prompter::Answer::Cancel || ++cancelled >= 2) {
            cboDSNList->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
}

void frmLogon::cmdOK_Click()
{
    auto found = m_logon.findCompany(cboDSNList->currentText());
    if (!found) {
        fail(found.failure());
        return;
    }
    if (!found->has_value()) {
        Prompter::current().message(QStringLiteral("Cannot Load Company Details"));
        return;
    }
    const CompanyEntry company = **found;

    if (!openCompanyConnection(company))
        return;

    const QString uid = txtUID->text();
    const QString pwd = txtPWD->text();
    auto user = m_logon.checkUser(uid, pwd);
    if (!user && m_logon.lacksUserTable(user.failure())) {
        if (Status made = m_logon.createDefaultUserTable(); !made) {
            fail(made.failure());
            return;
        }
        Prompter::current().message(QStringLiteral("New User File Created with Default User ID QUARL Password TOVEK"));
        user = m_logon.checkUser(uid, pwd);
    }
    if (!user) {
        fail(user.failure());
        return;
    }
    if (!user->has_value()) {
        Prompter::current().message(QStringLiteral("Access denied Username/Password do not match"));
        txtPWD->setFocus(Qt::OtherFocusReason);
        txtPWD->selectAll();
        return;
    }

    m_logon.complete(company, **user, Check1->isChecked(), uid, pwd, selectedCompanyIndex());
    Q_EMIT loggedOn();
    accept();
}

void frmLogon::cmdCancel_Click()
{
    endProgram();
}

void frmLogon::reject()
{
    // Escape and the window's close button are Cancel.
    cmdCancel_Click();
}

} // namespace quarl
