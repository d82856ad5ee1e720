#include "frontend/kestrin_view.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <span>
#include <system_error>

#include "frontend/dialog_units.h"
#include "frontend/grid_list_ctrl.h"
#include "settings/text.h"
#include "settings/wording.h"

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
// The site grid shows twice the rows a structure can hold; those past MaxSites stay greyed, so
// that the form never holds more sites than the record.
constexpr int SiteRowCount = 160;

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

// The number at the start of a text, after blanks, as a formatted scan reads it: "0.25(3)"
// gives 0.25. A text that does not begin with a number, or one out of range, leaves the value
// as it was. Always read with a decimal point, whatever the desktop's locale.
template <typename Number>
void scanLeadingNumber(const QString& text, Number& value) {
    const std::string bytes = text.toStdString();
    const char* first = bytes.data();
    const char* last = first + bytes.size();
    while (first != last && std::isspace(static_cast<unsigned char>(*first))) ++first;
    if (first != last && *first == '+') ++first;
    Number number{};
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end == first) return;
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(number)) return;
    }
    value = number;
}

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
                           QWidget* parent)
    : QWidget(parent), m_showMessage(std::move(showMessage)) {
    CreateControls();

    SetCaption(QString());
    m_workDir = workDir;
    m_settingsPath = m_workDir / "Tarnell.ini";
    m_inputPath = m_workDir / "Tarnell.$$$";
    m_outputPath = m_workDir / "Tarnell.out";
    m_lastFolder = m_workDir;
    SetLoaded(false);
    int keysRead = 0;
    readSettings(
        m_settingsPath, m_settings, [this](const std::string& message) { ShowMessage(message); },
        &keysRead);

    LayOutGrids();
    ShowConditions(keysRead);
}

CKestrinView::~CKestrinView() {
    std::error_code ignored;
    std::filesystem::remove(m_inputPath, ignored);
}

void CKestrinView::CreateControls() {
    setFont(formFont());
    const DialogUnits units = dialogUnitsOf(font());
    setFixedSize(units.toPixels(FormBox.x, FormBox.y, FormBox.width, FormBox.height).size());
    auto pixels = [&](Box box) { return units.toPixels(box.x, box.y, box.width, box.height); };

    // Group boxes first, so that every control lies above them.
    for (const auto& [text, box] : {std::pair{"Crystal data", Box{3, 1, 98, 148}},
                                    std::pair{"Atomic coordinates", Box{106, 1, 260, 149}},
                                    std::pair{"Conditions", Box{3, 150, 363, 40}}}) {
        auto* group = new QGroupBox(QString::fromLatin1(text), this);
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
    m_siteList->SetEditableRowCount(MaxSites);
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
    ClearForm();
    FillForm();
    SetCaption(QString::fromStdU16String(file.u16string()));
    SetLoaded(true);
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
        m_siteList->SetCellText(i, 2, fromText(formatText("%-6.4lf", site.charge)));
        m_siteList->SetCellText(i, 3, fromText(formatText("%-6.5lf", site.g)));
        m_siteList->SetCellText(i, 4, fromText(formatText("%-6.5lf", site.x)));
        m_siteList->SetCellText(i, 5, fromText(formatText("%-6.5lf", site.y)));
        m_siteList->SetCellText(i, 6, fromText(formatText("%-6.5lf", site.z)));
        m_siteList->SetCellText(i, 7, fromText(formatText("%-4.2lf", site.dLimit)));
    }
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
    SetLoaded(false);
}

bool CKestrinView::ReadForm() {
    // Tool bar buttons and shortcuts leave the focus, and an open cell, where they were.
    m_latticeList->CommitCellEdit();
    m_siteList->CommitCellEdit();

    CrystalStructure structure = m_structure;
    Settings conditions = m_settings;
    structure.title = m_titleEdit->text().toStdString();
    structure.sgName = m_sgNameEdit->text().toStdString();
    scanLeadingNumber(m_sgNumberEdit->text(), structure.sgNumber);
    scanLeadingNumber(m_settingNumberEdit->text(), structure.sgSetting);

    scanLeadingNumber(m_bvBEdit->text(), conditions.bvB);
    scanLeadingNumber(m_dMaxEdit->text(), conditions.dMax);
    scanLeadingNumber(m_dMinEdit->text(), conditions.dMin);
    scanLeadingNumber(m_hMaxEdit->text(), conditions.hMax);
    scanLeadingNumber(m_hMinEdit->text(), conditions.hMin);

    for (int i = 0; i < 6; ++i) {
        scanLeadingNumber(m_latticeList->CellText(i, 1), structure.cell[i]);
        scanLeadingNumber(m_latticeList->CellText(i, 2), structure.cellSigma[i]);
    }

    std::vector<Site> sites;
    for (int row = 0; row < m_siteList->rowCount(); ++row) {
        std::string name = trimBlanks(m_siteList->CellText(row, 1).toStdString());
        if (name.empty()) break;
        if (row == MaxSites) {
            ShowMessage(formatText(FrontEndWording.speciesExceeds, MaxSites));
            return false;
        }
        // A row typed below the sites that were read starts from no uncertainties, full
        // occupancy and the distance limit of the conditions.
        Site site;
        if (row < structure.siteCount()) {
            site = structure.sites[row];
        } else {
            site.dLimit = conditions.dMax;
        }
        site.name = std::move(name);
        scanLeadingNumber(m_siteList->CellText(row, 2), site.charge);
        scanLeadingNumber(m_siteList->CellText(row, 3), site.g);
        scanLeadingNumber(m_siteList->CellText(row, 4), site.x);
        scanLeadingNumber(m_siteList->CellText(row, 5), site.y);
        scanLeadingNumber(m_siteList->CellText(row, 6), site.z);
        scanLeadingNumber(m_siteList->CellText(row, 7), site.dLimit);
        sites.push_back(std::move(site));
    }
    structure.sites = std::move(sites);
    m_structure = std::move(structure);
    m_settings = conditions;
    return true;
}

void CKestrinView::OnFileNew() {
    ClearForm();
}

void CKestrinView::SetLoaded(bool loaded) {
    m_loaded = loaded;
    emit loadedChanged(m_loaded);
}

void CKestrinView::SetCaption(const QString& fileName) {
    if (fileName.isEmpty()) {
        window()->setWindowTitle(QStringLiteral("Kestrin --- [File Name : ]  "));
        return;
    }
    // A caption takes "[*]" for a mark of unsaved changes; doubled, it stands for itself.
    QString shown = fileName;
    shown.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
    window()->setWindowTitle(QStringLiteral("Kestrin --- [File Name : ") + shown +
                             QStringLiteral(" ]"));
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

}  // namespace tarnell
