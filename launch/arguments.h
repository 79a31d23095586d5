// The quoted arguments of the label program's command line, and the check
// that a built line gives the label program exactly the arguments it was
// built from.
//
// The label program splits its command line itself, the way the Microsoft C
// runtime does (platform/windows_args.h): there a backslash is plain except
// in a run that stands right before a double quote, which the runtime halves
// (an odd run escapes the quote). So a value put between quotes as it is
// would, when it ends in a backslash, escape its own closing quote and run on
// into the next arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace launch {

// `value` between double quotes, so that the runtime reads it back as
// exactly `value`: each run of backslashes right before the closing quote or
// before a double quote of the value is doubled, and such a double quote is
// escaped (\"). Every other byte stays as it is; a value without a backslash
// at its end and without a double quote is only put between quotes. The
// value is walked with `isLead`, so the trail byte 0x5C of a double-byte
// character (ソ, 表 in code page 932) is no backslash.
std::string QuoteArgument(std::string_view value, text::LeadByteRule isLead = text::SystemLeadByte);

// The arguments, after the program name, that a label-program line is built
// to give, each with what it is for a person to read ("the template path",
// "the printer name", "Param3", "the switch /setpages").
struct IntendedArguments {
    std::vector<std::string> values;
    std::vector<std::string> names;
};

// Those of TvlCmdLine's pieces: the template path, " /setpages <copies>"
// above 1, "/pt <printerName>" or "/p" for an empty name, then
// "/fm Param<i+1> <value>" for i = 0 .. lastParamIndex (stopping at the end of
// `params`).
IntendedArguments LabelProgramArguments(const std::string& templatePath, int copies,
                                        const std::string& printerName,
                                        const std::vector<std::string>& params, int lastParamIndex);

// "" when `line`, split as the runtime splits it (with `isLead`), gives
// exactly `intended` after its program name; otherwise why not, for the
// journal: the first argument that does not arrive as it is.
std::string ArgumentsDiffer(std::string_view line, const IntendedArguments& intended,
                            text::LeadByteRule isLead = text::SystemLeadByte);

}  // namespace launch
