#include "settings/settings_table.h"

#include "platform/profile_engine.h"
#include "platform/text.h"
#include "settings/catalogue.h"

namespace settings {

namespace {

std::string Seconds(int value) {
    return value > 0 ? "a runner is ended after " + std::to_string(value) + " s"
                     : std::string("runners are waited for without limit");
}

// Each integer key's rule is what the job's own code does with the number it
// reads (app/vantor_app.cpp, job/job_run.cpp, job/journal.cpp, launch/).
constexpr KeyRow kKeys[] = {
    {key::kPrinter, Kind::Text, true, true, 0, nullptr, nullptr, nullptr, nullptr},
    {key::kMsgBoxDebug, Kind::Integer, true, true, 0, "0 (no box) or 1 (the box)",
     [](int v) { return v == 0 || v == 1; },
     [](int v) { return v == msgboxdebug::kShowDebugBox ? v : 0; },
     [](int v) -> std::string {
         return v == msgboxdebug::kShowDebugBox ? "a job first shows its command line in a \"Debug\" box"
                                                : "no debug box";
     }},
    {key::kCopiesType, Kind::Integer, true, true, 0,
     "0 (Automatic Detection), 1 (Always use last parameter) or 2 (Always use parameter 21)",
     [](int v) { return v >= 0 && v <= 2; },
     [](int v) { return v == 1 || v == 2 ? v : 0; },
     [](int v) -> std::string {
         return v == 1 ? "Always use last parameter" : v == 2 ? "Always use parameter 21" : "Automatic Detection";
     }},
    {key::kRunApiType, Kind::Integer, true, true, 0,
     "0 (the product only), 1 (the API proxy only), 2 (the proxy, then the product) or 3 (the proxy "
     "for ZUVEZAVI templates, otherwise the product)",
     [](int v) { return v >= 0 && v <= 3; },
     [](int v) { return v >= 0 && v <= 3 ? v : 0; },
     [](int v) -> std::string {
         return v == 1   ? "the API proxy only"
                : v == 2 ? "the API proxy, then the product"
                : v == 3 ? "the API proxy for ZUVEZAVI templates, otherwise the product"
                         : "the product only";
     }},
    {key::kTemplatesFolder, Kind::Text, true, true, 0, nullptr, nullptr, nullptr, nullptr},
    {key::kApiProxyExe, Kind::Text, true, true, 0, nullptr, nullptr, nullptr, nullptr},
    {key::kBartenderExePath, Kind::Text, true, true, 0, nullptr, nullptr, nullptr, nullptr},
    {key::kJournalFile, Kind::Text, false, true, 0, nullptr, nullptr, nullptr, nullptr},
    {key::kJournalMaxKB, Kind::Integer, false, true, defaults::kJournalMaxKB, "a number of kilobytes, 1 or more",
     [](int v) { return v >= 1; },
     [](int v) { return v >= 1 ? v : defaults::kJournalMaxKB; },
     [](int v) -> std::string {
         return "the journal is renamed to <name>.1 when it is larger than " + std::to_string(v) + " KB";
     }},
    {key::kRunTimeoutSeconds, Kind::Integer, false, true, 0, "a number of seconds, 0 (no limit) or more",
     [](int v) { return v >= 0; },
     [](int v) { return v > 0 ? v : 0; },
     Seconds},
    {key::kExitStatus, Kind::Integer, false, true, 0, "0 (off) or 1 (on)",
     [](int v) { return v == 0 || v == 1; },
     [](int v) { return v == exitstatus::kReportOutcome ? v : 0; },
     [](int v) -> std::string {
         return v == exitstatus::kReportOutcome ? "a job's exit code tells the host what happened"
                                                : "a job's exit code is 0 whatever happened";
     }},
};

}  // namespace

std::span<const KeyRow> SettingsKeys() { return kKeys; }

const KeyRow* FindSettingsKey(std::string_view name) {
    for (const KeyRow& row : kKeys)
        if (text::SameIgnoringAsciiCase(row.name, name)) return &row;
    return nullptr;
}

IntReading ReadIntAsWritten(const KeyRow& row, const std::optional<std::string>& written) {
    IntReading reading;
    // A missing or empty value reads as the default, as GetPrivateProfileIntA
    // gives it; that is what "missing or empty means off" relies on.
    reading.present = written.has_value() && !written->empty();
    reading.readsAs = reading.present ? profile::ParseInt(*written) : row.defaultValue;
    reading.actsAs = row.actsAs ? row.actsAs(reading.readsAs) : reading.readsAs;
    reading.asWritten = !reading.present || (profile::IsWholeInt(*written) && row.accepts &&
                                              row.accepts(reading.readsAs) && reading.actsAs == reading.readsAs);
    return reading;
}

}  // namespace settings
