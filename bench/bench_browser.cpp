// Record browser at scale: a SQLite company database with 100,000 vessel codes and
// 100,000 bills of lading; prints how long the screens take to open on their last row,
// to step through rows and to search, and what the held rows cost in memory.
//
//   bench_browser [rows]        (default 100000; runs offscreen)

#include "app/scriptedprompter.h"
#include "app/session.h"
#include "browser/recordset.h"
#include "browser/recordsources.h"
#include "browser/ui/frmvslcode.h"
#include "store/database.h"
#include "store/schema.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace quarl;

namespace {

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// A browser over every bill of lading with the cargo screen's text fields, as the cargo
// screen will hold them.
class CargoBrowser : public RecordBrowser
{
public:
    CargoBrowser()
    {
        setCaptions(QStringLiteral("Cargo"), QStringLiteral("Cargo Information"));
        const QList<std::pair<int, const char *>> fields = {
            {1, "vslcode"}, {11, "voyno"}, {15, "blno"}, {16, "bldt"}, {2, "portload"}, {6, "impname"},
            {8, "impadd1"}, {9, "impadd2"}, {10, "impadd3"}, {104, "notname"}, {105, "notadd1"}, {106, "notadd2"},
            {107, "notadd3"}, {5, "portdest"}, {22, "pkgs"}, {24, "grosswt"}, {101, "volume"}, {102, "unitvol"},
            {4, "unocode"}, {25, "imocode"}, {108, "tpregno"}, {109, "caccode"}, {110, "trmode"}, {111, "mlo"},
            {26, "marks"}, {27, "gdesc"}, {0, "ID"}, {14, "cargomove"}, {18, "naturecargo"}, {103, "destcode"}};
        for (const auto &[index, column] : fields)
            addFieldRow(QLatin1String(column), index, QLatin1String(column));
        setSearch({QStringLiteral("blno"), QStringLiteral("B/L to search ?"), QStringLiteral("Could not find b\\L")});
    }

protected:
    RecordSource recordSource() const override
    {
        return {QStringLiteral("cargo"), QString(), {}, QStringLiteral("id")};
    }
};

bool fill(const Database &db, int rows)
{
    Transaction tx(db);
    QSqlQuery vessel(db.handle());
    vessel.prepare(QStringLiteral("insert into D_VESSEL_CD values (?, ?, ?, ?, ?)"));
    QSqlQuery cargo(db.handle());
    cargo.prepare(QStringLiteral(
        "insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, portdest, impname, impadd1, "
        "impadd2, impadd3, notname, naturecargo, itemtype, cargomove, pkgs, pkgtype, grosswt, unitwt, marks, gdesc, "
        "unocode, imocode) values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 1; i <= rows; ++i) {
        const QString code = QStringLiteral("V%1").arg(i, 6, 10, QLatin1Char('0'));
        for (const QVariant &v : {QVariant(code), QVariant(QStringLiteral("VESSEL NUMBER %1").arg(i)),
                                  QVariant(QStringLiteral("IN")), QVariant(1000.0 + i), QVariant(500.5 + i)})
            vessel.addBindValue(v);
        if (!vessel.exec())
            return false;
        const QVariantList values = {i, QStringLiteral("SEAPRL"), QString::number(i / 500), i % 500 + 1,
                                     QStringLiteral("BL%1").arg(i, 9, 10, QLatin1Char('0')), QStringLiteral("2024-01-05"),
                                     QStringLiteral("SGSIN"), QStringLiteral("INIXY1"),
                                     QStringLiteral("BHARAT ELECTRONICS TRADING CO"), QStringLiteral("UNIT 4, MAKER CHAMBERS"),
                                     QStringLiteral("NARIMAN POINT"), QStringLiteral("MUMBAI 400021"),
                                     QStringLiteral("SAME AS CONSIGNEE"), QStringLiteral("C"), QStringLiteral("GC"),
                                     QStringLiteral("LC"), 640, QStringLiteral("CTN"), 18450.5, QStringLiteral("KGS"),
                                     QStringLiteral("BET/MUM/1-640"),
                                     QStringLiteral("ELECTRONIC COMPONENTS AND SPARE PARTS"), QStringLiteral("ZZZZZ"),
                                     QStringLiteral("ZZZ")};
        for (const QVariant &v : values)
            cargo.addBindValue(v);
        if (!cargo.exec())
            return false;
    }
    return tx.commit().isOk();
}

struct Timing
{
    double best = 1e18;
    double worst = 0;
    double total = 0;
    int n = 0;
    void add(double v)
    {
        best = std::min(best, v);
        worst = std::max(worst, v);
        total += v;
        ++n;
    }
    double mean() const { return n ? total / n : 0; }
};

void key(QWidget *to, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, mods);
    QApplication::sendEvent(to, &press);
}

void stepping(const char *what, RecordBrowser *screen, int steps)
{
    QWidget *target = screen->txtFields(screen->fieldIndexes().first());
    Timing up;
    Timing down;
    QElapsedTimer t;
    for (int i = 0; i < steps; ++i) {
        t.start();
        key(target, Qt::Key_Up);
        up.add(ms(t.nsecsElapsed()));
    }
    for (int i = 0; i < steps; ++i) {
        t.start();
        key(target, Qt::Key_Down);
        down.add(ms(t.nsecsElapsed()));
    }
    std::printf("  %-34s Previous mean %.3f ms, worst %.3f ms | Next mean %.3f ms, worst %.3f ms (%d steps each)\n",
                what, up.mean(), up.worst, down.mean(), down.worst, steps);
}

void searching(const char *what, RecordBrowser *screen, ScriptedPrompter &prompter, const QString &text)
{
    Timing timing;
    for (int i = 0; i < 5; ++i) {
        screen->moveLast();
        prompter.clear();
        prompter.answerInput(text);
        prompter.answerNo();
        QElapsedTimer t;
        t.start();
        screen->searchRecords();
        timing.add(ms(t.nsecsElapsed()));
    }
    std::printf("  %-34s \"%s\": mean %.1f ms, worst %.1f ms (%s)\n", what, qPrintable(text), timing.mean(),
                timing.worst, qPrintable(prompter.texts().value(1)));
}

template<typename Screen>
void screenBench(const char *name, int rows, ScriptedPrompter &prompter, const QString &found, const QString &missing)
{
    std::printf("%s over %d rows\n", name, rows);
    Timing open;
    double firstMemory = 0;
    for (int round = 0; round < 3; ++round) {
        const long before = rssKb();
        QElapsedTimer t;
        t.start();
        auto *screen = new Screen;
        screen->show(); // loads: reads every row, shows the last one
        QApplication::processEvents();
        const double took = ms(t.nsecsElapsed());
        open.add(took);
        if (round == 0)
            firstMemory = (rssKb() - before) / 1024.0; // later rounds reuse what the first one freed
        if (round == 2) {
            std::printf("  open on the last row               %.0f ms (best of 3: %.0f ms), status \"%s\"\n", open.mean(),
                        open.best, qPrintable(screen->statusText()));
            std::printf("  memory                             %.1f MB resident for the screen, rows packed in %.1f MB\n",
                        firstMemory, screen->adoPrimaryRS().rows().packedBytes() / 1048576.0);
            stepping("keyboard stepping", screen, 2000);
            searching("search, first match", screen, prompter, found);
            searching("search, no match", screen, prompter, missing);
            QElapsedTimer r;
            r.start();
            screen->refreshRecords();
            std::printf("  %-34s %.0f ms\n", "Refresh (reads every row again)", ms(r.nsecsElapsed()));
        }
        delete screen;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;

    QTemporaryDir dir;
    auto db = Database::openSqlite(dir.filePath(QStringLiteral("bench.qdb")), true);
    if (!db || !Schema::createCompanyDatabase(db.value()) || !fill(db.value(), rows)) {
        std::fprintf(stderr, "cannot build the test database\n");
        return 1;
    }
    Session::current().connection = db.value();
    Session::current().userRights = QStringLiteral(" SU");
    Session::current().menuRights = QStringLiteral(" SU");
    ScriptedPrompter prompter;

    std::printf("SQLite, %s\n\n", qPrintable(QStringLiteral("Qt %1").arg(QLatin1String(qVersion()))));
    {
        RecordSet rs;
        QElapsedTimer t;
        t.start();
        const long before = rssKb();
        if (!rs.open(db.value(), {QStringLiteral("cargo"), QString(), {}, QStringLiteral("id")})) {
            std::fprintf(stderr, "cannot read cargo\n");
            return 1;
        }
        std::printf("record set alone: %d bills of lading x %d columns read in %.0f ms, %.1f MB resident\n\n", rs.count(),
                    rs.columnCount(), ms(t.nsecsElapsed()), (rssKb() - before) / 1024.0);
    }
    screenBench<frmVslCode>("frmVslCode", rows, prompter, QStringLiteral("V0999"), QStringLiteral("X"));
    std::printf("\n");
    screenBench<CargoBrowser>("cargo browser (30 fields)", rows, prompter, QStringLiteral("BL0000999"),
                              QStringLiteral("NONE"));
    return 0;
}
