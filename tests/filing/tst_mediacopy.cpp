#include "common/filesizelimit.h"
#include "common/testmain.h"

#include "core/safefile.h"
#include "filing/mediacopy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace quarl;

// A small file stays in the writer's buffer until commit: a disk that is full by then must
// not leave an empty or cut file under the real name.
class TestSmallFileOnFullDisk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failedWriteLeavesTheRealNameAlone()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("MSCAUR112W.igm"));
        const QByteArray bytes(4000, 'x');
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
        const QString media = dir.filePath(QStringLiteral("stick"));
        QVERIFY(QDir().mkpath(media));
        const QString target = QDir(media).filePath(QStringLiteral("MSCAUR112W.igm"));
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier copy") == 12);
        }
        {
            test::FileSizeLimit limit(1000);
            QVERIFY2(limit.isSet(), "the file size limit could not be set");
            const Result<QString> copied = igm::copyToFolder(source, media);
            QVERIFY(!copied.isOk());
            QVERIFY2(!copied.failure().description.isEmpty(), "the failure says why");

            SafeFileDevice file(dir.filePath(QStringLiteral("settings.ini")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(bytes), qint64(bytes.size()));
            QVERIFY(!file.commit());
            QCOMPARE(file.systemError(), EFBIG);
        }
        QFile kept(target);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("earlier copy"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("settings.ini"))));
        QCOMPARE(QDir(media).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
};

QUARL_TEST(TestSmallFileOnFullDisk)
#include "tst_mediacopy.moc"
