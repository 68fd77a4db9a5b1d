#include "app/ui/frmsyspara.h"

#include "appearance/ui/appearance.h"
#include "core/installation.h"
#include "core/numericvalue.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/ui/enterkey.h"
#include "core/ui/screenregistry.h"
#include "filing/layouts.h"
#include "manifest/layout.h"
#include "store/session.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace quarl {

namespace {
struct Security
{
    const char *value;
    const char *caption;
};
constexpr Security Securities[] = {{"none", "None"}, {"starttls", "STARTTLS"}, {"ssl", "SSL/TLS"}};

QLineEdit *field(QWidget *parent, const char *name, int maxLength = 254)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(maxLength);
    return e;
}
} // namespace

frmSyspara::frmSyspara(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmSyspara"));
    setWindowTitle(QStringLiteral("System Parameters"));

    txtCustomCode = field(this, "txtCustomCode");
    txtIceGateUser = field(this, "txtIceGateUser");
    txtFont = field(this, "txtFont");
    txtSize = field(this, "txtSize", 6);
    txtSize->setMaximumWidth(70);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("RTF"), QStringLiteral("PDF")});
    cboIgmLayout = new QComboBox(this);
    cboIgmLayout->setObjectName(QStringLiteral("cboIgmLayout"));
    for (const igm::Layout *l : igm::layouts())
        cboIgmLayout->addItem(l->caption(), l->name());
    cboIgmMode = new QComboBox(this);
    cboIgmMode->setObjectName(QStringLiteral("cboIgmMode"));
    cboIgmMode->addItem(QStringLiteral("Production (P)"), QStringLiteral("P"));
    cboIgmMode->addItem(QStringLiteral("Test (T)"), QStringLiteral("T"));

    txtMailHost = field(this, "txtMailHost");
    txtMailPort = field(this, "txtMailPort", 5);
    txtMailPort->setValidator(new QIntValidator(1, 65535, txtMailPort));
    txtMailPort->setMaximumWidth(70);
    cboMailSecurity = new QComboBox(this);
    cboMailSecurity->setObjectName(QStringLiteral("cboMailSecurity"));
    for (const Security &s : Securities)
        cboMailSecurity->addItem(QLatin1String(s.caption), QLatin1String(s.value));
    txtMailUser = field(this, "txtMailUser");
    txtMailPassword = field(this, "txtMailPassword");
    txtMailPassword->setEchoMode(QLineEdit::Password);
    txtMailFrom = field(this, "txtMailFrom");
    txtMediaFolder = field(this, "txtMediaFolder");
    cmdMediaFolder = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdMediaFolder->setObjectName(QStringLiteral("cmdMediaFolder"));
    cmdExit = new QPushButton(QStringLiteral("&Close"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));

    auto *online = new QLabel(QStringLiteral("Online Filing"), this);
    online->setObjectName(QStringLiteral("lblOnlineFiling"));
    QFont bold = online->font();
    bold.setBold(true);
    online->setFont(bold);

    auto *filing = new QFormLayout;
    filing->addRow(online);
    filing->addRow(QStringLiteral("Custom House Code"), txtCustomCode);
    filing->addRow(QStringLiteral("IceGate User ID"), txtIceGateUser);
    auto *fontRow = new QHBoxLayout;
    fontRow->addWidget(txtFont, 1);
    fontRow->addWidget(new QLabel(QStringLiteral("Size"), this));
    fontRow->addWidget(txtSize);
    filing->addRow(QStringLiteral("Heading Font"), fontRow);
    filing->addRow(QStringLiteral("Email Format"), Combo1);
    auto *layoutRow = new QHBoxLayout;
    layoutRow->addWidget(cboIgmLayout, 1);
    layoutRow->addWidget(cboIgmMode);
    filing->addRow(QStringLiteral("IGM layout"), layoutRow);

    auto *filerBox = new QGroupBox(QStringLiteral("Filing of This Company"), this);
    filerBox->setObjectName(QStringLiteral("fraFiler"));
    fraFiler = filerBox;
    cboSubmitterType = new QComboBox(filerBox);
    cboSubmitterType->setObjectName(QStringLiteral("cboSubmitterType"));
    cboSubmitterType->addItems(Filer::submitterTypes());
    txtSubmitterCode = field(filerBox, "txtSubmitterCode", 15);
    txtSubmitterCode->setToolTip(QStringLiteral("The submitter's code registered with Customs (the PAN of the agent)"));
    txtSignerPan = field(filerBox, "txtSignerPan", 10);
    txtSignerPan->setToolTip(QStringLiteral("PAN of the person whose certificate signs the SAM file"));
    txtNextJob = field(filerBox, "txtNextJob", 7);
    txtNextJob->setValidator(new QIntValidator(1, int(Filer::LastJobNumber), txtNextJob));
    txtNextJob->setMaximumWidth(90);
    txtNextJob->setToolTip(QStringLiteral("The job number the next SAM file takes (1 to 9999999)"));
    for (QLineEdit *e : {txtSubmitterCode, txtSignerPan}) {
        connect(e, &QLineEdit::textEdited, e, [e](const QString &text) {
            if (text != text.toUpper()) {
                const int at = e->cursorPosition();
                e->setText(text.toUpper());
                e->setCursorPosition(at);
            }
        });
    }
    // two to a row, so the screen keeps its height
    auto *filer = new QGridLayout(filerBox);
    const std::pair<const char *, QWidget *> filerFields[] = {{"Submitter Type", cboSubmitterType},
                                                             {"Submitter Code", txtSubmitterCode},
                                                             {"Signer's PAN", txtSignerPan},
                                                             {"Next Job No.", txtNextJob}};
    for (int i = 0; i < 4; ++i) {
        auto *label = new QLabel(QLatin1String(filerFields[i].first), filerBox);
        label->setBuddy(filerFields[i].second);
        filer->addWidget(label, i / 2, (i % 2) * 2);
        filer->addWidget(filerFields[i].second, i / 2, (i % 2) * 2 + 1);
    }
    filer->setColumnStretch(1, 1);
    filer->setColumnStretch(3, 1);

    auto *mailBox = new QGroupBox(QStringLiteral("Mail Server"), this);
    mailBox->setObjectName(QStringLiteral("fraMail"));
    auto *mail = new QFormLayout(mailBox);
    mail->addRow(QStringLiteral("Host"), txtMailHost);
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(txtMailPort);
    portRow->addWidget(new QLabel(QStringLiteral("Security"), mailBox));
    portRow->addWidget(cboMailSecurity, 1);
    mail->addRow(QStringLiteral("Port"), portRow);
    mail->addRow(QStringLiteral("User"), txtMailUser);
    mail->addRow(QStringLiteral("Password"), txtMailPassword);
    mail->addRow(QStringLiteral("Sender Address"), txtMailFrom);

    auto *mediaBox = new QGroupBox(QStringLiteral("Removable Media"), this);
    mediaBox->setObjectName(QStringLiteral("fraMedia"));
    auto *media = new QFormLayout(mediaBox);
    auto *mediaRow = new QHBoxLayout;
    mediaRow->addWidget(txtMediaFolder, 1);
    mediaRow->addWidget(cmdMediaFolder);
    media->addRow(QStringLiteral("Folder"), mediaRow);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);

    auto *top = new QVBoxLayout(this);
    top->addLayout(filing);
    top->addWidget(filerBox);
    top->addWidget(mailBox);
    top->addWidget(mediaBox);
    top->addStretch(1);
    top->addLayout(buttons);

    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdMediaFolder, &QPushButton::clicked, this, &frmSyspara::chooseMediaFolder);

    setMinimumWidth(440);
    load();
    EnterMovesFocus::install(this);
    applyAppearance(this);
}

void frmSyspara::load()
{
    // An Eformat other than 0 and 1 selects nothing and is written back as -1.
    const double format = numericValue(Settings::emailFormat());
    Combo1->setCurrentIndex(format == 0 || format == 1 ? int(format) : -1);
    txtFont->setText(Settings::headingFont());
    txtSize->setText(Settings::headingFontSize());
    txtIceGateUser->setText(Settings::iceGateUser());
    txtCustomCode->setText(Settings::customHouseCode());
    const igm::Layout *chosen = igm::layoutNamed(Settings::igmLayout());
    const int layout = chosen ? cboIgmLayout->findData(chosen->name()) : -1;
    cboIgmLayout->setCurrentIndex(layout < 0 ? 0 : layout);
    cboIgmMode->setCurrentIndex(cboIgmMode->findData(Settings::igmTestIndicator()));

    txtMailHost->setText(Settings::mailHost());
    txtMailPort->setText(Settings::mailPort());
    const QString security = Settings::mailSecurity();
    int at = cboMailSecurity->findData(security.isEmpty() ? QStringLiteral("none") : security.toLower());
    if (at < 0) { // kept as it stands, so closing does not change it
        cboMailSecurity->addItem(security, security);
        at = cboMailSecurity->count() - 1;
    }
    cboMailSecurity->setCurrentIndex(at);
    txtMailUser->setText(Settings::mailUser());
    txtMailPassword->setText(Settings::mailPassword());
    txtMailFrom->setText(Settings::mailFrom());
    txtMediaFolder->setText(Settings::removableMediaFolder());
    loadFiler();
}

void frmSyspara::loadFiler()
{
    m_filerShown.reset();
    const Database &db = Session::current().connection;
    Result<Filer::Details> d = db.isValid() ? Filer::read(db)
                                            : Result<Filer::Details>(Failure(ErrorNumber::DatabaseError, QStringLiteral("No company is open.")));
    fraFiler->setEnabled(d.isOk());
    if (!d) {
        fraFiler->setToolTip(d.failure().description);
        return;
    }
    fraFiler->setToolTip(QString());
    m_filerShown = d.value();
    if (cboSubmitterType->findText(d->submitterType) < 0 && !d->submitterType.isEmpty())
        cboSubmitterType->addItem(d->submitterType); // kept as stored, so closing does not change it
    cboSubmitterType->setCurrentIndex(cboSubmitterType->findText(d->submitterType));
    txtSubmitterCode->setText(d->submitterCode);
    txtSignerPan->setText(d->signerPan);
    txtNextJob->setText(QString::number(d->nextJobNumber));
}

Filer::Details frmSyspara::typedFiler() const
{
    Filer::Details d;
    d.submitterType = cboSubmitterType->currentText();
    d.submitterCode = txtSubmitterCode->text().trimmed();
    d.signerPan = txtSignerPan->text().trimmed();
    bool ok = false;
    d.nextJobNumber = txtNextJob->text().trimmed().toLongLong(&ok);
    if (!ok)
        d.nextJobNumber = 0;
    return d;
}

bool frmSyspara::saveFiler()
{
    if (!m_filerShown)
        return true;
    const Filer::Details typed = typedFiler();
    const Filer::Details &shown = *m_filerShown;
    if (typed.submitterType == shown.submitterType && typed.submitterCode == shown.submitterCode
        && typed.signerPan == shown.signerPan && typed.nextJobNumber == shown.nextJobNumber)
        return true;
    if (const QString why = Filer::problem(typed, &shown); !why.isEmpty()) {
        Prompter::current().message(why);
        QWidget *at = why.startsWith(QLatin1String("Submitter Type")) ? static_cast<QWidget *>(cboSubmitterType)
                      : why.startsWith(QLatin1String("Submitter Code"))   ? txtSubmitterCode
                      : why.startsWith(QLatin1String("Signer"))           ? txtSignerPan
                                                                          : txtNextJob;
        at->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (Status s = Filer::update(Session::current().connection, shown, typed); !s) {
        Prompter::current().message(s.failure().is(ErrorNumber::RowChanged) ? s.failure().description
                                                                             : s.failure().numberAndText());
        if (s.failure().is(ErrorNumber::RowChanged))
            loadFiler(); // what is stored now, to be typed over again
        return false;
    }
    m_filerShown = typed;
    return true;
}

bool frmSyspara::save()
{
    bool ok = true;
    ok &= Settings::setEmailFormat(QString::number(Combo1->currentIndex()));
    ok &= Settings::setHeadingFont(txtFont->text());
    ok &= Settings::setHeadingFontSize(txtSize->text());
    ok &= Settings::setIceGateUser(txtIceGateUser->text());
    ok &= Settings::setCustomHouseCode(txtCustomCode->text());
    ok &= Settings::setIgmLayout(cboIgmLayout->currentData().toString());
    ok &= Settings::setIgmTestIndicator(cboIgmMode->currentData().toString());

    ok &= Settings::setMailHost(txtMailHost->text());
    ok &= Settings::setMailPort(txtMailPort->text());
    ok &= Settings::setMailSecurity(cboMailSecurity->currentData().toString());
    ok &= Settings::setMailUser(txtMailUser->text());
    ok &= Settings::setMailPassword(txtMailPassword->text());
    ok &= Settings::setMailFrom(txtMailFrom->text());
    ok &= Settings::setRemovableMediaFolder(txtMediaFolder->text());
    return ok;
}

void frmSyspara::chooseMediaFolder()
{
    const QString start = txtMediaFolder->text().isEmpty() ? QStringLiteral("/media") : txtMediaFolder->text();
    const QString chosen = Prompter::current().folderName(QStringLiteral("Select Removable Media Folder"), start);
    if (!chosen.isEmpty())
        txtMediaFolder->setText(chosen);
}

void frmSyspara::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        // Top left of the work area, or of the screen when standing alone.
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->move(0, 0);
    }
}

void frmSyspara::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmSyspara::closeEvent(QCloseEvent *event)
{
    if (!saveFiler()) {
        event->ignore();
        return;
    }
    if (!save()) {
        const bool discard = Prompter::current().askYesNo(
            QStringLiteral("The system parameters could not be saved in %1.\nClose without saving?")
                .arg(Installation::filePath(QLatin1String(Installation::SettingsFileName))),
            Prompter::Icon::Warning);
        if (!discard) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

QUARL_REGISTER_SCREEN(frmSyspara)

} // namespace quarl
