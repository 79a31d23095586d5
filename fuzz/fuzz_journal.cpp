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
//   the two tables and the copy text are made without fault;
// - a shown text holds no control character;
// - read as the last part of a longer file, what comes before the first line
//   end is left out and counted.
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
        for (const std::string& cell : ui::JobRow(book, job)) out += cell + "|";
        for (const journal::Run& run : job.runs)
            for (const std::string& cell : ui::RunRow(book, run)) out += cell + "|";
        out += "\n";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const journal::Book book = journal::ParseJournal({{"j", std::string(bytes)}});

    std::size_t lines = 0;
    for (char c : bytes) lines += c == '\n';
    if (!bytes.empty() && bytes.back() != '\n') ++lines;
    std::size_t taken = book.problems.size();
    for (const journal::Job& job : book.jobs) {
        taken += 1 + job.runs.size() + (job.ended ? 1 : 0);
        const std::string_view time = book.Raw(job.time);
        FUZZ_CHECK(time.size() >= 19 && time[4] == '-' && time[10] == 'T', Show(time));
        FUZZ_CHECK(ui::JobRow(book, job).size() == std::size(ui::kJobColumns), Show(bytes));
        for (const journal::Run& run : job.runs)
            FUZZ_CHECK(ui::RunRow(book, run).size() == std::size(ui::kRunColumns), Show(bytes));
        (void)ui::JobText(book, job);
    }
    FUZZ_CHECK(taken <= lines, Show(bytes));
    for (const journal::Problem& p : book.problems)
        FUZZ_CHECK(p.lineNumber >= 1 && static_cast<std::size_t>(p.lineNumber) <= lines, Show(bytes));

    const std::size_t middle = bytes.find('\n', bytes.size() / 2);
    if (middle != std::string_view::npos) {
        const journal::Book split =
            journal::ParseJournal({{"j.1", std::string(bytes.substr(0, middle + 1))},
                                   {"j", std::string(bytes.substr(middle + 1))}});
        FUZZ_CHECK(Jobs(split) == Jobs(book), Show(bytes));
        FUZZ_CHECK(split.problems.size() == book.problems.size(), Show(bytes));
    }

    FUZZ_CHECK(journal::UnescapeValue(text::EscapeRecordValue(bytes)) == bytes, Show(bytes));

    // What a person is shown holds no control character, and no more than
    // what the bytes say: each shown byte stands for itself or for "%XX".
    const std::string shown = ui::Shown(bytes);
    for (char c : shown) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, Show(bytes));
    FUZZ_CHECK(shown.size() >= bytes.size() && shown.size() <= 3 * bytes.size(), Show(bytes));

    // The same bytes as the last part of a longer file: the part line before
    // the first line end is left out, never counted as torn.
    const journal::Book tail = journal::ParseJournal({{"j", std::string(bytes), bytes.size() + 7}});
    FUZZ_CHECK(tail.leftOut.size() == 1 && tail.leftOut[0] >= 7 && tail.leftOut[0] <= bytes.size() + 7,
               Show(bytes));

    journal::Loaded loaded;
    loaded.path = "j";
    loaded.configured = loaded.readable = true;
    loaded.book = book;
    (void)ui::JobsReport(loaded, "vantor.ini");
    (void)ui::ListedJobs(book, std::string(bytes.substr(0, 8)), true);
    return 0;
}
