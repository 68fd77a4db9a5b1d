#include "browser/ui/frmcompany.h"

#include "browser/companyregister.h"
#include "browser/recordsources.h"
#include "browser/ui/pgsourcedialog.h"
#include "core/installation.h"
#include "core/prompter.h"
#include "core/ui/screenregistry.h"
#include "store/installer.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quarl {

namespace {
constexpr int CodeField = 0;
constexpr int DataSourceField = 8;
} // namespace

frmCompany::frmCompany(QWidget *parent) : RecordBrowser(parent)
{
    setCaptions(QStringLiteral("Company Master"), QStringLiteral("Company Master"));
    addField(CodeField, QStringLiteral("code"))->hide();
    addFieldRow(QStringLiteral("Company Name"), 1, QStringLiteral("name"));
    addFieldRow(QStringLiteral("Address"), 2, QStringLiteral("add1"));
    // the second and third address lines sit under the first, without a label of their own
    for (const auto &[index, column] : {std::pair{3, "add2"}, std::pair{4, "add3"}}) {
        QLineEdit *line = addField(index, QLatin1String(column));
        fieldGrid()->addWidget(line, fieldGrid()->rowCount(), 1, Qt::AlignLeft);
    }
    QLineEdit *phone = addField(5, QStringLiteral("telephone"));
    const int phoneRow = fieldGrid()->rowCount();
    fieldGrid()->addWidget(addLabel(QStringLiteral("Phone"), phone), phoneRow, 0);
    fieldGrid()->addWidget(phone, phoneRow, 1, Qt::AlignLeft);
    QLineEdit *dsn = addField(DataSourceField, QStringLiteral("dirname"));
    const int dsnRow = fieldGrid()->rowCount();
    fieldGrid()->addWidget(addLabel(QStringLiteral("Data Source Name"), dsn), dsnRow, 0);
    fieldGrid()->addWidget(dsn, dsnRow, 1, Qt::AlignLeft);
    for (int i : {1, 2, 3, 4})
        txtFields(i)->setMinimumWidth(360);
    phone->setMinimumWidth(200);
    dsn->setMinimumWidth(360);
    setFirstField(1);

    Rules r;
    r.maxLengths = false;
    r.digitsFilter = false;
    r.mandatory = false;
    r.recordStatus = false;
    r.openOnLastRow = false;
    setRules(r);
    cmdUpdate->setText(QStringLiteral("&Save"));

    Create = new QPushButton(QStringLiteral("Crea&te"), this);
    Create->setObjectName(QStringLiteral("Create"));
    Create->setAutoDefault(false);
    Create->setMinimumWidth(cmdAdd->minimumWidth());
    Create->setToolTip(QStringLiteral("Copy a company data file under the Data Source Name and register it"));
    Create->hide();
    commandRow()->insertWidget(commandRow()->indexOf(cmdClose) + 1, Create);
    connect(Create, &QPushButton::clicked, this, [this] { createDataSource(); });

    CreatePg = new QPushButton(QStringLiteral("&PostgreSQL..."), this);
    CreatePg->setObjectName(QStringLiteral("CreatePg"));
    CreatePg->setAutoDefault(false);
    CreatePg->setMinimumWidth(cmdAdd->minimumWidth());
    CreatePg->setToolTip(QStringLiteral("Register the Data Source Name for a company database on a PostgreSQL server"));
    CreatePg->hide();
    commandRow()->insertWidget(commandRow()->indexOf(Create) + 1, CreatePg);
    connect(CreatePg, &QPushButton::clicked, this, [this] { createPostgresSource(); });
}

RecordSource frmCompany::recordSource() const
{
    return RecordSources::companyRegister();
}

Result<Database> frmCompany::openDatabase()
{
    return CompanyRegister::openSystemDatabase();
}

void frmCompany::addRecord()
{
    RecordSet &rs = adoPrimaryRS();
    if (!rs.isOpen() || mode() != Mode::Browse)
        return;
    const bool empty = rs.isEmpty();
    const QVariant lastCode = empty ? QVariant() : rs.storedValue(rs.count() - 1, rs.columnIndex(QStringLiteral("code")));
    RecordBrowser::addRecord();
    // The new row is already pending when the code overflows; its code stays empty.
    const auto code = CompanyRegister::nextCode(empty, lastCode);
    if (!code) {
        reportFailure(code.failure());
        return;
    }
    txtFields(CodeField)->setText(QString::number(code.value()));
}

void frmCompany::SwitchMode(Mode mode)
{
    RecordBrowser::SwitchMode(mode);
    Create->setVisible(mode != Mode::Browse);
    CreatePg->setVisible(mode != Mode::Browse);
    updateCreateEnabled();
}

void frmCompany::fieldTextChanged(int index)
{
    RecordBrowser::fieldTextChanged(index);
    updateCreateEnabled();
}

void frmCompany::updateCreateEnabled()
{
    if (Create)
        Create->setEnabled(!txtFields(DataSourceField)->text().isEmpty());
    if (CreatePg)
        CreatePg->setEnabled(!txtFields(DataSourceField)->text().isEmpty());
}

void frmCompany::createDataSource()
{
    if (mode() == Mode::Browse)
        return;
    Prompter &prompter = Prompter::current();
    const QString typed = txtFields(DataSourceField)->text();
    // The empty company template comes first; the demo or another company may be chosen.
    const QString emptyCompany = Installation::filePath(QLatin1String(Installer::TemplateDataFile));
    const QString source = prompter.openFileName(
        QStringLiteral("Select Data File Name to Copy From"),
        QStringLiteral("Company data files (%1)").arg(QLatin1String(Installation::DataFileFilter)),
        QFileInfo::exists(emptyCompany) ? emptyCompany : Installation::folder());
    if (source.isEmpty()) {
        prompter.message(Failure(ErrorNumber::Cancelled, QStringLiteral("Cancel was selected.")).numberAndText());
        return;
    }
    if (Status s = CompanyRegister::checkCreate(typed, source); !s) {
        prompter.message(s.failure().numberAndText());
        return;
    }
    CompanyRegister::CreateOptions options;
    const QString target = CompanyRegister::targetPath(typed);
    if (QFileInfo::exists(target)) {
        if (!prompter.askYesNo(QStringLiteral("The file \"%1\" already exists in %2. Replace it ?")
                                   .arg(typed, Installation::folder()),
                               Prompter::Icon::Question))
            return;
        options.replaceExistingFile = true;
    }
    CompanyRegister::CreateFailure failed;
    const auto created = CompanyRegister::createDataSource(typed, source, options, &failed);
    if (!created) {
        if (failed.step == CompanyRegister::CreateStep::Copy)
            prompter.message(failed.failure.numberAndText());
        else
            prompter.message(QStringLiteral("DSN Creation Failed ... "), Prompter::Icon::Critical,
                             QStringLiteral("DSN Creation"));
        return;
    }
    prompter.message(QStringLiteral("DSN Created Successfully"));
    txtFields(DataSourceField)->setText(created.value());
}

void frmCompany::createPostgresSource()
{
    if (mode() == Mode::Browse)
        return;
    Prompter &prompter = Prompter::current();
    const QString typed = txtFields(DataSourceField)->text();
    PgSourceDialog dialog(CompanyRegister::suggestedPostgres(typed), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto created = CompanyRegister::registerPostgres(typed, dialog.params(), [&](const QString &database) {
        return prompter.askYesNo(
            QStringLiteral("The database %1 holds no company yet. Create the company tables and code masters in it ?")
                .arg(database),
            Prompter::Icon::Question);
    });
    if (!created) {
        if (!created.failure().is(ErrorNumber::Cancelled))
            prompter.message(created.failure().numberAndText());
        return;
    }
    prompter.message(QStringLiteral("DSN Created Successfully"));
    txtFields(DataSourceField)->setText(created.value());
}

QUARL_REGISTER_SCREEN(frmCompany)

} // namespace quarl
