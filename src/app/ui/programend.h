#pragma once

#include <functional>

namespace quarl {

// Ends the program at once (logon Cancel, a failed logon, "E&xit", the main window
// closed). Tests put a recorder in its place.
void endProgram(int exitCode = 0);

using ProgramEndHandler = std::function<void(int exitCode)>;
// An empty handler restores the real ending.
void setProgramEndHandler(ProgramEndHandler handler);

} // namespace quarl
