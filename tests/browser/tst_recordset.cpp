#include "common/testdb.h"
#include "common/testmain.h"

#include "browser/companyregister.h"
#include "browser/fieldformat.h"
#include "browser/recordset.h"
#include "browser/recordsources.h"
#include "browser/retry.h"
#include "browser/rowstore.h"
#include "store/schema.h"

#include <QDate>
#include <QSqlRecord>
#include <QTest>

using namespace quarl;

namespace {

QVariantList rowOf(const Database &db, const QString &sql, const QVariantList &binds = {})
{
    QVariantList out;
    auto q = db.query(sql, binds);
    if (q && q->next()) {
        for (int i = 0; i < q->record().count(); ++i)
            out << q->value(i);
    }
    return out;
}

} // namespace

class TestRecordSet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowStoreKeepsValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("null") << QVariant() << QVariant();
        QTest::newRow("typed null text") << QVariant(QMetaType::fromType<QString>()) << QVariant();
        QTest::newRow("empty text stays empty, not null") << QVariant(QString("")) << QVariant(QString(""));
        QTest::newRow("unicode") << QVariant(QStringLiteral("Ā\u20b9 'x' %_*")) << QVariant(QStringLiteral("Ā\u20b9 'x' %_*"));
        QTest::newRow("long text") << QVariant(QString(700, QLatin1Char('m'))) << QVariant(QString(700, QLatin1Char('m')));
        QTest::newRow("int") << QVariant(-42) << QVariant(qlonglong(-42));
        QTest::newRow("int64") << QVariant(qlonglong(1) << 40) << QVariant(qlonglong(1) << 40);
        QTest::newRow("double") << QVariant(18450.5) << QVariant(18450.5);
        QTest::newRow("date") << QVariant(QDate(2024, 2, 29)) << QVariant(QDate(2024, 2, 29));
        QTest::newRow("bool") << QVariant(true) << QVariant(true);
        QTest::newRow("bytes") << QVariant(QByteArray("\0\1\2", 3)) << QVariant(QByteArray("\0\1\2", 3));
    }
    void rowStoreKeepsValues()
    {
        QFETCH(QVariant, value);
        QFETCH(QVariant, expected);
        RowStore store(3);
        store.append({QStringLiteral("before"), value, QStringLiteral("after")});
        store.append({value, value, value});
        QCOMPARE(store.value(0, 1), expected);
        QCOMPARE(store.value(0, 2).toString(), QStringLiteral("after"));
        QCOMPARE(store.value(1, 2), expected);
        QCOMPARE(store.value(0, 1).isNull(), expected.isNull());
        store.replace(0, {1, 2, value});
        QCOMPARE(store.row(0), (QVariantList{qlonglong(1), qlonglong(2), expected}));
        store.remove(0);
        QCOMPARE(store.size(), 1);
        QCOMPARE(store.value(0, 0), expected);
    }

    void fieldText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        const int dbl = int(ColumnType::Double), integer = int(ColumnType::Integer), chr = int(ColumnType::Char);
        QTest::newRow("null") << dbl << QVariant() << "";
        QTest::newRow("whole double") << dbl << QVariant(41225.0) << "41225";
        QTest::newRow("fraction") << dbl << QVariant(18450.5) << "18450.5";
        QTest::newRow("small fraction") << dbl << QVariant(0.125) << "0.125";
        QTest::newRow("large") << dbl << QVariant(1e15) << "1000000000000000";
        QTest::newRow("negative zero") << dbl << QVariant(-0.0) << "0";
        QTest::newRow("double read as text") << dbl << QVariant(QStringLiteral("12.50")) << "12.5";
        QTest::newRow("integer") << integer << QVariant(640) << "640";
        QTest::newRow("padded char") << chr << QVariant(QStringLiteral(" SU      ")) << " SU";
        QTest::newRow("date iso text") << int(ColumnType::Date) << QVariant(QStringLiteral("2024-01-05")) << "05/01/2024";
        QTest::newRow("date") << int(ColumnType::Date) << QVariant(QDate(2024, 1, 5)) << "05/01/2024";
        QTest::newRow("text kept") << int(ColumnType::Text) << QVariant(QStringLiteral(" a b ")) << " a b ";
    }
    void fieldText()
    {
        QFETCH(int, type);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        const ColumnDef column{"c", ColumnType(type), 8};
        QCOMPARE(FieldFormat::text(column, value, Dialect(Engine::SQLite)), text);
    }

    void fieldValue_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value"); // invalid: refused
        const int dbl = int(ColumnType::Double), integer = int(ColumnType::Integer), small = int(ColumnType::SmallInt);
        QTest::newRow("empty double is null") << dbl << "" << QVariant(QMetaType::fromType<double>());
        QTest::newRow("double") << dbl << "1234.5" << QVariant(1234.5);
        QTest::newRow("two points") << dbl << "1.2.3" << QVariant();
        QTest::newRow("lone point") << dbl << "." << QVariant();
        QTest::newRow("integer") << integer << "640" << QVariant(640);
        QTest::newRow("integer with fraction") << integer << "6.5" << QVariant();
        QTest::newRow("integer too large") << integer << "2147483648" << QVariant();
        QTest::newRow("smallint limit") << small << "32767" << QVariant(32767);
        QTest::newRow("smallint overflow") << small << "32768" << QVariant();
        QTest::newRow("date") << int(ColumnType::Date) << "5/1/2024" << QVariant(QStringLiteral("2024-01-05"));
        QTest::newRow("bad date") << int(ColumnType::Date) << "31/02/2024" << QVariant();
        QTest::newRow("empty text is null") << int(ColumnType::Text) << "" << QVariant(QMetaType::fromType<QString>());
        QTest::newRow("text as typed") << int(ColumnType::Text) << " O'Brien 100% " << QVariant(QStringLiteral(" O'Brien 100% "));
    }
    void fieldValue()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        const ColumnDef column{"c", ColumnType(type), 8};
        const auto got = FieldFormat::value(column, text, Dialect(Engine::SQLite));
        if (!value.isValid()) {
            QVERIFY(!got.isOk());
            QVERIFY(!got.failure().description.isEmpty());
            return;
        }
        QVERIFY2(got.isOk(), qPrintable(got.failure().description));
        QCOMPARE(got.value().isNull(), value.isNull());
        if (!value.isNull())
            QCOMPARE(got.value(), value);
    }

    void maxLengthsFromSchema()
    {
        QCOMPARE(FieldFormat::maxLength(*Schema::column("D_VESSEL_CD", "VESSEL_CD")), 10);
        QCOMPARE(FieldFormat::maxLength(*Schema::column("loguser", "mrights")), 150);
        QCOMPARE(FieldFormat::maxLength(*Schema::column("cargo", "bldt")), 10); // date: 8 + 2
        QCOMPARE(FieldFormat::maxLength(*Schema::column("D_VESSEL_CD", "grt")), 8);
        QVERIFY(FieldFormat::isDigitsOnly(*Schema::column("cargo", "pkgs")));
        QVERIFY(FieldFormat::isDigitsOnly(*Schema::column("D_VESSEL_CD", "grt")));
        QVERIFY(!FieldFormat::isDigitsOnly(*Schema::column("DRCOMP", "code"))); // 16-bit: not filtered
        QVERIFY(!FieldFormat::isDigitsOnly(*Schema::column("cargo", "blno")));
    }

    void keylessRowsAreTold_data() { test::addEngineRows(); }
    void keylessRowsAreTold()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        // two users alike in every column: an edit changes one of them only
        QVERIFY(t.db().exec(QStringLiteral("insert into loguser values ('TWIN', 'a', ' 01', ' 11')")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into loguser values ('TWIN', 'a', ' 01', ' 11')")).isOk());
        RecordSet rs;
        QVERIFY(rs.open(t.db(), RecordSources::users(QStringLiteral(" SU"), QStringLiteral("QUARL"))).isOk());
        QCOMPARE(rs.count(), 3);
        rs.moveTo(rs.findPrefix(rs.columnIndex("uid"), QStringLiteral("twin")));
        QVERIFY(rs.edit().isOk());
        rs.setValue(rs.columnIndex("pwd"), QStringLiteral("b"));
        QVERIFY2(rs.update().isOk(), qPrintable(rs.update().failure().description));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser where pwd = 'b'")).value().toInt(), 1);
        // the same row once more: its locator was read back with the first write
        QVERIFY(rs.edit().isOk());
        rs.setValue(rs.columnIndex("pwd"), QStringLiteral("c"));
        QVERIFY(rs.update().isOk());
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser where pwd = 'c'")).value().toInt(), 1);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser where pwd = 'a'")).value().toInt(), 1);
        QVERIFY(rs.deleteCurrent().isOk());
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser where uid = 'TWIN'")).value().toInt(), 1);
        QCOMPARE(rs.count(), 2);
    }

    void editWritesOnlyChangedColumns_data() { test::addEngineRows(); }
    void editWritesOnlyChangedColumns()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Dialect &d = t.db().dialect();
        QVERIFY(t.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, impname, "
                                           "pkgs, grosswt, destcode, tpregno) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                            {7, "V1", "01", 3, 9, "BL7", d.dateToDb(QDate(2024, 3, 1)), "OLD NAME", 12, 0.1, "X", 1.5})
                    .isOk());
        const QString all = QStringLiteral("select * from cargo where id = 7");
        const QVariantList before = rowOf(t.db(), all);
        RecordSet rs;
        QVERIFY(rs.open(t.db(), {QStringLiteral("cargo"), QString(), {}, QStringLiteral("id")}).isOk());
        QCOMPARE(rs.columnDef(rs.columnIndex("bldt")).type, ColumnType::Date);
        QVERIFY(rs.edit().isOk());
        rs.setValue(rs.columnIndex("impname"), QStringLiteral("NEW NAME"));
        QVERIFY(rs.update().isOk());
        QVariantList after = rowOf(t.db(), all);
        const int name = rs.columnIndex("impname");
        QCOMPARE(after.at(name).toString(), QStringLiteral("NEW NAME"));
        after[name] = before.at(name);
        QCOMPARE(after, before);
        QCOMPARE(rs.value("impname").toString(), QStringLiteral("NEW NAME"));
        QCOMPARE(rs.value("lineno").toInt(), 3);
    }

    void addGetsStoredRowBack_data() { test::addEngineRows(); }
    void addGetsStoredRowBack()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno) values ('B', '1')")).isOk());
        RecordSet rs;
        QVERIFY(rs.open(t.db(), {QStringLiteral("vesinfo"), QString(), {}, QStringLiteral("vslcode")}).isOk());
        rs.addNew();
        rs.setValue(rs.columnIndex("vslcode"), QStringLiteral("A"));
        rs.setValue(rs.columnIndex("grt"), 12.5);
        QVERIFY(rs.update().isOk());
        // appended at the end until the next requery, with the id the engine gave it
        QCOMPARE(rs.count(), 2);
        QCOMPARE(rs.position(), 1);
        QCOMPARE(rs.value("vslcode").toString(), QStringLiteral("A"));
        QCOMPARE(rs.value("Id").toInt(), 2);
        QCOMPARE(rs.value("grt").toDouble(), 12.5);
        QVERIFY(rs.requery().isOk());
        QCOMPARE(rs.value("vslcode").toString(), QStringLiteral("A"));
        QCOMPARE(rs.position(), 0);
        // an empty new row is written with the table's defaults
        rs.addNew();
        QVERIFY(rs.update().isOk());
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from vesinfo")).value().toInt(), 3);
    }

    void storedOrderWithoutOrderBy_data() { test::addEngineRows(); }
    void storedOrderWithoutOrderBy()
    {
        QFETCH(QString, engine);
        QUARL_TEMP_DB(t, engine);
        QVERIFY(Schema::createSystemDatabase(t.db()).isOk());
        for (int code : {5, 1, 3})
            QVERIFY(t.db().exec(QStringLiteral("insert into DRCOMP (code, name) values (?, ?)"), {code, "C"}).isOk());
        RecordSet rs;
        QVERIFY(rs.open(t.db(), RecordSources::companyRegister()).isOk());
        QList<int> codes;
        for (int r = 0; r < rs.count(); ++r)
            codes << rs.storedValue(r, rs.columnIndex("CODE")).toInt();
        QCOMPARE(codes, (QList<int>{5, 1, 3}));
    }

    // Two workstations on the same rows of every kind of table: with a key, without one
    // (found again by the user id), and with a key the engine numbers.
    void otherWorkstations_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("table");
        for (const char *engine : {"sqlite", "postgres"}) {
            for (const char *table : {"vessels", "users", "voyages"})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(engine), QLatin1String(table))))
                    << QString::fromLatin1(engine) << QString::fromLatin1(table);
        }
    }
    void otherWorkstations()
    {
        QFETCH(QString, engine);
        QFETCH(QString, table);
        QUARL_COMPANY_DB(t, engine);
        RecordSource source;
        QString column, insert;
        if (table == QLatin1String("vessels")) {
            source = RecordSources::vesselCodes();
            column = QStringLiteral("VESSEL_NM");
            insert = QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM) values (?, 'N')");
        } else if (table == QLatin1String("users")) {
            source = RecordSources::users(QStringLiteral(" SU"), QStringLiteral("QUARL"));
            column = QStringLiteral("urights");
            insert = QStringLiteral("insert into loguser (uid, pwd, urights, mrights) values (?, 'x', ' 01', ' 11')");
        } else {
            source = {QStringLiteral("vesinfo"), QString(), {}, QStringLiteral("vslcode")};
            column = QStringLiteral("mastername");
            insert = QStringLiteral("insert into vesinfo (vslcode, voyno) values (?, '1')");
        }
        for (const char *key : {"R1", "R2", "R3"})
            QVERIFY(t.db().exec(insert, {QLatin1String(key)}).isOk());
        const int first = table == QLatin1String("users") ? 1 : 0; // QUARL comes first
        auto other = t.reopen();
        QVERIFY(other.isOk());
        RecordSet here, there;
        QVERIFY(here.open(t.db(), source).isOk());
        QVERIFY(there.open(other.value(), source).isOk());
        const int c = here.columnIndex(column);
        const int k = here.columnIndex(source.orderBy);
        auto text = [&](const RecordSet &rs) { return rs.value(c).toString().trimmed(); };
        auto stored = [&] {
            return t.db().scalar(QStringLiteral("select %1 from %2 where %3 = 'R1'").arg(column, source.table, source.orderBy))
                ->toString().trimmed();
        };
        here.moveTo(first);
        there.moveTo(first);

        // an edit starts from the row as stored now, not as it was read
        QVERIFY(there.edit().isOk());
        there.setValue(c, QStringLiteral("THERE"));
        QVERIFY(there.update().isOk());
        QVERIFY(here.edit().isOk());
        QCOMPARE(text(here), QStringLiteral("THERE"));
        // a save over a row changed since the edit began is refused, with the typed value kept
        QVERIFY(there.edit().isOk());
        there.setValue(c, QStringLiteral("AGAIN"));
        QVERIFY(there.update().isOk());
        here.setValue(c, QStringLiteral("HERE"));
        QVERIFY(here.update().failure().is(ErrorNumber::RowChanged));
        QCOMPARE(text(here), QStringLiteral("HERE"));
        QCOMPARE(stored(), QStringLiteral("AGAIN"));
        // loaded again, it starts from the other's save
        QVERIFY(here.reloadPending().isOk());
        QCOMPARE(text(here), QStringLiteral("AGAIN"));
        here.setValue(c, QStringLiteral("HERE"));
        QVERIFY(here.update().isOk());
        QCOMPARE(stored(), QStringLiteral("HERE"));

        // a delete of a row changed since it was shown is refused and shows the row as stored
        QVERIFY(there.edit().isOk());
        there.setValue(c, QStringLiteral("LAST"));
        QVERIFY(there.update().isOk());
        QVERIFY(here.deleteCurrent().failure().is(ErrorNumber::RowChanged));
        QCOMPARE(text(here), QStringLiteral("LAST"));
        QCOMPARE(stored(), QStringLiteral("LAST"));
        // deleted elsewhere: no edit, and the row gives way to its neighbour
        QVERIFY(there.deleteCurrent().isOk());
        QVERIFY(here.edit().failure().is(ErrorNumber::RowGone));
        bool gone = false;
        QVERIFY(here.refreshCurrent(&gone).isOk());
        QVERIFY(gone);
        QCOMPARE(here.value(k).toString().trimmed(), QStringLiteral("R2"));
        QCOMPARE(here.position(), first);

        // a refresh keeps the current row by its key when another row comes before it
        here.moveTo(first + 1);
        QVERIFY(other->exec(insert, {QStringLiteral("A0")}).isOk());
        QVERIFY(here.requery(true).isOk());
        QCOMPARE(here.value(k).toString().trimmed(), QStringLiteral("R3"));
        QCOMPARE(here.position(), first + 2);
    }

    void ownRowOnly_data() { test::addEngineRows(); }
    void ownRowOnly()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("insert into loguser values ('O''HARA', 'x', ' 02', ' 11')")).isOk());
        RecordSet rs;
        QVERIFY(rs.open(t.db(), RecordSources::users(QStringLiteral(" 11"), QStringLiteral("O'HARA"))).isOk());
        QCOMPARE(rs.count(), 1);
        QCOMPARE(FieldFormat::text(rs.columnDef(0), rs.value("uid"), t.db().dialect()), QStringLiteral("O'HARA"));
        QVERIFY(rs.open(t.db(), RecordSources::users(QStringLiteral("0103 su"), QStringLiteral("NOBODY"))).isOk());
        QCOMPARE(rs.count(), 0);
        QVERIFY(!rs.hasCurrent());
        QVERIFY(!rs.edit().isOk());
    }

    void retryLoop_data()
    {
        QTest::addColumn<int>("transientFailures"); // before the write succeeds; -1: a lasting other failure
        QTest::addColumn<QList<bool>>("answers");   // to "Retry ?"
        QTest::addColumn<int>("attempts");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("written");
        QTest::newRow("first time") << 0 << QList<bool>{} << 1 << 0 << true;
        QTest::newRow("silent retries suffice") << 2 << QList<bool>{} << 3 << 0 << true;
        QTest::newRow("asked once, yes") << 3 << QList<bool>{true} << 4 << 1 << true;
        QTest::newRow("asked, no") << 100 << QList<bool>{false} << 3 << 1 << false;
        QTest::newRow("yes, yes, no") << 100 << QList<bool>{true, true, false} << 5 << 3 << false;
        QTest::newRow("other failure at once") << -1 << QList<bool>{} << 1 << 0 << false;
    }
    void retryLoop()
    {
        QFETCH(int, transientFailures);
        QFETCH(QList<bool>, answers);
        QFETCH(int, attempts);
        QFETCH(int, questions);
        QFETCH(bool, written);
        int tried = 0;
        int asked = 0;
        const Status s = writeWithRetry(
            [&]() -> Status {
                ++tried;
                if (transientFailures < 0)
                    return Failure(1, QStringLiteral("other"));
                return tried > transientFailures ? Status::ok() : Status(Failure(5, QStringLiteral("busy")));
            },
            [](const Failure &f) { return f.code == QLatin1String("5"); },
            [&] { return asked < answers.size() ? answers.at(asked++) : (++asked, false); }, 3);
        QCOMPARE(tried, attempts);
        QCOMPARE(asked, questions);
        QCOMPARE(s.isOk(), written);
    }

    void companyCodes_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QVariant>("last");
        QTest::addColumn<int>("code"); // 0: overflow
        QTest::newRow("empty register") << true << QVariant() << 1;
        QTest::newRow("after 7") << false << QVariant(7) << 8;
        QTest::newRow("null code") << false << QVariant() << 1;
        QTest::newRow("limit") << false << QVariant(32766) << 32767;
        QTest::newRow("overflow") << false << QVariant(32767) << 0;
    }
    void companyCodes()
    {
        QFETCH(bool, empty);
        QFETCH(QVariant, last);
        QFETCH(int, code);
        const auto got = CompanyRegister::nextCode(empty, last);
        if (code == 0) {
            QVERIFY(!got.isOk());
            QCOMPARE(got.failure().description, QStringLiteral("Overflow"));
        } else {
            QCOMPARE(got.value(), code);
        }
    }

    void dataSourceName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "NEWCO.qdb" << "NEWCO.qdb";
        QTest::newRow("trailing blanks") << "NEWCO.qdb   " << "NEWCO.qdb";
        QTest::newRow("leading blank kept") << " NEWCO" << " NEWCO.qdb";
    }
    void dataSourceName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QCOMPARE(CompanyRegister::dataSourceName(typed), name);
    }
};

QUARL_TEST(TestRecordSet)
#include "tst_recordset.moc"
