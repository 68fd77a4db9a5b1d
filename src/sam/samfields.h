#pragma once

#include <QString>

namespace quarl::igm {

// The label of a SAM key on our screens ("HS Code" for itemDtls.hsCd), so that a finding
// names the field the clerk mends. parent is the key of the object or list the key stands
// in; a key of no label is named by itself.
QString samFieldLabel(const QString &parent, const QString &key);

} // namespace quarl::igm
