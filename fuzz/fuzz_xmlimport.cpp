// The XML exchange files imported into a new company. The input holds the vessel code and
// voyage number ("MIN 2"), then after a line "--8<--" the cargo file, after another the
// container file, after a third the goods items.
#include "fuzzsetup.h"

#include "interchange/xmlinterchange.h"

using namespace quarl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> files = fuzz::parts(data, size, 4);
    const QStringList voyage = QString::fromUtf8(files.at(0)).split(QLatin1Char(' '));
    const QString cargo = fuzz::writeInput(files.value(1), QStringLiteral("cargo.xml"));
    const QString containers = fuzz::writeInput(files.value(2), QStringLiteral("contain.xml"));
    QString items;
    if (files.size() > 3)
        items = fuzz::writeInput(files.at(3), QStringLiteral("items.xml"));
    const Database db = fuzz::freshCompany();
    (void)igm::importXmlFiles(db, cargo, containers, voyage.value(0), voyage.value(1), items);
    return 0;
}
