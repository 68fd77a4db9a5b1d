#pragma once

#include <QIcon>

namespace quarl::BrowserIcons {

// Pictures of the navigation buttons and of the door that closes a screen, drawn here so
// that they follow the palette and need no image files.
QIcon first();
QIcon previous();
QIcon next();
QIcon last();
QIcon door();

} // namespace quarl::BrowserIcons
