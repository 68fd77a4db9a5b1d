#pragma once

#include "core/failure.h"

#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

struct SyntheticVoyage
{
    QString vessel;
    QString voyage;
    int lines = 10;
    int containers = 20;
    quint32 seed = 1; // the same seed gives the same voyage
};

// Adds a made-up voyage with valid codes for trials and benchmarks: the header, the lines
// (numbered 1..n, mostly containerised, every tenth packaged) and the containers spread
// over the container lines. Refused when the voyage already holds a header or lines.
Status addSyntheticVoyage(const Database &db, const SyntheticVoyage &voyage);

} // namespace quarl::igm
