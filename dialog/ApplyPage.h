// CTesserApplyPage: tab 4 ("Apply") of the main dialog: which Tesserions a run applies and to
// which documents, and the commands behind "Print...", "Apply" and "Undo".
//
// Tesserions: "None", "Current tesserion" (the record of the Tesserion page) or "Selected
// tesserions", the names moved into "To be applied" in the order they are applied. "<-" moves the
// selected names of "Not to be applied" over, each one checked first: an invalid Tesserion stays
// where it was, deselected, after the host's alert has said why. "->" moves names back. Both
// lists are brought in line with the named Tesserions each time the page is shown.
//
// Documents: the host's current document, or a list of PDF files and folders (a folder entry ends
// in "/" and stands for the "*.pdf" files directly in it). Entries come from "Browse..." (several
// files at once), "Add folder..." and drops of files and folders (text/uri-list) onto the list; a
// drop is taken only when every name is a PDF file or a folder. An entry already listed, in any
// letter case, is not added again. The lists sort ignoring letter case, except "To be applied".
//
// "Print...", "Apply" and "Undo" are enabled to match what a run would do; during a run the page
// and the buttons are disabled and only the progress window takes input.
#pragma once

#include "dialog/TesserPage.h"

class QCheckBox;
class QListWidget;
class QMimeData;
class QPushButton;
class QRadioButton;

namespace tesser::dialog {

// Object names of the file dialogs "Browse..." and "Add folder..." open.
inline constexpr const char* kBrowseDialogName = "browseDocumentsDialog";
inline constexpr const char* kFolderDialogName = "addFolderDialog";

class CTesserApplyPage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserApplyPage(CTesserDialog* dialog);

    void OnSetActive() override;
    bool OnKillActive() override;

    void RunApply();
    void RunUndo();
    void PrintDocuments();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void LoadControls();
    void StoreControls();
    void SyncTesserionLists();
    void UpdateControlStates();
    bool SettingsToApply();
    void MoveToApplied();
    void MoveToNotApplied();
    void BrowseDocuments();
    void AddFolder();
    void RemoveDocuments();
    // Adds an entry to the documents list unless it holds one equal in any letter case.
    void AddDocumentEntry(const QString& entry);
    // The entries a drop at pos (page coordinates) would add; empty when it is refused.
    QStringList AcceptedDrop(const QMimeData* data, const QPoint& pos) const;
    QRadioButton* none_;
    QRadioButton* currentTesserion_;
    QRadioButton* selectedTesserions_;
    QListWidget* toApply_;
    QListWidget* notApplied_;
    QPushButton* moveIn_;
    QPushButton* moveOut_;
    QRadioButton* currentDocument_;
    QRadioButton* multipleDocuments_;
    QCheckBox* optimise_;
    QCheckBox* recurse_;
    QListWidget* documents_;
    QPushButton* browse_;
    QPushButton* addFolder_;
    QPushButton* remove_;
    // The last run's outcome, until the next run: what the progress window's counts said last.
    QLabel* runStatus_;
    // Shows the engine's counts of the run that just ended; what names it ("Apply").
    void ShowRunOutcome(const QString& what, const QString& doneWord);
};

} // namespace tesser::dialog
