#include "frontend/structure_view.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "frontend/path_text.h"
#include "frontend/picture_export.h"
#include "settings/text.h"

namespace tarnell {

CStructureView::CStructureView(MessageSink showMessage, QWidget* parent)
    : QWidget(parent), m_showMessage(std::move(showMessage)) {
    setObjectName(QStringLiteral("structureView"));
    m_canvas = new CStructureCanvas(this);
    m_caption = new QLabel(this);
    m_caption->setWordWrap(true);
    m_bonds = new QTableWidget(0, 3, this);
    m_bonds->setObjectName(QStringLiteral("bondsPanel"));
    m_bonds->setHorizontalHeaderLabels(
        {QStringLiteral("Neighbour"), QStringLiteral("d (Å)"), QStringLiteral("s (v.u.)")});
    m_bonds->verticalHeader()->hide();
    m_bonds->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_bonds->horizontalHeader()->setStretchLastSection(true);
    m_bonds->verticalHeader()->setDefaultSectionSize(m_bonds->fontMetrics().height() + 4);
    m_bonds->setMaximumHeight(8 * (m_bonds->fontMetrics().height() + 4));

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* id, const QString& text, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(id));
        b->setToolTip(tip);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    connect(button("viewReset", QStringLiteral("Reset"), QStringLiteral("The first view again")),
            &QPushButton::clicked, m_canvas, &CStructureCanvas::ResetView);
    const char* axes[] = {"a", "b", "c"};
    for (int axis = 0; axis < 3; ++axis) {
        const QString name = QString::fromLatin1(axes[axis]);
        connect(button(qPrintable(QStringLiteral("viewAlong") + name), name,
                       QStringLiteral("View along ") + name),
                &QPushButton::clicked, m_canvas, [this, axis] { m_canvas->ViewAlong(axis); });
    }
    buttons->addStretch(1);
    connect(button("exportPicture", QStringLiteral("Export picture..."),
                   QStringLiteral("Save the view as a PNG picture")),
            &QPushButton::clicked, this, &CStructureView::OnExportPicture);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(m_canvas, 1);
    layout->addWidget(m_caption);
    layout->addWidget(m_bonds);
    m_canvas->setToolTip(
        QStringLiteral("Drag to turn, wheel to zoom, click an atom to select its site"));
    connect(m_canvas, &CStructureCanvas::sitePicked, this, [this](int site) {
        ShowBonds(site);
        emit sitePicked(site);
    });
    ShowBonds(-1);
}

void CStructureView::ShowResult(const EngineResult& result) {
    m_canvas->ShowResult(result);
    ShowBonds(-1);
}

void CStructureView::SelectSite(int site) {
    m_canvas->SelectSite(site);
    ShowBonds(site);
}

void CStructureView::ShowBonds(int site) {
    const EngineResult& result = m_canvas->Result();
    m_bonds->setRowCount(0);
    if (site < 0 || site >= static_cast<int>(result.sites.size())) {
        m_caption->setText(QStringLiteral("Click an atom to see its bonds."));
        return;
    }
    const std::string& label = result.sites[static_cast<std::size_t>(site)].label;
    const ResultSummarySite* summary = result.summaryOf(label);
    QString caption = QString::fromStdString(label);
    if (summary && summary->bvs) {
        caption += QString::asprintf(": BVS %.3f, V %.2f, ΔV/V %+.1f %%", *summary->bvs,
                                     summary->valence, 100.0 * summary->relative.value_or(0.0));
    } else if (summary && summary->missingParameters) {
        caption += QStringLiteral(": no parameters for ") +
                   QString::fromStdString(*summary->missingParameters);
    }
    m_caption->setText(caption);
    if (!summary) return;
    m_bonds->setRowCount(static_cast<int>(summary->bonds.size()));
    for (int r = 0; r < m_bonds->rowCount(); ++r) {
        const ResultBond& bond = summary->bonds[static_cast<std::size_t>(r)];
        const QString texts[] = {QString::fromStdString(bond.neighbour),
                                 QString::asprintf("%.4f", bond.d),
                                 QString::asprintf("%.4f", bond.s)};
        for (int c = 0; c < 3; ++c) {
            auto* cell = new QTableWidgetItem(texts[c]);
            if (c > 0) cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_bonds->setItem(r, c, cell);
        }
    }
}

bool CStructureView::ExportPicture(const std::filesystem::path& file) {
    return savePicture(m_canvas->Picture(), file, m_showMessage, this);
}

void CStructureView::OnExportPicture() {
    exportPicture(m_canvas->Picture(), m_showMessage, this);
}

}  // namespace tarnell
