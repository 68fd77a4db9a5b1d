#include "sam/samheader.h"

#include "json/jsonsplitreader.h"
#include "json/jsonvalues.h"

#include <nlohmann/json.hpp>

namespace quarl::igm {

using namespace JsonValues;

bool hasSamHeader(const Json &top)
{
    const Json *master = object(top, "master");
    return master && member(*master, "decRef") && member(*master, "authPrsn")
           && member(*master, "vesselDtls") && member(*master, "voyageDtls");
}

Result<Json> readSamWithoutLines(const char *begin, const char *end, const QString &name, bool refuseDuplicateKeys)
{
    JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, {}}, {{"master", "voyageTransportEquipment"}, {}}});
    reader.setRefuseDuplicateKeys(refuseDuplicateKeys);
    return reader.read(begin, end, name);
}

Result<Json> readSamHeader(const char *begin, const char *end, const QString &name)
{
    // Up to the first line: what a file of the usual order needs read.
    bool complete = false;
    JsonSplitReader *self = nullptr;
    auto enough = [&](size_t, Json &&) {
        complete = hasSamHeader(self->partial());
        return false;
    };
    JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, enough}, {{"master", "voyageTransportEquipment"}, {}}});
    self = &reader;
    reader.setRefuseDuplicateKeys(true);
    Result<Json> top = reader.read(begin, end, name);
    if (!top || !reader.stopped() || complete)
        return top;
    return readSamWithoutLines(begin, end, name);
}

} // namespace quarl::igm
