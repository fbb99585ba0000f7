#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;

namespace quillon {

class KeyWorkshop;
class PreviewTableModel;

/**
 * "Key Workshop": a site's decoding key as a form beside the page text it cuts and a
 * preview of every listing it cuts, by the grab's own parser (KeyWorkshop); the
 * selected listing is shown in the page text with its block, markers and values
 * marked. Below, learning from one listing: the values of one listing, typed or
 * taken from a selection of the page text, the proposals the learner makes with
 * what each cuts, and what it could not learn.
 *
 * A view over KeyWorkshop; saving and the page text are its controller's.
 */
class KeyWorkshopWindow : public QWidget
{
    Q_OBJECT

public:
    explicit KeyWorkshopWindow(KeyWorkshop& workshop, QWidget* parent = nullptr);
    ~KeyWorkshopWindow() override;

    KeyWorkshop& workshop() const { return m_workshop; }

    /** The site the key is of, shown in the caption; @p ownKey: Save writes over its
     *  key (a user's site), else only "Save as new site" is offered. */
    void setSite(const QString& name, bool ownKey);
    /** Says what the window is doing ("Reading the page ..."), or why it has no page. */
    void setStatus(const QString& text);

    /** Marks a key's text for a one-line box: line breaks and tabs as \n and \t. */
    static QString markerText(const QString& marker);
    /** The marker a one-line box's text stands for. */
    static QString markerFromText(const QString& text);

signals:
    /** "Reload page": the page text is to be read again. */
    void reloadRequested();
    /** "Save": the key is to be written over the site's own key. */
    void saveRequested();
    /** "Save as new site": the key is to be saved as a new site. */
    void saveAsNewRequested();
    /** "Rename Site..." and "Remove Site": a site of the user's is renamed or removed. */
    void renameRequested();
    void removeRequested();

private:
    void buildForm(QWidget* form);
    void buildLearning(QWidget* area);
    void showKey();
    void formChanged();
    void fieldsChanged();
    void showPage();
    void showPreview();
    void showListing(int row);
    void takeSelection();
    void learn();
    void showLearned();
    void acceptProposal();
    void showStructuredOffer();

    KeyWorkshop& m_workshop;
    bool m_showing = false;
    QString m_pageText;

    QLabel* m_status = nullptr;
    QComboBox* m_kind = nullptr;
    QComboBox* m_source = nullptr;
    QSpinBox* m_perPage = nullptr;
    QLineEdit* m_listingStart = nullptr;
    QLineEdit* m_listingEnd = nullptr;
    QTableWidget* m_fields = nullptr;
    QLineEdit* m_nextStart = nullptr;
    QLineEdit* m_nextEnd = nullptr;
    QLineEdit* m_pageMarker = nullptr;
    QCheckBox* m_readCount = nullptr;
    QLineEdit* m_countStart = nullptr;
    QLineEdit* m_countEnd = nullptr;
    QLineEdit* m_count2Start = nullptr;
    QLineEdit* m_count2End = nullptr;
    QLineEdit* m_cityMarker = nullptr;
    QLineEdit* m_stateMarker = nullptr;

    QLabel* m_summary = nullptr;
    PreviewTableModel* m_previewModel = nullptr;
    QTableView* m_preview = nullptr;
    QPlainTextEdit* m_page = nullptr;

    QTableWidget* m_example = nullptr;
    QComboBox* m_takeAs = nullptr;
    QListWidget* m_proposals = nullptr;
    QLabel* m_problems = nullptr;
    QLabel* m_structured = nullptr;
    QPushButton* m_useStructured = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_remove = nullptr;
};

} // namespace quillon
