#pragma once

#include <QFont>
#include <QString>

#include <optional>

namespace quarl {

// The heading of a printed report: the company name in the heading font of the
// settings (Options Font and FontSize).
struct HeadingFont
{
    QString family;
    double pointSize = 0;
};

// The font of the settings, or nullopt when Font is empty or FontSize is not a
// positive number; the report's own heading font stays then.
std::optional<HeadingFont> reportHeadingFont();

// Applies the heading to a report's heading text object: its text becomes the
// logged-on company's name, its font the settings' font when one is set.
void applyReportHeading(QString &headingText, QFont &headingFont);

} // namespace quarl
