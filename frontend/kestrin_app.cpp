#include "frontend/kestrin_app.h"

#include <QCoreApplication>
#include <clocale>

namespace tarnell {

void setUpApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestrin"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.1"));
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace tarnell
