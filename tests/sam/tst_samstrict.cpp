#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "manifest/outcome.h"
#include "sam/samcheck.h"
#include "sam/samfile.h"
#include "sam/samreply.h"
#include "store/schema.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

const QString Vessel = QStringLiteral("GOLD");
const char *const Tables[] = {"vesinfo", "cargo", "contain", "cargoitem", "D_VESSEL_CD"};

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        return {};
    return f.fileName();
}

QByteArray edited(const QString &edits)
{
    Json doc = test::samGolden();
    QString why;
    if (!test::editJson(doc, edits, &why))
        qFatal("%s", qPrintable(why));
    return QByteArray::fromStdString(doc.dump(1));
}

SamImportResult import(const Database &db, const QString &path)
{
    SamImportOptions options;
    options.vessel = Vessel;
    return importSamFile(db, path, options, [](const QString &) { return true; });
}

// Every row of the tables an import fills, in key order, every column.
QStringList stored(const Database &db)
{
    QStringList out;
    for (const char *table : Tables) {
        auto q = db.query(QStringLiteral("select * from %1 order by 1").arg(QLatin1String(table)));
        while (q && q->next()) {
            QStringList row{QLatin1String(table)};
            for (int i = 0; i < q->record().count(); ++i)
                row << q->value(i).toString();
            out << row.join(QLatin1Char('|'));
        }
    }
    return out;
}

qint64 rowsIn(const Database &db)
{
    qint64 n = 0;
    for (const char *table : Tables) {
        auto c = db.scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)));
        n += c ? c->toLongLong() : 1;
    }
    return n;
}

// The line and column (1-based) of a place in a text.
std::pair<qint64, qint64> placeIn(const QByteArray &text, qsizetype at)
{
    const qsizetype lineStart = text.lastIndexOf('\n', at - 1) + 1;
    return {text.left(at).count('\n') + 1, at - lineStart + 1};
}

// What the check lists, one text a finding.
QStringList checked(const QString &path)
{
    QStringList out;
    for (const Finding &f : checkSamFile(path).findings)
        out << samFindingText(f);
    return out;
}

} // namespace

// A SAM file read strictly: the members of an object in any order, no key twice, numbers,
// dates and required values as the schema and the screens ask, and any text at all, however
// damaged, refused with a message that says what and where, storing nothing.
class TestSamStrictReading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The members of an object are read whatever their order: the voyage's header after its
    // lines stores what the usual order stores, row for row.
    void keyOrderMeansNothing_data()
    {
        QTest::addColumn<QString>("edits");
        QTest::newRow("the master and vessel after the lines") << "last /master/authPrsn\nlast /master/vesselDtls";
        QTest::newRow("the voyage after the lines") << "last /master/voyageDtls";
        QTest::newRow("the declaration reference last") << "last /master/decRef";
        QTest::newRow("the whole header after the containers")
            << "last /master/voyageTransportEquipment\nlast /master/decRef\nlast /master/authPrsn\nlast /master/vesselDtls\n"
               "last /master/voyageDtls";
        QTest::newRow("the header field and the master swapped") << "last /headerField\nlast /digSign";
        QTest::newRow("a line's reference last")
            << "last /master/mastrCnsgmtDec/0/MCRef\nlast /master/mastrCnsgmtDec/1/houseCargoDec/0/HCRef";
        QTest::newRow("the line number last in its reference") << "last /master/mastrCnsgmtDec/2/MCRef/lineNo";
    }
    void keyOrderMeansNothing()
    {
        QFETCH(QString, edits);
        QTemporaryDir dir;
        QUARL_COMPANY_DB(usual, QStringLiteral("sqlite"));
        const SamImportResult first = import(usual.db(), test::samFixture(QStringLiteral("golden_small.json")));
        QVERIFY2(first.outcome.isOk(), qPrintable(first.outcome.message));
        const QStringList expected = stored(usual.db());
        QVERIFY(expected.size() > 20);

        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        const SamImportResult r = import(t.db(), write(dir, QStringLiteral("reordered.json"), edited(edits)));
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE((std::tuple{r.lines, r.containers, r.items, r.header}), (std::tuple{first.lines, first.containers, first.items, true}));
        QCOMPARE(stored(t.db()), expected);
    }

    // A key given twice is refused by the import and named by the check, with its line and
    // column: a second master or list of lines would have been taken for the first.
    void keyGivenTwice_data()
    {
        QTest::addColumn<QByteArray>("after");  // the text the key given twice follows
        QTest::addColumn<QByteArray>("second"); // the key given twice and its value
        QTest::addColumn<QString>("pointer");
        QTest::newRow("a second master") << QByteArray("\"digSign\": {\"startSignature\": \"\", \"startCertificate\": \"\", \"signerVersion\": \"\"}")
                                         << QByteArray(",\n \"master\": {\"voyageDtls\": {\"voyageNo\": \"X1\"}, \"mastrCnsgmtDec\": []}")
                                         << "/master";
        QTest::newRow("a second list of lines") << QByteArray("\"voyageTransportEquipment\": [")
                                                << QByteArray("], \"mastrCnsgmtDec\": [")
                                                << "/master/mastrCnsgmtDec";
        QTest::newRow("a line number twice") << QByteArray("{\"MCRef\": {\"lineNo\": 2, ")
                                             << QByteArray("\"lineNo\": 2, ") << "/master/mastrCnsgmtDec/1/MCRef/lineNo";
        QTest::newRow("the voyage number twice") << QByteArray("\"voyageNo\": \"024E\", ")
                                                 << QByteArray("\"voyageNo\": \"024F\", ") << "/master/voyageDtls/voyageNo";
        QTest::newRow("twice in the voyage's list of containers")
            << QByteArray("{\"equipmentSequenceNo\": 3, ") << QByteArray("\"equipmentSequenceNo\": 3, ")
            << "/master/voyageTransportEquipment/2/equipmentSequenceNo";
    }
    void keyGivenTwice()
    {
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, second);
        QFETCH(QString, pointer);
        QByteArray text = test::samGoldenData();
        const qsizetype at = text.indexOf(after);
        QVERIFY(at >= 0);
        text.insert(at + after.size(), second);
        // where the second key's name begins
        const auto [line, column] = placeIn(text, text.indexOf('"', at + after.size()));
        const QString key = pointer.section(QLatin1Char('/'), -1);
        QTemporaryDir dir;
        const QString path = write(dir, QStringLiteral("twice.json"), text);

        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        const SamImportResult r = import(t.db(), path);
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        const QString said = QStringLiteral("gives the key \"%1\" twice in one object: line %2, column %3 (%4)").arg(key).arg(line).arg(column).arg(pointer);
        QVERIFY2(r.outcome.message.contains(said), qPrintable(r.outcome.message + QStringLiteral(" | ") + said));
        QCOMPARE(rowsIn(t.db()), qint64(0));

        const QStringList findings = checked(path);
        const QString listed = QStringLiteral("Error  Voyage: The key %1 is given twice in one place (line %2, column %3 of the file); "
                                              "the gateway may read either  (%4)").arg(key).arg(line).arg(column).arg(pointer);
        QVERIFY2(findings.contains(listed), qPrintable(findings.join(QLatin1Char('\n'))));
    }
};

QUARL_TEST(TestSamStrictReading)
#include "tst_samstrict.moc"
