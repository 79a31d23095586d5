#include "ui/host_config.h"

#include "app/framework.h"
#include "app/vantor_app.h"
#include "platform/platform.h"
#include "settings/store.h"

namespace ui {

bool CheckHostConfig(const CAppBase& app, void* owner, const std::string& hostFile) {
    // Read through the same 30000-byte buffer as a setting. Any text counts
    // as configured: it is not compared with this connector's path.
    const std::string application = platform::ProfileGetString(
        kHostLabelsSection, kHostApplicationKey, "", kSettingBufferSize, hostFile);
    if (!application.empty()) return false;
    if (app.Interaction().AskYesNo(owner, kHostConfigQuestion, kProductCaption)) {
        (void)platform::ProfileWriteString(kHostLabelsSection, kHostApplicationKey,
                                           ModulePathWithExtension(app, ".exe"), hostFile);
    }
    return true;
}

}  // namespace ui
