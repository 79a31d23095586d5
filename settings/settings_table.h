// The keys of section [Settings], one row each: what a key holds, which
// values mean what they say, its default, and whether an administrator's
// policy may lock it. The health check, the policy reader's callers (the
// dialog's locked controls, the console's "Set by policy"), the Group Policy
// template and the guide follow this table: a new key is one more row here.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace settings {

enum class Kind { Text, Integer };

struct KeyRow {
    const char* name;
    Kind kind;
    bool inDialog;     // one of the seven keys the configuration dialog shows
    bool lockable;     // a policy value of this name holds instead of the file's
    int defaultValue;  // Integer: what a missing or empty value reads as
    // Integer: the values that mean what they say, for a person to read.
    const char* accepted;
    // Integer: whether `value` is one of them.
    bool (*accepts)(int value);
    // Integer: the value a job acts on when the key reads as `value` (a value
    // outside the accepted ones behaves as one of them, as the job's code has
    // it: CopiesType 7 as 0, JournalMaxKB -1 as the default).
    int (*actsAs)(int value);
    // Integer: what a job does with the value it acts on, in a few words.
    std::string (*meaning)(int value);
};

// Every key of [Settings], in the order the guide lists them.
std::span<const KeyRow> SettingsKeys();

// The row of `name` (letters in any case, as the profile functions match
// names); null for a key the connector does not read.
const KeyRow* FindSettingsKey(std::string_view name);

// How an integer key's value, as written, reads.
struct IntReading {
    bool present = false;    // a non-empty value is written
    bool asWritten = true;   // it is the number of an accepted value
    int readsAs = 0;         // the number the profile functions read from it
    int actsAs = 0;          // the value a job acts on
};

// The reading of `written` (the value as a profile read returns it; nothing
// or "" when the key is missing or empty) for the integer key `row`.
IntReading ReadIntAsWritten(const KeyRow& row, const std::optional<std::string>& written);

}  // namespace settings
