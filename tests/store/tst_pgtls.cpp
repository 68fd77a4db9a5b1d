#include "common/testdb.h"
#include "common/testmain.h"
#include "common/testsecrets.h"

#include "core/installation.h"
#include "store/datasourceregistry.h"
#include "store/pgpasswords.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quarl;

namespace {

int mode(const QString &path)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

// The CA of the test command's cluster, which signed the server's certificate.
QString officeCa()
{
    return qEnvironmentVariable("QUARL_TEST_PG_CA");
}

// The test cluster reached with verify-full against the office's CA.
bool tlsParams(PgParams *p, QString *why)
{
    if (!test::postgresParams(p, why))
        return false;
    if (officeCa().isEmpty()) {
        *why = QStringLiteral("QUARL_TEST_PG_CA is not set: run the tests with scripts/test.sh, whose cluster speaks TLS");
        return false;
    }
    p->sslMode = QStringLiteral("verify-full");
    p->sslRootCert = officeCa();
    return true;
}

// An environment variable set for as long as this lives.
class EnvVar
{
public:
    EnvVar(const char *name, const QString &value) : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value.toLocal8Bit());
    }
    ~EnvVar()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

// A login role the test cluster lets in over TLS and with its password only (a member of
// quarl_tls_only), owning a database of its own; both go with this object.
class PasswordRole
{
public:
    explicit PasswordRole(const QString &password)
    {
        static QAtomicInt counter;
        name = QStringLiteral("qt_tls_%1_%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
        PgParams admin;
        if (!test::postgresParams(&admin, &error))
            return;
        auto db = Database::openPostgres(admin);
        if (!db) {
            error = db.failure().numberAndText();
            return;
        }
        m_admin = db.value();
        QString quoted = password;
        quoted.replace(QLatin1Char('\''), QLatin1String("''"));
        for (const QString &sql : {QStringLiteral("create role %1 login password '%2' in role quarl_tls_only").arg(name, quoted),
                                   QStringLiteral("create database %1 owner %1").arg(name)}) {
            if (Status s = m_admin.exec(sql); !s) {
                error = s.failure().numberAndText() + QStringLiteral(" (the test cluster needs the role quarl_tls_only "
                                                                     "and the pg_hba.conf lines of scripts/test.sh)");
                return;
            }
        }
        if (!tlsParams(&params, &error))
            return;
        params.database = name;
        params.user = name;
        ok = true;
    }
    ~PasswordRole()
    {
        if (!m_admin.isValid())
            return;
        std::ignore = m_admin.exec(QStringLiteral("drop database if exists %1 with (force)").arg(name));
        std::ignore = m_admin.exec(QStringLiteral("drop role if exists %1").arg(name));
    }

    bool ok = false;
    QString error;
    QString name;
    PgParams params; // without the password
private:
    Database m_admin;
};

bool encrypted(const Database &db)
{
    auto ssl = db.scalar(QStringLiteral("select ssl from pg_stat_ssl where pid = pg_backend_pid()"));
    return ssl && ssl->toBool();
}

// A CA of its own that signed nothing the server shows.
QString makeOtherCa(const QTemporaryDir &dir, QString *why)
{
    QProcess p;
    const QString crt = dir.filePath(QStringLiteral("other-ca.crt"));
    p.start(QStringLiteral("openssl"), {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                        QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                                        QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=Another CA"),
                                        QStringLiteral("-keyout"), dir.filePath(QStringLiteral("other-ca.key")),
                                        QStringLiteral("-out"), crt});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        *why = QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(p.readAllStandardError()) + p.errorString();
        return QString();
    }
    return crt;
}

struct Run
{
    int exit = -1;
    QString out;
};

Run quarlctl(const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"), args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.exit = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return r;
}

QString conninfo(const PgParams &p)
{
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4").arg(p.host).arg(p.port).arg(p.database, p.user);
}

} // namespace

// Encrypted connections to the test cluster, which serves a certificate of the CA the test
// command makes each run.
class TestPgTls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void verifyFullWithTheOfficeCaIsEncrypted_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("address") << "127.0.0.1";
        QTest::newRow("name") << "localhost";
    }
    void verifyFullWithTheOfficeCaIsEncrypted()
    {
        QFETCH(QString, host);
        test::TempHome home;
        PgParams p;
        QString why;
        QVERIFY2(tlsParams(&p, &why), qPrintable(why));
        p.host = host;
        DataSourceRegistry registry;
        QVERIFY(registry.registerPostgres(QStringLiteral("Office"), p).isOk());
        const QString ini = readText(home.file(QStringLiteral("DataSources.ini")));
        QVERIFY2(ini.contains(QStringLiteral("SslMode=verify-full\n")), qPrintable(ini));
        QVERIFY2(ini.contains(QStringLiteral("SslRootCert=") + officeCa() + QLatin1Char('\n')), qPrintable(ini));
        const auto found = registry.find(QStringLiteral("office"));
        QVERIFY(found.has_value());
        QCOMPARE(found->pg.sslMode, QStringLiteral("verify-full"));
        QCOMPARE(found->pg.sslRootCert, officeCa());
        auto db = registry.open(QStringLiteral("DSN=Office"));
        QVERIFY2(db.isOk(), qPrintable(db.failure().numberAndText()));
        QVERIFY(encrypted(db.value()));
        QVERIFY(DataSourceRegistry::describePostgres(found->pg).contains(QStringLiteral(" sslmode=verify-full sslrootcert=")));
    }

    void refusedInWords_data()
    {
        QTest::addColumn<QString>("ca"); // "other": a CA made here; "missing": no such file
        QTest::addColumn<QString>("words");
        QTest::newRow("another CA") << "other" << "The server's certificate is not signed by the office's CA (%1)";
        QTest::newRow("no CA file") << "missing" << "The office's CA certificate file %1 does not exist";
    }
    void refusedInWords()
    {
        QFETCH(QString, ca);
        QFETCH(QString, words);
        QTemporaryDir dir;
        PgParams p;
        QString why;
        QVERIFY2(tlsParams(&p, &why), qPrintable(why));
        if (ca == QLatin1String("other")) {
            p.sslRootCert = makeOtherCa(dir, &why);
            QVERIFY2(!p.sslRootCert.isEmpty(), qPrintable(why));
        } else {
            p.sslRootCert = dir.filePath(QStringLiteral("gone.crt"));
        }
        auto db = Database::openPostgres(p);
        QVERIFY(!db.isOk());
        QVERIFY2(db.failure().description.startsWith(words.arg(p.sslRootCert)), qPrintable(db.failure().description));
    }

    // The cluster lets members of quarl_tls_only in over TLS only.
    void unencryptedRefusedWhereTheServerWantsTls()
    {
        PasswordRole role(QStringLiteral("Tls-only 1"));
        QVERIFY2(role.ok, qPrintable(role.error));
        PgParams p = role.params;
        p.password = QStringLiteral("Tls-only 1");
        p.sslMode = QStringLiteral("disable");
        auto plain = Database::openPostgres(p);
        QVERIFY(!plain.isOk());
        QVERIFY2(plain.failure().description.contains(QStringLiteral("over an encrypted connection only")),
                 qPrintable(plain.failure().description));
        p.sslMode = QStringLiteral("require");
        p.sslRootCert.clear();
        auto tls = Database::openPostgres(p);
        QVERIFY2(tls.isOk(), qPrintable(tls.failure().numberAndText()));
        QVERIFY(encrypted(tls.value()));
    }

    // Refusals the test cluster cannot show (it has TLS, and its certificate names both of
    // its names), in the client library's words of PostgreSQL 15.
    void clientLibraryRefusalsInWords_data()
    {
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("words");
        QTest::newRow("server without TLS") << "connection to server at \"10.0.0.5\", port 5432 failed: server does not support SSL, but SSL was required"
                                            << "The server 10.0.0.5:5432 offers no encrypted connection";
        QTest::newRow("other name") << "connection to server at \"10.0.0.5\", port 5432 failed: server certificate for \"db.office.lan\" does not match host name \"10.0.0.5\""
                                    << "The server's certificate is made out to \"db.office.lan\", not to \"10.0.0.5\"";
        QTest::newRow("other names") << "server certificate for \"db.office.lan\" (and 2 other names) does not match host name \"10.0.0.5\""
                                     << "The server's certificate is made out to \"db.office.lan\"";
        QTest::newRow("not TLS") << "password authentication failed for user \"quarl\"" << "";
    }
    void clientLibraryRefusalsInWords()
    {
        QFETCH(QString, said);
        QFETCH(QString, words);
        PgParams p;
        p.host = QStringLiteral("10.0.0.5");
        p.sslMode = QStringLiteral("verify-full");
        p.sslRootCert = QStringLiteral("/etc/quarl/office-ca.crt");
        const auto f = Database::tlsFailure(p, Failure(QStringLiteral("3146"), said));
        if (words.isEmpty()) {
            QVERIFY(!f.has_value());
            return;
        }
        QVERIFY(f.has_value());
        QVERIFY2(f->description.startsWith(words), qPrintable(f->description));
        QVERIFY(f->description.endsWith(QLatin1Char('(') + said + QLatin1Char(')'))); // the library's own words stay
    }
};

// Where a workstation keeps a PostgreSQL password: the desktop's keyring, else libpq's
// password file; never DataSources.ini or Quarl.ini.
class TestPgPasswordStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void passwordFileKeepsOtherLinesAndLibpqReadsIt()
    {
        PasswordRole role(QStringLiteral("pa:ss\\wo rd"));
        QVERIFY2(role.ok, qPrintable(role.error));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pgpass"));
        EnvVar passFile("PGPASSFILE", path);
        const PgParams &p = role.params;
        const QByteArray mine = QStringLiteral("%1:%2:%3:%3:").arg(p.host).arg(p.port).arg(role.name).toUtf8();
        const QByteArray before = "# office servers\n"
                                  "db1:5432:*:clerk:old\\:one\n"
                                  + mine + "stale\n"
                                  + "otherhost:5432:x:y:z";
        QVERIFY(writeText(path, before));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        QVERIFY2(!Database::openPostgres(p).isOk(), "the role got in without its password");

        PgParams withPassword = p;
        withPassword.password = QStringLiteral("pa:ss\\wo rd");
        QVERIFY(PgPasswords::writePassFile(withPassword).isOk());
        QCOMPARE(readText(path), QString::fromUtf8("# office servers\n"
                                                   "db1:5432:*:clerk:old\\:one\n"
                                                   + mine + "pa\\:ss\\\\wo rd\n"
                                                   + "otherhost:5432:x:y:z\n"));
        QCOMPARE(mode(path), 0600);
        auto db = Database::openPostgres(p); // no password given: libpq reads the file
        QVERIFY2(db.isOk(), qPrintable(db.failure().numberAndText()));
        QVERIFY(encrypted(db.value()));
        // once more: the line is replaced, never doubled
        QVERIFY(PgPasswords::writePassFile(withPassword).isOk());
        QCOMPARE(readText(path).count(QString::fromUtf8(mine)), 1);
        QVERIFY(dir.isValid() && QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() == 1); // no temporary left
    }

    void registryHoldsNoPassword_data()
    {
        QTest::addColumn<bool>("keyring");
        QTest::newRow("password file") << false;
        QTest::newRow("keyring") << true;
    }
    void registryHoldsNoPassword()
    {
        QFETCH(bool, keyring);
        const QString password = QStringLiteral("Reg:istry\\1");
        PasswordRole role(password);
        QVERIFY2(role.ok, qPrintable(role.error));
        test::TempHome home;
        const QString passPath = home.file(QStringLiteral("pgpass"));
        EnvVar passFile("PGPASSFILE", passPath);
        std::optional<test::MemorySecretStore> secrets;
        if (keyring)
            secrets.emplace();
        PgParams p = role.params;
        p.password = password;
        DataSourceRegistry registry;
        QVERIFY(registry.registerPostgres(QStringLiteral("Office"), p).isOk());
        const QString ini = readText(home.file(QStringLiteral("DataSources.ini")));
        QVERIFY2(!ini.contains(QStringLiteral("Reg:istry")) && !ini.contains(QStringLiteral("Password"), Qt::CaseInsensitive),
                 qPrintable(ini));
        if (keyring) {
            QVERIFY(!QFile::exists(passPath));
            QCOMPARE(secrets->secrets.size(), 1);
            QCOMPARE(secrets->secrets.first(), password);
        } else {
            QVERIFY(readText(passPath).contains(PgPasswords::escaped(password)));
        }
        auto db = registry.open(QStringLiteral("DSN=Office"));
        QVERIFY2(db.isOk(), qPrintable(db.failure().numberAndText()));
        QVERIFY(encrypted(db.value()));
    }

    // DataSources.ini of an older release kept the password in the section.
    void olderRegistryPasswordMovesOut()
    {
        const QString password = QStringLiteral("From-the-old-file");
        PasswordRole role(password);
        QVERIFY2(role.ok, qPrintable(role.error));
        test::TempHome home;
        const QString passPath = home.file(QStringLiteral("pgpass"));
        EnvVar passFile("PGPASSFILE", passPath);
        const PgParams &p = role.params;
        const QString iniPath = home.file(QStringLiteral("DataSources.ini"));
        const QString old = QStringLiteral("; the office's server\n[Office]\nDriver=PostgreSQL\nHost=%1\nPort=%2\nDatabase=%3\n"
                                           "User=%3\nPassword=%4\nSslMode=verify-full\nSslRootCert=%5\n\n"
                                           "[Local]\nDriver=PostgreSQL\nHost=localhost\nPort=5432\nDatabase=x\nUser=y\nPassword=\n")
                                .arg(p.host)
                                .arg(p.port)
                                .arg(role.name, password, p.sslRootCert);
        QVERIFY(writeText(iniPath, old.toUtf8()));
        DataSourceRegistry registry;
        QCOMPARE(registry.names(), (QStringList{QStringLiteral("Office"), QStringLiteral("Local")}));
        QString expected = old;
        expected.remove(QStringLiteral("Password=") + password + QLatin1Char('\n'));
        expected.remove(QStringLiteral("Password=\n"));
        QCOMPARE(readText(iniPath), expected);
        QCOMPARE(readText(passPath), QStringLiteral("%1:%2:%3:%3:%4\n").arg(p.host).arg(p.port).arg(role.name, password));
        auto db = registry.open(QStringLiteral("DSN=Office"));
        QVERIFY2(db.isOk(), qPrintable(db.failure().numberAndText()));
    }

    // Each way quarlctl takes a password: the environment and --password-file.
    void quarlctlKeepsPasswordsOutOfItsFiles()
    {
        const QString password = QStringLiteral("Cli:pass\\word 'q'");
        PasswordRole role(password);
        QVERIFY2(role.ok, qPrintable(role.error));
        test::TempHome home;
        const QString passPath = home.file(QStringLiteral("pgpass"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUARL_HOME"), home.path());
        env.insert(QStringLiteral("PGPASSFILE"), passPath);
        env.insert(QStringLiteral("QUARL_PG_PASSWORD"), password);
        env.remove(QStringLiteral("PGPASSWORD"));
        const QString pg = conninfo(role.params);
        Run made = quarlctl({QStringLiteral("init-db"), QStringLiteral("--dsn"), QStringLiteral("ACME"), QStringLiteral("--pg"), pg,
                             QStringLiteral("--sslmode"), QStringLiteral("verify-full"), QStringLiteral("--ssl-ca"), officeCa()},
                            env);
        QVERIFY2(made.exit == 0, qPrintable(made.out));
        env.remove(QStringLiteral("QUARL_PG_PASSWORD"));
        const QString file = home.file(QStringLiteral("pw.txt"));
        QVERIFY(writeText(file, password.toUtf8() + '\n'));
        QFile::remove(passPath); // so that the second one has to put it there again
        Run added = quarlctl({QStringLiteral("dsn"), QStringLiteral("add"), QStringLiteral("ACME2"), QStringLiteral("--pg"), pg,
                              QStringLiteral("--ssl-ca"), officeCa(), QStringLiteral("--password-file"), file},
                             env);
        QVERIFY2(added.exit == 0, qPrintable(added.out));
        QVERIFY2(added.out.contains(QStringLiteral("The password is kept in ") + passPath), qPrintable(added.out));
        Run listed = quarlctl({QStringLiteral("dsn"), QStringLiteral("list")}, env);
        QVERIFY2(listed.out.contains(QStringLiteral("ACME2\tPostgreSQL\t") + pg + QStringLiteral(" sslmode=verify-full sslrootcert=")),
                 qPrintable(listed.out));
        for (const QString &name : {QStringLiteral("DataSources.ini"), QStringLiteral("Quarl.ini")}) {
            const QString text = readText(home.file(name));
            QVERIFY2(!text.contains(QStringLiteral("Cli:pass")) && !text.contains(QStringLiteral("Cli\\:pass")), qPrintable(name + text));
        }
        QCOMPARE(readText(passPath), PgPasswords::passFileLine([&] {
                     PgParams p = role.params;
                     p.password = password;
                     return p;
                 }()) + QLatin1Char('\n'));
        // and the data source opens with what the password file holds
        EnvVar passFile("PGPASSFILE", passPath);
        auto db = DataSourceRegistry().open(QStringLiteral("DSN=ACME2"));
        QVERIFY2(db.isOk(), qPrintable(db.failure().numberAndText()));
        QVERIFY(db->hasTable(QStringLiteral("cargo")));
    }
};

QUARL_TEST(TestPgTls)
QUARL_TEST(TestPgPasswordStore)

#include "tst_pgtls.moc"
