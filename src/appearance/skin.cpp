#include "appearance/skin.h"

#include "core/installation.h"
#include "core/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace quarl::Skins {

namespace {
Failure badFormat(const QString &why)
{
    return Failure(ErrorNumber::BadFileFormat, QStringLiteral("Not a skin file: %1").arg(why));
}
} // namespace

Result<Skin> parse(const QByteArray &bytes, const QString &fallbackName)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    if (data.contains('\0'))
        return badFormat(QStringLiteral("it holds binary data."));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (utf8.hasError())
        return badFormat(QStringLiteral("it is not UTF-8 text."));

    const QString head = text.trimmed();
    if (!head.startsWith(QLatin1String("/*")))
        return badFormat(QStringLiteral("it does not open with the comment naming its colours."));
    const qsizetype close = head.indexOf(QLatin1String("*/"));
    if (close < 0)
        return badFormat(QStringLiteral("its opening comment is not closed."));

    Skin skin;
    skin.name = fallbackName;
    skin.styleSheet = text;
    static const QRegularExpression line(QStringLiteral("^\\s*([A-Za-z-]+)\\s*:\\s*(.*?)\\s*;?\\s*$"));
    const QStringList lines = head.mid(2, close - 2).split(QLatin1Char('\n'));
    for (const QString &l : lines) {
        const auto m = line.match(l);
        if (!m.hasMatch())
            continue;
        const QString key = m.captured(1).toLower();
        const QString value = m.captured(2);
        if (key == QLatin1String("name")) {
            if (!value.isEmpty())
                skin.name = value;
        } else if (key == QLatin1String("text-color") || key == QLatin1String("background-color")
                   || key == QLatin1String("workspace-color")) {
            const QColor c = QColor::fromString(value);
            if (!c.isValid())
                return badFormat(QStringLiteral("\"%1\" is not a colour.").arg(value));
            (key == QLatin1String("text-color")         ? skin.textColor
             : key == QLatin1String("background-color") ? skin.backgroundColor
                                                         : skin.workspaceColor) = c;
        }
    }
    if (!skin.textColor.isValid())
        return badFormat(QStringLiteral("its text-color is missing."));
    if (!skin.backgroundColor.isValid())
        return badFormat(QStringLiteral("its background-color is missing."));
    if (!skin.workspaceColor.isValid())
        skin.workspaceColor = skin.backgroundColor.darker(skin.backgroundColor.lightness() > 128 ? 125 : 150);
    return skin;
}

Result<Skin> readFile(const QString &path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile())
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Skin file '%1' not found.").arg(path));
    if (f.size() > MaxFileSize)
        return badFormat(QStringLiteral("'%1' is larger than %2 KB.").arg(path).arg(MaxFileSize / 1024));
    if (!f.open(QIODevice::ReadOnly))
        return Failure(f.error(), QStringLiteral("Cannot read skin file '%1': %2").arg(path, f.errorString()));
    auto skin = parse(f.read(MaxFileSize + 1), QFileInfo(path).completeBaseName());
    if (!skin)
        return Failure(skin.failure().code, skin.failure().description + QStringLiteral(" (") + path + QLatin1Char(')'));
    return skin;
}

QStringList shipped()
{
    return {QStringLiteral(":/skins/Light.skn"), QStringLiteral(":/skins/Dark.skn"),
            QStringLiteral(":/skins/Classic Blue.skn")};
}

QString folder()
{
    return Installation::filePath(QStringLiteral("Skins"));
}

Status installShipped(const QString &target)
{
    if (Status s = FileRights::makeFolder(target); !s)
        return s;
    for (const QString &res : shipped()) {
        const QString dest = QDir(target).filePath(QFileInfo(res).fileName());
        if (QFileInfo::exists(dest))
            continue;
        QFile in(res);
        if (!in.open(QIODevice::ReadOnly))
            return Failure(ErrorNumber::FileNotFound, QStringLiteral("The program lacks its skin %1.").arg(res));
        SafeFile out(dest);
        if (Status s = out.open(); !s)
            return s;
        if (Status s = out.write(in.readAll()); !s)
            return s;
        if (Status s = out.commit(); !s)
            return s;
    }
    return Status::ok();
}

} // namespace quarl::Skins
