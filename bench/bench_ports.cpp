// The port combos at the size of a new company database (every sea port of the UN/LOCODE
// list): how long the cargo screen and the voyage screen take to open, and how long typing
// a few letters into the port combo takes to find a port.
//
//   bench_ports [repeats]
//
// Runs offscreen on a SQLite company database made afresh.

#include "core/scriptedprompter.h"
#include "core/ui/screenregistry.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace quarl;

namespace {

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

// Opens the screen as the menu does and returns it shown, its first row loaded.
std::unique_ptr<QWidget> openScreen(const char *name, double *took)
{
    QElapsedTimer t;
    t.start();
    std::unique_ptr<QWidget> w(createScreen(QLatin1String(name)));
    if (w) {
        w->show();
        QCoreApplication::processEvents();
    }
    *took = msSince(t);
    return w;
}

void typeInto(QWidget *target, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }
    QCoreApplication::processEvents();
}

// Focuses the combo and types the letters as a user does; the time until the port is found.
double findPort(QComboBox *combo, const QString &letters, QString *found)
{
    combo->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    QWidget *target = combo->isEditable() ? static_cast<QWidget *>(combo->lineEdit()) : combo;
    QElapsedTimer t;
    t.start();
    typeInto(target, letters);
    const double took = msSince(t);
    *found = combo->currentText();
    if (combo->isEditable())
        combo->lineEdit()->clear();
    return took;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ports.qdb"));
    {
        auto db = Database::openSqlite(path, true);
        if (!db || !Schema::createCompanyDatabase(db.value())) {
            std::fprintf(stderr, "cannot build the test database\n");
            return 1;
        }
    }
    auto db = Database::openSqlite(path);
    if (!db) {
        std::fprintf(stderr, "cannot open the test database\n");
        return 1;
    }
    auto q = db.value().query(QStringLiteral("select count(*) from D_PORT_CD"));
    const qint64 ports = q && q->next() ? q->value(0).toLongLong() : -1;
    Session::current().connection = db.value();
    Session::current().userRights = QStringLiteral(" SU");
    Session::current().menuRights = QStringLiteral(" SU");
    ScriptedPrompter prompter;
    std::printf("SQLite, Qt %s, %lld ports; median of %d openings\n", qVersion(), ports, repeats);

    const struct
    {
        const char *screen;
        const char *combo;
    } screens[] = {{"frmCargo", "cmbLoadPort"}, {"frmVslMast", "cmbLastPort"}};
    for (const auto &s : screens) {
        QList<double> open, find;
        QString found;
        int count = 0;
        for (int i = 0; i < repeats; ++i) {
            double took = 0;
            auto w = openScreen(s.screen, &took);
            if (!w) {
                std::fprintf(stderr, "no screen %s\n", s.screen);
                return 1;
            }
            open << took;
            if (auto *combo = w->findChild<QComboBox *>(QLatin1String(s.combo))) {
                count = combo->count();
                // the browse mode locks the combos: the user adds a record first
                if (auto *add = w->findChild<QWidget *>(QStringLiteral("cmdAdd")))
                    QMetaObject::invokeMethod(add, "click");
                QCoreApplication::processEvents();
                find << findPort(combo, QStringLiteral("singa"), &found);
            }
        }
        std::printf("%-10s open %8.1f ms   %s: %d ports, typing \"singa\" %7.1f ms -> \"%s\"\n", s.screen,
                    median(open), s.combo, count, median(find), qPrintable(found));
    }
    return 0;
}
