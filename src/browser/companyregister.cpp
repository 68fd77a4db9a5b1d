#include "browser/companyregister.h"

#include "core/installation.h"
#include "core/safefile.h"
#include "core/settings.h"
#include "store/datasourceregistry.h"
#include "store/installer.h"
#include "store/schema.h"

#include <QFile>
#include <QFileInfo>

namespace quarl::CompanyRegister {

namespace {

// The numbers of the file errors as the program has always shown them.
constexpr qint64 PathFileAccessError = 75;

// The tables that make a file a company data file.
constexpr const char *CompanyTables[] = {"cargo", "vesinfo", "D_VESSEL_CD"};

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

Failure invalid(const QString &text)
{
    return Failure(ErrorNumber::InvalidArgument, text);
}

Status checkSource(const QString &sourceFile)
{
    if (sourceFile.isEmpty())
        return Failure(ErrorNumber::Cancelled, QStringLiteral("Cancel was selected."));
    if (!QFileInfo(sourceFile).isFile())
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("File not found: %1").arg(sourceFile));
    auto db = Database::openSqlite(sourceFile);
    if (!db)
        return db.failure();
    for (const char *table : CompanyTables) {
        if (!db->hasTable(QLatin1String(table)))
            return Failure(ErrorNumber::BadFileFormat,
                           QStringLiteral("%1 is not a company data file.").arg(QFileInfo(sourceFile).fileName()));
    }
    // Work still in the write-ahead log of a company in use goes into the file itself,
    // so that the copy holds it. A checkpoint another workstation holds up leaves part of
    // it in the log: the copy would then lack it.
    auto checkpoint = db->query(QStringLiteral("pragma wal_checkpoint(truncate)"));
    if (!checkpoint)
        return checkpoint.failure();
    if (checkpoint->next() && checkpoint->value(0).toInt() != 0)
        return Failure(ErrorNumber::DatabaseError,
                       QStringLiteral("%1 is in use on another workstation; copy it when it is closed.")
                           .arg(QFileInfo(sourceFile).fileName()));
    return Status::ok();
}

Status copyInto(const QString &from, SafeFile &out)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return Failure(PathFileAccessError, QStringLiteral("Path/File access error: %1").arg(in.errorString()));
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (Status s = out.write(chunk); !s)
            return s;
    }
    if (in.error() != QFileDevice::NoError)
        return Failure(PathFileAccessError, QStringLiteral("Path/File access error: %1").arg(in.errorString()));
    return out.finish();
}

// The copy is what it should be before it takes the real name: a sound SQLite file with
// the company tables.
Status checkCopy(const QString &copy, const QString &sourceFile)
{
    return Installer::checkDataFile(copy, [&](const Database &db) -> Status {
        for (const char *table : CompanyTables) {
            if (!db.hasTable(QLatin1String(table)))
                return Failure(ErrorNumber::BadFileFormat, QStringLiteral("The copy of %1 lacks the table %2.")
                                                               .arg(QFileInfo(sourceFile).fileName(), QLatin1String(table)));
        }
        return Status::ok();
    });
}

} // namespace

Result<Database> openSystemDatabase()
{
    const QString path = Settings::sysPath();
    if (path.isEmpty())
        return Failure(ErrorNumber::FileNotFound,
                       QStringLiteral("The settings file names no system database (SYSTEM, SYSPATH)."));
    return Database::openSqlite(path);
}

Result<int> nextCode(bool registerEmpty, const QVariant &lastCode)
{
    if (registerEmpty)
        return 1;
    const qint64 next = (lastCode.isNull() ? 0 : lastCode.toLongLong()) + 1;
    if (next > 32767 || next < -32768)
        return Failure(ErrorNumber::Overflow, QStringLiteral("Overflow"));
    return int(next);
}

namespace {
QString withoutTrailingBlanks(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1).isSpace())
        --n;
    return text.left(n);
}

// A name without an extension gets the data file's, so that the file shows under the
// choosers' filter and a later registration from the file finds the same name.
bool needsSuffix(const QString &typedName)
{
    const QString name = withoutTrailingBlanks(typedName);
    return !name.trimmed().isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && QFileInfo(name).suffix().isEmpty();
}
} // namespace

QString dataSourceName(const QString &typedName)
{
    const QString name = withoutTrailingBlanks(typedName);
    return needsSuffix(typedName) ? name + QLatin1String(Installation::DataFileSuffix) : name;
}

QString targetPath(const QString &typedName)
{
    return Installation::filePath(needsSuffix(typedName) ? dataSourceName(typedName) : typedName);
}

Status checkCreate(const QString &typedName, const QString &sourceFile)
{
    const QString name = dataSourceName(typedName);
    if (name.trimmed().isEmpty())
        return invalid(QStringLiteral("Type the Data Source Name first."));
    if (name.trimmed() == QLatin1String(".") || name.trimmed() == QLatin1String(".."))
        return invalid(QStringLiteral("\"%1\" cannot name a data file.").arg(name));
    for (const QChar c : typedName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('[') || c == QLatin1Char(']')
            || c == QLatin1Char('=') || c == QLatin1Char(';') || c.category() == QChar::Other_Control)
            return invalid(QStringLiteral("A Data Source Name may not hold / \\ [ ] = ; or control characters."));
    }
    if (Status s = checkSource(sourceFile); !s)
        return s;

    const QString target = targetPath(typedName);
    if (sameFile(sourceFile, target))
        return invalid(QStringLiteral("A data file cannot be copied onto itself."));
    const QStringList ownFiles = {Installation::filePath(QLatin1String(Installation::SettingsFileName)),
                                  Installation::filePath(QLatin1String(Installation::RegistryFileName)),
                                  Installation::filePath(QLatin1String(Installer::TemplateDataFile)), Settings::sysPath()};
    for (const QString &own : ownFiles) {
        if (!own.isEmpty() && sameFile(own, target))
            return invalid(QStringLiteral("%1 belongs to the installation and cannot be replaced.").arg(typedName));
    }
    const DataSourceRegistry registry;
    for (const QString &other : registry.names()) {
        const auto ds = registry.find(other);
        if (ds && ds->engine == Engine::SQLite && sameFile(ds->file, target))
            return invalid(QStringLiteral("%1 is the data file of the data source \"%2\" and cannot be replaced.")
                               .arg(typedName, ds->name));
    }
    if (const auto ds = registry.find(name); ds)
        return invalid(QStringLiteral("The data source \"%1\" already exists.").arg(ds->name));
    return Status::ok();
}

Result<QString> createDataSource(const QString &typedName, const QString &sourceFile, CreateOptions options,
                                 CreateFailure *failed)
{
    auto fail = [&](CreateStep step, const Failure &f) {
        if (failed)
            *failed = {step, f};
        return f;
    };
    if (Status s = checkCreate(typedName, sourceFile); !s)
        return fail(CreateStep::Copy, s.failure());
    const QString target = targetPath(typedName);
    const bool existed = QFileInfo::exists(target);
    if (existed && !options.replaceExistingFile)
        return fail(CreateStep::Copy, invalid(QStringLiteral("File %1 already exists.").arg(target)));
    // Copied under a temporary name and checked: a full disk or a damaged copy leaves
    // the real name as it was.
    SafeFile out(target, existed ? SafeFile::Existing::Replace : SafeFile::Existing::Refuse);
    if (Status s = out.open(); !s)
        return fail(CreateStep::Copy, s.failure());
    if (Status s = copyInto(sourceFile, out); !s)
        return fail(CreateStep::Copy, s.failure());
    if (Status s = checkCopy(out.tempPath(), sourceFile); !s)
        return fail(CreateStep::Copy, SafeFile::naming(s.failure(), target));
    // A journal or log of the file replaced would be played into the copy when it opens.
    if (existed)
        Installer::removeSideFiles(target);
    if (Status s = out.commit(); !s)
        return fail(CreateStep::Copy, s.failure());
    const QString name = dataSourceName(typedName);
    if (Status s = DataSourceRegistry().registerFile(name, target); !s) {
        if (!existed)
            QFile::remove(target);
        return fail(CreateStep::Register, s.failure());
    }
    return DataSourceRegistry::connectionText(name);
}

PgParams suggestedPostgres(const QString &typedName)
{
    PgParams initial;
    QString database = typedName.trimmed();
    if (database.endsWith(QLatin1String(Installation::DataFileSuffix), Qt::CaseInsensitive))
        database.chop(qsizetype(qstrlen(Installation::DataFileSuffix)));
    initial.database = database.toLower();
    return initial;
}

Result<QString> registerPostgres(const QString &typedName, const PgParams &params, const CreateSchema &createSchema)
{
    // a server database is no data file: its name takes no file extension
    const QString name = withoutTrailingBlanks(typedName).trimmed();
    if (name.isEmpty())
        return invalid(QStringLiteral("Type the Data Source Name first."));
    const DataSourceRegistry registry;
    if (const auto ds = registry.find(name); ds)
        return invalid(QStringLiteral("The data source \"%1\" already exists.").arg(ds->name));
    auto db = Database::openPostgres(params);
    if (!db)
        return db.failure();
    const bool hasCargo = db->hasTable(QStringLiteral("cargo"));
    const bool hasUsers = db->hasTable(QStringLiteral("loguser"));
    if (hasCargo != hasUsers)
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("The database %1 holds part of a company only.").arg(db->description()));
    if (!hasCargo) {
        if (!createSchema || !createSchema(db->description()))
            return Failure(ErrorNumber::Cancelled,
                           QStringLiteral("The database %1 holds no company; nothing was registered.").arg(db->description()));
        if (Status s = Schema::createCompanyDatabase(db.value()); !s)
            return s.failure();
    }
    if (Status s = DataSourceRegistry().registerPostgres(name, params); !s)
        return s.failure();
    return DataSourceRegistry::connectionText(name);
}

} // namespace quarl::CompanyRegister
