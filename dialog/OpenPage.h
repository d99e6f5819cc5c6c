// CTesserOpenPage: tab 2 ("Open") of the main dialog. Edits the dialog's OpenSettings: page
// mode, magnification and page layout (row 0 "[Do not change]"), the page to open at, and six
// three-state window and user-interface options (indeterminate: do not change). The tab shows
// the tick while anything would be changed. The page number is checked when the page is left:
// up to nine digits, or empty; otherwise the page stays shown with a message.
#pragma once

#include "dialog/TesserPage.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tesser::docsettings {
struct OpenSettings;
}

namespace tesser::dialog {

inline constexpr const char* kBadPageNumber =
    "The page number is invalid\n\nIt should be null or a positive integer not greater than "
    "999999999";

class CTesserOpenPage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserOpenPage(CTesserDialog* dialog);

    void OnSetActive() override;
    bool OnKillActive() override;

private:
    void Show();
    void TabState();
    bool CheckPageNumber();
    void Store();

    docsettings::OpenSettings& settings_;
    bool initialised_ = false;
    QComboBox* view_;
    QComboBox* zoom_;
    QComboBox* layout_;
    QLineEdit* page_;
    // FitWindow, CenterWindow, FullScreen, HideMenuBar, HideToolBar, HideWindowUI.
    std::array<QCheckBox*, 6> options_{};
};

} // namespace tesser::dialog
