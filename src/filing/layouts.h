#pragma once

#include "manifest/layout.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The list of layouts this program reads and writes, and how a file's layout is found.
namespace quarl::igm {

// Adds a layout to the list for as long as it lives (the built-in ones are listed in
// layouts.cpp).
class LayoutRegistration
{
public:
    explicit LayoutRegistration(const Layout &layout);
    ~LayoutRegistration();
    LayoutRegistration(const LayoutRegistration &) = delete;
    LayoutRegistration &operator=(const LayoutRegistration &) = delete;

private:
    const Layout *m_layout;
};

// Every layout, the built-in ones first.
QList<const Layout *> layouts();
// By name or another spelling, without regard to case; an empty name is the older layout.
const Layout *layoutNamed(const QString &name);
// "older, ices15", for messages.
QString layoutNames();

// The layout of a file from its first line that is not blank.
struct Recognised
{
    const Layout *layout = nullptr; // null: no layout reads it
    QString version;                // what the header names when no layout reads it
    bool header = false;            // the first line is a header no layout reads
};
Recognised recogniseLine(const QByteArray &firstLine);
Recognised recogniseFile(const QString &path);
// The message for a file no layout reads.
QString unknownLayoutMessage(const QString &path, const Recognised &r);

// The layout Generate Flat-File writes (Options/IgmLayout); a refusal names an unknown one.
Result<const Layout *> settingsLayout();
// The options a layout's writer needs, from the settings: the gateway identifiers, and
// the test indicator and the next control number where the layout has them.
Result<WriteOptions> settingsWriteOptions(const Layout &layout);

} // namespace quarl::igm
