#include "frontend/main_frame.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "frontend/about_dialog.h"
#include "frontend/kestrin_view.h"
#include "frontend/path_text.h"
#include "frontend/results_window.h"
#include "frontend/structure_view.h"

namespace tarnell {
namespace {

// The lock keys' bits in the key state that X11 reports with every key event.
constexpr quint32 X11CapsLock = 0x02;
constexpr quint32 X11NumLock = 0x10;
// As many as the profile has always kept.
constexpr int RecentFileCount = 4;

}  // namespace

CMainFrame::CMainFrame(const std::filesystem::path& workDir, MessageSink showMessage,
                       std::function<bool(const std::string&)> askQuestion)
    : m_readsLockKeys(QGuiApplication::platformName() == QLatin1String("xcb")) {
    setWindowIcon(QIcon(QStringLiteral(":/icons/kestrin.xpm")));

    MessageSink messages = showMessage;
    m_view = new CKestrinView(workDir, std::move(showMessage), this, std::move(askQuestion));
    setCentralWidget(m_view);
    CreateCommands();
    CreateStatusBar();
    CreateStructureView(std::move(messages));

    connect(m_view, &CKestrinView::commandsChanged, this, &CMainFrame::EnableCommands);
    connect(m_view, &CKestrinView::statusMessage, statusBar(),
            [this](const QString& text, int timeout) { statusBar()->showMessage(text, timeout); });
    connect(m_view, &CKestrinView::fileUsed, this, &CMainFrame::RememberFile);
    EnableCommands();
    ShowRecentFiles();
    // As large as the form and the view want, within the screen.
    if (screen()) resize(sizeHint().boundedTo(screen()->availableGeometry().size()));
    setAcceptDrops(true);
    if (m_readsLockKeys) qApp->installEventFilter(this);
}

QAction* CMainFrame::AddCommand(const char* id, const char* text, const char* prompt,
                                const char* icon) {
    auto* action = new QAction(QString::fromLatin1(text), this);
    action->setObjectName(QString::fromLatin1(id));
    // The prompt is the status bar's text, then after a line break the tool tip.
    const QStringList parts = QString::fromLatin1(prompt).split(QLatin1Char('\n'));
    action->setStatusTip(parts.value(0));
    action->setToolTip(parts.value(1));
    if (icon) action->setIcon(QIcon(QStringLiteral(":/icons/%1.xpm").arg(QLatin1String(icon))));
    return action;
}

void CMainFrame::CreateCommands() {
    QAction* fileNew = AddCommand("ID_FILE_NEW", "New(&N)", "Open new file\nNew file", "new");
    fileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    QAction* fileOpen = AddCommand("ID_FILE_OPEN", "Open(&O)...", "Open data file\nOpen", "open");
    fileOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* saveAs = AddCommand("ID_FILE_SAVE_AS", "Save as (&A)...",
                                 "Save file as new name\nSave as", "save_as");
    QAction* saveStructureAs =
        AddCommand("ID_FILE_SAVE_STRUCTURE_AS", "Save Structure As(&T)...",
                   "Save the structure of the form as an input file or a CIF\nSave structure");
    saveStructureAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction* exit = AddCommand("ID_APP_EXIT", "Exit(&X)", "Exit application\nExit", "exit");
    QAction* calculation = AddCommand("ID_EXECUTE_CALCULATION", "Calculation(&C)",
                                      "Calculate bond valence sum\nCalculate", "calculation");
    calculation->setShortcut(QKeySequence(Qt::Key_F5));
    QAction* landscape =
        AddCommand("ID_EXECUTE_LANDSCAPE", "Landscape(&L)...",
                   "Bond valence landscape of a mobile ion and its pathways\nLandscape");
    QAction* showResults = AddCommand("ID_VIEW_RESULTS", "Show Results(&R)",
                                      "Display calculation results\nShow results", "results");
    QAction* useAssigned =
        AddCommand("ID_USE_ASSIGNED_VALENCES", "Use assigned valences(&U)",
                   "Write the valences assigned by bond valence into the Valence column\n"
                   "Use assigned valences");
    QAction* helpHtml = AddCommand("ID_HELP_HTML", "Help by HTML (&H)",
                                   "Help documennt written by html file\nHelp by HTML");
    helpHtml->setShortcut(QKeySequence(Qt::Key_F1));
    QAction* about = AddCommand("ID_APP_ABOUT", "Kestrin Version(&A)...",
                                "show Kestrin version\nKestrin Version", "version");
    QAction* statusBarShown =
        AddCommand("ID_VIEW_STATUS_BAR", "Status bar(&S)",
                   "Show/hide status bar\nShow/hide status bar\nOn/off tool bar");
    statusBarShown->setCheckable(true);
    statusBarShown->setChecked(true);

    connect(fileNew, &QAction::triggered, m_view, &CKestrinView::OnFileNew);
    connect(fileOpen, &QAction::triggered, m_view, &CKestrinView::OnFileOpen);
    connect(saveAs, &QAction::triggered, m_view, &CKestrinView::OnFileSaveAs);
    connect(saveStructureAs, &QAction::triggered, m_view, &CKestrinView::OnFileSaveStructureAs);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(calculation, &QAction::triggered, m_view, &CKestrinView::OnCalculation);
    connect(landscape, &QAction::triggered, m_view, &CKestrinView::OnLandscape);
    auto enableLandscape = [this, landscape] { landscape->setEnabled(m_view->CanCalculate()); };
    connect(m_view, &CKestrinView::commandsChanged, landscape, enableLandscape);
    enableLandscape();
    connect(showResults, &QAction::triggered, m_view, &CKestrinView::OnShowResults);
    connect(useAssigned, &QAction::triggered, m_view, &CKestrinView::OnUseAssignedValences);
    connect(helpHtml, &QAction::triggered, m_view, &CKestrinView::OnHelpHtml);
    connect(about, &QAction::triggered, this, &CMainFrame::OnAppAbout);
    connect(statusBarShown, &QAction::toggled, this,
            [this](bool shown) { statusBar()->setVisible(shown); });
    m_saveAs = saveAs;
    m_calculation = calculation;
    m_showResults = showResults;
    m_useAssigned = useAssigned;
    m_saveStructureAs = saveStructureAs;
    for (int i = 0; i < RecentFileCount; ++i) {
        auto* recent = new QAction(this);
        recent->setObjectName(QStringLiteral("ID_FILE_MRU_FILE%1").arg(i + 1));
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this,
                [this, recent] { m_view->OpenFile(pathOf(recent->data().toString())); });
        m_recentFiles << recent;
    }

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->addActions({fileNew, fileOpen, saveAs});
    m_toolBar->addSeparator();
    m_toolBar->addAction(calculation);
    m_toolBar->addSeparator();
    m_toolBar->addAction(showResults);
    m_toolBar->addSeparator();
    m_toolBar->addAction(about);
    m_toolBar->addSeparator();
    m_toolBar->addAction(exit);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    QAction* toolBarShown = m_toolBar->toggleViewAction();
    toolBarShown->setText(QStringLiteral("Tool bar(&T)"));
    toolBarShown->setObjectName(QStringLiteral("ID_VIEW_TOOLBAR"));
    toolBarShown->setStatusTip(QStringLiteral("Show/hide tool bar"));
    toolBarShown->setToolTip(QStringLiteral("On/off tool bar"));

    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("File(&F)"));
    fileMenu->addActions({fileNew, fileOpen, saveAs, saveStructureAs});
    fileMenu->addSeparator();
    fileMenu->addActions(m_recentFiles);
    m_recentSeparator = fileMenu->addSeparator();
    fileMenu->addAction(exit);
    menuBar()
        ->addMenu(QStringLiteral("Execute(&E)"))
        ->addActions({calculation, landscape, useAssigned});
    menuBar()
        ->addMenu(QStringLiteral("View(&V)"))
        ->addActions({showResults, toolBarShown, statusBarShown});
    menuBar()->addMenu(QStringLiteral("Help(&H)"))->addActions({helpHtml, about});
}

void CMainFrame::CreateStructureView(MessageSink showMessage) {
    m_structureView = new CStructureView(std::move(showMessage));
    auto* dock = new QDockWidget(QStringLiteral("Structure"), this);
    dock->setObjectName(QStringLiteral("structureDock"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(m_structureView);
    addDockWidget(Qt::RightDockWidgetArea, dock);

    // One site chosen anywhere is the site chosen everywhere: the form's row, the summary's row,
    // the atoms drawn highlighted and the bonds listed.
    // The structure as soon as it is opened; its bonds and polyhedra once it is calculated.
    auto show = [this] {
        const bool calculated = !m_view->Result().sites.empty();
        m_structureView->ShowResult(calculated ? m_view->Result() : m_view->Uncalculated());
    };
    connect(m_view, &CKestrinView::resultChanged, this, show);
    connect(m_view, &CKestrinView::structureChanged, this, show);
    connect(m_structureView, &CStructureView::sitePicked, this, [this](int site) {
        m_view->SelectSiteRow(site);
        const std::vector<ResultSite>& sites = m_view->Result().sites;
        const bool known = site >= 0 && site < static_cast<int>(sites.size());
        m_view->ResultsWindow()->SelectSite(
            known ? QString::fromStdString(sites[static_cast<std::size_t>(site)].label)
                  : QString());
    });
    connect(m_view, &CKestrinView::siteRowChosen, this, [this](int row) {
        const std::vector<ResultSite>& sites = m_view->Result().sites;
        const bool known = row >= 0 && row < static_cast<int>(sites.size());
        m_structureView->SelectSite(known ? row : -1);
        m_view->ResultsWindow()->SelectSite(
            known ? QString::fromStdString(sites[static_cast<std::size_t>(row)].label) : QString());
    });
}

void CMainFrame::CreateStatusBar() {
    // The idle text; a command's prompt covers it while the command is highlighted.
    auto* idle = new QLabel(QStringLiteral(u"ﾚﾃﾞｨ"));
    idle->setIndent(2);
    statusBar()->addWidget(idle, 1);
    auto indicator = [this](const QString& text) {
        auto* pane = new QLabel(text);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->sizeHint().width() + 8);
        pane->setEnabled(false);  // shown greyed while its key is off or cannot be known
        statusBar()->addPermanentWidget(pane);
        return pane;
    };
    indicator(QStringLiteral(u"ｶﾅ"));
    m_capsIndicator = indicator(QStringLiteral("CAP"));
    m_numIndicator = indicator(QStringLiteral("NUM"));
    indicator(QStringLiteral("SCRL"));
}

void CMainFrame::EnableCommands() {
    // A report is saved or shown only while it belongs to the form: never one of an earlier
    // structure.
    m_saveAs->setEnabled(m_view->HasReport());
    m_showResults->setEnabled(m_view->HasReport());
    m_useAssigned->setEnabled(m_view->HasAssignedValences());
    m_calculation->setEnabled(m_view->CanCalculate());
    m_saveStructureAs->setEnabled(m_view->CanCalculate() || m_view->IsModified());
}

void CMainFrame::RememberFile(const QString& file) {
    QSettings profile;
    QStringList files = profile.value(QStringLiteral("Recent File List")).toStringList();
    files.removeAll(file);
    files.prepend(file);
    while (files.size() > RecentFileCount) files.removeLast();
    profile.setValue(QStringLiteral("Recent File List"), files);
    ShowRecentFiles();
}

void CMainFrame::ShowRecentFiles() {
    const QStringList files = QSettings().value(QStringLiteral("Recent File List")).toStringList();
    for (int i = 0; i < m_recentFiles.size(); ++i) {
        QAction* recent = m_recentFiles[i];
        recent->setVisible(i < files.size());
        if (i >= files.size()) continue;
        QString shown = files[i];
        shown.replace(QLatin1Char('&'), QLatin1String("&&"));
        recent->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        recent->setData(files[i]);
        recent->setStatusTip(QStringLiteral("Open ") + files[i]);
    }
    m_recentSeparator->setVisible(!files.isEmpty());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_view->ConfirmDiscard()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    // After the drop has ended: the drag's source waits for it, and a message box or a
    // question about the file must not hold it up.
    const QString file = urls.first().toLocalFile();
    QTimer::singleShot(0, m_view, [this, file] { m_view->OpenFile(pathOf(file)); });
}

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // A key event carries the state from before it. A lock key's press always turns its
        // lock over, while its release may or may not, so a lock key's own state is taken at
        // its press alone.
        auto follow = [key](QLabel* indicator, int lockKey, quint32 bit) {
            const bool on = key->nativeModifiers() & bit;
            if (key->key() != lockKey) {
                indicator->setEnabled(on);
            } else if (key->type() == QEvent::KeyPress && !key->isAutoRepeat()) {
                indicator->setEnabled(!on);
            }
        };
        follow(m_capsIndicator, Qt::Key_CapsLock, X11CapsLock);
        follow(m_numIndicator, Qt::Key_NumLock, X11NumLock);
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tarnell
