#include "filing/layouts.h"

#include "core/installation.h"
#include "core/settings.h"
#include "core/textlinereader.h"
#include "flatfile/flatlayouts.h"
#include "sam/samlayout.h"

#include <QFile>

#include <algorithm>
#include <vector>

namespace quarl::igm {

namespace {

std::vector<const Layout *> &registered()
{
    static std::vector<const Layout *> list;
    return list;
}

} // namespace

LayoutRegistration::LayoutRegistration(const Layout &layout) : m_layout(&layout)
{
    registered().push_back(m_layout);
}

LayoutRegistration::~LayoutRegistration()
{
    auto &list = registered();
    list.erase(std::remove(list.begin(), list.end(), m_layout), list.end());
}

QList<const Layout *> layouts()
{
    // A new layout: its file, and one line here.
    QList<const Layout *> out{&olderLayout(), &ices15Layout(), &samLayout()};
    for (const Layout *l : registered())
        out << l;
    return out;
}

const Layout *layoutNamed(const QString &name)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return &olderLayout();
    for (const Layout *l : layouts()) {
        if (l->name().compare(n, Qt::CaseInsensitive) == 0)
            return l;
        for (const QString &other : l->otherNames()) {
            if (other.compare(n, Qt::CaseInsensitive) == 0)
                return l;
        }
    }
    return nullptr;
}

QString layoutNames()
{
    QStringList names;
    for (const Layout *l : layouts())
        names << l->name();
    return names.join(QStringLiteral(", "));
}

Recognised recogniseLine(const QByteArray &firstLine)
{
    QByteArray line = firstLine;
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    Recognised r;
    const Layout *fallback = nullptr;
    for (const Layout *l : layouts()) {
        QString version;
        switch (l->recognise(line, &version)) {
        case Layout::Recognition::Yes:
            r.layout = l;
            r.header = false;
            return r;
        case Layout::Recognition::OtherVersion:
            r.header = true;
            r.version = version;
            break;
        case Layout::Recognition::No:
            break;
        }
        if (!fallback && l->readsHeaderlessFiles())
            fallback = l;
    }
    if (!r.header)
        r.layout = fallback;
    return r;
}

Recognised recogniseFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return recogniseLine({}); // the reader then says why it cannot open it
    TextLineReader reader(&file, 64 * 1024);
    QByteArray line;
    while (reader.next(&line) == TextLineReader::Result::Line) {
        if (!line.trimmed().isEmpty())
            return recogniseLine(line);
    }
    return recogniseLine({});
}

QString unknownLayoutMessage(const QString &path, const Recognised &r)
{
    if (r.header)
        return QStringLiteral("%1 is not an IGM file this program reads: its header names the version \"%2\", which "
                              "no layout of this program (%3) has.")
            .arg(path, r.version, layoutNames());
    return QStringLiteral("%1 is not a manifest file of a layout this program reads (%2).").arg(path, layoutNames());
}

Result<const Layout *> settingsLayout()
{
    const QString name = Settings::igmLayout();
    const Layout *l = layoutNamed(name);
    if (!l)
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("The IGM layout \"%1\" of the settings is not known: choose one in System "
                                      "Parameters.")
                           .arg(name));
    return l;
}

Result<WriteOptions> settingsWriteOptions(const Layout &layout)
{
    WriteOptions o;
    o.iceGateUser = Settings::iceGateUser();
    o.customHouseCode = Settings::customHouseCode();
    if (layout.needsTestIndicator())
        o.testOrProduction = Settings::igmTestIndicator();
    if (layout.needsControlNumber()) {
        o.controlNumber = Settings::takeIgmControlNumber();
        if (o.controlNumber.isEmpty())
            return Failure(ErrorNumber::PathFileAccess,
                           QStringLiteral("Cannot keep the next control number in the settings file %1.")
                               .arg(Installation::filePath(QLatin1String(Installation::SettingsFileName))));
    }
    return o;
}

} // namespace quarl::igm
