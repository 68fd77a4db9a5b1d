#include "fuzzsetup.h"

#include "core/installation.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace quarl::fuzz {

namespace {
struct Scratch
{
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<QTemporaryDir> dir;
    QString companyTemplate;
};

Scratch &scratch()
{
    static Scratch s;
    return s;
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
    s.app = std::make_unique<QCoreApplication>(argc, argv);
    s.dir = std::make_unique<QTemporaryDir>();
    if (!s.dir->isValid())
        cannot(QStringLiteral("no scratch folder"));
    Installation::setOverride(s.dir->filePath(QStringLiteral("home")));
}

QString writeInput(const QByteArray &data, const QString &name)
{
    const QString path = scratch().dir->filePath(name);
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
        const QString made = s.dir->filePath(QStringLiteral("made.qdb"));
        const QString copy = s.dir->filePath(QStringLiteral("company.qdb"));
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
    const QString work = s.dir->filePath(QStringLiteral("work.qdb"));
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
