#pragma once

#include "core/failure.h"
#include "store/schema.h"

#include <QString>

#include <functional>

namespace quarl {

class Database;

namespace Installer {

// A new company data file (SQLite) from the template: tables, code masters, default user.
// Built under a temporary name, checked (SQLite's integrity check, every table and
// column, the default user and the code masters) and renamed into place only then; on a
// failure nothing is left behind. The file is its owner's alone (0600). An existing file
// is refused.
Status createDataFile(const QString &path, Schema::CompanyOptions options = {});

// Opens the SQLite file, runs SQLite's integrity check and then check, and closes it
// again with no journal or log left beside it (it only reads, so they hold nothing). The
// failure names what is damaged.
Status checkDataFile(const QString &path, const std::function<Status(const Database &)> &check = {});
// Removes the journal, write-ahead log and shared-memory files of a SQLite file.
void removeSideFiles(const QString &dataFile);

struct HomeReport
{
    bool alreadyThere = false;
    QString folder;
    QString settingsFile;
    QString systemDatabase;
    QString demoDataFile;
    QString templateDataFile;
};

// Quarl.ini (SYSTEM/SYSPATH), the system database, the registry and the company template
// (an empty company data file: schema, code masters, the default user) in the installation
// folder; with demo also the demo company with its data file, data source, register
// row, vessel codes and one sample voyage, and with demoGatewayCodes the demo's gateway
// user id and custom house. An existing installation is left alone. A new folder is its
// owner's alone (0700). When a step fails, what this run made is removed again and the
// settings file is left as it was.
Result<HomeReport> initHome(bool demo, bool demoGatewayCodes = true);

// What a user's first start of the program makes: the demo company to try the program on,
// but the gateway user id and custom house left empty, so that the first flat file of a
// real company asks for the office's own instead of filing with the demo's.
Result<HomeReport> firstStart();

inline constexpr char TemplateDataFile[] = "Template.qdb";
inline constexpr char DemoCompanyName[] = "Demo Shipping Agency";
inline constexpr char DemoDataSource[] = "DEMO.qdb";

// Vessel codes and one voyage with three bills of lading and their containers.
Status addDemoData(const Database &db);

// ISO 6346 check digit of the first ten characters of a container number.
int containerCheckDigit(const QString &ownerSerial);

} // namespace Installer
} // namespace quarl
