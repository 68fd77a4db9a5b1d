// Record browser at scale: a SQLite company database with 100,000 vessel codes, 100,000
// bills of lading and 500,000 containers. Prints how long the screens take to open on
// their last row, to step from row to row (the cargo screen's container grid reloaded
// with every step), to search, and the memory they take.
//
//   bench_browser [rows] [containers per B/L] [--whole] [--db FILE]
//
// rows defaults to 100000, containers to 5. The cargo screen is the registered screen
// "frmCargo" when the program has one, otherwise a browser over cargo with its text
// fields and a container grid filled per B/L. --whole reads every row at open, as the
// browser did before it read rows by key, for comparison. --db keeps the test database in
// FILE and uses it again when it is there. Runs offscreen.

#include "browser/recordset.h"
#include "browser/recordsources.h"
#include "browser/ui/frmvslcode.h"
#include "core/scriptedprompter.h"
#include "core/ui/screenregistry.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

using namespace quarl;

namespace {

bool g_whole = false;

long statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}
long rssKb() { return statusKb("VmRSS:"); }
long peakKb() { return statusKb("VmHWM:"); }

// Starts the peak resident size afresh from the current one (Linux).
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

qint64 cpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Wall-clock and processor time: on a shared machine the first waits for the processor,
// the second is what the work itself takes.
class Clock
{
public:
    void start()
    {
        m_cpu = cpuNs();
        m_wall.start();
    }
    double wallMs() const { return ms(m_wall.nsecsElapsed()); }
    double cpuMs() const { return ms(cpuNs() - m_cpu); }

private:
    QElapsedTimer m_wall;
    qint64 m_cpu = 0;
};

RecordSource withWhole(RecordSource source)
{
    source.readWhole = g_whole;
    return source;
}

class VesselCodes : public frmVslCode
{
protected:
    RecordSource recordSource() const override { return withWhole(frmVslCode::recordSource()); }
};

// A browser over every bill of lading with the cargo screen's text fields, and a grid of
// the B/L's containers read with each row shown.
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
        m_grid = new QTableWidget(0, 10, this);
        static_cast<QVBoxLayout *>(layout())->insertWidget(3, m_grid);
    }

protected:
    RecordSource recordSource() const override
    {
        return withWhole({QStringLiteral("cargo"), QString(), {}, QStringLiteral("id")});
    }
    void currentRowShown() override
    {
        const QVariant id = adoPrimaryRS().value(QStringLiteral("id"));
        auto q = adoPrimaryRS().database().query(
            QStringLiteral("select autoid, ref, containno, sealno, agentcode, constatus, conpkgs, conwt, conwt, isocode, "
                           "socflag from contain where ref = ? order by autoid"),
            {id});
        QList<QStringList> rows;
        while (q && q->next()) {
            QStringList cells;
            for (int c = 0; c < 11; ++c)
                cells << q->value(c).toString();
            rows << cells;
        }
        m_grid->clearContents();
        m_grid->setRowCount(std::max<int>(75, int(rows.size()) + 6));
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < 10; ++c)
                m_grid->setItem(r, c, new QTableWidgetItem(rows.at(r).at(c + 1)));
        }
    }

private:
    QTableWidget *m_grid = nullptr;
};

bool fill(const Database &db, int rows, int containers)
{
    Transaction tx(db);
    QSqlQuery vessel(db.handle());
    vessel.prepare(QStringLiteral("insert into D_VESSEL_CD values (?, ?, ?, ?, ?)"));
    QSqlQuery cargo(db.handle());
    cargo.prepare(QStringLiteral(
        "insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, portdest, impname, impadd1, "
        "impadd2, impadd3, notname, naturecargo, itemtype, cargomove, pkgs, pkgtype, grosswt, unitwt, marks, gdesc, "
        "unocode, imocode) values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery contain(db.handle());
    contain.prepare(QStringLiteral("insert into contain (ref, lineno, sublineno, containno, sealno, agentcode, constatus, "
                                   "conpkgs, conwt, isocode, socflag) values (?, ?, 0, ?, ?, ?, 'FCL', ?, ?, '22G1', 'N')"));
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
        for (int c = 1; c <= containers; ++c) {
            const QVariantList con = {i, c, QStringLiteral("MSCU%1").arg(i * 10 + c, 7, 10, QLatin1Char('0')),
                                      QStringLiteral("SL%1").arg(i * 10 + c), QStringLiteral("MSC"), 128, 3690.1};
            for (const QVariant &v : con)
                contain.addBindValue(v);
            if (!contain.exec())
                return false;
        }
    }
    return tx.commit().isOk();
}

struct Timing
{
    double best = 1e18;
    double worst = 0;
    double total = 0;
    double cpuTotal = 0;
    double cpuWorst = 0;
    int n = 0;
    void add(double v, double cpu = 0)
    {
        best = std::min(best, v);
        worst = std::max(worst, v);
        total += v;
        cpuTotal += cpu;
        cpuWorst = std::max(cpuWorst, cpu);
        ++n;
    }
    void add(const Clock &c) { add(c.wallMs(), c.cpuMs()); }
    double mean() const { return n ? total / n : 0; }
    double cpuMean() const { return n ? cpuTotal / n : 0; }
};

void key(QWidget *to, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, mods);
    QApplication::sendEvent(to, &press);
}

void stepping(RecordBrowser *screen, int steps)
{
    QWidget *target = screen->txtFields(screen->fieldIndexes().first());
    Timing up;
    Timing down;
    Clock t;
    for (int i = 0; i < steps; ++i) {
        t.start();
        key(target, Qt::Key_Up);
        up.add(t);
    }
    for (int i = 0; i < steps; ++i) {
        t.start();
        key(target, Qt::Key_Down);
        down.add(t);
    }
    std::printf("  %-30s Previous mean %.2f ms (cpu %.2f), worst %.1f ms (cpu %.1f) | Next mean %.2f ms (cpu %.2f), "
                "worst %.1f ms (cpu %.1f); %d steps each\n",
                "keyboard stepping", up.mean(), up.cpuMean(), up.worst, up.cpuWorst, down.mean(), down.cpuMean(),
                down.worst, down.cpuWorst, steps);
    // a jump into rows not read yet, and back
    Timing jumps;
    for (int i = 0; i < 10; ++i) {
        t.start();
        key(target, Qt::Key_Home);
        jumps.add(t);
        t.start();
        key(target, Qt::Key_End);
        jumps.add(t);
    }
    std::printf("  %-30s mean %.2f ms (cpu %.2f), worst %.1f ms (cpu %.1f)\n", "First / Last", jumps.mean(),
                jumps.cpuMean(), jumps.worst, jumps.cpuWorst);
}

void searching(const char *what, RecordBrowser *screen, ScriptedPrompter &prompter, const QString &text, int yes)
{
    Timing first;
    Timing next;
    for (int i = 0; i < 5; ++i) {
        screen->moveLast();
        prompter.clear();
        prompter.answerInput(text);
        Clock t;
        prompter.answerNo();
        t.start();
        screen->searchRecords();
        first.add(t);
        if (yes > 0) {
            // "Search Next ?" answered Yes: each further match
            screen->moveLast();
            prompter.clear();
            prompter.answerInput(text);
            prompter.answerYes(yes);
            prompter.answerNo();
            t.start();
            screen->searchRecords();
            next.add((t.wallMs() - first.mean()) / yes, (t.cpuMs() - first.cpuMean()) / yes);
        }
    }
    std::printf("  %-30s \"%s\": first answer mean %.1f ms (cpu %.1f), worst %.1f ms (cpu %.1f)", what,
                qPrintable(text), first.mean(), first.cpuMean(), first.worst, first.cpuWorst);
    if (yes > 0)
        std::printf("; each Search Next %.2f ms (cpu %.2f)", std::max(0.0, next.mean()), std::max(0.0, next.cpuMean()));
    std::printf(" (%s)\n", qPrintable(prompter.texts().value(1)));
}

void screenBench(const char *name, const std::function<RecordBrowser *()> &make, int rows, ScriptedPrompter &prompter,
                 const QString &found, const QString &missing)
{
    std::printf("%s over %d rows\n", name, rows);
    Timing open;
    for (int round = 0; round < 3; ++round) {
        const long before = rssKb();
        if (round == 0)
            resetPeak();
        Clock t;
        t.start();
        RecordBrowser *screen = make();
        screen->show(); // loads: reads the record source, shows the last row
        QApplication::processEvents();
        open.add(t);
        if (round == 0)
            std::printf("  %-30s %.0f ms (cpu %.0f), status \"%s\", %.1f MB more resident, %s\n",
                        "open on the last row (first)", open.total, open.cpuTotal, qPrintable(screen->statusText()),
                        (rssKb() - before) / 1024.0,
                        screen->adoPrimaryRS().readsByKey() ? "rows read by key" : "every row read");
        if (round == 2) {
            std::printf("  %-30s mean %.0f ms (cpu %.0f), best %.0f ms (3 opens)\n", "open on the last row", open.mean(),
                        open.cpuMean(), open.best);
            stepping(screen, 2000);
            searching("search, prefix match", screen, prompter, found, 3);
            searching("search, no match", screen, prompter, missing, 0);
            Clock r;
            r.start();
            screen->refreshRecords();
            std::printf("  %-30s %.0f ms (cpu %.0f)\n", "Refresh", r.wallMs(), r.cpuMs());
            std::printf("  %-30s %.1f MB (process peak since the first open; the whole program with Qt)\n",
                        "peak resident", peakKb() / 1024.0);
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
    QStringList args = app.arguments().mid(1);
    g_whole = args.removeAll(QStringLiteral("--whole")) > 0;
    QString keep;
    if (const int at = args.indexOf(QStringLiteral("--db")); at >= 0 && at + 1 < args.size()) {
        keep = args.at(at + 1);
        args.remove(at, 2);
    }
    const int rows = !args.isEmpty() ? std::max(1, args.at(0).toInt()) : 100000;
    const int containers = args.size() > 1 ? std::max(0, args.at(1).toInt()) : 5;

    QTemporaryDir dir;
    const QString path = keep.isEmpty() ? dir.filePath(QStringLiteral("bench.qdb")) : keep;
    if (!QFile::exists(path)) {
        auto db = Database::openSqlite(path, true);
        QElapsedTimer t;
        t.start();
        if (!db || !Schema::createCompanyDatabase(db.value()) || !fill(db.value(), rows, containers)) {
            std::fprintf(stderr, "cannot build the test database\n");
            return 1;
        }
        std::printf("SQLite, Qt %s: %d vessel codes, %d bills of lading, %d containers written in %.1f s%s\n\n",
                    qVersion(), rows, rows, rows * containers, ms(t.nsecsElapsed()) / 1000,
                    g_whole ? "; every row read at open" : "");
    }
    // a fresh connection, as the program has after logon
    auto db = Database::openSqlite(path);
    if (!db) {
        std::fprintf(stderr, "cannot open the test database\n");
        return 1;
    }
    Session::current().connection = db.value();
    Session::current().userRights = QStringLiteral(" SU");
    Session::current().menuRights = QStringLiteral(" SU");
    ScriptedPrompter prompter;

    {
        RecordSet rs;
        Clock t;
        t.start();
        const long before = rssKb();
        if (!rs.open(db.value(), withWhole({QStringLiteral("cargo"), QString(), {}, QStringLiteral("id")}))) {
            std::fprintf(stderr, "cannot read cargo\n");
            return 1;
        }
        rs.moveLast();
        rs.value(0);
        std::printf("record set alone: %d bills of lading x %d columns opened on the last row in %.0f ms (cpu %.0f), "
                    "%.1f MB more resident\n\n",
                    rs.count(), rs.columnCount(), t.wallMs(), t.cpuMs(), (rssKb() - before) / 1024.0);
    }
    screenBench("frmVslCode", [] { return new VesselCodes; }, rows, prompter, QStringLiteral("V0999"),
                QStringLiteral("X"));
    std::printf("\n");
    if (hasScreen(QStringLiteral("frmCargo")) && !g_whole) {
        screenBench("frmCargo (the registered screen)",
                    [] { return qobject_cast<RecordBrowser *>(createScreen(QStringLiteral("frmCargo"))); }, rows,
                    prompter, QStringLiteral("BL0000999"), QStringLiteral("NONE"));
    } else {
        screenBench("cargo browser (30 fields, container grid)", [] { return new CargoBrowser; }, rows, prompter,
                    QStringLiteral("BL0000999"), QStringLiteral("NONE"));
    }
    return 0;
}
