// The job journal read back: ParseJournal over any bytes, then the window's
// texts of what it found.
//
// Invariants:
// - every line is taken or counted: jobs, runs and ends taken plus problems
//   and empty lines never exceed the lines of the input, and a problem names a
//   line that exists;
// - a job's time has the shape of the writer's ("dddd-dd-ddTdd:dd:dd");
// - the same bytes split into a rotated and a current file at a line end
//   give the same jobs as one file;
// - an escaped value reads back as it was; every row has one text a column;
//   the two tables and the copy text are made without fault.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "job/journal_reader.h"
#include "platform/text.h"
#include "ui/jobs_view.h"

namespace {

using fuzzcheck::Show;

std::string Jobs(const journal::Book& book) {
    std::string out;
    for (const journal::Job& job : book.jobs) {
        for (const std::string& cell : ui::JobRow(job)) out += cell + "|";
        for (const journal::Run& run : job.runs)
            for (const std::string& cell : ui::RunRow(run)) out += cell + "|";
        out += "\n";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const journal::Book book = journal::ParseJournal({{"j", bytes}});

    std::size_t lines = 0;
    for (char c : bytes) lines += c == '\n';
    if (!bytes.empty() && bytes.back() != '\n') ++lines;
    std::size_t taken = book.problems.size();
    for (const journal::Job& job : book.jobs) {
        taken += 1 + job.runs.size() + (job.ended ? 1 : 0);
        FUZZ_CHECK(job.time.size() >= 19 && job.time[4] == '-' && job.time[10] == 'T', Show(job.time));
        FUZZ_CHECK(ui::JobRow(job).size() == std::size(ui::kJobColumns), Show(bytes));
        for (const journal::Run& run : job.runs)
            FUZZ_CHECK(ui::RunRow(run).size() == std::size(ui::kRunColumns), Show(bytes));
        (void)ui::JobText(job);
    }
    FUZZ_CHECK(taken <= lines, Show(bytes));
    for (const journal::Problem& p : book.problems)
        FUZZ_CHECK(p.lineNumber >= 1 && static_cast<std::size_t>(p.lineNumber) <= lines, Show(bytes));

    const std::size_t middle = bytes.find('\n', bytes.size() / 2);
    if (middle != std::string_view::npos) {
        const journal::Book split =
            journal::ParseJournal({{"j.1", bytes.substr(0, middle + 1)}, {"j", bytes.substr(middle + 1)}});
        FUZZ_CHECK(Jobs(split) == Jobs(book), Show(bytes));
        FUZZ_CHECK(split.problems.size() == book.problems.size(), Show(bytes));
    }

    FUZZ_CHECK(journal::UnescapeValue(text::EscapeRecordValue(bytes)) == bytes, Show(bytes));

    journal::Loaded loaded;
    loaded.path = "j";
    loaded.configured = loaded.readable = true;
    loaded.book = book;
    (void)ui::JobsReport(loaded, "vantor.ini");
    (void)ui::ListedJobs(book, std::string(bytes.substr(0, 8)), true);
    return 0;
}
