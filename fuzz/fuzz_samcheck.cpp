// The check of a SAM file against the schema and the gateway's rules.
#include "fuzzsetup.h"

#include "sam/samcheck.h"

using namespace quarl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("F_SACHM23_SAM_FUZZAGT_1_20261211_DEC.json"));
    igm::SamCheckOptions options;
    options.fileName = QStringLiteral("F_SACHM23_SAM_FUZZAGT_1_20261211_DEC.json");
    (void)igm::checkSamFile(path, options);
    return 0;
}
