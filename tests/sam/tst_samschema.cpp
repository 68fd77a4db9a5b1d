#include "common/testmain.h"
#include "common/samtestdata.h"

#include "json/jsonschema.h"
#include "json/jsonsplitreader.h"
#include "json/jsonwriter.h"
#include "sam/samcheck.h"

#include <nlohmann/json.hpp>

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

QStringList ours(const JsonSchema &schema, const Json &instance)
{
    QStringList found;
    for (const SchemaFailure &f : schema.validate(instance))
        found << (f.keyword == QLatin1String("required") ? f.pointer + QLatin1Char('/') + f.property : f.pointer)
                     + QLatin1Char('|') + f.keyword;
    found.sort();
    return found;
}

QByteArray written(const std::function<void(JsonStreamWriter &)> &write)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    JsonStreamWriter w(&buffer);
    write(w);
    w.flush();
    return buffer.data();
}

} // namespace

// The schema of the SAM message and the compact validator of its keywords, held against a
// validator we did not write; the JSON writer and the reader that hands out long lists.
// Hands out a text in pieces of the given size, an empty piece between each, as a file
// being written might.
static JsonSplitReader::NextPiece inPieces(const QByteArray &data, qsizetype size)
{
    auto at = std::make_shared<qsizetype>(0);
    auto empty = std::make_shared<bool>(false);
    return [data, size, at, empty](const char **begin, const char **end) {
        if (*at >= data.size())
            return false;
        *empty = !*empty;
        const qsizetype n = *empty ? 0 : std::min(size, data.size() - *at);
        *begin = data.constData() + *at;
        *end = *begin + n;
        *at += n;
        return true;
    };
}

class TestSamSchema : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QHash<QString, QStringList> m_python;

private Q_SLOTS:
    void validatorAgreesWithPython_data()
    {
        QTest::addColumn<QString>("edits");
        auto set = [](int line, const char *rest, const QString &json) {
            return QStringLiteral("set /master/mastrCnsgmtDec/%1%2 ").arg(line).arg(QLatin1String(rest)) + json;
        };
        auto del = [](int line, const char *rest) {
            return QStringLiteral("del /master/mastrCnsgmtDec/%1%2").arg(line).arg(QLatin1String(rest));
        };
        const QString accented70 = QLatin1Char('"') + QString(70, QChar(0xE9)) + QLatin1Char('"');
        const QString accented71 = QLatin1Char('"') + QString(71, QChar(0xE9)) + QLatin1Char('"');
        const std::pair<const char *, QString> rows[] = {
            {"the golden file", QString()},
            {"HS code missing", del(3, "/itemDtls/0/hsCd")},
            {"HS code of 5 digits", set(3, "/itemDtls/0/hsCd", QStringLiteral("\"84818\""))},
            {"line number 0", set(0, "/MCRef/lineNo", QStringLiteral("0"))},
            {"line number 2.0 is whole", set(1, "/MCRef/lineNo", QStringLiteral("2.0"))},
            {"line number 2.5", set(1, "/MCRef/lineNo", QStringLiteral("2.5"))},
            {"line number as text", set(0, "/MCRef/lineNo", QStringLiteral("\"1\""))},
            {"true is no number", QStringLiteral("set /master/voyageDtls/totalNmbrOfLines true")},
            {"B/L number in small letters", set(0, "/MCRef/mstrBlNo", QStringLiteral("\"msc-1\""))},
            {"B/L number of 21 characters", set(0, "/MCRef/mstrBlNo", QStringLiteral("\"ABCDEFGHIJ01234567890\""))},
            {"month 13", set(0, "/MCRef/mstrBlDt", QStringLiteral("\"20251301\""))},
            {"consolidated X", set(0, "/MCRef/consolidatedIndctr", QStringLiteral("\"X\""))},
            {"consolidated 5: type and list", set(0, "/MCRef/consolidatedIndctr", QStringLiteral("5"))},
            {"70 accented letters fit", set(0, "/trnsprtDoc/cnsgnesName", accented70)},
            {"71 accented letters do not", set(0, "/trnsprtDoc/cnsgnesName", accented71)},
            {"a line without its measures", del(0, "/trnsprtDocMsr")},
            {"no voyage list", QStringLiteral("del /master/voyageTransportEquipment")},
            {"an empty signature object", QStringLiteral("set /digSign {}")},
            {"text for a reference", set(0, "/MCRef", QStringLiteral("\"x\""))},
            {"a number for an item", set(0, "/itemDtls/0", QStringLiteral("1"))},
            {"sub-line 0", set(1, "/houseCargoDec/1/HCRef/subLineNo", QStringLiteral("0"))},
            {"indicator X", QStringLiteral("set /headerField/indicator \"X\"")},
            {"time without T", QStringLiteral("set /headerField/time \"10:30\"")},
            {"negative weight", set(0, "/trnsprtDocMsr/grossWeight", QStringLiteral("-1"))},
            {"a weight beyond the width", set(0, "/trnsprtEqmt/0/cntrWeight", QStringLiteral("1e15"))},
            {"a key the schema does not name", set(0, "/remarks", QStringLiteral("\"x\""))},
            {"port code in small letters", set(0, "/locCstm/firstPrtOfEntry", QStringLiteral("\"in\""))},
            {"a list for an object", QStringLiteral("set /master/voyageDtls []")},
        };
        QFile schemaCopy(m_dir.filePath(QStringLiteral("schema.json")));
        QVERIFY(schemaCopy.open(QIODevice::WriteOnly));
        schemaCopy.write(test::samSchemaData());
        schemaCopy.close();
        QJsonObject manifest;
        for (const auto &[name, edits] : rows) {
            Json doc = test::samGolden();
            QString why;
            QVERIFY2(test::editJson(doc, edits, &why), qPrintable(why));
            const QString path = m_dir.filePath(QString::number(manifest.size()) + QStringLiteral(".json"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray::fromStdString(doc.dump()));
            manifest.insert(QLatin1String(name), QJsonObject{{QStringLiteral("schema"), schemaCopy.fileName()},
                                                              {QStringLiteral("instance"), path}});
            QTest::newRow(name) << edits;
        }
        QFile m(m_dir.filePath(QStringLiteral("manifest.json")));
        QVERIFY(m.open(QIODevice::WriteOnly));
        m.write(QJsonDocument(manifest).toJson());
        m.close();
        QProcess python;
        python.start(QStringLiteral("python3"), {test::samFixture(QStringLiteral("verdicts.py")), m.fileName()});
        QVERIFY2(python.waitForFinished(60000), "python3 did not answer");
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QJsonObject verdicts = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        for (auto it = verdicts.begin(); it != verdicts.end(); ++it)
            m_python.insert(it.key(), it.value().toVariant().toStringList());
    }

    // The same failures, at the same places, by the same keywords as python3-jsonschema; and the
    // check, reading the file a line at a time, finds them at the same places.
    void validatorAgreesWithPython()
    {
        QFETCH(QString, edits);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QVERIFY2(m_python.contains(name), "no verdict of python3-jsonschema");
        Result<JsonSchema> schema = JsonSchema::fromData(test::samSchemaData(), QStringLiteral("shipped"));
        QVERIFY2(schema.isOk(), qPrintable(schema.failure().description));
        Json doc = test::samGolden();
        QString why;
        QVERIFY(test::editJson(doc, edits, &why));

        const QStringList expected = m_python.value(name);
        QCOMPARE(ours(schema.value(), doc), expected);
        if (name != QLatin1String("the golden file"))
            QVERIFY(!expected.isEmpty() || name.contains(QLatin1String("fit")) || name.contains(QLatin1String("whole"))
                    || name.contains(QLatin1String("does not name")));

        QStringList paths;
        for (const QString &e : expected)
            paths << e.section(QLatin1Char('|'), 0, 0);
        const QByteArray data = QByteArray::fromStdString(doc.dump());
        SamCheckOptions options;
        options.schema = &schema.value();
        QStringList checked;
        for (const Finding &f : checkSamData(data, options).findings) {
            if (f.rule == QLatin1String("schema"))
                checked << f.path;
        }
        checked.sort();
        paths.sort();
        QCOMPARE(checked, paths);
    }

    void schemaRefusesWhatItCannotCheck_data()
    {
        QTest::addColumn<QByteArray>("schema");
        QTest::addColumn<QString>("words");
        QTest::newRow("a keyword not checked") << QByteArray("{\"type\":\"array\",\"minItems\":1}") << QStringLiteral("\"minItems\" is not one");
        QTest::newRow("a reference to nothing") << QByteArray("{\"properties\":{\"a\":{\"$ref\":\"#/definitions/x\"}}}")
                                                << QStringLiteral("nothing is there (at /definitions/x)");
        QTest::newRow("a reference to another file") << QByteArray("{\"$ref\":\"other.json#/a\"}") << QStringLiteral("only references into the schema");
        QTest::newRow("a broken pattern") << QByteArray("{\"pattern\":\"[A-\"}") << QStringLiteral("not a regular expression");
        QTest::newRow("an unknown type") << QByteArray("{\"type\":\"date\"}") << QStringLiteral("unknown type \"date\"");
        QTest::newRow("not JSON") << QByteArray("{\"type\":") << QStringLiteral("is not JSON");
        QTest::newRow("a reference to itself") << QByteArray("{\"$ref\":\"#\"}") << QStringLiteral("its reference leads back to itself");
        QTest::newRow("two references round") << QByteArray("{\"definitions\":{\"a\":{\"$ref\":\"#/definitions/b\"},\"b\":{\"$ref\":\"#/definitions/a\"}},"
                                                             "\"properties\":{\"x\":{\"$ref\":\"#/definitions/a\"}}}")
                                                 << QStringLiteral("its reference leads back to itself");
        QTest::newRow("nested 100,000 deep") << QByteArray("{\"a\":").repeated(100000) + QByteArray("}").repeated(100000)
                                             << QStringLiteral("is not JSON: arrays and objects nested more than 64 deep");
    }

    // A schema corrected by a user never asks for something silently not checked.
    void schemaRefusesWhatItCannotCheck()
    {
        QFETCH(QByteArray, schema);
        QFETCH(QString, words);
        const Result<JsonSchema> s = JsonSchema::fromData(schema, QStringLiteral("mine.json"));
        QVERIFY(!s.isOk());
        QVERIFY2(s.failure().description.contains(words), qPrintable(s.failure().description));
        QVERIFY(s.failure().description.contains(QLatin1String("mine.json")));
    }

    void writerKeepsOrderAndEscapes()
    {
        const QString awkward = QStringLiteral("A \"quoted\" back\\slash\nline\ttab \x01 é नमस्ते");
        const QString big(300000, QLatin1Char('x')); // several buffers' worth
        const QByteArray out = written([&](JsonStreamWriter &w) {
            w.beginObject();
            w.beginObject("zeta");
            w.string("b", awkward);
            w.optionalString("skipped", QString());
            w.integer("a", -42);
            w.endObject();
            w.beginArray("list");
            for (int i = 0; i < 3; ++i) {
                w.beginObject(JsonStreamWriter::Layout::Inline);
                w.integer("n", i);
                w.decimal("w", 18.25025 * 1000, 2);
                w.decimal("nan", std::nan(""), 2);
                w.endObject();
            }
            w.endArray();
            w.beginArray("empty");
            w.endArray();
            w.string("big", big);
            w.endObject();
        });
        const Json parsed = Json::parse(out.constBegin(), out.constEnd());
        QCOMPARE(QString::fromStdString(parsed.dump()),
                 QString::fromStdString(Json::parse("{\"zeta\":{\"b\":" + Json(awkward.toStdString()).dump()
                                                    + ",\"a\":-42},\"list\":[{\"n\":0,\"w\":18250.25},{\"n\":1,\"w\":18250.25},{\"n\":2,\"w\":18250.25}],\"empty\":[],\"big\":\""
                                                    + big.toStdString() + "\"}")
                                            .dump()));
        QVERIFY(!out.startsWith("\xEF\xBB\xBF"));
        QVERIFY(out.contains("{ \"n\": 0, \"w\": 18250.25 }")); // a leaf of a list on one line
    }

    void writerSaysWhenTheDeviceRefuses()
    {
        QBuffer readOnly;
        QVERIFY(readOnly.open(QIODevice::ReadOnly));
        JsonStreamWriter w(&readOnly);
        w.beginObject();
        w.string("a", QStringLiteral("b"));
        w.endObject();
        QVERIFY(!w.flush());
        QVERIFY(w.failed());
    }

    void decimals_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("trailing zeros go") << 20400.0 << 3 << QByteArray("20400");
        QTest::newRow("kept to the width") << 36500.4999 << 3 << QByteArray("36500.5");
        QTest::newRow("tonnes to kilograms") << 18.25025 * 1000 << 2 << QByteArray("18250.25");
        QTest::newRow("no exponent") << 1e15 << 2 << QByteArray("1000000000000000");
        QTest::newRow("a tiny fraction is 0") << 0.0001 << 3 << QByteArray("0");
        QTest::newRow("minus zero") << -0.0001 << 2 << QByteArray("0");
        QTest::newRow("sums") << 0.1 + 0.2 << 3 << QByteArray("0.3");
    }

    void decimals()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QByteArray, text);
        QCOMPARE(JsonStreamWriter::decimalText(value, decimals), text);
    }

    void splitReaderHandsOutListsAndKeepsTheRest()
    {
        const QByteArray data = test::samGoldenData();
        std::vector<std::pair<size_t, std::string>> lines;
        size_t boxes = 0;
        JsonSplitReader reader({{{"master", "mastrCnsgmtDec"},
                                 [&](size_t i, Json &&l) {
                                     lines.emplace_back(i, l["MCRef"]["mstrBlNo"].get<std::string>());
                                     return true;
                                 }},
                                {{"master", "voyageTransportEquipment"}, [&](size_t, Json &&) { return ++boxes, true; }}});
        Result<Json> top = reader.read(data.constData(), data.constData() + data.size(), QStringLiteral("golden"));
        QVERIFY(top.isOk());
        const std::vector<std::pair<size_t, std::string>> expected{
            {0, "MSCSHA0001"}, {1, "MSCSIN0002"}, {2, "MSCSIN0003"}, {3, "MSCSIN0004"}};
        QVERIFY(lines == expected);
        QCOMPARE(boxes, size_t(5));
        Json rest = test::samGolden();
        rest["master"]["mastrCnsgmtDec"] = Json::array();
        rest["master"]["voyageTransportEquipment"] = Json::array();
        QCOMPARE(QString::fromStdString(top.value().dump()), QString::fromStdString(rest.dump()));
        QVERIFY(reader.duplicateKeys().isEmpty());
    }

    void splitReaderSaysWhereAFileBreaks_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("words");
        QTest::newRow("a missing comma") << QByteArray("{\n \"a\": 1\n \"b\": 2\n}") << QStringLiteral("line 3, column");
        QTest::newRow("cut short") << QByteArray("{\n \"master\": {\"mastrCnsgmtDec\": [{\"a\": 1}") << QStringLiteral("line 2");
        QTest::newRow("not UTF-8") << QByteArray("{\"a\": \"\xE9\"}") << QStringLiteral("line 1");
    }

    void splitReaderSaysWhereAFileBreaks()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, words);
        JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [](size_t, Json &&) { return true; }}});
        const Result<Json> r = reader.read(data.constData(), data.constData() + data.size(), QStringLiteral("x.json"));
        QVERIFY(!r.isOk());
        QVERIFY2(r.failure().description.contains(words), qPrintable(r.failure().description));
        QVERIFY(r.failure().description.startsWith(QLatin1String("x.json is not a JSON file")));
        // read a piece at a time, the text before is gone: the same place is named
        const Result<Json> pieces = reader.read(inPieces(data, 3), QStringLiteral("x.json"));
        QVERIFY(!pieces.isOk());
        QVERIFY2(pieces.failure().description.contains(words), qPrintable(pieces.failure().description));
    }

    // A text that comes a piece at a time, pieces cut anywhere, reads as the whole text does.
    void splitReaderReadsPieces()
    {
        const QByteArray data = test::samGoldenData();
        auto readAll = [](JsonSplitReader::NextPiece next, const QByteArray &whole, std::vector<std::string> *got,
                          std::vector<qint64> *lines) {
            JsonSplitReader *self = nullptr;
            JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [&](size_t, Json &&l) {
                                         got->push_back(l.dump());
                                         lines->push_back(self->elementLine());
                                         return true;
                                     }}});
            self = &reader;
            Result<Json> top = next ? reader.read(next, QString()) : reader.read(whole.constData(), whole.constData() + whole.size(), QString());
            return top.isOk() ? top.value().dump() : std::string("failed");
        };
        std::vector<std::string> wholeLines;
        std::vector<qint64> wholeAt;
        const std::string rest = readAll({}, data, &wholeLines, &wholeAt);
        QCOMPARE(wholeLines.size(), size_t(4));
        for (const qsizetype size : {1, 2, 13, 100000}) {
            std::vector<std::string> got;
            std::vector<qint64> at;
            QCOMPARE(QString::fromStdString(readAll(inPieces(data, size), data, &got, &at)), QString::fromStdString(rest));
            QVERIFY(got == wholeLines);
            QVERIFY(at == wholeAt);
        }
    }

    // A key given twice is named by its place in the document and in the text, whole or in
    // pieces; read strictly, the reading stops at it.
    void splitReaderNamesKeysGivenTwice()
    {
        const QByteArray data("{\"master\": {\"mastrCnsgmtDec\": [{\"MCRef\": {\"lineNo\": 1,\n \"lineNo\": 2}}], \"decRef\": {}}}");
        Json line;
        JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [&](size_t, Json &&l) { return line = l, true; }}});
        for (const qsizetype piece : {qsizetype(0), qsizetype(1), qsizetype(7)}) {
            const Result<Json> r = piece ? reader.read(inPieces(data, piece), QString())
                                         : reader.read(data.constData(), data.constData() + data.size(), QString());
            QVERIFY(r.isOk());
            QCOMPARE(reader.duplicateKeys().size(), 1);
            const JsonSplitReader::DuplicateKey &k = reader.duplicateKeys().at(0);
            QCOMPARE((std::tuple{k.pointer, k.line, k.column}),
                     (std::tuple{QStringLiteral("/master/mastrCnsgmtDec/0/MCRef/lineNo"), qint64(2), qint64(2)}));
            QCOMPARE(line["MCRef"]["lineNo"].get<int>(), 2);
        }
        reader.setRefuseDuplicateKeys(true);
        const Result<Json> refused = reader.read(data.constData(), data.constData() + data.size(), QStringLiteral("x.json"));
        QVERIFY(!refused.isOk());
        QCOMPARE(refused.failure().description,
                 QStringLiteral("x.json gives the key \"lineNo\" twice in one object: line 2, column 2 "
                                "(/master/mastrCnsgmtDec/0/MCRef/lineNo)"));
    }
};

QUARL_TEST(TestSamSchema)
#include "tst_samschema.moc"
