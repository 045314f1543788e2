// Starting the companion programs of the window, detached from it.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace pelldra {

struct ProgramStart
{
    QString name; // the executable's file name, looked up by FindProgram
    QStringList arguments;
    QString workingFolder;
};

// Starts a program and says whether it started. The window takes another one in tests, which start nothing.
using ProgramStarter = std::function<bool(const ProgramStart&)>;

// Looks the program up beside this executable, in its installed program folder and on PATH, and starts it
// detached; false when it is nowhere or does not start.
bool StartCompanionProgram(const ProgramStart& start);

} // namespace pelldra
