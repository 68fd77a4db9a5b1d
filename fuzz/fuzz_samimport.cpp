// A SAM file imported into a new company: refused, or stored whole.
#include "fuzzsetup.h"

#include "sam/samfile.h"

using namespace quarl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("input.json"));
    const Database db = fuzz::freshCompany();
    igm::SamImportOptions options;
    options.vessel = QStringLiteral("FUZZ01");
    (void)igm::importSamFile(db, path, options, [](const QString &) { return true; });
    return 0;
}
