// The Landscape command with the real engine on triphylite (LiFePO4, Li+ one-dimensional along
// b): the cube file read back, the window's slices, sliders and thresholds against the engine's
// JSON, the picture exported, and a run that fails. With KESTRIN_SCREENSHOTS naming a folder,
// the window is also saved there to be looked at.
#include "frontend/landscape_view.h"

#include <QApplication>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <cmath>
#include <nlohmann/json.hpp>

#include "frontend/cube_reader.h"
#include "frontend/kestrin_app.h"
#include "structure/structure_reader.h"
#include "tests/frontend/kestrin_test_support.h"

namespace tarnell {
namespace fs = std::filesystem;
const std::string Triphylite = TARNELL_SOURCE_DIR "/tests/data/landscape/LiFePO4-triphylite.inp";

class LandscapeViewTest : public QObject, test::KestrinWindow {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { closeWindows(); }

    void cubeReaderReadsTheEnginesCubeAndRefusesBrokenOnes();
    void windowShowsTheJsonsThresholdsAndOutlinesTheLowestOne();
    void slidersAndAxisChangeTheSliceAndThePictureIsExported();
    void failedRunShowsTheEnginesLinesAndLeavesNoOldLandscape();

private:
    fs::path work(const std::string& name) const { return m_dir->path() / name; }
    CLandscapeView* window() const { return m_view->findChild<CLandscapeView*>(); }
    // Runs the command, answering its question with `ion`; returns the ion it proposed.
    QString runLandscape(const QString& ion) {
        QString proposed;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            proposed = dialog->textValue();
            dialog->setTextValue(ion);
            dialog->accept();
        });
        m_messages.clear();
        m_view->OnLandscape();
        return proposed;
    }
    static nlohmann::json landscapeJson(const fs::path& file) {
        std::ifstream in(file);
        return nlohmann::json::parse(in)["landscape"];
    }

    std::unique_ptr<test::WorkDir> m_dir;
};

void LandscapeViewTest::initTestCase() {
    setUpApplication();
    m_dir = std::make_unique<test::WorkDir>();
    for (const char* file : {"spgra.dat", "sgtrans.dat", "BVTable", "Tarnell.ini"})
        fs::copy_file(fs::path(TARNELL_WORK_DIR) / file, work(file),
                      fs::copy_options::overwrite_existing);
    fs::copy_file(TARNELL_EXE, work("Tarnell"));
    makeWindow(m_dir->path());
    QVERIFY(!command("ID_EXECUTE_LANDSCAPE")->isEnabled());  // nothing to put an ion into yet
    QVERIFY(m_view->OpenStructureFile(ReaderMode::NativeFile, Triphylite));
    QVERIFY(command("ID_EXECUTE_LANDSCAPE")->isEnabled());
    QCOMPARE(runLandscape(QStringLiteral("Li+")), QStringLiteral("Li+"));  // the first cation
    QCOMPARE(m_messages, QStringList());
    QVERIFY(window() && window()->isVisible());
    QVERIFY(!fs::exists(work("Tarnell-landscape.inp")));  // the engine's input goes with the run
}

void LandscapeViewTest::cubeReaderReadsTheEnginesCubeAndRefusesBrokenOnes() {
    CubeGrid grid;
    QCOMPARE(QString::fromStdString(readCubeFile(work("Tarnell.cube"), grid)), QString());
    const nlohmann::json json = landscapeJson(work("Tarnell-landscape.json"));
    QCOMPARE(grid.points, (json["grid"].get<std::array<int, 3>>()));
    QCOMPARE(grid.values.size(), std::size_t(grid.points[0]) * grid.points[1] * grid.points[2]);
    // The cell of the file, Pnma with a, b, c on x, y, z, back from Bohr.
    const double cell[3] = {10.332, 6.010, 4.692};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k)
            QVERIFY(std::fabs(grid.edges[i][k] - (i == k ? cell[i] : 0.0)) < 1e-4);
    }
    // 4 Fe, 4 P, 16 O and, last, the 4 Li taken out; Li1 at the origin.
    QCOMPARE(grid.atoms.size(), std::size_t{28});
    int lithium = 0;
    for (std::size_t n = 24; n < 28; ++n) lithium += grid.atoms[n].atomicNumber == 3;
    QCOMPARE(lithium, 4);
    // The 1D threshold lies between the grid's lowest and highest values, and the Li site at
    // the origin (grid point 0, 0, 0) is in the region the path runs through.
    const double threshold = json["thresholds"]["1d"].get<double>();
    const auto [low, high] = std::minmax_element(grid.values.begin(), grid.values.end());
    QVERIFY(*low < threshold && threshold < *high);
    QVERIFY(grid.at(0, 0, 0) < threshold);

    // Texts cut or changed where a reader could go wrong: each is refused, the grid kept.
    const std::string good =
        "t\nv\n    1    0.0 0.0 0.0\n    2    1.0 0.0 0.0\n"
        "    1    0.0 2.0 0.0\n    3    0.0 0.0 1.5\n    3 3.0 0.0 0.0 0.0\n"
        " 1.0E-01 2.0E-01 3.0E-01\n 4.0E-01 5.0E-01 6.0E-01\n";
    CubeGrid small;
    QCOMPARE(QString::fromStdString(readCubeText(good, small)), QString());
    QCOMPARE(small.points, (std::array<int, 3>{2, 1, 3}));
    QCOMPARE(small.at(1, 0, 2), 0.6f);  // c fastest: a transposed index reads 0.2 for (1, 0, 0)
    QCOMPARE(small.at(1, 0, 0), 0.4f);
    QCOMPARE(small.at(0, 0, 1), 0.2f);
    QVERIFY(std::fabs(small.edges[0][0] - 2.0 * 0.529177210903) < 1e-12);
    const std::pair<std::string, std::string> broken[] = {
        {"6.0E-01\n", "6.0E-01 7.0E-01\n"},                    // one value too many
        {" 4.0E-01 5.0E-01 6.0E-01\n", " 4.0E-01\n"},          // values missing
        {"    1    0.0 2.0", "    0    0.0 2.0"},              // no points along b
        {"    3 3.0 0.0 0.0 0.0\n", "    3 3.0 0.0\n"},        // an atom cut short
        {"4.0E-01", "4.0E-0x"},                                // a value that is no number
        {"    1    0.0 0.0 0.0\n", "   -1    0.0 0.0 0.0\n"},  // orbitals announced
        {"    2    1.0", "99999    1.0"},                      // beyond the engine's largest grid
    };
    for (const auto& [from, to] : broken) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        CubeGrid kept = small;
        QVERIFY2(!readCubeText(text, kept).empty(), to.c_str());
        QCOMPARE(kept.values, small.values);
    }
    QVERIFY(!readCubeFile(work("missing.cube"), small).empty());
}

void LandscapeViewTest::windowShowsTheJsonsThresholdsAndOutlinesTheLowestOne() {
    const nlohmann::json json = landscapeJson(work("Tarnell-landscape.json"));
    const auto label = [this](const char* id) { return window()->findChild<QLabel*>(id)->text(); };
    const nlohmann::json& thresholds = json["thresholds"];
    QVERIFY(thresholds["1d"].is_number() && thresholds["2d"].is_null() &&
            thresholds["3d"].is_null());
    QVERIFY(json["direction_1d"] == (nlohmann::json{0, 1, 0}));
    QCOMPARE(label("threshold1d"),
             QString::asprintf("%.4f v.u. along [0 1 0]", thresholds["1d"].get<double>()));
    QCOMPARE(label("threshold2d"), QStringLiteral("none"));
    QCOMPARE(label("threshold3d"), QStringLiteral("none"));
    // The status bar has the engine's line with the same numbers.
    QVERIFY(m_frame->statusBar()->currentMessage().contains(
        QString::asprintf("1D %.4f along [0 1 0]", thresholds["1d"].get<double>())));
    // The outline starts at the lowest threshold, to the slider's thousandth.
    QVERIFY(std::fabs(window()->Canvas()->Threshold() - thresholds["1d"].get<double>()) <= 5e-4);
    QCOMPARE(label("thresholdText"),
             QString::asprintf("%.3f v.u.", window()->Canvas()->Threshold()));
    // Across c, where the path along b lies in the slices; through Li1 at the origin.
    QCOMPARE(window()->Canvas()->Axis(), 2);
    QCOMPARE(window()->Canvas()->Index(), 0);
    QCOMPARE(window()->Summary().removed, std::vector<std::string>{"Li1"});
    // The button of a dimension without a threshold leaves the outline where it is.
    const double before = window()->Canvas()->Threshold();
    QTest::mouseClick(window()->findChild<QPushButton*>("show2D"), Qt::LeftButton);
    QCOMPARE(window()->Canvas()->Threshold(), before);
}

void LandscapeViewTest::slidersAndAxisChangeTheSliceAndThePictureIsExported() {
    CLandscapeCanvas* canvas = window()->Canvas();
    window()->resize(900, 600);
    QApplication::processEvents();
    const QImage first = canvas->Picture();
    test::checkNotBlank(first, 1.0 / 3);
    if (const QByteArray folder = qgetenv("KESTRIN_SCREENSHOTS"); !folder.isEmpty())
        QVERIFY(window()->grab().save(QString::fromLocal8Bit(folder) + "/kestrin-landscape.png"));

    // Another point of the slider, another slice and another picture.
    auto* slice = window()->findChild<QSlider*>("slicePosition");
    QCOMPARE(slice->maximum(), 46);  // 47 points along c
    const int start = slice->value();
    slice->setValue((start + 12) % 47);
    QCOMPARE(canvas->Index(), (start + 12) % 47);
    QVERIFY(canvas->Picture() != first);
    // A higher threshold outlines more: another picture again.
    const QImage sliceMoved = canvas->Picture();
    auto* threshold = window()->findChild<QSlider*>("thresholdSlider");
    threshold->setValue(threshold->value() + 200);
    QVERIFY(std::fabs(canvas->Threshold() - threshold->value() * 0.001) < 1e-9);
    QVERIFY(canvas->Picture() != sliceMoved);

    // Across a: 104 points; the slider follows, and the picture keeps the cell's shape (b by c).
    auto* axis = window()->findChild<QComboBox*>("sliceAxis");
    axis->setCurrentIndex(0);
    QCOMPARE(canvas->Axis(), 0);
    QCOMPARE(slice->maximum(), 103);
    test::checkNotBlank(canvas->Picture(), 1.0 / 3);

    const fs::path picture = work("slice.png");
    QVERIFY(window()->ExportPicture(picture));
    QImage saved(QString::fromStdString(picture.string()));
    QCOMPARE(saved.size(), canvas->Picture().size());
    QVERIFY(!window()->ExportPicture(work("no folder") / "slice.png"));
    QCOMPARE(m_messages.size(), qsizetype{1});
}

void LandscapeViewTest::failedRunShowsTheEnginesLinesAndLeavesNoOldLandscape() {
    // A landscape left from before must not pass for the failed run's.
    QVERIFY(fs::exists(work("Tarnell.cube")));
    // The real engine: an ion without parameters, and one it cannot read (its usage, no prompt).
    runLandscape(QStringLiteral("Q+"));
    QCOMPARE(m_messages, QStringList{"  Tarnell found no landscape of Q+ (status 1) !!!\n\n"
                                     "Error !!! No bond valence parameters for Q+ – O2-.\n"});
    runLandscape(QStringLiteral("li+"));
    QCOMPARE(m_messages.size(), qsizetype{1});
    QVERIFY2(m_messages[0].startsWith("  Tarnell found no landscape of li+ (status 255) !!!\n\n"
                                      "Invalid usage !!!\n"),
             qPrintable(m_messages[0]));
    QVERIFY(!m_messages[0].contains("Ok?"));
    QVERIFY(!fs::exists(work("Tarnell.cube")) && !fs::exists(work("Tarnell-landscape.json")));

    // A failure the engine words itself, and one that leaves no cube behind.
    const std::pair<std::string, QString> engines[] = {
        {"echo '  Error !!! Output file Tarnell.cube cannot be written.'\nexit 1\n",
         "  Tarnell found no landscape of Li+ (status 1) !!!\n\n"
         "Error !!! Output file Tarnell.cube cannot be written.\n"},
        {"echo '  Landscape of Li+'\n", "  Tarnell wrote no landscape " +
                                            QString::fromStdString(work("Tarnell.cube").string()) +
                                            " !!!\n\nLandscape of Li+\n"},
        {"echo x > Tarnell.cube\necho '{}' > Tarnell-landscape.json\n",
         "  no cube file: its third line is not the atom count and origin !!!\n"},
    };
    for (const auto& [script, message] : engines) {
        test::writeTextFile(work("Tarnell"), "#!/bin/sh\n" + script);
        runLandscape(QStringLiteral("Li+"));
        QCOMPARE(m_messages, QStringList{message});
    }
}

}  // namespace tarnell

QTEST_MAIN(tarnell::LandscapeViewTest)
#include "landscape_view_test.moc"
