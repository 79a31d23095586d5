// The host's command line: blank-separated tokens, a "/F=" token naming the
// label template and a "/D=" token naming the data file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace job {

inline constexpr std::string_view kTemplateMarker = "/F=";
inline constexpr std::string_view kDataFileMarker = "/D=";

// Splits byte by byte: a double quote flips quoting and is dropped; a blank
// (the space character only) outside quotes ends a token, so two blanks in a
// row give an empty token; the last token is kept even when empty. There is
// no escape for a quote, and an unmatched quote quotes to the end.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Whether a token names the template, the data file (case-sensitive).
bool IsTemplateToken(std::string_view token);
bool IsDataFileToken(std::string_view token);

// The template's base name from a "/F=" token: it starts after the last
// folder separator or after the first "/F=" marker, whichever comes later, and
// ends before the last dot after that start, or at the token's end without
// one. /F=C:\Labels\Box.Small.tvl gives Box.Small, /F=Shelf.tvl gives Shelf,
// /F=C:\Old.Labels\Shelf gives Shelf. `separators` are the folder separators
// (TemplateSeparators() for this build); searches use `isLead`.
std::string TemplateNameOf(std::string_view token, std::string_view separators,
                           text::LeadByteRule isLead = text::SystemLeadByte);

// The folder separators of template tokens: the backslash, and on a system
// whose own separator is another character (the host build's '/'), that one
// too.
std::string TemplateSeparators();

// The data file path of a "/D=" token: the token with every "/D=" removed.
std::string DataFilePathOf(std::string_view token);

// The token that asks for a dry run, in any letter case.
inline constexpr std::string_view kDryRunToken = "/DRYRUN";

// Whether `commandLine` holds kDryRunToken as a whole token outside quotes
// (blank-separated, as SplitCommandLine splits); removes every such token
// together with the blank after it (or, for a last token, the blank before
// it), so that what remains is the command line of the same job without it.
bool TakeDryRunToken(std::string& commandLine);

// The token that asks for a health check of the installation, in any letter
// case; the rest of the line is read as a job's, whose template and data
// file are checked too.
inline constexpr std::string_view kCheckToken = "/CHECK";

// As TakeDryRunToken, for kCheckToken.
bool TakeCheckToken(std::string& commandLine);

// As TakeDryRunToken, for any upper-case `switchToken`.
bool TakeSwitchToken(std::string& commandLine, std::string_view switchToken);

}  // namespace job
