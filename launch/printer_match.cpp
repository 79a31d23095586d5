#include "launch/printer_match.h"

#include "platform/platform.h"

namespace launch {

namespace {

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::string WithoutSessionPart(std::string_view name) {
    // "<printer> (redirected <session>)"
    constexpr std::string_view kRedirected = " (redirected ";
    if (name.size() > kRedirected.size() + 1 && name.back() == ')') {
        const std::size_t at = name.rfind(kRedirected);
        if (at != std::string_view::npos && at > 0 &&
            AllDigits(name.substr(at + kRedirected.size(), name.size() - 1 - at - kRedirected.size())))
            return std::string(name.substr(0, at));
    }
    // "<printer> (from <client>) in session <session>"
    constexpr std::string_view kInSession = ") in session ";
    const std::size_t in = name.rfind(kInSession);
    if (in != std::string_view::npos && AllDigits(name.substr(in + kInSession.size()))) {
        const std::size_t from = name.rfind(" (from ", in);
        if (from != std::string_view::npos && from > 0) return std::string(name.substr(0, from));
    }
    return std::string(name);
}

PrinterMatch MatchPrinter(const std::vector<std::string>& listed, std::string_view name) {
    PrinterMatch match;
    for (const std::string& printer : listed)
        if (platform::SamePathText(printer, name)) return {PrinterMatch::Kind::Installed, printer};
    const std::string base = WithoutSessionPart(name);
    for (const std::string& printer : listed) {
        const std::string printerBase = WithoutSessionPart(printer);
        if (printerBase.size() != printer.size() && platform::SamePathText(printerBase, base))
            return {PrinterMatch::Kind::Redirected, printer};
    }
    return match;
}

}  // namespace launch
