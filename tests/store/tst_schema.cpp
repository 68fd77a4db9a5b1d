#include "common/testdb.h"
#include "common/testmain.h"

#include "store/passwordhash.h"
#include "store/schema.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace quarl;

class TestSchema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void columnOrder_data() { test::addEngineRows(); }
    void columnOrder()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const QStringList vesinfo = {"Id", "MsgName", "MsgType", "IgmNo", "IgmDt", "vslname", "vslcode", "voyno",
                                     "slinecode", "sagentcode", "mastername", "vslnation", "portarrival", "lastport",
                                     "lastport1", "lastport2", "grt", "nrt", "vsltype", "TotItems", "cargodesc", "arrdt",
                                     "arrtime", "lhdues", "samebottom", "shipstoredecl", "crewdecl", "pesslist",
                                     "creweffdecl", "maridecl", "terminalop", "tocode", "arrportcd", "vcn", "depdt",
                                     "deptime", "purpcall", "shiptype", "crewcount", "paxcount", "nextport",
                                     "nextport1", "nextport2", "asccode", "linebond"};
        const QStringList cargo = {"id", "vslcode", "voyno", "lineno", "sublineno", "blno", "bldt", "HBlNo", "HBlDt",
                                   "portload", "portdest", "impname", "impadd1", "impadd2", "impadd3", "notname",
                                   "notadd1", "notadd2", "notadd3", "naturecargo", "itemtype", "cargomove", "destcode",
                                   "pkgs", "pkgtype", "grosswt", "unitwt", "volume", "unitvol", "marks", "gdesc",
                                   "unocode", "imocode", "tpregno", "caccode", "trmode", "mlo", "cargotype", "consind",
                                   "prevdec", "nextunload", "shpname", "shpaddr", "shpcity", "shpcntry", "cnsaddr",
                                   "cnscity", "cnsstate", "cnsstatenm", "cnspin", "cnscntry", "cnscode", "cnscodetype",
                                   "notpan", "notcodetype", "notcity", "notcntry", "notpin", "masterid", "mcin",
                                   "cintyp"};
        const QStringList contain = {"autoid", "ref", "lineno", "sublineno", "containno", "sealno", "agentcode",
                                     "constatus", "conpkgs", "conwt", "isocode", "socflag", "sealtype", "eqtype"};
        auto lower = [](QStringList l) {
            for (QString &s : l)
                s = s.toLower();
            return l;
        };
        // "select *" is what the imports and exports see, so check the order through it.
        for (const auto &[table, expected] : {std::pair{QStringLiteral("vesinfo"), vesinfo},
                                               std::pair{QStringLiteral("CARGO"), cargo},
                                               std::pair{QStringLiteral("Contain"), contain}}) {
            auto q = t.db().query(QStringLiteral("select * from %1").arg(table));
            QVERIFY2(q.isOk(), qPrintable(q.failure().numberAndText()));
            QStringList names;
            const QSqlRecord rec = q->record();
            for (int i = 0; i < rec.count(); ++i)
                names << rec.fieldName(i).toLower();
            QCOMPARE(names, lower(expected));
            QCOMPARE(Schema::table(table)->columnNames(), expected);
        }
        QCOMPARE(t.db().columnNames(QStringLiteral("cargo")).size(), 61);
    }

    void everyTableAndCodeMaster_data() { test::addEngineRows(); }
    void everyTableAndCodeMaster()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        for (const TableDef &def : Schema::companyTables())
            QVERIFY2(t.db().hasTable(QLatin1String(def.name)), def.name);
        auto count = [&](const QString &sql) { return t.db().scalar(sql).value().toInt(); };
        QVERIFY(count(QStringLiteral("select count(*) from d_port_cd")) > 17000);
        QVERIFY(count(QStringLiteral("select count(*) from D_PORT_CD where port_nm like '%-%'")) > 1000);
        QCOMPARE(count(QStringLiteral("select count(*) from d_port_cd where port_cd = 'INIXY1'")), 1);
        // the inland locations of the upgrade lists are there from the start
        QCOMPARE(count(QStringLiteral("select count(*) from d_port_cd where port_cd in ('INIXY6', 'INDUR6', 'INIXY')")), 3);
        QVERIFY(count(QStringLiteral("select count(*) from d_cntry_cd")) > 240);
        QCOMPARE(count(QStringLiteral("select count(*) from d_unoimco where uno_code = 'ZZZZZ' and imco_code = 'ZZZ'")), 1);
        QCOMPARE(count(QStringLiteral("select count(*) from constatus")), 3);
        QCOMPARE(count(QStringLiteral("select count(*) from nature")), 5);
        // the default user
        auto q = t.db().query(QStringLiteral("select uid, pwd, urights, mrights from loguser"));
        QVERIFY(q.isOk());
        QVERIFY(q->next());
        QCOMPARE(q->value(0).toString().trimmed(), QStringLiteral("QUARL"));
        QVERIFY(PasswordHash::isHash(q->value(1).toString()));
        QVERIFY(PasswordHash::matches(QStringLiteral("TOVEK"), q->value(1).toString()));
        QCOMPARE(q->value(2).toString().trimmed(), QStringLiteral("SU"));
        QVERIFY(q->value(3).toString().startsWith(QStringLiteral(" SU")));
        QVERIFY(!q->next());
    }

    void uniqueBillPerVoyage_data() { test::addEngineRows(); }
    void uniqueBillPerVoyage()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const QString sql = QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (?, ?, ?, ?)");
        QVERIFY(t.db().exec(sql, {1, "V1", "1", "BL1"}).isOk());
        QVERIFY(t.db().exec(sql, {2, "V1", "2", "BL1"}).isOk()); // another voyage
        QVERIFY(t.db().exec(sql, {3, "V2", "1", "BL1"}).isOk()); // another vessel
        const Status dup = t.db().exec(sql, {4, "V1", "1", "BL1"});
        QVERIFY(!dup.isOk());
        QVERIFY(!dup.failure().code.isEmpty());
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo")).value().toInt(), 3);
    }

    void autoIdGenerated_data() { test::addEngineRows(); }
    void autoIdGenerated()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        for (int i = 0; i < 3; ++i)
            QVERIFY(t.db().exec(QStringLiteral("insert into contain (ref, containno) values (?, ?)"), {7, "ABCU1234560"}).isOk());
        QVERIFY(t.db().exec(QStringLiteral("delete from contain where autoid = 3")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into contain (ref) values (8)")).isOk());
        auto q = t.db().query(QStringLiteral("select autoid from contain order by autoid"));
        QList<int> ids;
        while (q->next())
            ids << q->value(0).toInt();
        QCOMPARE(ids, (QList<int>{1, 2, 4})); // an autoid is never handed out twice
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno) values ('A', '1')")).isOk());
        QCOMPARE(t.db().scalar(QStringLiteral("select Id from vesinfo")).value().toInt(), 1);
    }

    void awkwardTextKeptAsIs_data() { test::addEngineRows(); }
    void awkwardTextKeptAsIs()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const QStringList values = {QStringLiteral("O'Brien & Sons"), QStringLiteral("100% \"cotton\""),
                                    QStringLiteral("C:\\path\\x"), QStringLiteral("a_b%c'--"), QStringLiteral("Ünïcödé – dash")};
        int id = 1;
        for (const QString &v : values) {
            QVERIFY(t.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno, impname) values (?, 'V', '1', ?, ?)"),
                                {id, QString::number(id), v}).isOk());
            QCOMPARE(t.db().scalar(QStringLiteral("select impname from cargo where impname = ?"), {v}).value().toString(), v);
            ++id;
        }
        // prefix search treats the pattern characters literally
        const QString where = t.db().dialect().prefixMatch(QStringLiteral("impname"));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo where ") + where,
                               {Dialect::likePrefixPattern(QStringLiteral("100%"))}).value().toInt(), 1);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo where ") + where,
                               {Dialect::likePrefixPattern(QStringLiteral("a_b%"))}).value().toInt(), 1);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo where ") + where,
                               {Dialect::likePrefixPattern(QStringLiteral("o'b"))}).value().toInt(), 1);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo where ") + where,
                               {Dialect::likePrefixPattern(QStringLiteral("a%"))}).value().toInt(), 0);
    }

    void datesStoredAsDates_data() { test::addEngineRows(); }
    void datesStoredAsDates()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Dialect &d = t.db().dialect();
        QVERIFY(t.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno, bldt) values (1, 'V', '1', 'B', ?)"),
                            {d.dateToDb(QDate(2009, 3, 5))}).isOk());
        const QVariant raw = t.db().scalar(QStringLiteral("select bldt from cargo")).value();
        QCOMPARE(d.dateFromDb(raw), QDate(2009, 3, 5));
        if (engine == QLatin1String("sqlite"))
            QCOMPARE(raw.toString(), QStringLiteral("2009-03-05"));
        // dates compare as dates
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo where bldt < ?"), {d.dateToDb(QDate(2010, 1, 1))})
                     .value().toInt(), 1);
    }
};

QUARL_TEST(TestSchema)
#include "tst_schema.moc"
