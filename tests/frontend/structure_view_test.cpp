// The structure view with the real engine: what it draws of rutile, forsterite and a mixed site,
// picking an atom and choosing a row, and the oxidation state of a mixed site through the form.
// With KESTRIN_SCREENSHOTS naming a folder, the pictures drawn are also saved there to be looked
// at.
#include "frontend/structure_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QProcess>
#include <QTableWidget>
#include <cmath>

#include "frontend/kestrin_app.h"
#include "frontend/results_window.h"
#include "structure/structure_reader.h"
#include "tests/frontend/kestrin_test_support.h"

namespace tarnell {
namespace fs = std::filesystem;
const QString Examples = QStringLiteral(TARNELL_SOURCE_DIR "/examples/");
const QString RealWorld = QStringLiteral(TARNELL_SOURCE_DIR "/tests/data/realworld/");

class StructureViewTest : public QObject, test::KestrinWindow {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }
    void init();
    void cleanup() { closeWindows(); }

    void rutileIsDrawnAndItsTiPickedAtItsCentre();
    void mixedSiteKeepsItsOxidationStateThroughTheForm();
    void forsteriteAndPmnPtAreDrawnWithTheirPolyhedra();
    void hullOfACubeHasSixSquareFaces();
    void largeFileOpensAndCalculatesWithinASecond();

private:
    CStructureCanvas* canvas() const { return m_frame->StructureView()->Canvas(); }
    // Opens `file` and calculates it, with the shipped table and settings.
    void calculate(ReaderMode mode, const QString& file) {
        m_messages.clear();
        QVERIFY(m_view->OpenStructureFile(mode, file.toStdString()));
        m_messages.clear();  // the reader's notes
        m_view->OnCalculation();
        QCOMPARE(m_messages, QStringList());
        QVERIFY(m_view->ResultsWindow()->Failure().isEmpty());
    }
    void savePicture(const char* name) {
        const QByteArray folder = qgetenv("KESTRIN_SCREENSHOTS");
        if (folder.isEmpty()) return;
        QVERIFY(m_frame->grab().save(QString::fromLocal8Bit(folder) + '/' + name + ".png"));
        QVERIFY(
            canvas()->Picture().save(QString::fromLocal8Bit(folder) + '/' + name + "-view.png"));
        QVERIFY(m_view->ResultsWindow()->grab().save(QString::fromLocal8Bit(folder) + '/' + name +
                                                     "-results.png"));
    }

    std::unique_ptr<test::WorkDir> m_dir;
};

void StructureViewTest::init() {
    m_dir = std::make_unique<test::WorkDir>();
    for (const char* file : {"spgra.dat", "sgtrans.dat", "BVTable", "Tarnell.ini"})
        fs::copy_file(fs::path(TARNELL_WORK_DIR) / file, m_dir->path() / file,
                      fs::copy_options::overwrite_existing);
    fs::copy_file(TARNELL_EXE, m_dir->path() / "Tarnell");
    m_messages.clear();
    makeWindow(m_dir->path());
    m_frame->resize(1100, 640);
    m_frame->show();
}

void StructureViewTest::rutileIsDrawnAndItsTiPickedAtItsCentre() {
    QCOMPARE(canvas()->Model().atoms.size(), std::size_t{0});
    // Opened, the structure shows at once, its bonds once it is calculated.
    QVERIFY(m_view->OpenStructureFile(ReaderMode::NativeFile,
                                      (Examples + "TiO2-rutile.inp").toStdString()));
    QCOMPARE(canvas()->Model().atoms.size(),
             std::size_t{9 + 2 + 2 * 2});  // Ti; O in and on z = 0, 1
    QVERIFY(canvas()->Model().bonds.empty());
    calculate(ReaderMode::NativeFile, Examples + "TiO2-rutile.inp");
    // Two Ti and four O in the cell, and the Ti and O on its faces, edges and corners: 8 corner
    // Ti, 1 in the middle; O on the faces z = 0 and 1 twice as often.
    const StructureModel& model = canvas()->Model();
    std::size_t ti = 0;
    for (const ModelAtom& atom : model.atoms) ti += atom.site == 0 && atom.inCell;
    QCOMPARE(ti, std::size_t{9});
    QCOMPARE(model.polyhedra.size(), std::size_t{9});
    for (const ModelPolyhedron& octahedron : model.polyhedra) {
        QCOMPARE(octahedron.corners.size(), std::size_t{6});
        QCOMPARE(octahedron.faces.size(), std::size_t{8});
        QVERIFY(octahedron.relative && std::fabs(*octahedron.relative) < 0.1);
    }
    QApplication::processEvents();
    test::checkNotBlank(canvas()->Picture(), 0.1);
    savePicture("rutile");

    // Looking down c, the Ti in the middle of the cell is in front of nothing but itself.
    canvas()->ViewAlong(2);
    const std::array<Vector3, 3> axes = model.axes;
    int middle = -1;
    for (std::size_t i = 0; i < model.atoms.size(); ++i) {
        Vector3 centre{};
        for (const Vector3& axis : axes)
            for (int k = 0; k < 3; ++k) centre[k] += axis[k] / 2;
        const Vector3& p = model.atoms[i].position;
        if (std::hypot(p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]) < 1e-6)
            middle = static_cast<int>(i);
    }
    QVERIFY(middle >= 0);
    QCOMPARE(model.atoms[static_cast<std::size_t>(middle)].site, 0);
    const QPoint pixel = canvas()->AtomPixel(middle).toPoint();
    QCOMPARE(canvas()->Picture().pixel(pixel) != canvas()->Picture().pixel(1, 1), true);
    QTest::mouseClick(canvas(), Qt::LeftButton, {}, pixel);
    QCOMPARE(canvas()->SelectedSite(), 0);
    // The form's row and the summary's row of Ti1, and its six bonds below the view.
    QCOMPARE(sites()->currentRow(), 0);
    QVERIFY(sites()->item(0, 1)->isSelected());
    auto* summary = m_view->ResultsWindow()->findChild<QTableWidget*>("summaryTable");
    QCOMPARE(summary->selectedItems().value(0)->text(), QStringLiteral("Ti1"));
    auto* bonds = m_frame->StructureView()->findChild<QTableWidget*>("bondsPanel");
    QCOMPARE(bonds->rowCount(), 6);
    QCOMPARE(bonds->item(0, 0)->text(), QStringLiteral("O1"));

    // Choosing O1's row in the form highlights its atoms; empty space chooses none.
    sites()->setCurrentCell(1, 1);
    QCOMPARE(canvas()->SelectedSite(), 1);
    QTest::mouseClick(canvas(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(canvas()->SelectedSite(), -1);
    QCOMPARE(bonds->rowCount(), 0);

    // Exported as the canvas draws it.
    QVERIFY(m_frame->StructureView()->ExportPicture(m_dir->path() / "rutile.png"));
    QImage exported(QString::fromStdString((m_dir->path() / "rutile.png").string()));
    QCOMPARE(exported.size(), canvas()->size());
}

// PMN-PT holds Ti 0.25, Nb 0.5 and Mg 0.25 on one position: the form shows their oxidation
// states, not charge × occupancy, and the summary Kestrin shows is the engine's own on the CIF.
void StructureViewTest::mixedSiteKeepsItsOxidationStateThroughTheForm() {
    calculate(ReaderMode::CifFile, RealWorld + "PMN-PT.cif");
    QStringList valences;
    for (int row = 0; row < 5; ++row)
        valences << sites()->CellText(row, 1) + ' ' + sites()->CellText(row, 2);
    QCOMPARE(valences,
             (QStringList{"Pb1 2.0000", "Ti1 4.0000", "Nb1 5.0000", "Mg1 2.0000", "O1 -2.0000"}));

    QProcess engine;
    engine.setWorkingDirectory(QString::fromStdString(m_dir->path().string()));
    engine.start(QString::fromStdString((m_dir->path() / "Tarnell").string()),
                 {"-c", RealWorld + "PMN-PT.cif", "direct.out", "-j", "direct.json"});
    engine.closeWriteChannel();
    QVERIFY(engine.waitForFinished(30000));
    QFile json(QString::fromStdString((m_dir->path() / "direct.json").string()));
    QVERIFY(json.open(QIODevice::ReadOnly));
    EngineResult direct;
    std::string error;
    QVERIFY(parseEngineResult(json.readAll().toStdString(), direct, error));

    const EngineResult& shown = m_view->Result();
    QVERIFY(hasGii(shown) && hasGii(direct));
    QCOMPARE(QString::number(*shown.gii, 'f', 4), QString::number(*direct.gii, 'f', 4));
    QCOMPARE(shown.summary.size(), direct.summary.size());
    for (std::size_t i = 0; i < shown.summary.size(); ++i) {
        QCOMPARE(shown.summary[i].valence, direct.summary[i].valence);
        QVERIFY(shown.summary[i].bvs && !shown.summary[i].missingParameters);
        QCOMPARE(QString::number(*shown.summary[i].bvs, 'f', 3),
                 QString::number(*direct.summary[i].bvs, 'f', 3));
    }
    savePicture("pmn-pt");
}

void StructureViewTest::forsteriteAndPmnPtAreDrawnWithTheirPolyhedra() {
    calculate(ReaderMode::NativeFile, Examples + "forsterite.inp");
    // Mg octahedra and Si tetrahedra, four formula units: 8 Mg, 4 Si at least in the cell.
    std::size_t octahedra = 0, tetrahedra = 0;
    for (const ModelPolyhedron& p : canvas()->Model().polyhedra) {
        octahedra += p.corners.size() == 6;
        tetrahedra += p.corners.size() == 4 && p.faces.size() == 4;
    }
    QVERIFY2(octahedra >= 8 && tetrahedra >= 4,
             qPrintable(QString("%1 %2").arg(octahedra).arg(tetrahedra)));
    QApplication::processEvents();
    test::checkNotBlank(canvas()->Picture(), 0.1);
    // Si1 chosen: its four bonds listed below the view.
    m_frame->StructureView()->SelectSite(2);
    QCOMPARE(m_frame->StructureView()->findChild<QTableWidget*>("bondsPanel")->rowCount(), 4);
    savePicture("forsterite");
}

// The octahedra of rutile have eight faces (above); a cube has six square ones, each corner once,
// and points in one plane have no hull.
void StructureViewTest::hullOfACubeHasSixSquareFaces() {
    std::vector<Vector3> cube;
    for (int i = 0; i < 8; ++i)
        cube.push_back({double(i & 1), double((i >> 1) & 1), double(i >> 2)});
    const auto squares = hullFaces(cube);
    QCOMPARE(squares.size(), std::size_t{6});
    for (const auto& face : squares) QCOMPARE(face.size(), std::size_t{4});
    QVERIFY(hullFaces({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}).empty());
}

// The structure file to time is named by KESTRIN_LARGE_CIF: a CIF of many sites, opened, then
// calculated with the view drawn each time, as the user waits for it.
void StructureViewTest::largeFileOpensAndCalculatesWithinASecond() {
    const QByteArray file = qgetenv("KESTRIN_LARGE_CIF");
    if (file.isEmpty()) QSKIP("KESTRIN_LARGE_CIF names no file to time");
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_view->OpenStructureFile(ReaderMode::CifFile, file.toStdString()));
    canvas()->repaint();
    const qint64 opened = clock.restart();
    const std::size_t openedAtoms = canvas()->Model().atoms.size();
    m_view->OnCalculation();
    canvas()->repaint();
    QApplication::processEvents();
    const qint64 calculated = clock.elapsed();
    qInfo(
        "%d sites: opened and drawn (%zu atoms) in %lld ms; calculated and drawn (%zu atoms, "
        "%zu polyhedra) in %lld ms",
        m_view->Structure().siteCount(), openedAtoms, opened, canvas()->Model().atoms.size(),
        canvas()->Model().polyhedra.size(), calculated);
    QVERIFY(opened < 1000 && calculated < 1000);
}

}  // namespace tarnell

QTEST_MAIN(tarnell::StructureViewTest)
#include "structure_view_test.moc"
