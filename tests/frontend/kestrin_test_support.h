// What the front end's tests share: a working directory with the shipped settings file,
// structures with a given number of sites, and a Kestrin window whose messages and questions are
// kept.
#pragma once

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "frontend/grid_list_ctrl.h"
#include "frontend/kestrin_view.h"
#include "frontend/main_frame.h"

namespace tarnell::test {

inline void writeTextFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::string shippedSettings() {
    QFile file(QStringLiteral(TARNELL_SOURCE_DIR "/data/Tarnell.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// With a blank in its path, as a user's folders often have.
struct WorkDir {
    WorkDir() : dir(QDir::tempPath() + QStringLiteral("/kestrin work XXXXXX")) {
        writeTextFile(path() / "Tarnell.ini", shippedSettings());
    }
    std::filesystem::path path() const { return dir.path().toStdString(); }
    QTemporaryDir dir;
};

// Sites Na1, Na2, ... with charge 2, occupancy 1, x = 0.25, y = 0.5, z = 0.75 and d max 3.
inline CrystalStructure sampleStructure(int siteCount) {
    CrystalStructure s;
    s.title = "Sample";
    s.sgName = "P 1 21/c 1";
    s.sgNumber = 14;
    s.cell = {5.6402, 6.1, 7.25, 90.0, 101.5, 90.0};
    s.cellSigma = {0.0001, 0.0002, 0.0003, 0.0, 0.01, 0.0};
    for (int i = 1; i <= siteCount; ++i)
        s.sites.push_back({"Na" + std::to_string(i), 1.0, 0.25, 0.5, 0.75, 0, 0, 0, 2.0, 3.0});
    return s;
}

// A picture with something drawn: more than `share` of its pixels unlike the background, in
// several colours.
inline void checkNotBlank(const QImage& picture, double share) {
    const QRgb background = picture.pixel(1, 1);
    std::set<QRgb> colours;
    qsizetype drawn = 0;
    for (int y = 0; y < picture.height(); y += 2) {
        for (int x = 0; x < picture.width(); x += 2) {
            const QRgb pixel = picture.pixel(x, y);
            if (pixel != background) ++drawn;
            colours.insert(pixel & 0xF0F0F0);
        }
    }
    const qsizetype all = (picture.width() / 2) * (picture.height() / 2);
    QVERIFY2(drawn > share * all,
             qPrintable(QString::number(drawn) + " of " + QString::number(all)));
    QVERIFY(colours.size() > 20);
}

// Kestrin's window on a working directory: its messages and questions are kept, and the
// questions answered from `m_answers`, yes when none is left.
struct KestrinWindow {
    void makeWindow(const std::filesystem::path& dir) {
        if (m_frame) m_earlier.push_back(std::move(m_frame));  // its programs may still report
        m_frame = std::make_unique<CMainFrame>(
            dir, [this](const std::string& m) { m_messages << QString::fromStdString(m); },
            [this](const std::string& q) {
                m_questions << QString::fromStdString(q);
                return m_answers.isEmpty() || m_answers.takeFirst();
            });
        m_view = m_frame->View();
    }
    QAction* command(const char* id) const { return m_frame->findChild<QAction*>(id); }
    QLineEdit* field(const char* id) const { return m_view->findChild<QLineEdit*>(id); }
    QString box(const char* id) const { return field(id)->text(); }
    CGridListCtrl* lattice() const { return m_view->findChild<CGridListCtrl*>("IDC_LATTICE_LIST"); }
    CGridListCtrl* sites() const { return m_view->findChild<CGridListCtrl*>("IDC_SITE_LIST"); }
    // Types `text` into a cell as the user does: open it, replace its text, Enter.
    static void type(CGridListCtrl* grid, int row, int column, const QString& text) {
        QVERIFY(grid->BeginCellEdit(row, column));
        auto* editor = grid->findChild<QLineEdit*>("IDC_CELL_EDIT");
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
    }
    void typeInto(const char* id, const QString& text) {
        field(id)->selectAll();
        QTest::keyClick(field(id), Qt::Key_Backspace);
        QTest::keyClicks(field(id), text);
    }
    void closeWindows() {
        m_frame.reset();
        m_earlier.clear();
    }

    std::unique_ptr<CMainFrame> m_frame;
    std::vector<std::unique_ptr<CMainFrame>> m_earlier;
    CKestrinView* m_view = nullptr;
    QStringList m_messages, m_questions;
    QList<bool> m_answers;
};

}  // namespace tarnell::test
