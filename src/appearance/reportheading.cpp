#include "appearance/reportheading.h"

#include "core/numericvalue.h"
#include "core/settings.h"
#include "store/session.h"

namespace quarl {

std::optional<HeadingFont> reportHeadingFont()
{
    const QString family = Settings::headingFont();
    const double size = numericValue(Settings::headingFontSize());
    if (family.isEmpty() || size <= 0)
        return std::nullopt;
    return HeadingFont{family, size};
}

void applyReportHeading(QString &headingText, QFont &headingFont)
{
    if (const auto font = reportHeadingFont()) {
        headingFont.setFamily(font->family);
        headingFont.setPointSizeF(font->pointSize);
    }
    headingText = Session::current().companyName;
}

} // namespace quarl
