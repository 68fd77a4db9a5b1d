#pragma once

class QLineEdit;

namespace quarl {

// Vessel codes, voyage numbers and other keys are kept in capitals: a letter typed or
// pasted in small letters is taken as its capital, where the cursor was.
void takeCapitals(QLineEdit *field);

} // namespace quarl
