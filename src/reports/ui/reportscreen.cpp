#include "reports/ui/reportscreen.h"

#include "appearance/ui/appearance.h"
#include "core/installation.h"
#include "core/preparedreportdata.h"
#include "core/prompter.h"
#include "core/safefile.h"
#include "core/settings.h"
#include "core/ui/capitals.h"
#include "core/ui/enterkey.h"
#include "core/ui/screenregistry.h"
#include "reports/mailhandoff.h"
#include "reports/printerchoice.h"
#include "reports/reportexport.h"
#include "reports/ui/frmprint.h"
#include "reports/ui/printersetupdialog.h"
#include "store/session.h"

#include <QApplication>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

namespace {

// Typing replaces the character after the caret instead of pushing it on; Backspace and
// the keys that move the caret work as usual.
class Overtype : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *edit = static_cast<QLineEdit *>(watched);
            auto *key = static_cast<QKeyEvent *>(event);
            const QString typed = key->text();
            const bool inserts = !typed.isEmpty() && typed.at(0).isPrint()
                                 && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
            if (inserts && !edit->hasSelectedText() && edit->cursorPosition() < edit->text().size())
                edit->setSelection(edit->cursorPosition(), 1);
        }
        return false;
    }
};

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

} // namespace

ReportScreen::ReportScreen(reports::ReportKind kind, const QString &caption, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_page(reports::defaultPageLayout(kind))
{
    setWindowTitle(caption);
    lblHeading = new QLabel(caption, this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    QFont big = lblHeading->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    lblHeading->setFont(big);
    lblHeading->setAlignment(Qt::AlignCenter);

    auto *overtype = new Overtype(this);
    for (int i = 0; i < 7; ++i) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("txtFields(%1)").arg(i));
        e->setMaxLength(i == 4 || i == 5 ? 10 : 254);
        if (i == 4 || i == 5)
            takeCapitals(e);
        e->installEventFilter(overtype);
        m_fields[i] = e;
    }
    const bool declaration = kind == reports::ReportKind::CargoDeclaration;
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Vessel Code"), m_fields[4]);
    form->addRow(QStringLiteral("Voy"), m_fields[5]);
    if (declaration) {
        form->addRow(QStringLiteral("Custom House"), m_fields[6]);
        m_fields[6]->setMaxLength(10);
        m_fields[6]->setText(Settings::customHousePort());
    } else {
        m_fields[6]->hide();
    }
    form->addRow(QStringLiteral("Email Addresses"), m_fields[0]);
    form->addRow(QStringLiteral("CC To."), m_fields[1]);
    form->addRow(QStringLiteral("Subject"), m_fields[2]);
    form->addRow(QStringLiteral("Message"), m_fields[3]);
    m_fields[4]->setMaximumWidth(160);
    m_fields[5]->setMaximumWidth(160);
    m_fields[6]->setMaximumWidth(160);

    cmdPrint = button(this, "cmdPrint", QStringLiteral("Print Pre&view"));
    cmdDprint = button(this, "cmdDprint", QStringLiteral("&Print Report"));
    cmdEmail = button(this, "cmdEmail", QStringLiteral("&Email Report"));
    cmdPsetup = button(this, "cmdPsetup", QStringLiteral("Printer &Setup"));
    cmdExit = button(this, "cmdExit", QStringLiteral("&Close"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdPrint, cmdDprint, cmdEmail, cmdPsetup})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);

    auto *top = new QVBoxLayout(this);
    top->addWidget(lblHeading);
    top->addSpacing(6);
    top->addLayout(form);
    top->addSpacing(10);
    top->addLayout(buttons);
    top->addStretch(1);
    setTabOrder(m_fields[4], m_fields[5]);
    QWidget *last = m_fields[5];
    if (declaration) {
        setTabOrder(last, m_fields[6]);
        last = m_fields[6];
    }
    for (int i : {0, 1, 2, 3}) {
        setTabOrder(last, m_fields[i]);
        last = m_fields[i];
    }
    for (QPushButton *b : {cmdPrint, cmdDprint, cmdEmail, cmdPsetup, cmdExit}) {
        setTabOrder(last, b);
        last = b;
    }

    connect(cmdPrint, &QPushButton::clicked, this, &ReportScreen::preview);
    connect(cmdDprint, &QPushButton::clicked, this, &ReportScreen::printReport);
    connect(cmdEmail, &QPushButton::clicked, this, &ReportScreen::emailReport);
    connect(cmdPsetup, &QPushButton::clicked, this, &ReportScreen::printerSetup);
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);

    m_fields[0]->setText(Settings::mailTo());
    m_fields[1]->setText(Settings::mailCc());
    m_fields[2]->setText(Settings::mailSubject());
    m_fields[3]->setText(Settings::mailMessage());
    loadPrinterChoice();
    setMinimumWidth(520);
    EnterMovesFocus::install(this);
    applyAppearance(this);
}

QLineEdit *ReportScreen::txtFields(int index) const
{
    return index >= 0 && index < 7 ? m_fields[index] : nullptr;
}

void ReportScreen::loadPrinterChoice()
{
    const reports::PrinterChoice choice = reports::storedPrinterChoice(m_kind);
    m_printer = choice.printer;
    m_page = reports::applyPrinterChoice(m_page, choice);
}

bool ReportScreen::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        m_fields[4]->setFocus();
    return QWidget::event(e);
}

void ReportScreen::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (!m_placed) {
        m_placed = true;
        // Centred across the work area, at its top.
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget())) {
            if (QMdiArea *area = sub->mdiArea())
                sub->move(qMax(0, (area->viewport()->width() - sub->width()) / 2), 0);
        }
    }
    m_fields[4]->setFocus();
}

void ReportScreen::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

std::shared_ptr<const reports::ReportDocument> ReportScreen::prepare(const std::function<void(const Failure &)> &say)
{
    reports::ReportRequest request;
    request.kind = m_kind;
    request.vessel = m_fields[4]->text();
    request.voyage = m_fields[5]->text();
    request.customHouse = m_fields[6]->text();
    reports::Preparation prepared;
    {
        WaitCursor wait;
        if (PreparedReportData *held = PreparedReportData::current())
            held->close();
        prepared = reports::prepareReportData(Session::current().connection, request);
    }
    for (const Failure &f : prepared.failures) {
        say(f);
        if (m_kind == reports::ReportKind::CheckList)
            return nullptr;
    }
    if (!prepared.data)
        return nullptr;
    if (PreparedReportData *held = PreparedReportData::current())
        held->open(prepared.data);
    WaitCursor wait;
    m_document = std::make_shared<const reports::ReportDocument>(
        prepared.data, reports::reportTexts(m_kind, request.vessel, request.voyage, Session::current().companyName),
        m_page);
    return m_document;
}

void ReportScreen::preview()
{
    const bool declaration = m_kind == reports::ReportKind::CargoDeclaration;
    auto doc = prepare([declaration](const Failure &f) {
        // The declaration reports each failing step and goes on with the next.
        Prompter::current().message(declaration ? f.code + QStringLiteral("   ") + f.description : f.numberAndText(),
                                    Prompter::Icon::Critical);
    });
    if (!doc)
        return;
    frmPrint *window = frmPrint::shared();
    window->showReport(doc, declaration ? QStringLiteral("Cargo Declaration") : QStringLiteral("Check-List"), m_printer);
    applySkin(window);
}

void ReportScreen::printReport()
{
    auto doc = prepare([](const Failure &f) {
        Prompter::current().message(f.numberAndText(), Prompter::Icon::Critical);
    });
    if (doc)
        print(doc);
}

void ReportScreen::print(const std::shared_ptr<const reports::ReportDocument> &doc)
{
    printReportDocument(*doc, m_printer, this);
}

void ReportScreen::printerSetup()
{
    PrinterSetupDialog dialog(m_printer, m_page, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printer = dialog.printerName();
    m_page = dialog.pageLayout();
    reports::storePrinterChoice(m_kind, m_printer, m_page); // a key that cannot be written is skipped
}

void ReportScreen::emailReport()
{
    // The mail export reports each failure as the number followed by the description.
    auto say = [](const Failure &f) { Prompter::current().message(f.code + f.description, Prompter::Icon::Critical); };
    if (m_fields[2]->text().trimmed().isEmpty()
        && !Prompter::current().askYesNoDefaultNo(QLatin1String(reports::NoSubjectQuestion), Prompter::Icon::Question))
        return;
    auto doc = prepare(say);
    if (!doc)
        return;
    const reports::ExportFormat format = reports::mailExportFormat(Settings::emailFormat());
    const QString path = Installation::filePath(reports::mailExportFileName(format));
    Status written = FileRights::makeFolder(Installation::folder());
    if (written) {
        WaitCursor wait;
        written = reports::writeReport(*doc, format, path);
    }
    if (!written) {
        // Mailing an older file of the same name would send another voyage's report.
        say(written.failure());
        return;
    }
    reports::MailMessage mail;
    mail.to = reports::splitAddresses(m_fields[0]->text());
    mail.cc = reports::splitAddresses(m_fields[1]->text());
    mail.subject = m_fields[2]->text();
    mail.body = m_fields[3]->text();
    mail.attachments = {path};
    const bool smtp = reports::smtpConfigured();
    Status sent;
    {
        WaitCursor wait;
        sent = reports::sendMail(mail);
    }
    if (!sent)
        say(sent.failure());
    else if (smtp)
        Prompter::current().message(reports::mailSentText(mail), Prompter::Icon::Information);
}

frmCheckList::frmCheckList(QWidget *parent)
    : ReportScreen(reports::ReportKind::CheckList, QStringLiteral("Check-List Printing"), parent)
{
    setObjectName(QStringLiteral("frmCheckList"));
}

frmCargoDec::frmCargoDec(QWidget *parent)
    : ReportScreen(reports::ReportKind::CargoDeclaration, QStringLiteral("Cargo Declaration"), parent)
{
    setObjectName(QStringLiteral("frmCargoDec"));
}

QUARL_REGISTER_SCREEN(frmCheckList)
QUARL_REGISTER_SCREEN(frmCargoDec)

} // namespace quarl
