#include "common/samtestdata.h"

#include "store/filer.h"

#include <nlohmann/json.hpp>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace quarl::test {

QString samFixture(const QString &name)
{
    return QStringLiteral(QUARL_FIXTURES "/sam/") + name;
}

static QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray samGoldenData()
{
    return readAll(samFixture(QStringLiteral("golden_small.json")));
}

igm::Json samGolden()
{
    const QByteArray data = samGoldenData();
    return igm::Json::parse(data.constBegin(), data.constEnd());
}

QByteArray samSchemaData()
{
    return readAll(QStringLiteral(":/sam/SACHM23_SAM.schema.json"));
}

bool editJson(igm::Json &doc, const QString &edits, QString *why)
{
    for (const QString &raw : edits.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString line = raw.trimmed();
        const QString verb = line.section(QLatin1Char(' '), 0, 0);
        const std::string pointer = line.section(QLatin1Char(' '), 1, 1).toStdString();
        const std::string value = line.section(QLatin1Char(' '), 2).toStdString();
        try {
            const igm::Json::json_pointer p(pointer);
            if (verb == QLatin1String("set")) {
                doc[p] = igm::Json::parse(value);
            } else if (verb == QLatin1String("del")) {
                igm::Json &parent = doc.at(p.parent_pointer());
                if (parent.is_array())
                    parent.erase(std::stoul(p.back()));
                else
                    parent.erase(p.back());
            } else if (verb == QLatin1String("add")) {
                doc.at(p).push_back(igm::Json::parse(value));
            } else if (verb == QLatin1String("last")) {
                igm::Json &parent = doc.at(p.parent_pointer());
                igm::Json moved = std::move(parent.at(p.back()));
                parent.erase(p.back());
                parent[p.back()] = std::move(moved);
            } else {
                *why = QStringLiteral("unknown edit: ") + line;
                return false;
            }
        } catch (const std::exception &e) {
            *why = line + QStringLiteral(": ") + QString::fromUtf8(e.what());
            return false;
        }
    }
    return true;
}

Status keepGoldenFiler(const Database &db)
{
    Filer::Details d;
    d.submitterType = QStringLiteral("ASA");
    d.submitterCode = QStringLiteral("AAACQ1234R");
    d.signerPan = QStringLiteral("ABCPQ5678K");
    return Filer::write(db, d);
}

qint64 samRowsIn(const Database &db)
{
    qint64 n = 0;
    for (const char *table : {"vesinfo", "cargo", "contain", "cargoitem", "D_VESSEL_CD"}) {
        auto c = db.scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)));
        n += c ? c->toLongLong() : 1;
    }
    return n;
}

QStringList samSchemaVerdict(const QString &file, QString *why)
{
    QTemporaryDir dir;
    QFile schema(dir.filePath(QStringLiteral("schema.json")));
    if (!schema.open(QIODevice::WriteOnly) || schema.write(samSchemaData()) <= 0)
        return {QStringLiteral("schema not copied")};
    schema.close();
    QFile cases(dir.filePath(QStringLiteral("cases.json")));
    if (!cases.open(QIODevice::WriteOnly))
        return {QStringLiteral("manifest not written")};
    cases.write(QJsonDocument(QJsonObject{{QStringLiteral("file"),
                                           QJsonObject{{QStringLiteral("schema"), schema.fileName()},
                                                       {QStringLiteral("instance"), file}}}})
                    .toJson());
    cases.close();
    QProcess python;
    python.start(QStringLiteral("python3"), {samFixture(QStringLiteral("verdicts.py")), cases.fileName()});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        *why = python.errorString() + QLatin1Char(' ') + QString::fromLocal8Bit(python.readAllStandardError());
        return {QStringLiteral("python3 failed")};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object().value(QStringLiteral("file")).toVariant().toStringList();
}

} // namespace quarl::test
