// The settings files (Quarl.ini, DataSources.ini): read, a key written, written out and read
// again, every other line kept.
#include "fuzzsetup.h"

#include "core/inifile.h"

#include <cstdio>
#include <cstdlib>

using namespace quarl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("Quarl.ini"));
    IniFile ini = IniFile::load(path);
    for (const QString &section : ini.sections()) {
        for (const QString &key : ini.keys(section))
            (void)ini.value(section, key);
    }
    (void)ini.holdsPassword();
    ini.setValue(QStringLiteral("Options"), QStringLiteral("FuzzKey"), QStringLiteral("value"));
    const QString out = path + QStringLiteral(".out");
    if (!ini.save(out))
        return 0;
    const IniFile again = IniFile::load(out);
    if (again.value(QStringLiteral("Options"), QStringLiteral("FuzzKey")) != QStringLiteral("value")) {
        std::fprintf(stderr, "a key written is not read back\n");
        std::abort();
    }
    return 0;
}
