#include "browser/ui/frmvslcode.h"

#include "browser/recordsources.h"
#include "core/ui/capitals.h"
#include "core/ui/screenregistry.h"

namespace quarl {

frmVslCode::frmVslCode(QWidget *parent) : RecordBrowser(parent)
{
    setCaptions(QStringLiteral("Vessel Code"), QStringLiteral("Vessel Code Setup"));
    takeCapitals(addFieldRow(QStringLiteral("Vessel Code"), 6, QStringLiteral("VESSEL_CD")));
    addFieldRow(QStringLiteral("Name"), 1, QStringLiteral("VESSEL_NM"));
    addFieldRow(QStringLiteral("Nationality"), 5, QStringLiteral("VESSEL_NATION"));
    addFieldRow(QStringLiteral("G.R.T"), 11, QStringLiteral("grt"));
    addFieldRow(QStringLiteral("N.R.T"), 12, QStringLiteral("nrt"));
    addFieldRow(QStringLiteral("IMO No."), 100, QStringLiteral("IMO_NO"));
    setFirstField(6);
    setSearch({QStringLiteral("VESSEL_CD"), QStringLiteral("Vessel Code to search ?"),
               QStringLiteral("Could not find Vessel Code")});
}

RecordSource frmVslCode::recordSource() const
{
    return RecordSources::vesselCodes();
}

QUARL_REGISTER_SCREEN(frmVslCode)

} // namespace quarl
