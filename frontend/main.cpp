// Kestrin: the desktop front end of the bond valence sum engine Tarnell.
#include <QApplication>
#include <QMessageBox>
#include <filesystem>
#include <system_error>

#include "frontend/kestrin_app.h"
#include "frontend/kestrin_view.h"
#include "frontend/main_frame.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tarnell::setUpApplication();

    // Every file the program exchanges with the engine lies in the directory it was started in.
    std::error_code error;
    const std::filesystem::path workDir = std::filesystem::current_path(error);
    if (error) {
        QMessageBox::critical(nullptr, QStringLiteral("Kestrin"),
                              QStringLiteral("The working directory cannot be read: ") +
                                  QString::fromStdString(error.message()));
        return 1;
    }

    tarnell::CMainFrame frame(workDir);
    frame.show();
    // After show, so that a message about the file stands over the window it concerns.
    frame.View()->LoadCommandLine(QCoreApplication::arguments());
    return application.exec();
}
