#pragma once

class QWidget;

namespace quarl {

// The appearance pass every screen runs at the end of its loading: the skin's style
// sheet, text colour and background colour applied to the screen and its controls.
void applyAppearance(QWidget *screen);

} // namespace quarl
