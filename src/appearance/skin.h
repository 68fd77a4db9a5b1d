#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

namespace quarl {

// A skin file (".skn"): a Qt style sheet that opens with a comment naming the skin's
// text colour and background colour:
//
//   /* Quarl skin
//      name: Classic Blue
//      text-color: #0a1f44
//      background-color: #d6e3f3
//      workspace-color: #5d7fae      (optional: the main window's work area)
//   */
//   QPushButton { ... }
//
// The whole file is the style sheet; the comment is ignored by Qt.
struct Skin
{
    QString name;
    QString styleSheet;
    QColor textColor;
    QColor backgroundColor;
    QColor workspaceColor; // a darker background when the file names none
};

namespace Skins {

inline constexpr char FileSuffix[] = ".skn";
inline constexpr char FileFilter[] = "Skin files (*.skn)";
inline constexpr qint64 MaxFileSize = 256 * 1024;

Result<Skin> parse(const QByteArray &bytes, const QString &fallbackName = {});
Result<Skin> readFile(const QString &path);

// The skins shipped with the program (resource paths) and the folder of the
// installation they are put in for the user to choose from.
QStringList shipped();
QString folder();
// Writes every shipped skin that is missing from the folder; a skin file already there
// (perhaps edited by the user) is left as it is.
Status installShipped(const QString &folder);

} // namespace Skins
} // namespace quarl
