#include "frontend/kestrin_view.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <span>
#include <system_error>

#include "frontend/dialog_units.h"
#include "frontend/grid_list_ctrl.h"
#include "frontend/results_window.h"
#include "frontend/structure_model.h"
#include "settings/text.h"
#include "structure/site_label.h"

namespace tarnell {
namespace {

// The form and its controls in dialog units: x, y, width, height.
struct Box {
    int x, y, width, height;
};
constexpr Box FormBox{0, 0, 372, 194};

struct GridColumn {
    const char* title;
    int width;  // pixels of the form font on a 96-dpi screen
};

constexpr GridColumn LatticeColumns[] = {{"Param.", 40}, {"Value", 60}, {"sigma", 55}};
constexpr const char* LatticeRowLabels[] = {"  a", "  b", "  c", "alpha", "beta", "gamma"};

constexpr GridColumn SiteColumns[] = {{"No.", 30},  {"Species", 50}, {"Valence", 50},
                                      {"   g", 60}, {"   x", 60},    {"   y", 60},
                                      {"   z", 60}, {"d max", 50}};
// The site grid shows at least this many rows, and grows to hold a structure's sites with
// SpareSiteRows empty rows below them to type more in; every row is editable.
constexpr int SiteRowCount = 160;
constexpr int SpareSiteRows = 80;

// The longest distance searched. A bond valence at 10 Å is below 1e-8 v.u. (r0 under 3 Å, b
// 0.37 Å), so nothing further changes a sum; and a sphere of 10 Å around an atom of any solid
// already holds several hundred neighbours, beyond the sixty a site's list takes. A larger limit
// can only fail, or make the engine search for nothing.
constexpr double MaxDistanceLimit = 10.0;

// A coordinate as read: five decimals where they give it back exactly, as a file holds it, and
// else every digit it has, so that reading the form back never moves an atom.
std::string coordinateText(double value) {
    const std::string fixed = formatText("%-6.5lf", value);
    if (std::stod(fixed) == value) return fixed;
    char digits[32];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    return error == std::errc() ? std::string(digits, end) : fixed;
}

QString fromText(const std::string& text) {
    return QString::fromStdString(text);
}

// Titles and labels come from files written on many systems: UTF-8 where the bytes are valid
// UTF-8, otherwise each byte as the Latin-1 character it stands for, so that nothing typed
// into a file turns into a replacement mark.
QString displayText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return text;
}

enum class CellValue { Number, Empty, NotNumber };

// The number a cell holds. What may follow it is what people write after a number: an
// uncertainty in brackets ("0.25(3)"), a sign ("2+"), and after a blank any note ("3.2 A").
// Anything else joined to it ("0,25", "1.2.3", "3x") makes the cell no number, so that the
// calculation never runs on a value the user did not type. Always read with a decimal point,
// whatever the desktop's locale.
template <typename Number>
CellValue readCellNumber(const QString& text, Number& value) {
    const std::string bytes = text.toStdString();
    const char* first = bytes.data();
    const char* last = first + bytes.size();
    while (first != last && std::isspace(static_cast<unsigned char>(*first))) ++first;
    if (first == last) return CellValue::Empty;
    if (*first == '+') ++first;
    Number number{};
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end == first) return CellValue::NotNumber;
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(number)) return CellValue::NotNumber;
    }
    if (end != last && *end == '(') {
        const char* close = end + 1;
        while (close != last && std::isdigit(static_cast<unsigned char>(*close))) ++close;
        if (close == end + 1 || close == last || *close != ')') return CellValue::NotNumber;
        end = close + 1;
    }
    if (end != last && (*end == '+' || *end == '-')) ++end;
    if (end != last && !std::isspace(static_cast<unsigned char>(*end))) return CellValue::NotNumber;
    value = number;
    return CellValue::Number;
}

bool holdsNoNumber(const QString& text, bool integer) {
    double real = 0;
    int whole = 0;
    return (integer ? readCellNumber(text, whole) : readCellNumber(text, real)) ==
           CellValue::NotNumber;
}

const QColor InvalidCell(255, 200, 200);
const QString InvalidTip = QStringLiteral("Not a number: Calculation refuses this cell");

// Shows the start of the text, as a freshly filled box should, rather than its end.
void setBoxText(QLineEdit* box, const QString& text) {
    box->setText(text);
    box->setCursorPosition(0);
}

void setUpColumns(CGridListCtrl* grid, std::span<const GridColumn> columns,
                  const DialogUnits& units) {
    grid->setColumnCount(static_cast<int>(columns.size()));
    for (int column = 0; column < static_cast<int>(columns.size()); ++column) {
        grid->setHorizontalHeaderItem(column, new QTableWidgetItem(columns[column].title));
        grid->setColumnWidth(column, units.scaledPixels(columns[column].width));
    }
}

void setUpRows(CGridListCtrl* grid, int headerHeight, int rowHeight, int rowCount) {
    grid->horizontalHeader()->setFixedHeight(headerHeight);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    grid->ResetRows(rowCount);
}

}  // namespace

CKestrinView::CKestrinView(const std::filesystem::path& workDir, MessageSink showMessage,
                           QWidget* parent, QuestionSink askQuestion)
    : QWidget(parent),
      m_showMessage(std::move(showMessage)),
      m_askQuestion(std::move(askQuestion)) {
    CreateControls();
    m_results = new CResultsWindow(this, m_showMessage);

    SetCaption(QString());
    m_workDir = workDir;
    m_settingsPath = m_workDir / "Tarnell.ini";
    m_inputPath = m_workDir / "Tarnell.$$$";
    m_outputPath = m_workDir / "Tarnell.out";
    m_jsonPath = m_workDir / "Tarnell.json";
    m_lastFolder = m_workDir;
    SetLoaded(false);
    int keysRead = 0;
    const Status read =
        readSettings(m_settingsPath, m_settings, SettingsReader::FrontEnd, &keysRead);
    if (!read.ok()) ShowMessage(read.text(Program::FrontEnd));

    LayOutGrids();
    ShowConditions(keysRead);

    for (QLineEdit* box : {m_titleEdit, m_sgNameEdit, m_sgNumberEdit, m_settingNumberEdit}) {
        connect(box, &QLineEdit::textEdited, this, [this, box] {
            MarkBox(box);
            SetModified(true);
        });
    }
    for (QLineEdit* box : {m_bvBEdit, m_dMinEdit, m_dMaxEdit, m_hMinEdit, m_hMaxEdit}) {
        connect(box, &QLineEdit::textChanged, this, [this, box] { MarkBox(box); });
    }
    for (CGridListCtrl* grid : {m_latticeList, m_siteList}) {
        connect(grid, &CGridListCtrl::cellCommitted, this,
                [this, grid](int row, int column) { OnCellCommitted(grid, row, column); });
    }
    connect(m_applyDMaxButton, &QPushButton::clicked, this, &CKestrinView::OnApplyDMax);
    connect(m_siteList, &QTableWidget::currentCellChanged, this, [this](int row) {
        const bool named = row >= 0 && !m_siteList->CellText(row, 1).trimmed().isEmpty();
        emit siteRowChosen(named ? row : -1);
    });
    connect(m_results, &CResultsWindow::siteChosen, this, [this](const QString& label) {
        const int row = m_result.siteIndex(label.toStdString());
        SelectSiteRow(row);
        emit siteRowChosen(row);
    });
}

CKestrinView::~CKestrinView() {
    std::error_code ignored;
    std::filesystem::remove(m_inputPath, ignored);
}

void CKestrinView::CreateControls() {
    setFont(formFont());
    const DialogUnits units = dialogUnitsOf(font());
    setMinimumSize(units.toPixels(FormBox.x, FormBox.y, FormBox.width, FormBox.height).size());
    resize(minimumSize());
    auto pixels = [&](Box box) { return units.toPixels(box.x, box.y, box.width, box.height); };

    // Group boxes first, so that every control lies above them.
    for (const auto& [text, id, box] :
         {std::tuple{"Crystal data", "groupCrystalData", Box{3, 1, 98, 148}},
          std::tuple{"Atomic coordinates", "groupAtomicCoordinates", Box{106, 1, 260, 149}},
          std::tuple{"Conditions", "groupConditions", Box{3, 150, 363, 40}}}) {
        auto* group = new QGroupBox(QString::fromLatin1(text), this);
        group->setObjectName(QString::fromLatin1(id));
        group->setGeometry(pixels(box));
    }

    // A label never clips its text: where the font in use is wider than the template's, the
    // label grows, and the box it names gives up room on its left.
    auto label = [&](const char* text, Box box, QLineEdit* buddy = nullptr) {
        auto* caption = new QLabel(QString::fromLatin1(text), this);
        caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QRect rect = pixels(box);
        rect.setWidth(std::max(rect.width(), caption->sizeHint().width()));
        rect.setHeight(std::max(rect.height(), caption->sizeHint().height()));
        caption->setGeometry(rect);
        if (buddy) {
            caption->setBuddy(buddy);
            const int gap = std::max(units.baseX / 2, buddy->x() - pixels(box).right() - 1);
            QRect field = buddy->geometry();
            if (field.left() < rect.right() + 1 + gap) field.setLeft(rect.right() + 1 + gap);
            buddy->setGeometry(field);
        }
    };
    auto edit = [&](const char* id, Box box) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(id));
        field->setGeometry(pixels(box));
        return field;
    };
    auto grid = [&](const char* id, Box box) {
        auto* list = new CGridListCtrl(this);
        list->setObjectName(QString::fromLatin1(id));
        list->setGeometry(pixels(box));
        return list;
    };

    // Controls in the order of their identifiers, which is also the tab order.
    m_titleEdit = edit("IDC_TITLE", {26, 13, 55, 10});
    m_sgNameEdit = edit("IDC_SG_NAME", {33, 34, 48, 10});
    m_sgNumberEdit = edit("IDC_SG_NUMBER", {48, 45, 33, 10});
    m_settingNumberEdit = edit("IDC_SETTING_NUMBER", {48, 55, 33, 10});
    m_latticeList = grid("IDC_LATTICE_LIST", {7, 79, 91, 65});
    m_siteList = grid("IDC_SITE_LIST", {110, 11, 252, 133});
    m_bvBEdit = edit("IDC_BV_B", {31, 172, 34, 10});
    m_dMinEdit = edit("IDC_DMIN", {182, 163, 34, 10});
    m_dMaxEdit = edit("IDC_DMAX", {182, 174, 34, 10});
    m_hMinEdit = edit("IDC_HMIN", {305, 162, 34, 10});
    m_hMaxEdit = edit("IDC_HMAX", {305, 174, 34, 10});

    // In the free room left of the distance limit, below the label of parameter B.
    m_applyDMaxButton = new QPushButton(QStringLiteral("Apply D-max\nto all sites"), this);
    m_applyDMaxButton->setObjectName(QStringLiteral("applyDMax"));
    m_applyDMaxButton->setGeometry(pixels({70, 171, 50, 17}));
    m_applyDMaxButton->setToolTip(
        QStringLiteral("Copies Distance limit Max into the d max of every site.\n"
                       "The box alone does not change the sites' own limits of a loaded file."));
    // A file dropped anywhere on the form opens it, rather than landing in a box as text.
    for (QLineEdit* box : findChildren<QLineEdit*>()) box->setAcceptDrops(false);

    label("Title", {7, 14, 16, 8}, m_titleEdit);
    label("Space group", {7, 24, 45, 9});
    label("SG name", {13, 37, 16, 8}, m_sgNameEdit);
    label("SG No.", {13, 47, 21, 8}, m_sgNumberEdit);
    label("Setting No.", {13, 57, 32, 8}, m_settingNumberEdit);
    label("Lattice parameters", {6, 69, 55, 8});
    label("Parameter B (usually 0.37)", {13, 161, 83, 10});
    label("Distance limit", {124, 169, 39, 9});
    label("Min", {166, 164, 16, 8}, m_dMinEdit);
    label("Max", {166, 174, 13, 7}, m_dMaxEdit);
    label("Search cell limit", {239, 169, 45, 8});
    label("Min", {287, 163, 14, 7}, m_hMinEdit);
    label("Max", {287, 174, 17, 7}, m_hMaxEdit);

    // The layout at the smallest size, from which a larger form grows.
    m_conditionsTop = pixels({3, 150, 1, 1}).top();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        m_layout.push_back({child, child->geometry()});
}

void CKestrinView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The site grid and its group take what the form gains; the conditions keep to the bottom.
    const int dx = std::max(0, width() - minimumWidth());
    const int dy = std::max(0, height() - minimumHeight());
    for (const auto& [child, base] : m_layout) {
        if (child == m_siteList || child->objectName() == QLatin1String("groupAtomicCoordinates")) {
            child->setGeometry(base.adjusted(0, 0, dx, dy));
        } else if (child->objectName() == QLatin1String("groupCrystalData")) {
            child->setGeometry(base.adjusted(0, 0, 0, dy));
        } else if (base.top() >= m_conditionsTop) {
            child->setGeometry(base.translated(0, dy));
        } else {
            child->setGeometry(base);
        }
    }
}

void CKestrinView::LayOutGrids() {
    const DialogUnits units = dialogUnitsOf(font());
    setUpColumns(m_latticeList, LatticeColumns, units);
    setUpColumns(m_siteList, SiteColumns, units);

    // Headers as tall as the style needs; rows as tight as a list's, the text's height and a
    // pixel above and below, but never so tall that the six lattice rows would not all show.
    const int latticeRows = static_cast<int>(std::size(LatticeRowLabels));
    const int headerHeight = m_latticeList->horizontalHeader()->sizeHint().height();
    const int latticeHeight = m_latticeList->height() - 2 * m_latticeList->frameWidth();
    const int rowHeight =
        std::min(QFontMetrics(font()).height() + 2, (latticeHeight - headerHeight) / latticeRows);

    setUpRows(m_latticeList, headerHeight, rowHeight, latticeRows);
    for (int row = 0; row < latticeRows; ++row) {
        m_latticeList->SetCellText(row, 0, QString::fromLatin1(LatticeRowLabels[row]));
    }
    setUpRows(m_siteList, headerHeight, rowHeight, SiteRowCount);
    m_latticeList->SetFirstTabColumn(1);
    m_siteList->SetFirstTabColumn(1);
    m_siteList->SetEditableRowCount(SiteRowCount);
}

void CKestrinView::FitSiteRows(int siteCount) {
    const int rows = std::max(SiteRowCount, siteCount + SpareSiteRows);
    if (rows == m_siteList->rowCount()) return;
    m_siteList->ResetRows(rows);
    m_siteList->SetEditableRowCount(rows);
}

// Conditions that the settings file did not give stay empty: an unset value would pass for one
// the user can trust.
void CKestrinView::ShowConditions(int keysRead) {
    auto show = [keysRead](QLineEdit* box, SettingsKey key, const std::string& text) {
        setBoxText(box, static_cast<int>(key) < keysRead ? fromText(text) : QString());
    };
    show(m_bvBEdit, SettingsKey::BvB, formatText("%5.3lf", m_settings.bvB));
    show(m_dMaxEdit, SettingsKey::DMax, formatText("%7.4lf", m_settings.dMax));
    show(m_dMinEdit, SettingsKey::DMin, formatText("%7.4lf", m_settings.dMin));
    show(m_hMaxEdit, SettingsKey::HMax, formatText("%2d", m_settings.hMax));
    show(m_hMinEdit, SettingsKey::HMin, formatText("%2d", m_settings.hMin));
}

bool CKestrinView::LoadStructure(const CrystalStructure& structure,
                                 const std::filesystem::path& file) {
    if (structure.siteCount() > MaxSites) return false;
    m_structure = structure;
    m_rowSigmas.clear();
    for (const Site& site : m_structure.sites) m_rowSigmas.push_back({site.sx, site.sy, site.sz});
    FitSiteRows(m_structure.siteCount());
    ClearForm();
    FillForm();
    SetCaption(QString::fromStdU16String(file.u16string()));
    SetLoaded(true);
    SetModified(false);
    SetHasReport(false);
    emit structureChanged();
    // The recent files must open again from any folder.
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(file, error).lexically_normal();
    emit fileUsed(QString::fromStdU16String((error ? file : absolute).u16string()));
    return true;
}

void CKestrinView::FillForm() {
    setBoxText(m_titleEdit, displayText(m_structure.title));
    setBoxText(m_sgNameEdit, displayText(m_structure.sgName));
    setBoxText(m_sgNumberEdit, fromText(formatText("%5d", m_structure.sgNumber)));
    setBoxText(m_settingNumberEdit, fromText(formatText("%5d", m_structure.sgSetting)));

    for (int i = 0; i < 6; ++i) {
        m_latticeList->SetCellText(i, 1, fromText(formatText("%8.5lf", m_structure.cell[i])));
        m_latticeList->SetCellText(i, 2, fromText(formatText("%8.5lf", m_structure.cellSigma[i])));
    }

    for (int i = 0; i < m_structure.siteCount(); ++i) {
        const Site& site = m_structure.sites[i];
        m_siteList->SetCellText(i, 0, fromText(formatText("%2d", i + 1)));
        m_siteList->SetCellText(i, 1, displayText(site.name));
        // The oxidation state, also of a mixed site whose charge is its share of it.
        m_siteList->SetCellText(i, 2, fromText(formatText("%-6.4lf", formalValence(site))));
        m_siteList->SetCellText(i, 3, fromText(coordinateText(site.g)));
        m_siteList->SetCellText(i, 4, fromText(coordinateText(site.x)));
        m_siteList->SetCellText(i, 5, fromText(coordinateText(site.y)));
        m_siteList->SetCellText(i, 6, fromText(coordinateText(site.z)));
        m_siteList->SetCellText(i, 7, fromText(formatText("%-4.2lf", site.dLimit)));
    }
    MarkBox(m_titleEdit);
    MarkBox(m_sgNameEdit);
}

void CKestrinView::ClearForm() {
    // A cell still open would otherwise put its old text back into the emptied form as soon
    // as it lost the focus.
    m_latticeList->EndCellEdit();
    m_siteList->EndCellEdit();

    for (QLineEdit* box : {m_titleEdit, m_sgNameEdit, m_sgNumberEdit, m_settingNumberEdit}) {
        box->clear();
    }
    for (int row = 0; row < m_latticeList->rowCount(); ++row) {
        m_latticeList->SetCellText(row, 1, QString());
        m_latticeList->SetCellText(row, 2, QString());
    }
    for (int row = 0; row < m_siteList->rowCount(); ++row) {
        for (int column = 0; column < m_siteList->columnCount(); ++column) {
            m_siteList->SetCellText(row, column, QString());
        }
    }
    for (CGridListCtrl* grid : {m_latticeList, m_siteList}) {
        for (int row = 0; row < grid->EditableRowCount() && row < grid->rowCount(); ++row) {
            for (int column = 0; column < grid->columnCount(); ++column) {
                MarkCell(grid, row, column);
            }
        }
        // Every load starts at the first row and the first column.
        grid->scrollToTop();
        grid->horizontalScrollBar()->setValue(0);
    }
    for (QLineEdit* box : {m_titleEdit, m_sgNameEdit, m_sgNumberEdit, m_settingNumberEdit}) {
        MarkBox(box);
    }
    SetLoaded(false);
}

void CKestrinView::FillFixedCell() {
    int number = 0;
    double a = 0;
    if (readCellNumber(m_sgNumberEdit->text(), number) != CellValue::Number ||
        readCellNumber(m_latticeList->CellText(0, 1), a) != CellValue::Number)
        return;
    // What the crystal system fixes, by group number: b = a (tetragonal and above), c = a
    // (cubic), and the angles of 90 or 120 degrees; monoclinic cells leave their angles, whose
    // unique axis the number does not tell.
    const QString edge = m_latticeList->CellText(0, 1).trimmed();
    const QString fixed[6] = {QString(),
                              number >= 75 ? edge : QString(),
                              number >= 195 ? edge : QString(),
                              number >= 16 ? QStringLiteral("90") : QString(),
                              number >= 16 ? QStringLiteral("90") : QString(),
                              number >= 143 && number <= 194 ? QStringLiteral("120")
                              : number >= 16                 ? QStringLiteral("90")
                                                             : QString()};
    for (int i = 1; i < 6; ++i) {
        if (fixed[i].isEmpty() || !m_latticeList->CellText(i, 1).trimmed().isEmpty()) continue;
        m_latticeList->SetCellText(i, 1, fixed[i]);
        MarkCell(m_latticeList, i, 1);
    }
}

bool CKestrinView::ReadForm() {
    // Tool bar buttons and shortcuts leave the focus, and an open cell, where they were.
    m_latticeList->CommitCellEdit();
    m_siteList->CommitCellEdit();
    FillFixedCell();

    // The first cell that cannot be read, and why; every later one waits for the next try.
    std::string refusal;
    auto take = [&refusal](const QString& text, auto& value, const std::string& name,
                           bool required) {
        if (!refusal.empty()) return;
        const CellValue read = readCellNumber(text, value);
        if (read == CellValue::NotNumber) {
            refusal = formatText("  %s holds \"%s\", which is not a number !!!\n", name.c_str(),
                                 text.toStdString().c_str());
        } else if (read == CellValue::Empty && required) {
            refusal = formatText("  %s is empty: it needs a number !!!\n", name.c_str());
        }
    };
    // The place of the first refusal, where the user goes on.
    std::function<void()> focusBad;
    auto takeBox = [&](QLineEdit* box, auto& value, const std::string& name, bool required) {
        const bool before = refusal.empty();
        take(box->text(), value, name, required);
        if (before && !refusal.empty()) focusBad = [box] { box->setFocus(Qt::OtherFocusReason); };
    };
    auto takeCell = [&](CGridListCtrl* grid, int row, int column, auto& value,
                        const std::string& name, bool required) {
        const bool before = refusal.empty();
        take(grid->CellText(row, column), value, name, required);
        if (before && !refusal.empty())
            focusBad = [this, grid, row, column] { FocusCell(grid, row, column); };
    };

    CrystalStructure structure = m_structure;
    Settings conditions = m_settings;
    structure.title = m_titleEdit->text().toStdString();
    structure.sgName = m_sgNameEdit->text().toStdString();
    takeBox(m_sgNumberEdit, structure.sgNumber, "SG No.", true);
    takeBox(m_settingNumberEdit, structure.sgSetting, "Setting No.", false);
    for (int i = 0; i < 6; ++i) {
        const std::string row = "Lattice parameters " + trimBlanks(LatticeRowLabels[i]);
        takeCell(m_latticeList, i, 1, structure.cell[i], row + ", Value", true);
        takeCell(m_latticeList, i, 2, structure.cellSigma[i], row + ", sigma", false);
    }

    std::vector<Site> sites;
    std::vector<std::size_t> limitsFromConditions;
    // The sites end at the first row without a Species; a named row below it would be lost.
    int siteRows = 0;
    while (siteRows < m_siteList->rowCount() &&
           !m_siteList->CellText(siteRows, 1).trimmed().isEmpty())
        ++siteRows;
    for (int row = siteRows + 1; row < m_siteList->EditableRowCount(); ++row) {
        if (m_siteList->CellText(row, 1).trimmed().isEmpty()) continue;
        ShowMessage(
            formatText("  Atomic coordinates row %d has no Species, but row %d below it "
                       "has one !!!\n  Name the site of row %d, or delete its row.\n",
                       siteRows + 1, row + 1, siteRows + 1));
        FocusCell(m_siteList, siteRows, 1);
        return false;
    }
    for (int row = 0; row < siteRows; ++row) {
        std::string name = trimBlanks(m_siteList->CellText(row, 1).toStdString());
        if (row == MaxSites) {
            ShowMessage(
                messageText(message(MessageId::SpeciesExceeds, MaxSites), Program::FrontEnd));
            return false;
        }
        // A row keeps what was read for it; one typed below the sites that were read starts
        // from full occupancy and the distance limit of the conditions.
        Site site;
        if (row < structure.siteCount()) site = structure.sites[row];
        const bool typedLimit = !m_siteList->CellText(row, 7).trimmed().isEmpty();
        if (row >= structure.siteCount() && !typedLimit)
            limitsFromConditions.push_back(sites.size());
        // The uncertainties are those the reader stored for this very row, whatever rows the
        // last calculation had.
        const std::array<double, 3> sigmas =
            row < static_cast<int>(m_rowSigmas.size()) ? m_rowSigmas[row] : std::array<double, 3>{};
        site.sx = sigmas[0];
        site.sy = sigmas[1];
        site.sz = sigmas[2];
        const std::string cell =
            formatText("Atomic coordinates row %d (%s), ", row + 1, name.c_str());
        site.name = std::move(name);
        site.element = elementOfLabel(site.name);
        double valence = formalValence(site);
        const char* columns[] = {"Valence", "g", "x", "y", "z", "d max"};
        double* values[] = {&valence, &site.g, &site.x, &site.y, &site.z, &site.dLimit};
        for (int c = 0; c < 6; ++c)
            takeCell(m_siteList, row, c + 2, *values[c], cell + columns[c], c >= 2 && c <= 4);
        // The Valence column holds the oxidation state; a mixed site read from a file keeps
        // carrying its share of it as its charge, as the reader gave it.
        if (site.valence != 0.0) {
            site.valence = valence;
            site.charge = site.g > 0.0 && site.g < 1.0 ? site.g * valence : valence;
        } else {
            site.charge = valence;
        }
        if (refusal.empty() && site.dLimit > MaxDistanceLimit) {
            refusal = formatText("  %sd max %g is above %g A !!!\n", cell.c_str(), site.dLimit,
                                 MaxDistanceLimit);
            focusBad = [this, row] { FocusCell(m_siteList, row, 7); };
        }
        sites.push_back(std::move(site));
    }

    takeBox(m_bvBEdit, conditions.bvB, "Parameter B", true);
    takeBox(m_dMinEdit, conditions.dMin, "Distance limit Min", true);
    takeBox(m_dMaxEdit, conditions.dMax, "Distance limit Max", true);
    takeBox(m_hMinEdit, conditions.hMin, "Search cell limit Min", true);
    takeBox(m_hMaxEdit, conditions.hMax, "Search cell limit Max", true);
    if (refusal.empty()) {
        if (const std::string limit = distanceLimitRefusal(conditions); !limit.empty()) {
            refusal = limit;
            focusBad = [this] { m_dMaxEdit->setFocus(Qt::OtherFocusReason); };
        }
    }
    if (!refusal.empty()) {
        ShowMessage(refusal);
        if (focusBad) focusBad();
        return false;
    }
    for (const std::size_t i : limitsFromConditions) sites[i].dLimit = conditions.dMax;
    structure.sites = std::move(sites);
    m_structure = std::move(structure);
    m_settings = conditions;
    return true;
}

std::string CKestrinView::distanceLimitRefusal(const Settings& conditions) {
    if (conditions.dMax > MaxDistanceLimit) {
        return formatText(
            "  Distance limit Max %g is above %g A !!!\n  Bonds end long before: a bond valence "
            "at %g A is below 1e-8 v.u.\n",
            conditions.dMax, MaxDistanceLimit, MaxDistanceLimit);
    }
    if (!(conditions.dMax > conditions.dMin)) {
        return formatText("  Distance limit Max %g must be above Min %g !!!\n", conditions.dMax,
                          conditions.dMin);
    }
    return {};
}

void CKestrinView::FocusCell(CGridListCtrl* grid, int row, int column) {
    grid->setCurrentCell(row, column);
    grid->scrollToItem(grid->item(row, column));
    grid->setFocus(Qt::OtherFocusReason);
}

double CKestrinView::DistanceLimitForNewFiles() const {
    // What the box shows is what a new file's sites get, once it is a limit the form would take.
    Settings conditions = m_settings;
    if (readCellNumber(m_dMaxEdit->text(), conditions.dMax) == CellValue::Number &&
        readCellNumber(m_dMinEdit->text(), conditions.dMin) != CellValue::NotNumber &&
        distanceLimitRefusal(conditions).empty())
        return conditions.dMax;
    return std::min(m_settings.dMax, MaxDistanceLimit);
}

EngineResult CKestrinView::Uncalculated() const {
    EngineResult preview;
    uncalculatedResult(m_structure, settingsFilePath(m_workDir, m_settings.spgraFile), preview);
    return preview;
}

void CKestrinView::SelectSiteRow(int row) {
    const QSignalBlocker quiet(m_siteList);
    if (row < 0) {
        m_siteList->clearSelection();
        return;
    }
    m_siteList->selectRow(row);
    m_siteList->scrollToItem(m_siteList->item(row, 0));
}

bool CKestrinView::CanCalculate() const {
    if (m_loaded) return true;
    int number = 0;
    if (readCellNumber(m_sgNumberEdit->text(), number) != CellValue::Number || number <= 0) {
        return false;
    }
    // The cell's edge a is enough: the rest is filled from the group, or refused by name.
    double a = 0;
    if (readCellNumber(m_latticeList->CellText(0, 1), a) != CellValue::Number) return false;
    return !m_siteList->CellText(0, 1).trimmed().isEmpty();
}

void CKestrinView::OnFileNew() {
    if (m_calculating || !ConfirmDiscard()) return;
    ClearForm();
    // What is typed next is a structure of its own: nothing of the last file's record, such as
    // its uncertainties, may slip into it.
    m_structure = CrystalStructure();
    m_rowSigmas.clear();
    SetCaption(QString());
    SetModified(false);
    SetHasReport(false);
    emit structureChanged();
}

void CKestrinView::OnApplyDMax() {
    double dMax = 0;
    if (readCellNumber(m_dMaxEdit->text(), dMax) != CellValue::Number) {
        ShowMessage(
            "  Distance limit Max needs a number before it can be applied to the sites !!!\n");
        return;
    }
    m_siteList->CommitCellEdit();
    const QString text = m_dMaxEdit->text().trimmed();
    bool changed = false;
    for (int row = 0; row < m_siteList->EditableRowCount(); ++row) {
        if (m_siteList->CellText(row, 1).trimmed().isEmpty()) continue;
        if (m_siteList->CellText(row, 7) == text) continue;
        m_siteList->SetCellText(row, 7, text);
        MarkCell(m_siteList, row, 7);
        changed = true;
    }
    if (changed) SetModified(true);
}

bool CKestrinView::ConfirmDiscard() {
    m_latticeList->CommitCellEdit();
    m_siteList->CommitCellEdit();
    if (!m_modified) return true;
    return AskQuestion(
        "The structure in the form has been edited and not saved.\n"
        "Discard the edits?");
}

void CKestrinView::SetLoaded(bool loaded) {
    m_loaded = loaded;
    emit loadedChanged(m_loaded);
    emit commandsChanged();
}

void CKestrinView::SetModified(bool modified) {
    m_modified = modified;
    window()->setWindowModified(modified);
    if (modified) m_results->MarkOutOfDate();
    emit commandsChanged();
}

void CKestrinView::SetHasReport(bool hasReport) {
    m_hasReport = hasReport;
    if (!hasReport) {
        m_results->Clear();
        m_result = EngineResult();
        emit resultChanged();
    }
    emit commandsChanged();
}

void CKestrinView::MarkCell(CGridListCtrl* grid, int row, int column) {
    QTableWidgetItem* cell = grid->item(row, column);
    if (!cell) return;
    const bool numeric = grid == m_latticeList ? column >= 1 : column >= 2;
    const bool invalid = numeric && holdsNoNumber(cell->text(), false);
    cell->setBackground(invalid ? QBrush(InvalidCell) : QBrush());
    cell->setToolTip(invalid ? InvalidTip : QString());
}

void CKestrinView::MarkBox(QLineEdit* box) {
    // The title and the group's name are often longer than their boxes.
    if (box == m_titleEdit || box == m_sgNameEdit) {
        box->setToolTip(box->text());
        return;
    }
    const bool integer = box == m_sgNumberEdit || box == m_settingNumberEdit || box == m_hMinEdit ||
                         box == m_hMaxEdit;
    const bool invalid = holdsNoNumber(box->text(), integer);
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, invalid ? InvalidCell : palette().color(QPalette::Base));
    box->setPalette(colours);
    box->setToolTip(invalid ? InvalidTip : QString());
}

void CKestrinView::OnCellCommitted(CGridListCtrl* grid, int row, int column) {
    MarkCell(grid, row, column);
    // Coordinates cleared mean a new site in that row: the uncertainties read for the old one
    // no longer belong to it.
    if (grid == m_siteList && column >= 4 && column <= 6 &&
        row < static_cast<int>(m_rowSigmas.size()) && grid->CellText(row, 4).trimmed().isEmpty() &&
        grid->CellText(row, 5).trimmed().isEmpty() && grid->CellText(row, 6).trimmed().isEmpty()) {
        m_rowSigmas[row] = {};
    }
    SetModified(true);
}

void CKestrinView::SetCaption(const QString& fileName) {
    m_fileName = fileName;
    // "[*]" at the end shows as "*" while the form holds edits that are not saved.
    if (fileName.isEmpty()) {
        window()->setWindowTitle(QStringLiteral("Kestrin --- [File Name : ]  [*]"));
        return;
    }
    // Within the name, "[*]" doubled stands for itself.
    QString shown = fileName;
    shown.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
    window()->setWindowTitle(QStringLiteral("Kestrin --- [File Name : ") + shown +
                             QStringLiteral(" ][*]"));
}

void CKestrinView::ShowMessage(const std::string& message) {
    if (m_showMessage) {
        m_showMessage(message);
        return;
    }
    // The messages end with a line break, which a message box would show as an empty line.
    QString text = displayText(message);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrin"), text, QMessageBox::Ok,
                    window());
    box.exec();
}

bool CKestrinView::AskQuestion(const std::string& question) {
    if (m_askQuestion) return m_askQuestion(question);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kestrin"),
                    QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No, window());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace tarnell
