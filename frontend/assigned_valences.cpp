// The valences that the engine assigned by bond valence, written into the form's Valence column
// on the user's word: an edit like any other, undone by reloading the file.
#include "frontend/grid_list_ctrl.h"
#include "frontend/kestrin_view.h"
#include "settings/text.h"

namespace tarnell {

bool CKestrinView::HasAssignedValences() const {
    if (!m_hasReport) return false;
    for (const ResultSummarySite& site : m_result.summary) {
        if (site.valenceSource && *site.valenceSource == "assigned") return true;
    }
    return false;
}

void CKestrinView::OnUseAssignedValences() {
    if (!HasAssignedValences()) return;
    bool written = false;
    for (const ResultSummarySite& site : m_result.summary) {
        if (!site.valenceSource || *site.valenceSource != "assigned") continue;
        const QString label = QString::fromStdString(site.site);
        for (int row = 0; row < m_siteList->rowCount(); ++row) {
            if (m_siteList->CellText(row, 1).trimmed() != label) continue;
            m_siteList->SetCellText(row, 2,
                                    QString::fromStdString(formatText("%-6.4lf", site.valence)));
            written = true;
            break;
        }
    }
    if (written) SetModified(true);
}

}  // namespace tarnell
