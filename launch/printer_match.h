// A printer name among the printers the system lists, as the health check
// and the dry run look it up.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace launch {

struct PrinterMatch {
    enum class Kind {
        Installed,   // listed under this name
        Redirected,  // listed only as a printer a terminal-server client brought into its session
        Missing,     // not listed
    };
    Kind kind = Kind::Missing;
    std::string listed;  // Installed, Redirected: the name as the system lists it
};

// `name` without the session part a terminal server adds to the name of a
// printer redirected from a client: "Zebra (redirected 2)" and the older
// "Zebra (from CLIENT01) in session 2" give "Zebra"; any other name comes
// back as it is.
std::string WithoutSessionPart(std::string_view name);

// How `name` stands among `listed` (names compared as the system compares
// them, platform::SamePathText): listed under that name; or listed only as a
// printer whose name differs from it by the session part alone, which exists
// only in that session (another session, or the next one, names it
// differently, or has no such printer); or not at all.
PrinterMatch MatchPrinter(const std::vector<std::string>& listed, std::string_view name);

}  // namespace launch
