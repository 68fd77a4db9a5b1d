#include "fuzzsetup.h"

#include "core/installation.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace quarl::fuzz {

namespace {
// Lives to the end of the process: the Qt application object is never destroyed (the fuzzer
// ends with exit(), after which Qt's own globals may be gone), the scratch folder is removed
// at exit without Qt.
struct Scratch
{
    QCoreApplication *app = nullptr;
    QString dir;
    QString companyTemplate;
};

Scratch &scratch()
{
    static Scratch *s = new Scratch;
    return *s;
}

std::string &folderToRemove()
{
    static std::string *f = new std::string;
    return *f;
}

void removeScratch()
{
    std::error_code ignored;
    if (!folderToRemove().empty())
        std::filesystem::remove_all(folderToRemove(), ignored);
}

[[noreturn]] void cannot(const QString &what)
{
    std::fprintf(stderr, "fuzz set-up: %s\n", qPrintable(what));
    std::abort();
}
} // namespace

void setUp()
{
    Scratch &s = scratch();
    if (s.app)
        return;
    static int argc = 1;
    static char name[] = "quarl-fuzz";
    static char *argv[] = {name, nullptr};
    s.app = new QCoreApplication(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        cannot(QStringLiteral("no scratch folder"));
    dir.setAutoRemove(false);
    s.dir = dir.path();
    folderToRemove() = QFile::encodeName(s.dir).toStdString();
    std::atexit(removeScratch);
    Installation::setOverride(QDir(s.dir).filePath(QStringLiteral("home")));
}

QString writeInput(const QByteArray &data, const QString &name)
{
    const QString path = QDir(scratch().dir).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        cannot(QStringLiteral("cannot write %1").arg(path));
    return path;
}

QString writeInput(const uint8_t *data, size_t size, const QString &name)
{
    return writeInput(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)), name);
}

Database freshCompany()
{
    Scratch &s = scratch();
    if (s.companyTemplate.isEmpty()) {
        const QString made = QDir(s.dir).filePath(QStringLiteral("made.qdb"));
        const QString copy = QDir(s.dir).filePath(QStringLiteral("company.qdb"));
        {
            auto db = Database::openSqlite(made, true);
            if (!db)
                cannot(db.failure().numberAndText());
            if (Status st = Schema::createCompanyDatabase(db.value()); !st)
                cannot(st.failure().numberAndText());
            if (Status st = db->exec(QStringLiteral("vacuum into ?"), {copy}); !st)
                cannot(st.failure().numberAndText());
        }
        s.companyTemplate = copy;
    }
    const QString work = QDir(s.dir).filePath(QStringLiteral("work.qdb"));
    QFile::remove(work);
    QFile::remove(work + QStringLiteral("-wal"));
    QFile::remove(work + QStringLiteral("-shm"));
    if (!QFile::copy(s.companyTemplate, work))
        cannot(QStringLiteral("cannot copy the company database"));
    auto db = Database::openSqlite(work);
    if (!db)
        cannot(db.failure().numberAndText());
    return db.value();
}

QList<QByteArray> parts(const uint8_t *data, size_t size, int most)
{
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> out;
    qsizetype from = 0;
    while (out.size() < most - 1) {
        const qsizetype cut = all.indexOf("\n--8<--\n", from);
        if (cut < 0)
            break;
        out << all.mid(from, cut - from);
        from = cut + 8;
    }
    out << all.mid(from);
    return out;
}

} // namespace quarl::fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quarl::fuzz::setUp();
    return 0;
}
