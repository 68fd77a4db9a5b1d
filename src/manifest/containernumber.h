#pragma once

#include <QString>
#include <QStringView>

namespace quarl::igm {

// ISO 6346 check digit of the owner code and serial number (the first ten characters:
// four letters, six digits); -1 when those ten characters are not letters and digits.
int iso6346CheckDigit(QStringView ownerSerial);

// Whether a container number is four letters, seven digits and its last digit is the
// check digit of the first ten.
bool hasValidCheckDigit(QStringView containerNumber);

// What is wrong with a container number, for a status line or a check list; empty when
// the number is well formed with the right check digit. A number of other shape (10
// characters, or an owner's own numbering) is described, not refused.
QString containerNumberFinding(QStringView containerNumber);

} // namespace quarl::igm
