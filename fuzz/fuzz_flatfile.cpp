// A flat-file manifest of either layout imported into a new company, its vessel record too;
// the first byte's low bit asks for the stripping of commas and quotes.
#include "fuzzsetup.h"

#include "filing/igmreader.h"

using namespace quarl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    igm::IgmImportOptions options;
    options.withVessel = true;
    options.strip = (data[0] & 1) != 0;
    const QString path = fuzz::writeInput(data + 1, size - 1, QStringLiteral("input.igm"));
    const Database db = fuzz::freshCompany();
    (void)igm::importIgmFile(db, path, options, [](const QString &) { return true; });
    return 0;
}
