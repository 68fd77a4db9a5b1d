#include "igm/fileblnumbers.h"

#include "igm/layout.h"
#include "igm/igmformat.h"
#include "store/blnumbers.h"

#include <QList>
#include <QSet>

#include <algorithm>

namespace quarl::igm {

QHash<qint64, QString> blNumbersByFileLine(const QByteArray &file)
{
    QList<QByteArray> lines = file.split('\n');
    for (QByteArray &l : lines) {
        if (l.endsWith('\r'))
            l.chop(1);
    }
    // Today's layout puts two fields more in front: the line number is field 8, the B/L
    // number field 10, where the older layout has 6 and 8.
    const int shift = !lines.isEmpty() && recogniseLine(lines.first()).layout == &ices15Layout() ? 2 : 0;
    const int lineField = 5 + shift;
    const int blField = 7 + shift;
    enum class In { Other, Cargo, Containers } in = In::Other;
    QHash<QByteArray, QString> byLineNumber;
    QHash<qint64, QString> out;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray &l = lines.at(n);
        if (l == Format::CargoStart) {
            in = In::Cargo;
            continue;
        }
        if (l == Format::ContainerStart) {
            in = In::Containers;
            continue;
        }
        if (l == Format::CargoEnd || l == Format::ContainerEnd) {
            in = In::Other;
            continue;
        }
        if (in == In::Other)
            continue;
        const QList<QByteArray> fields = l.split(Format::FieldSeparator);
        const QByteArray lineNo = fields.value(lineField).trimmed();
        const QString bl = in == In::Cargo ? QString::fromLatin1(fields.value(blField).trimmed()) : byLineNumber.value(lineNo);
        if (in == In::Cargo && !lineNo.isEmpty())
            byLineNumber.insert(lineNo, bl);
        if (!bl.isEmpty())
            out.insert(n + 1, bl);
    }
    return out;
}

std::optional<Failure> blNumberTakenInFile(const Database &db, const QByteArray &file, const QString &vessel,
                                           const QString &voyage)
{
    const QHash<qint64, QString> bls = blNumbersByFileLine(file);
    QList<qint64> order = bls.keys();
    std::sort(order.begin(), order.end());
    QSet<QString> asked;
    for (qint64 line : std::as_const(order)) {
        const QString bl = bls.value(line);
        if (asked.contains(bl))
            continue;
        asked.insert(bl);
        auto use = blNumberInUse(db, vessel, voyage, bl);
        if (!use)
            return std::nullopt;
        if (use.value())
            return blNumberTaken(bl, *use.value());
    }
    return std::nullopt;
}

} // namespace quarl::igm
