#pragma once

#include "manifest/layout.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>

// Today's arrival manifest, the gateway's SAM message (SACHM23) as JSON, as one more layout
// of the manifest: written from the model and read into it. What the message needs beyond
// the voyage (who files it, its job number, port names) comes from the company's database
// through a context the caller gives the writer; what it lacks when read (our vessel code)
// the reader asks of the ReadContext.
namespace quarl::igm {

const Layout &samLayout();

struct SamContext
{
    QString submitterType;
    QString submitterCode;
    QString signerPan;
    qint64 jobNumber = 0;
    QHash<QString, QString> portNames; // port code -> name, as the port master has it
};

// The voyage as the writer reads it, a master line at a time.
class SamSource
{
public:
    virtual ~SamSource() = default;
    virtual const VoyageHeader &header() const = 0;
    virtual QString imo() const = 0;
    virtual qint64 masterCount() const = 0;
    // the natures of cargo of the master lines (Format::code)
    virtual const QSet<QString> &masterNatures() const = 0;
    // the containers of the voyage's list: each container once
    virtual qint64 voyageBoxCount() const = 0;
    // The master lines whole (house B/Ls, containers, goods items), in order, numbered as
    // the message files them: lines 1..n, house B/Ls 1, 2 ... under their master.
    virtual Status readBills(const std::function<bool(const Bill &)> &take) const = 0;
    // Whether the container is the first row of its container in the voyage's list (every
    // container once, in the order they first stand); with the packages and weight of all the
    // master lines it stands on.
    virtual bool firstOf(const Container &c, double *weight, qint64 *packages) const = 0;
};

// Writes the voyage as it is read.
Status writeSam(const SamSource &voyage, const SamContext &context, QIODevice &out, const WriteOptions &options);

// F_SACHM23_SAM_<gateway user id>_<job no>_<YYYYMMDD>_DEC.json
QString samFileName(const QString &iceGateUser, qint64 jobNumber, const QDate &date);
// The message type the writer gives decRef.msgTyp: F, a fresh declaration.
QString samMessageType();

} // namespace quarl::igm
