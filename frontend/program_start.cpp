#include "frontend/program_start.h"

#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStringDecoder>

#include "frontend/path_text.h"

namespace tarnell {
namespace {

// While it exists, every window of the program drops the user's input but goes on painting: the
// engine's work must not be changed under it, nor a second run started, nor the window closed.
// Input is dropped rather than held back, so that clicks made while waiting do not all act at
// once when the wait ends.
class UserInputBlocker : public QObject {
public:
    UserInputBlocker() {
        QCoreApplication::instance()->installEventFilter(this);
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~UserInputBlocker() override {
        QGuiApplication::restoreOverrideCursor();
        QCoreApplication::instance()->removeEventFilter(this);
    }
    UserInputBlocker(const UserInputBlocker&) = delete;
    UserInputBlocker& operator=(const UserInputBlocker&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Close:
                // Only the user's request to close a window; windows that close themselves
                // (tool tips) still may.
                if (!event->spontaneous()) break;
                event->ignore();
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::NonClientAreaMouseButtonPress:
            case QEvent::NonClientAreaMouseButtonRelease:
            case QEvent::NonClientAreaMouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::ContextMenu:
            case QEvent::InputMethod:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
            case QEvent::ToolTip:
            case QEvent::StatusTip:  // would cover the program's lines in the status bar
                return true;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Cuts the program's output into lines as it arrives; a line ends with "\n" or "\r".
class ConsoleLines {
public:
    explicit ConsoleLines(const std::function<void(const QString&)>& showLine)
        : m_showLine(showLine) {}

    void take(const QByteArray& bytes, QString& output) {
        // One decoder for the whole run: a character may arrive split over two reads.
        const QString text = m_decode(bytes);
        output += text;
        for (const QChar c : text) {
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
                show(m_pending);
                m_pending.clear();
            } else {
                m_pending += c;
            }
        }
    }
    void finish() {
        show(m_pending);
        m_pending.clear();
    }

private:
    void show(const QString& line) {
        const QString shown = line.trimmed();
        if (!shown.isEmpty() && m_showLine) m_showLine(shown);
    }

    const std::function<void(const QString&)>& m_showLine;
    QStringDecoder m_decode{QStringDecoder::System};
    QString m_pending;
};

}  // namespace

QString executableName(const QString& base) {
#ifdef _WIN32
    return base + QStringLiteral(".exe");
#else
    return base;
#endif
}

ProgramRun runProgramAndWait(const QString& program, const QStringList& arguments,
                             const std::filesystem::path& workDir,
                             const std::function<void(const QString&)>& showLine) {
    ProgramRun run;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(pathText(workDir));
    process.setProcessChannelMode(QProcess::MergedChannels);
    // No console to answer from: the program must never wait for a key.
    process.setStandardInputFile(QProcess::nullDevice());

    ConsoleLines lines(showLine);
    QEventLoop loop;
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop,
                     [&] { lines.take(process.readAllStandardOutput(), run.output); });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        failedToStart = true;
        loop.quit();
    });

    const UserInputBlocker blocker;
    process.start();
    // A start that fails at once leaves nothing to wait for.
    if (process.state() != QProcess::NotRunning) loop.exec();
    lines.take(process.readAllStandardOutput(), run.output);
    lines.finish();

    run.started = !failedToStart && process.error() != QProcess::FailedToStart;
    if (!run.started) {
        run.startError = process.errorString();
        return run;
    }
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.exitCode = process.exitCode();
    return run;
}

void startProgramOn(const QString& command, const QString& file,
                    const std::filesystem::path& workDir,
                    const std::function<void(const QString&)>& failed) {
    // Without a parent: a process object destroyed with Kestrin's windows would take the
    // program down with it. It deletes itself once the program has ended.
    auto* process = new QProcess;
    // A settings file names a program by its path, blanks and all, more often than it quotes
    // it; a text that is no file is taken as a command line.
    if (QFileInfo(command).isFile()) {
        process->setProgram(command);
        process->setArguments({file});
    } else {
        QStringList parts = QProcess::splitCommand(command);
        if (parts.isEmpty()) {
            delete process;
            failed(QStringLiteral("no program is named"));
            return;
        }
        process->setProgram(parts.takeFirst());
        process->setArguments(parts << file);
    }
    process->setWorkingDirectory(pathText(workDir));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         failed(process->errorString());
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int exitCode, QProcess::ExitStatus status) {
                         if (status == QProcess::CrashExit) {
                             failed(QStringLiteral("it stopped abnormally"));
                         } else if (exitCode != 0) {
                             failed(QStringLiteral("it ended with status %1").arg(exitCode));
                         }
                         process->deleteLater();
                     });
    process->start();
}

QString desktopOpener() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return QStringLiteral("xdg-open");
#else
    return QString();
#endif
}

}  // namespace tarnell
