// Starting other programs from Kestrin: the engine, which Kestrin waits for, and the editor and
// the desktop's viewers, which it leaves running. Programs are always started with a list of
// arguments, never with one command text, so that paths with blanks pass whole.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>

namespace tarnell {

// A program's file name on this platform: "Tarnell" here, "Tarnell.exe" on Windows.
QString executableName(const QString& base);

// How a program that Kestrin waited for ended.
struct ProgramRun {
    bool started = false;
    bool crashed = false;  // ended by a signal or a fault rather than by its own exit
    int exitCode = 0;
    QString output;      // what it printed, standard output and error together
    QString startError;  // why it could not be started
};

// Runs `program` in `workDir` and returns when it has ended, without a time limit. Meanwhile the
// windows keep painting but take no input (they cannot be closed either), and every line the
// program prints goes to `showLine` as it comes.
ProgramRun runProgramAndWait(const QString& program, const QStringList& arguments,
                             const std::filesystem::path& workDir,
                             const std::function<void(const QString&)>& showLine);

// Starts `command` on `file` and leaves it running. The command is a program's path, which may
// hold blanks, or a program followed by arguments as a shell would split them. `failed` gets the
// reason when the program cannot be started, or when it ends by a fault or with a status other
// than 0 (as xdg-open does, with 3, when the desktop has no program for the file). A program
// still running when Kestrin ends is left running.
void startProgramOn(const QString& command, const QString& file,
                    const std::filesystem::path& workDir,
                    const std::function<void(const QString&)>& failed);

// The desktop's opener of files: the program that starts whatever the desktop associates with
// a file's type ("xdg-open" on Linux), or an empty text where Qt opens files itself.
QString desktopOpener();

}  // namespace tarnell
