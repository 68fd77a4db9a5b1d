#pragma once

#include "app/failure.h"
#include "appearance/skin.h"

#include <optional>

class QWidget;

namespace quarl {

// The skin of the run: loaded by the main window from the settings at its load and
// again when the colour screen saves a new choice. Without a skin (none chosen, or the
// file missing or unreadable) every window keeps the program's default look.
const std::optional<Skin> &currentSkin();
// Loads the skin file of the path; an empty path means no skin. On failure the run goes
// on without a skin and the failure says why.
Status loadSkin(const QString &path);

// Gives a window the skin's look (its style sheet and colours), or the default look
// again when there is no skin.
void applySkin(QWidget *window);

// The appearance pass every screen runs at the end of its loading: the skin applied to
// the screen, and every control of it given the skin's text and background colours.
void applyAppearance(QWidget *screen);

// After the skin changed: every window that took the skin or ran the pass takes the
// new one.
void reapplyAppearance();

} // namespace quarl
