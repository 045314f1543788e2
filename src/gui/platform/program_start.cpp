// StartCompanionProgram: the lookup of core and Qt's detached start.
#include "gui/platform/program_start.h"

#include <QProcess>

#include <cstdlib>

#include "core/platform/folders.h"
#include "core/platform/programs.h"

namespace pelldra {

bool StartCompanionProgram(const ProgramStart& start)
{
    const char* searchPath = std::getenv("PATH");
    const std::string path = FindProgram(start.name.toStdString(), GetExecutableFolder(), searchPath ? searchPath : "");
    return !path.empty() && QProcess::startDetached(QString::fromStdString(path), start.arguments, start.workingFolder);
}

} // namespace pelldra
