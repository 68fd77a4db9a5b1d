#pragma once

#include "store/database.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace quarl::fuzz {

// Once per fuzzing process, from libFuzzer's LLVMFuzzerInitialize (defined with this, for
// every target): a Qt application object, a private installation folder and a scratch folder
// the inputs are written to.
void setUp();

// The input as a file of the scratch folder (the readers under test read files); the same
// name each time unless another is given.
QString writeInput(const uint8_t *data, size_t size, const QString &name = QStringLiteral("input"));
QString writeInput(const QByteArray &data, const QString &name);

// A new company database for one input (a copy of one made at the start).
Database freshCompany();

// The parts of an input that holds several files, each after a line "--8<--".
QList<QByteArray> parts(const uint8_t *data, size_t size, int most);

} // namespace quarl::fuzz
