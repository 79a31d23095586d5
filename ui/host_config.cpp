#include "ui/host_config.h"

#include "platform/framework.h"
#include "ui/config_dialog.h"
#include "platform/platform.h"
#include "settings/store.h"

namespace ui {

std::string HostConfigFailureText(const std::string& hostFile, const std::string& reason) {
    return "The Labels section of " + hostFile + " could not be updated.\n\n" + reason +
           "\n\nAsk an administrator to enter this connector there, or open this dialog again "
           "as an administrator.";
}

bool CheckHostConfig(const CAppBase& app, void* owner, const std::string& hostFile) {
    // Read through the same 30000-byte buffer as a setting. Any text counts
    // as configured: it is not compared with this connector's path.
    const std::string application = platform::ProfileGetString(
        kHostLabelsSection, kHostApplicationKey, "", kSettingBufferSize, hostFile);
    if (!application.empty()) return false;
    if (app.Interaction().AskYesNo(owner, kHostConfigQuestion, kProductCaption)) {
        const platform::SystemError error = WriteProfileText(
            hostFile, kHostLabelsSection, kHostApplicationKey, ModulePathWithExtension(app, ".exe"));
        // A standard user may not write the host's file: say so, rather than
        // look as if it worked. The question comes again next time.
        if (error.failed())
            app.Interaction().ShowWarning(owner, HostConfigFailureText(hostFile, error.text),
                                          kProductCaption);
    }
    return true;
}

}  // namespace ui
