#pragma once

#include "igm/layout.h"

#include <QDate>
#include <QHash>
#include <QString>

#include <functional>

// Today's arrival manifest, the gateway's SAM message (SACHM23) as JSON, as one more layout
// of the manifest: written from the model and read into it. What the message needs beyond
// the voyage (who files it, its job number, port names) and what it lacks (our vessel
// code) come from the company's database through a context the caller sets.
namespace quarl::igm {

const Layout &samLayout();

struct SamContext
{
    // writing
    QString submitterType;
    QString submitterCode;
    QString signerPan;
    qint64 jobNumber = 0;
    QHash<QString, QString> portNames; // port code -> name, as the port master has it
    // reading: the vessel code of an IMO number (empty when there is none)
    std::function<QString(const QString &imo)> vesselFor;
};

// Sets the context of the SAM layout for as long as it lives.
class SamContextScope
{
public:
    explicit SamContextScope(const SamContext &context);
    ~SamContextScope();
    SamContextScope(const SamContextScope &) = delete;
    SamContextScope &operator=(const SamContextScope &) = delete;

private:
    const SamContext *m_previous;
};

// The manifest as the message files it: lines numbered 1..n, house B/Ls under their masters
// numbered 1, 2 ... under each, the line total set.
void prepareSam(Manifest &m);
// Writes the prepared manifest with the context set (SamContextScope).
Status writeSam(const Manifest &m, QIODevice &out, const WriteOptions &options);

// F_SACHM23_SAM_<gateway user id>_<job no>_<YYYYMMDD>_DEC.json
QString samFileName(const QString &iceGateUser, qint64 jobNumber, const QDate &date);

} // namespace quarl::igm
