// Configuration mode of the host build: there is no window, so it prints
// where the settings file is.
#include <cstdio>

#include "app/vantor_app.h"
#include "settings/store.h"
#include "ui/config_dialog.h"

namespace {

class ConsoleConfig final : public ConfigDialog {
public:
    explicit ConsoleConfig(CVantorApp& app) : app_(app) {}
    int DoModal() override {
        std::printf("Settings file: %s\n", SettingsFilePath(app_).c_str());
        return 2;  // nothing to confirm: as Cancel
    }

private:
    CVantorApp& app_;
};

}  // namespace

std::unique_ptr<ConfigDialog> CreateConfigDialog(CVantorApp& app) {
    return std::make_unique<ConsoleConfig>(app);
}
