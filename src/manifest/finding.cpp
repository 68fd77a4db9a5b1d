#include "manifest/finding.h"

namespace quarl::igm {

QString Finding::where() const
{
    if (voyageList)
        return QStringLiteral("Voyage container list");
    if (lineNo <= 0)
        return QStringLiteral("Voyage");
    QString w = QStringLiteral("Line %1").arg(lineNo);
    if (subLineNo > 0)
        w += QStringLiteral(" sub-line %1").arg(subLineNo) + (blNo.isEmpty() ? QString() : QStringLiteral(" house B/L %1").arg(blNo));
    else if (!blNo.isEmpty())
        w += QStringLiteral(" B/L %1").arg(blNo);
    return w;
}

QString flatFileFindingText(const Finding &f)
{
    QString out = f.isError() ? QStringLiteral("Error") : QStringLiteral("Warning");
    if (f.fileLine > 0)
        out += QStringLiteral(", line %1").arg(f.fileLine);
    if (!f.blNo.isEmpty())
        out += (f.fileLine > 0 ? QStringLiteral(" (B/L %1)") : QStringLiteral(", B/L %1")).arg(f.blNo);
    if (!f.field.isEmpty())
        out += QStringLiteral(", ") + f.field;
    return out + QStringLiteral(": ") + f.text;
}

QString samFindingText(const Finding &f)
{
    // Put together piece by piece: a long voyage may list a hundred thousand of them.
    const QString place = f.where();
    QString s;
    s.reserve(16 + place.size() + f.text.size() + f.path.size());
    s += f.isError() ? QLatin1String("Error  ") : QLatin1String("Warning  ");
    s += place;
    s += QLatin1String(": ");
    s += f.text;
    if (!f.path.isEmpty()) {
        s += QLatin1String("  (");
        s += f.path;
        s += QLatin1Char(')');
    }
    return s;
}

QString replyFindingText(const Finding &f)
{
    QString s = QStringLiteral("%1: %2 %3").arg(f.where(), f.rule, f.text);
    if (!f.field.isEmpty())
        s += QStringLiteral(" [%1]").arg(f.field);
    if (!f.path.isEmpty())
        s += QStringLiteral(" (%1)").arg(f.path);
    return s;
}

} // namespace quarl::igm
