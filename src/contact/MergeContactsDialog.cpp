#include "contact/MergeContactsDialog.h"

#include "contact/ContactMerge.h"
#include "contact/MergePreviewModel.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>

namespace quillon {

MergeContactsDialog::MergeContactsDialog(const RecordSheet& sheet, const ContactMergePlan& plan,
                                         QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMergeContacts"));
    setWindowTitle(QStringLiteral("Merge Duplicate Contacts"));
    setWindowModality(Qt::WindowModal);

    const int groups = plan.groupCount();
    m_summary = new QLabel(
        QStringLiteral(
            "%1 groups of records are the same contact: same name and the same phone number, or no phone "
            "number and the same street and zip code.\nEach group becomes one record, its most complete "
            "record (marked kept) with its empty cells filled from the others; %2 records will be "
            "removed. Undo takes the merge back.")
            .arg(groups)
            .arg(plan.removedCount()),
        this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);

    m_model = new MergePreviewModel(sheet, plan, this);
    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("tvwGroups"));
    m_view->setUniformRowHeights(true);
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_view->header()->resizeSection(0, 130);
    m_view->header()->resizeSection(1, 200);
    m_view->header()->resizeSection(2, 150);
    m_view->header()->resizeSection(3, 200);
    // The first groups open, so that what a merge does is seen at once.
    for (int g = 0; g < std::min(groups, 20); ++g)
        m_view->expand(m_model->index(g, 0));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_summary);
    column->addWidget(m_view, 1);
    column->addWidget(buttons);
    resize(820, 480);
}

QString MergeContactsDialog::summary() const
{
    return m_summary->text();
}

} // namespace quillon
