// Configuration dialog of the Windows build.
#include <windows.h>

#include "app/vantor_app.h"
#include "ui/config_dialog.h"

namespace {

class CVantorDlg final : public ConfigDialog {
public:
    explicit CVantorDlg(CVantorApp& app) : app_(app) {}
    int DoModal() override { return IDCANCEL; }

private:
    CVantorApp& app_;
};

}  // namespace

std::unique_ptr<ConfigDialog> CreateConfigDialog(CVantorApp& app) {
    return std::make_unique<CVantorDlg>(app);
}
