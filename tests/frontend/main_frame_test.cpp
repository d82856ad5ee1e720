// Kestrin's window: the commands that a structure enables, New from every place it is offered,
// and the fixed size.
#include "frontend/main_frame.h"

#include <QAction>
#include <QTest>
#include <QToolBar>

#include "frontend/kestrin_view.h"
#include "frontend/kestrin_app.h"
#include "tests/frontend/kestrin_test_support.h"

namespace tarnell {

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(); }  // numbers in the C format, as in Kestrin
    void init();
    void cleanup() { m_frame.reset(); }
    void commandsThatNeedAStructureFollowTheLoadedFlag();
    void windowKeepsTheFormSizeWithBarsShownOrHidden();

private:
    QAction* command(const char* id) const { return m_frame->findChild<QAction*>(id); }
    QToolBar* toolBar() const { return m_frame->findChild<QToolBar*>(); }
    // How many of Save as, Calculation and Show Results are enabled, in the menu and on the
    // tool bar: 0 or 6.
    int loadedCommandsEnabled() const {
        int enabled = 0;
        for (const char* id : {"ID_FILE_SAVE_AS", "ID_EXECUTE_CALCULATION", "ID_VIEW_RESULTS"}) {
            enabled +=
                command(id)->isEnabled() + toolBar()->widgetForAction(command(id))->isEnabled();
        }
        return enabled;
    }
    void load() {
        QVERIFY(m_frame->View()->LoadStructure(test::sampleStructure(2), "/data/NaCl.inp"));
    }

    test::WorkDir m_dir;
    std::unique_ptr<CMainFrame> m_frame;
};

void MainFrameTest::init() {
    m_frame = std::make_unique<CMainFrame>(m_dir.path(), [](const std::string&) {});
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
}

void MainFrameTest::commandsThatNeedAStructureFollowTheLoadedFlag() {
    QCOMPARE(loadedCommandsEnabled(), 0);
    load();
    QCOMPARE(loadedCommandsEnabled(), 6);
    const QString caption = QStringLiteral("Kestrin --- [File Name : /data/NaCl.inp ]");
    QCOMPARE(m_frame->windowTitle(), caption);

    // New by its key and by its tool bar button; the caption stays.
    QTest::keyClick(m_frame.get(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(loadedCommandsEnabled(), 0);
    QCOMPARE(m_frame->windowTitle(), caption);
    load();
    QTest::mouseClick(toolBar()->widgetForAction(command("ID_FILE_NEW")), Qt::LeftButton);
    QCOMPARE(loadedCommandsEnabled(), 0);
}

void MainFrameTest::windowKeepsTheFormSizeWithBarsShownOrHidden() {
    QCOMPARE(m_frame->minimumSize(), m_frame->maximumSize());
    QVERIFY(!(m_frame->windowFlags() & Qt::WindowMaximizeButtonHint));
    const QSize full = m_frame->size();

    command("ID_VIEW_TOOLBAR")->trigger();
    QVERIFY(!command("ID_VIEW_TOOLBAR")->isChecked());
    QVERIFY(!toolBar()->isVisible());
    QTRY_VERIFY(m_frame->height() < full.height());
    command("ID_VIEW_TOOLBAR")->trigger();
    QVERIFY(toolBar()->isVisible());
    QTRY_COMPARE(m_frame->size(), full);
}

}  // namespace tarnell

QTEST_MAIN(tarnell::MainFrameTest)
#include "main_frame_test.moc"
