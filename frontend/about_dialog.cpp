#include "frontend/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "frontend/dialog_units.h"

namespace tarnell {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral(u"Kestrinのﾊﾞｰｼﾞｮﾝ情報"));
    setFont(aboutBoxFont());
    const DialogUnits units = dialogUnitsOf(font());
    setFixedSize(units.toPixels(0, 0, 235, 55).size());

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/kestrin.xpm")));
    icon->move(units.toPixels(11, 17, 0, 0).topLeft());
    icon->adjustSize();

    auto* name = new QLabel(QStringLiteral("Kestrin Version 1.0"), this);
    name->setGeometry(units.toPixels(40, 10, 119, 8));
    auto* purpose = new QLabel(QStringLiteral("Bond valence sum calculator"), this);
    purpose->setGeometry(units.toPixels(40, 25, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.toPixels(178, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tarnell
