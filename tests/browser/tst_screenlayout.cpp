#include "browsertest.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "browser/ui/recordbrowser.h"
#include "core/scriptedprompter.h"
#include "core/settings.h"
#include "core/ui/screenregistry.h"
#include "store/installer.h"
#include "store/schema.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace quarl;

// Every record browser screen over the demo installation, in browse and in add mode:
// nothing drawn outside the screen or on top of another control, every field labelled.
// With QUARL_SCREENSHOTS set to a folder the screens are saved there as PNG files.
class TestScreenLayout : public QObject
{
    Q_OBJECT

private:
    static QString problems(QWidget *screen)
    {
        QStringList out;
        QList<QWidget *> shown;
        for (QWidget *w : screen->findChildren<QWidget *>()) {
            if (!w->isVisible() || (!qobject_cast<QLineEdit *>(w) && !qobject_cast<QPushButton *>(w)
                                    && !qobject_cast<QLabel *>(w)))
                continue;
            const QRect r(w->mapTo(screen, QPoint(0, 0)), w->size());
            if (!screen->rect().contains(r))
                out << QStringLiteral("%1 outside the screen").arg(w->objectName());
            if (r.width() < 8 || r.height() < 8)
                out << QStringLiteral("%1 too small").arg(w->objectName());
            for (QWidget *other : std::as_const(shown)) {
                const QRect o(other->mapTo(screen, QPoint(0, 0)), other->size());
                if (r.intersects(o))
                    out << QStringLiteral("%1 overlaps %2").arg(w->objectName(), other->objectName());
            }
            shown << w;
        }
        for (QLineEdit *edit : screen->findChildren<QLineEdit *>()) {
            if (!edit->isVisible())
                continue;
            const int index = edit->property("index").toInt();
            bool labelled = false;
            for (QLabel *l : screen->findChildren<QLabel *>())
                labelled = labelled || (l->buddy() == edit && !l->text().isEmpty());
            // the second and third address lines share the first one's label
            if (!labelled && !(edit->objectName().startsWith(QLatin1String("txtFields")) && (index == 3 || index == 4)))
                out << QStringLiteral("%1 has no label").arg(edit->objectName());
        }
        return out.join(QStringLiteral("; "));
    }

    static void save(QWidget *screen, const QString &name)
    {
        const QString folder = qEnvironmentVariable("QUARL_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        QVERIFY(screen->grab().save(QDir(folder).filePath(name + QStringLiteral(".png"))));
    }

private Q_SLOTS:
    void screens_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"frmVslCode", "frmUser", "frmCompany"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void screens()
    {
        QFETCH(QString, name);
        test::TempHome home;
        auto report = Installer::initHome(true);
        QVERIFY2(report.isOk(), qPrintable(report.failure().numberAndText()));
        auto db = Database::openSqlite(report->demoDataFile);
        QVERIFY(db.isOk());
        QVERIFY(db->exec(QStringLiteral("insert into loguser values ('CLERK', 'pw', ' 02', ' 11')")).isOk());
        test::SessionScope session(db.value());
        ScriptedPrompter prompter;

        std::unique_ptr<QWidget> screen(createScreen(name));
        QVERIFY(screen);
        QVERIFY(test::showActive(screen.get()));
        QCOMPARE(prompter.messages(), QStringList());
        auto *browser = qobject_cast<RecordBrowser *>(screen.get());
        QVERIFY(browser);
        QVERIFY(browser->adoPrimaryRS().count() > 0);
        QCOMPARE(problems(screen.get()), QString());
        save(screen.get(), name);
        browser->addRecord();
        QCOMPARE(problems(screen.get()), QString());
        save(screen.get(), name + QStringLiteral("-add"));
        browser->cancelRecord();
    }

    // The captions of each screen's window, heading, buttons and field labels.
    void captions_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        const QList<std::pair<const char *, const char *>> common = {
            {"cmdAdd", "&Add"},         {"cmdEdit", "&Edit"},     {"cmdDelete", "&Delete"},
            {"cmdRefresh", "&Refresh"}, {"cmdClose", "C&lose"},   {"cmdCancel", "&Cancel"}};
        for (const char *screen : {"frmVslCode", "frmUser", "frmCompany"}) {
            for (const auto &[control, caption] : common)
                QTest::addRow("%s %s", screen, control) << screen << control << caption;
        }
        const QList<std::tuple<const char *, const char *, const char *>> own = {
            {"frmVslCode", "window", "Vessel Code"},
            {"frmVslCode", "lblHeading", "Vessel Code Setup"},
            {"frmVslCode", "cmdUpdate", "&Update"},
            {"frmVslCode", "cmdSearch", "&Search"},
            {"frmVslCode", "lblLabels(6)", "Vessel Code"},
            {"frmVslCode", "lblLabels(1)", "Name"},
            {"frmVslCode", "lblLabels(5)", "Nationality"},
            {"frmVslCode", "lblLabels(11)", "G.R.T"},
            {"frmVslCode", "lblLabels(12)", "N.R.T"},
            {"frmUser", "lblHeading", "User Master"},
            {"frmUser", "cmdUpdate", "&Save"},
            {"frmUser", "cmdSearch", "&Search"},
            {"frmUser", "lblLabels(1)", "User Name"},
            {"frmUser", "lblLabels(2)", "Password"},
            {"frmUser", "lblLabels(3)", "User Rights"},
            {"frmUser", "lblLabels(0)", "Module Rights"},
            {"frmCompany", "window", "Company Master"},
            {"frmCompany", "cmdUpdate", "&Save"},
            {"frmCompany", "Create", "Crea&te"},
            {"frmCompany", "lblLabels(1)", "Company Name"},
            {"frmCompany", "lblLabels(2)", "Address"},
            {"frmCompany", "lblLabels(5)", "Phone"},
            {"frmCompany", "lblLabels(8)", "Data Source Name"},
        };
        for (const auto &[screen, control, caption] : own)
            QTest::addRow("%s %s", screen, control) << screen << control << caption;
    }
    void captions()
    {
        QFETCH(QString, screen);
        QFETCH(QString, control);
        QFETCH(QString, caption);
        std::unique_ptr<QWidget> w(createScreen(screen));
        QVERIFY(w);
        QString text;
        if (control == QLatin1String("window"))
            text = w->windowTitle();
        else if (auto *b = w->findChild<QPushButton *>(control))
            text = b->text();
        else if (auto *l = w->findChild<QLabel *>(control))
            text = l->text();
        else
            QFAIL(qPrintable(QStringLiteral("no control %1").arg(control)));
        QCOMPARE(text, caption);
    }
};

QUARL_TEST(TestScreenLayout)
#include "tst_screenlayout.moc"
