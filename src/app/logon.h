#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <QList>
#include <QString>

#include <optional>

namespace quarl {

// One row of the company register DRCOMP, as the logon needs it.
struct CompanyEntry
{
    QString name;       // NAME, null as empty text
    QString dataSource; // DIRNAME: "DSN=" + registered name
};

// The logged-on user's row of loguser.
struct LogonUser
{
    QString userId;     // uid, blanks trimmed at both ends
    QString userRights; // urights as stored
    QString menuRights; // mrights as stored
};

// The steps of a logon, without any screen: the company register, the company
// connection, the user check, the repair of a missing user table, the registration of
// a chosen data file, and finally the session state and the remembered settings.
class Logon
{
public:
    explicit Logon(QString systemDatabasePath);

    const QString &systemDatabasePath() const { return m_systemDatabasePath; }

    // Every row of the register in stored order.
    Result<QList<CompanyEntry>> readRegister() const;
    // The first row whose name is the given text (without regard to case); nullopt when
    // none has it. A register that cannot be read, or holds no company, is a failure.
    Result<std::optional<CompanyEntry>> findCompany(const QString &name) const;

    // Opens a new company connection on the data source; it replaces the one opened
    // before. An unregistered name fails with ErrorNumber::DataSourceNotFound.
    Status openConnection(const QString &dataSource);
    const Database &connection() const { return m_connection; }

    // The user whose id and password are the typed texts; nullopt when none matches.
    // The texts are bound, so a quote in them is compared as typed. A password stored as
    // typed by an older release matches too and is replaced by its hash.
    Result<std::optional<LogonUser>> checkUser(const QString &userId, const QString &password) const;
    // Whether a failed user check failed because the company database has no user table.
    bool lacksUserTable(const Failure &failure) const;
    // The user table with the default user QUARL / TOVEK.
    Status createDefaultUserTable() const;

    // Registers a chosen data file under its file name (without folder, trailing blanks
    // removed), which is the name the register's DIRNAME refers to.
    static Status registerDataFile(const QString &file);

    // Records the session state (replacing the previous one, connection included) and
    // remembers the choices: the typed id when saving (the password in the Secret Service
    // where one runs), otherwise a single blank; never a password in Quarl.ini; the company
    // list position.
    void complete(const CompanyEntry &company, const LogonUser &user, bool savePassword, const QString &typedUserId,
                  const QString &typedPassword, int companyIndex);

    // The company list position remembered in the settings, for a list of count entries:
    // the remembered position when it is within the list, -1 (none) when it is negative,
    // the first entry otherwise.
    // The password "&Save Password" kept for this user id: from the Secret Service where one
    // runs; without one none is kept (only the user id). A password an older release left in
    // Quarl.ini moves to the Secret Service (where one runs) and leaves the file.
    static QString savedPassword(const QString &userId);

    static int rememberedCompanyIndex(const QString &settingText, int count);
    // The settings text of a list position: " 0", " 1" ... and "-1" for none.
    static QString companyIndexText(int index);

private:
    Result<Database> openRegister() const;

    QString m_systemDatabasePath;
    Database m_connection;
};

} // namespace quarl
