// How a Windows program's runtime splits its command line into arguments.
//
// The label program gets one command-line text and splits it itself, the way
// the Microsoft C runtime does (CommandLineToArgvW gives the same for the
// arguments after the program name). Both builds need that rule: the host
// build to start a runner from a Windows-style line (platform/posix), and the
// launch to see whether a line's ANSI and Unicode forms give the same
// arguments (launch/product_run.cpp).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace winargs {

// No double-byte characters (UTF-8 and the Western code pages).
inline bool NoLeadBytes(unsigned char) { return false; }

// Splits like the Microsoft C runtime (the rules of its 2008 and later
// versions):
// - the program name, first, ends at the first blank or tab outside double
//   quotes; quotes in it only group, and backslashes are plain characters;
// - arguments are separated by blanks and tabs outside double quotes;
// - 2n backslashes before a double quote give n backslashes and the quote
//   toggles quoting; 2n+1 give n backslashes and a literal quote; backslashes
//   not before a quote are plain;
// - inside quotes, two double quotes in a row give one literal quote;
// - as the runtime's multibyte parse of an ANSI line, the byte after a lead
//   byte of `isLead` is taken as it is, never as a quote, backslash or blank.
std::vector<std::string> Split(std::string_view line, text::LeadByteRule isLead = NoLeadBytes);

// The length in bytes of the program name at the start of `line`, as Split
// reads it: up to the first blank or tab outside double quotes.
std::size_t ProgramNameLength(std::string_view line, text::LeadByteRule isLead = NoLeadBytes);

}  // namespace winargs
