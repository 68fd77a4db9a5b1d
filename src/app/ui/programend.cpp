#include "app/ui/programend.h"

#include <QCoreApplication>

namespace quarl {

namespace {
ProgramEndHandler &handler()
{
    static ProgramEndHandler h;
    return h;
}
} // namespace

void endProgram(int exitCode)
{
    if (handler()) {
        handler()(exitCode);
        return;
    }
    // Leaves every event loop running, modal ones included.
    QCoreApplication::exit(exitCode);
}

void setProgramEndHandler(ProgramEndHandler h)
{
    handler() = std::move(h);
}

} // namespace quarl
