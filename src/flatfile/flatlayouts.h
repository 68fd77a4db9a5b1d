#pragma once

#include "manifest/layout.h"

namespace quarl::igm {

// The flat-file layouts, each in its own file.
const Layout &olderLayout();
const Layout &ices15Layout();

} // namespace quarl::igm
