#pragma once

#include "appearance/skin.h"
#include "core/failure.h"

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

// Gives a window the skin's look: its style sheet, and its text and background colours
// on the window and every control of it (screens opening inside a main window's work
// area take it themselves). Without a skin the default look comes back.
void applySkin(QWidget *window);

// The appearance pass every screen runs at the end of its loading: the skin applied to
// the screen, which gives every control of it the skin's colours.
void applyAppearance(QWidget *screen);

// After the skin changed: every window that took the skin takes the new one.
void reapplyAppearance();

} // namespace quarl
