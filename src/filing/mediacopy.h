#pragma once

#include "core/failure.h"

#include <QString>

#include <functional>

namespace quarl::igm {

// Whether files can be written into folder: it exists, is a folder and is writable.
bool isUsableFolder(const QString &folder);

// Copies file into folder under its own name, replacing a file of that name. The copy is
// written under a temporary name, flushed to the medium and then renamed, so a stick
// pulled half-way never holds half a file under the real name. Gives the copy's path.
Result<QString> copyToFolder(const QString &file, const QString &folder);

// Asks for a folder; the empty text when the user cancels. why is empty for a first
// choice, otherwise the reason the remembered folder cannot be used.
using ChooseFolder = std::function<QString(const QString &why)>;

struct MediaCopy
{
    enum class Kind { Copied, Cancelled, Failed };
    Kind kind = Kind::Copied;
    QString path;    // the copy, when copied
    Failure failure; // when failed
};

// The copy to the removable-media folder of the settings (Media/Folder). When none is
// set, or it is missing or not writable, choose is asked for one and the answer is
// remembered in the settings.
MediaCopy copyToRemovableMedia(const QString &file, const ChooseFolder &choose);

} // namespace quarl::igm
