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

Result<Json> readSamWithoutLines(const char *begin, const char *end, const QString &name, bool fileMapped,
                                 bool refuseDuplicateKeys)
{
    // The lists found by matching brackets alone, and what is left read; a text that does
    // not read so is read whole, which says where it goes wrong.
    const JsonSplitReader::Limits limits;
    if (const std::optional<QByteArray> rest = jsonWithout(begin, end, {{"master", "mastrCnsgmtDec"}, {"master", "voyageTransportEquipment"}},
                                                           limits.restBytes, fileMapped)) {
        JsonSplitReader reader({});
        reader.setRefuseDuplicateKeys(true);
        Result<Json> top = reader.read(rest->constData(), rest->constData() + rest->size(), name);
        if (top)
            return top;
    }
    JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, {}}, {{"master", "voyageTransportEquipment"}, {}}});
    reader.setFileMapped(fileMapped);
    reader.setRefuseDuplicateKeys(refuseDuplicateKeys);
    return reader.read(begin, end, name);
}

Result<Json> readSamHeader(const char *begin, const char *end, const QString &name, bool fileMapped)
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
    reader.setFileMapped(fileMapped);
    reader.setRefuseDuplicateKeys(true);
    Result<Json> top = reader.read(begin, end, name);
    if (!top || !reader.stopped() || complete)
        return top;
    return readSamWithoutLines(begin, end, name, fileMapped);
}

} // namespace quarl::igm
