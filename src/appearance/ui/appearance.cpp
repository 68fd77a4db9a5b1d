#include "appearance/ui/appearance.h"

#include "app/settings.h"

#include <QWidget>

namespace quarl {

void applyAppearance(QWidget *screen)
{
    if (!screen)
        return;
    // Skins are read by the appearance module; without a skin the platform look stays.
    Q_UNUSED(Settings::skinPath());
}

} // namespace quarl
