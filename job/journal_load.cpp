// Reading the journal files at the edge: the newest part of each, handed to
// the parse (journal_reader.cpp).
#include "job/data_reader.h"
#include "job/journal.h"
#include "job/journal_reader.h"
#include "platform/platform.h"

namespace journal {

namespace {

// A journal file's newest bytes, read while jobs go on appending to it (and
// may rotate it): a reader never makes an append fail. One byte more than
// the cap, so that a record that begins right at the cap is seen whole.
platform::FileReadResult ReadJournalFile(const std::string& path) {
    return platform::ReadFileShared(path, kMaxFileBytes + 1, platform::ReadPart::Newest);
}

}  // namespace

Loaded LoadJournal(const CAppBase& app) {
    Loaded loaded;
    loaded.path = JournalPath(app);
    loaded.configured = !loaded.path.empty();
    if (!loaded.configured) return loaded;
    std::vector<Source> sources;
    platform::FileReadResult older = ReadJournalFile(loaded.path + ".1");
    if (older.opened) sources.push_back({loaded.path + ".1", std::move(older.bytes), older.fileSize});
    platform::FileReadResult current = ReadJournalFile(loaded.path);
    loaded.readable = current.opened;
    if (current.opened)
        sources.push_back({loaded.path, std::move(current.bytes), current.fileSize});
    else
        loaded.failure = job::OpenFailureDescription(loaded.path, current.cause);
    loaded.book = ParseJournal(std::move(sources));
    return loaded;
}

}  // namespace journal
