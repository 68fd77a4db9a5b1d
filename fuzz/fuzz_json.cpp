// The JSON reader on any text: the whole document, and the SAM's list of lines handed out
// one by one with duplicate keys refused.
#include "fuzzsetup.h"

#include "json/jsonsplitreader.h"

#include <nlohmann/json.hpp>

using namespace quarl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *begin = reinterpret_cast<const char *>(data);
    {
        igm::JsonSplitReader whole({});
        (void)whole.read(begin, begin + size, QStringLiteral("input"));
    }
    {
        size_t taken = 0;
        igm::JsonSplitReader lines({{{"master", "mastrCnsgmtDec"}, [&taken](size_t, igm::Json &&) { return ++taken < 50; }},
                                    {{"master", "voyageDtls", "shipItnry"}, {}}});
        lines.setRefuseDuplicateKeys(true);
        igm::JsonSplitReader::Limits limits;
        limits.elementBytes = 1 << 20;
        limits.restBytes = 1 << 20;
        limits.stretchBytes = 1 << 18;
        lines.setLimits(limits);
        (void)lines.read(begin, begin + size, QStringLiteral("input"));
    }
    return 0;
}
