#include "common/testmain.h"

#include "core/textlinereader.h"
#include "manifest/fileerror.h"
#include "manifest/igmformat.h"

#include <QBuffer>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

using namespace quarl::igm;

class TestIgmFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("half") << 0.5 << "0.5";
        QTest::newRow("negative half") << -0.5 << "-0.5";
        QTest::newRow("2.5") << 2.5 << "2.5";
        QTest::newRow("whole") << 41225.0 << "41225";
        QTest::newRow("fraction") << 18450.55 << "18450.55";
        QTest::newRow("million") << 1e6 << "1000000";
        QTest::newRow("1e20 without exponent") << 1e20 << "100000000000000000000";
        QTest::newRow("small without exponent") << 1.5e-7 << "0.00000015";
        QTest::newRow("binary noise dropped") << (0.1 + 0.2) << "0.3";
        QTest::newRow("many digits") << 123456789.125 << "123456789.125";
        QTest::newRow("large whole exact") << 9007199254740992.0 << "9007199254740992";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "0";
    }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(Format::formatNumber(value), text);
    }

    void singleByteText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << "MAKER CHAMBERS, 4/5 'A'" << QByteArray("MAKER CHAMBERS, 4/5 'A'");
        QTest::newRow("separator, CR, LF, tab") << QStringLiteral("a\x1d" "b\r\nc\td") << QByteArray("a b  c d");
        QTest::newRow("other control characters") << QStringLiteral("a\x01\x1a\x7f" "b") << QByteArray("a   b");
        QTest::newRow("accents") << QStringLiteral("Caf\u00e9 M\u00fcller \u00c7a\u00f1a") << QByteArray("Cafe Muller Cana");
        QTest::newRow("accent stored apart") << QStringLiteral("e\u0301t\u00e9") << QByteArray("ete");
        QTest::newRow("spelled out") << QStringLiteral("Stra\u00dfe \u00c6gir \u00d8rsted \u0141\u00f3d\u017a")
                                     << QByteArray("Strasse AEgir Orsted Lodz");
        QTest::newRow("dashes and quotes") << QStringLiteral("1\u20132 \u2014 \u201cx\u201d \u2018y\u2019")
                                           << QByteArray("1-2 - \"x\" 'y'");
        QTest::newRow("no-break space, ellipsis, ligature") << QStringLiteral("a\u00a0b\u2026 \ufb01") << QByteArray("a b... fi");
        QTest::newRow("no equivalent") << QStringLiteral("\u20ac5 \u4e0a\u6d77 \u00b0") << QByteArray("?5 ?? ?");
        QTest::newRow("outside the BMP is one ?") << QStringLiteral("x\U0001F6A2y") << QByteArray("x?y");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
    }
    void singleByteText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const QByteArray out = Format::toSingleByte(text);
        QCOMPARE(out, bytes);
        for (const char c : out)
            QVERIFY(uchar(c) < 0x80);
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("vessel");
        QTest::addColumn<QString>("voyage");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "ABCD" << "123E" << "ABCD123E.igm";
        QTest::newRow("trailing blanks") << "ABC " << "12  " << "ABC12.igm";
        QTest::newRow("leading blank kept") << " AB" << "1" << " AB1.igm";
    }
    void fileName()
    {
        QFETCH(QString, vessel);
        QFETCH(QString, voyage);
        QFETCH(QString, name);
        QCOMPARE(Format::igmFileName(vessel, voyage), name);
    }

    void splitFields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("ok");
        QTest::newRow("separator after the last") << "V\x1d" "A\x1d\x1d" "B\x1d" << QStringList{"V", "A", "", "B"} << true;
        QTest::newRow("text after the last separator") << "V\x1d" "A\x1d" "B" << QStringList{"V", "A", "B"} << true;
        QTest::newRow("empty line") << "" << QStringList{} << true;
        QTest::newRow("no separator") << "<cargo>" << QStringList{"<cargo>"} << true;
        QTest::newRow("101 fields") << QString(101, QChar(0x1d)) << QStringList(101, QString()) << true;
        QTest::newRow("102 fields") << QString(102, QChar(0x1d)) << QStringList{} << false;
        QTest::newRow("101 and a tail") << QString(101, QChar(0x1d)) + "x" << QStringList{} << false;
    }
    void splitFields()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QFETCH(bool, ok);
        QStringList out;
        QCOMPARE(Format::splitFields(line, &out), ok);
        if (ok)
            QCOMPARE(out, fields);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("5 March 2009") << "05032009" << QDate(2009, 3, 5);
        QTest::newRow("25 December 2010") << "25122010" << QDate(2010, 12, 25);
        QTest::newRow("leap day") << "29022020" << QDate(2020, 2, 29);
        QTest::newRow("no 31 February") << "31022009" << QDate();
        QTest::newRow("seven digits") << "0503200" << QDate();
        QTest::newRow("separators") << "05-03-09" << QDate();
        QTest::newRow("month 13") << "01132009" << QDate();
    }
    void dates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(Format::parseDate(text), date);
        if (date.isValid()) {
            QByteArray out;
            Format::appendDate(out, date);
            QCOMPARE(QString::fromLatin1(out), text);
        }
    }

    void numericValue_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<double>("number");
        QTest::newRow("null") << QVariant() << 0.0;
        QTest::newRow("double") << QVariant(2.5) << 2.5;
        QTest::newRow("integer") << QVariant(7) << 7.0;
        QTest::newRow("text") << QVariant(QStringLiteral(" 12.5 ")) << 12.5;
        QTest::newRow("empty text") << QVariant(QString()) << 0.0;
        QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << 0.0;
        QTest::newRow("half a number") << QVariant(QStringLiteral("12abc")) << 0.0;
        QTest::newRow("exponent") << QVariant(QStringLiteral("1E+3")) << 1000.0;
        QTest::newRow("two signs") << QVariant(QStringLiteral("+-1")) << 0.0;
    }
    void numericValue()
    {
        QFETCH(QVariant, value);
        QFETCH(double, number);
        QCOMPARE(Format::numericValue(value), number);
    }

    void decodeLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("ABC\x1d") << QStringLiteral("ABC\x1d");
        QTest::newRow("utf-8") << QByteArray("Caf\xc3\xa9") << QStringLiteral("Caf\u00e9");
        QTest::newRow("windows-1252") << QByteArray("Caf\xe9 \x96 \x80") << QStringLiteral("Caf\u00e9 \u2013 \u20ac");
    }
    void decodeLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(Format::decodeLine(bytes), text);
    }

    void lineReader_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QList<QByteArray>{"a", "b"};
        QTest::newRow("LF") << QByteArray("a\nb\n") << QList<QByteArray>{"a", "b"};
        QTest::newRow("CR") << QByteArray("a\rb\r") << QList<QByteArray>{"a", "b"};
        QTest::newRow("no end on the last line") << QByteArray("a\r\nb") << QList<QByteArray>{"a", "b"};
        QTest::newRow("empty lines") << QByteArray("\r\n\r\nx\n\n") << QList<QByteArray>{"", "", "x", ""};
        QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
        // a CR LF split over the reader's chunks is one line end
        const QByteArray longLine(256 * 1024 - 1, 'x');
        QTest::newRow("CR LF across chunks") << longLine + "\r\ny\r\n" << QList<QByteArray>{longLine, "y"};
        QTest::newRow("binary") << QByteArray("a\0b\r\n", 5) << QList<QByteArray>{QByteArray("a\0b", 3)};
    }
    void lineReader()
    {
        QFETCH(QByteArray, data);
        QFETCH(QList<QByteArray>, lines);
        QBuffer buffer(&data);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        quarl::TextLineReader reader(&buffer, 300 * 1024);
        QList<QByteArray> got;
        QByteArray line;
        quarl::TextLineReader::Result r;
        while ((r = reader.next(&line)) == quarl::TextLineReader::Result::Line)
            got << line;
        QCOMPARE(r, quarl::TextLineReader::Result::End);
        QCOMPARE(got, lines);
        QCOMPARE(reader.bytesRead(), data.size());
    }

    void lineReaderRefusesLongLines()
    {
        QByteArray data = "short\r\n" + QByteArray(10 * 1024 * 1024, 'x') + "\r\n";
        QBuffer buffer(&data);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        quarl::TextLineReader reader(&buffer, 64 * 1024);
        QByteArray line;
        QCOMPARE(reader.next(&line), quarl::TextLineReader::Result::Line);
        QCOMPARE(reader.next(&line), quarl::TextLineReader::Result::TooLong);
    }

    // A full disk says so, and every other error number gives the system's own text.
    void fileErrors()
    {
        QFile full(QStringLiteral("/dev/full"));
        QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        errno = 0;
        QCOMPARE(full.write("IGM"), -1);
        const quarl::Failure f = fileFailure(full, errno);
        QCOMPARE(f.numberAndText(), QStringLiteral("28  No space left on device (/dev/full)"));
        // what the clerk reads for the faults a disk gives, each with the file's name
        const std::pair<int, const char *> said[] = {
            {ENOSPC, "28  No space left on device (/dev/full)"},
            {EACCES, "13  Permission denied (/dev/full)"},
            {EROFS, "30  Read-only file system (/dev/full)"},
            {EDQUOT, "122  Disk quota exceeded (/dev/full)"},
            {EIO, "5  Input/output error (/dev/full)"},
            {ENOENT, "2  No such file or directory (/dev/full)"},
        };
        for (const auto &[e, text] : said)
            QCOMPARE(fileFailure(full, e).numberAndText(), QLatin1String(text));
        // no number from the system: the file's own error, still named, never "0"
        QFile missing(QStringLiteral("/nonexistent/quarl/x.igm"));
        QVERIFY(!missing.open(QIODevice::ReadOnly));
        const quarl::Failure none = fileFailure(missing, 0);
        QVERIFY(!none.code.isEmpty() && none.code != QLatin1String("0"));
        QVERIFY2(none.description.contains(QStringLiteral("/nonexistent/quarl/x.igm")), qPrintable(none.description));
        QVERIFY2(!none.description.trimmed().isEmpty(), qPrintable(none.numberAndText()));
    }
};

QUARL_TEST(TestIgmFormat)
#include "tst_igmformat.moc"
