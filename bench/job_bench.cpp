// Process-level benchmarks of the connector's job mode. Prints a table; it is
// not a test and asserts nothing beyond the job having run every line.
//
//   job_bench [--sizes 10,100,1000,10000] [--startup-runs 20] [--memory-mb 10]
//             [--work FOLDER] [--keep] [--throughput-only]
//
// Everything is found from the program's own place: it lives in
// <build>/bench/, the connector is <build>/vantor[.exe] and the stand-in is
// <build>/bench/bench_runner[.exe] (installed as Tarvel.exe). Work folders go
// to <build>/bench/work/ (or --work, e.g. a tmpfs to take the disk out of the
// figures) and are removed at the end unless --keep.
//
// 1. Throughput: a job of N data lines, against the floor of N bare starts of
//    the same stand-in with the same command line through
//    platform::RunHiddenAndWait, the call the connector itself starts its
//    runners with.
//    Beside it the cost per line of the journal (1000 lines) and of the
//    progress window, Settings/ShowProgress=1 (100 lines).
// 2. Start-up: from starting the connector on a one-line job to the moment
//    the stand-in starts (it logs its clock), against the same for a bare
//    start of the stand-in. Medians.
// 3. Memory (host build only): peak resident set of a job over a data file of
//    --memory-mb MB, from getrusage(RUSAGE_CHILDREN) in a fresh copy of this
//    program that runs nothing but that job (see PeakRssKb).
// 4. The recent jobs window over the journal pair of its memory test (2 x
//    64 MB, tools/journal_pair.h): the product's /JOBS over it, the time to
//    its window (the host build: to its printed tables) and its peak memory
//    against the bytes read; then reading the newest 64 MB of each file and
//    grouping its records into jobs in this process.
// With --throughput-only, only the first (and its targets).
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "job/journal_reader.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tools/journal_pair.h"
#include "tools/runner_log.h"
#include "ui/jobs_view.h"
#ifndef _WIN32
#include "platform/profile_engine.h"
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr const char* kExe = ".exe";
// The product is the 32-bit build; the 64-bit one is the test build of the
// same sources that machines without 32-bit support run.
constexpr const char* kBuildName =
    sizeof(void*) == 4 ? "win32 (the 32-bit product, Wine)" : "win64 (the 64-bit test build, 64-bit Wine)";
constexpr double kFloorTarget = 1.2;
constexpr double kFloorTargetInMemory = 1.2;
#else
constexpr const char* kExe = "";
constexpr const char* kBuildName = "host";
// On a disk every line's replace is flushed to it; in memory (/dev/shm)
// nothing is.
constexpr double kFloorTarget = 1.5;
constexpr double kFloorTargetInMemory = 1.3;
#endif
constexpr double kGrowthTarget = 1.5;  // ms per line at 10000 lines against 100
constexpr double kMemoryTarget = 3.0;  // peak RSS against the data file's size


std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The stand-in's log: one "<ns> <command line>" per run.
struct RunnerLine {
    std::uint64_t startedNs = 0;
    std::string commandLine;
};

std::vector<RunnerLine> ReadRunnerLines(const fs::path& path) {
    std::vector<RunnerLine> lines;
    std::istringstream in(ReadAll(path));
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        lines.push_back({std::strtoull(line.substr(0, blank).c_str(), nullptr, 10),
                         line.substr(blank + 1)});
    }
    return lines;
}

// A connector installed in a fresh folder with the stand-in as Tarvel.exe.
class Install {
public:
    Install(const fs::path& work, const std::string& name, const fs::path& connector,
            const fs::path& runner)
        : dir_(work / name) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        Copy(connector, dir_ / (std::string("vantor") + kExe));
        Copy(runner, dir_ / "Tarvel.exe");
        ClearLog();
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void ClearLog() const { WriteAll(dir_ / "Tarvel.lines", ""); }
    // Back to an empty log and no settings file.
    void Reset() const {
        ClearLog();
        std::error_code ignored;
        fs::remove(dir_ / "vantor.ini", ignored);
    }
    std::vector<RunnerLine> Log() const { return ReadRunnerLines(dir_ / "Tarvel.lines"); }
    std::string JobCommandLine(const std::string& dataFile) const {
        return Quoted(Path(std::string("vantor") + kExe)) + " /F=Shelf.tvl /D=" + Quoted(Path(dataFile));
    }

private:
    static void Copy(const fs::path& from, const fs::path& to) {
        fs::copy_file(from, to);  // into a fresh folder
        fs::permissions(to, fs::perms::owner_all, fs::perm_options::add);
    }
    fs::path dir_;
};

// Runs `commandLine` through the platform's process run; seconds taken.
// `exitCode` gets the process's exit code: a connector that starts but
// cannot load (a missing DLL, a manifest the loader refuses) ends at once
// with an NTSTATUS such as 0xC000007B and runs no line.
double TimedRun(const std::string& commandLine, uint32_t* exitCode = nullptr) {
    uint32_t code = 0;
    const std::uint64_t t0 = runnerlog::NowNs();
    if (!platform::RunHiddenAndWait(commandLine, code))
        throw std::runtime_error("cannot start " + commandLine);
    if (exitCode) *exitCode = code;
    return static_cast<double>(runnerlog::NowNs() - t0) / 1e9;
}

// A data file of `lines` lines like a shipping label's: five fields and copies.
std::string LabelData(int lines) {
    std::string data;
    for (int i = 1; i <= lines; ++i) {
        const std::string n = std::to_string(i);
        data += "ITEM-" + n + "\tShelf label " + n + "\t12.50\t729000" + n + "\tAisle 4\t1\r\n";
    }
    return data;
}

struct Throughput {
    int lines = 0;
    double job = 0, floor = 0;
    double JobMsPerLine() const { return job * 1000.0 / lines; }
    double FloorMsPerLine() const { return floor * 1000.0 / lines; }
    double Ratio() const { return job / floor; }
};

Throughput MeasureThroughput(const fs::path& work, const fs::path& connector,
                             const fs::path& runner, int lines) {
    Install install(work, "lines-" + std::to_string(lines), connector, runner);
    WriteAll(install.Path("data.txt"), LabelData(lines));
    // One untimed one-line job first, so that no size pays for the first
    // start of freshly copied programs; then a fresh settings file.
    WriteAll(install.Path("warm.txt"), LabelData(1));
    TimedRun(install.JobCommandLine("warm.txt"));
    install.Reset();
    Throughput t;
    t.lines = lines;
    uint32_t exitCode = 0;
    t.job = TimedRun(install.JobCommandLine("data.txt"), &exitCode);
    const std::vector<RunnerLine> runs = install.Log();
    if (static_cast<int>(runs.size()) != lines) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(exitCode));
        throw std::runtime_error("the job ran " + std::to_string(runs.size()) + " of " +
                                 std::to_string(lines) + " lines (the connector's exit code " + code + ")");
    }
    // The floor: the job's own first runner command line, started as often.
    const std::string runnerLine = runs.front().commandLine;
    install.ClearLog();
    uint32_t code = 0;
    const std::uint64_t t0 = runnerlog::NowNs();
    for (int i = 0; i < lines; ++i)
        if (!platform::RunHiddenAndWait(runnerLine, code)) throw std::runtime_error("floor run failed");
    t.floor = static_cast<double>(runnerlog::NowNs() - t0) / 1e9;
    if (static_cast<int>(install.Log().size()) != lines) throw std::runtime_error("floor runs lost");
    return t;
}

// Seconds a job of `lines` lines takes over a fresh settings file holding
// `settings` (the best of `rounds` runs, to see past the machine's noise).
double JobSeconds(const fs::path& work, const fs::path& connector, const fs::path& runner, int lines,
                  const std::string& settings, int rounds) {
    Install install(work, "settings-" + std::to_string(lines), connector, runner);
    WriteAll(install.Path("data.txt"), LabelData(lines));
    double best = 0;
    for (int round = 0; round < rounds; ++round) {
        install.Reset();
        std::error_code ignored;
        fs::remove(install.Path("journal.log"), ignored);
        WriteAll(install.Path("vantor.ini"), settings);
        const double seconds = TimedRun(install.JobCommandLine("data.txt"));
        if (static_cast<int>(install.Log().size()) != lines) throw std::runtime_error("a job lost lines");
        if (round == 0 || seconds < best) best = seconds;
    }
    return best;
}

// Prints what the [Settings] line `setting` costs per line of a job of
// `lines` lines: the same job without and with it, the best of 3 each.
void PrintSettingCost(const char* what, const std::string& setting, const fs::path& work, const fs::path& connector,
                      const fs::path& runner, int lines) {
    const int rounds = 3;
    const std::string base = "[Settings]\r\nPrinter=\r\n";
    const double off = JobSeconds(work, connector, runner, lines, base, rounds);
    std::string with = base;  // (appended: GCC 12 warns wrongly about chained +)
    with += setting;
    with += "\r\n";
    const double on = JobSeconds(work, connector, runner, lines, with, rounds);
    std::printf("%s (%d-line job, best of %d): without %.3f ms/line, with %s %.3f ms/line: %+.3f ms per line\n",
                what, lines, rounds, off * 1000.0 / lines, setting.c_str(), on * 1000.0 / lines,
                (on - off) * 1000.0 / lines);
    std::fflush(stdout);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Startup {
    double connectorMs = 0, bareMs = 0;
};

Startup MeasureStartup(const fs::path& work, const fs::path& connector, const fs::path& runner,
                       int runs) {
    Install install(work, "startup", connector, runner);
    WriteAll(install.Path("one.txt"), LabelData(1));
    const std::string job = install.JobCommandLine("one.txt");
    std::vector<double> viaConnector, bare;
    std::string runnerLine;
    uint32_t code = 0;
    for (int i = 0; i < runs; ++i) {
        install.ClearLog();
        const std::uint64_t t0 = runnerlog::NowNs();
        if (!platform::RunHiddenAndWait(job, code)) throw std::runtime_error("cannot start the connector");
        const auto log = install.Log();
        if (log.size() != 1) throw std::runtime_error("one-line job did not run its line");
        viaConnector.push_back(static_cast<double>(log[0].startedNs - t0) / 1e6);
        runnerLine = log[0].commandLine;
    }
    for (int i = 0; i < runs; ++i) {
        install.ClearLog();
        const std::uint64_t t0 = runnerlog::NowNs();
        if (!platform::RunHiddenAndWait(runnerLine, code)) throw std::runtime_error("cannot start the runner");
        const auto log = install.Log();
        if (log.size() != 1) throw std::runtime_error("bare start not logged");
        bare.push_back(static_cast<double>(log[0].startedNs - t0) / 1e6);
    }
    return {Median(viaConnector), Median(bare)};
}

// The settings store's cost for one data line, on a copy of the settings
// file a job of `lines` lines left (its LastJob record and
// Copies_1..Copies_<lines>): the line's record written as one update (the
// twenty parameters, the copies, a new Copies_<n>, the user and the label
// program's command line: the file changes once), and the reads a line makes.
struct StoreCost {
    std::size_t fileBytes = 0;
    double recordUs = 0, readTextUs = 0, readIntUs = 0;
    double engineWriteUs = -1, engineReadUs = -1;  // host: the rules alone, in memory
    double unflushedRecordUs = -1;  // host: the same replace without its flush
    // A line: one record written, three texts and three numbers read.
    double LineMs() const { return (recordUs + 3 * readTextUs + 3 * readIntUs) / 1000.0; }
};

// The record of line `n` as a job writes it.
std::vector<platform::ProfileEntry> LineRecordOf(int n) {
    std::vector<platform::ProfileEntry> entries;
    for (int i = 1; i <= 20; ++i) entries.push_back({"LastJob", "Param" + std::to_string(i), i <= 6 ? "value" : ""});
    entries.push_back({"LastJob", "Copies", "1"});
    entries.push_back({"LastJob", "Copies_" + std::to_string(n), "1"});
    entries.push_back({"LastJob", "LastUser", "anna"});
    entries.push_back({"LastJob", "TvlCmdLine", "\"C:\\Tarvel\\Tarvel.exe\" \"C:\\Tarvel\\Shelf.tvl\" /p /fm Param1 \"value\""});
    return entries;
}

StoreCost MeasureStore(const fs::path& work, int lines) {
    const fs::path source = work / ("lines-" + std::to_string(lines)) / "vantor.ini";
    const fs::path dir = work / "store";
    fs::create_directories(dir);
    const std::string ini = (dir / "vantor.ini").string();
    WriteAll(ini, ReadAll(source));
    StoreCost cost;
    cost.fileBytes = static_cast<std::size_t>(fs::file_size(ini));
    const int calls = 300;
    std::uint64_t t0 = runnerlog::NowNs();
    for (int i = 0; i < calls; ++i) platform::ProfileWrite(ini, LineRecordOf(lines + 1 + i));
    cost.recordUs = static_cast<double>(runnerlog::NowNs() - t0) / 1e3 / calls;
    WriteAll(ini, ReadAll(source));
    t0 = runnerlog::NowNs();
    for (int i = 0; i < calls; ++i) platform::ProfileGetString("Settings", "Printer", "", 30000, ini);
    cost.readTextUs = static_cast<double>(runnerlog::NowNs() - t0) / 1e3 / calls;
    t0 = runnerlog::NowNs();
    for (int i = 0; i < calls; ++i) platform::ProfileGetInt("Settings", "CopiesType", 0, ini);
    cost.readIntUs = static_cast<double>(runnerlog::NowNs() - t0) / 1e3 / calls;
#ifndef _WIN32
    // The private-profile rules alone over the same bytes, without any file:
    // what a call costs besides the system calls.
    const std::string bytes = ReadAll(ini);
    std::size_t sink = 0;
    t0 = runnerlog::NowNs();
    for (int i = 0; i < calls; ++i) sink += profile::WriteStrings(bytes, LineRecordOf(lines + 1 + i)).size();
    cost.engineWriteUs = static_cast<double>(runnerlog::NowNs() - t0) / 1e3 / calls;
    t0 = runnerlog::NowNs();
    for (int i = 0; i < calls; ++i) sink += profile::GetString(bytes, "Settings", "Printer", "", 30000).size();
    cost.engineReadUs = static_cast<double>(runnerlog::NowNs() - t0) / 1e3 / calls;
    // The same records as a replace without flushing the new file: what the
    // flush adds to a line.
    const std::string temp = (dir / ".vantor.ini.unflushed.tmp").string();
    std::string current = bytes;
    t0 = runnerlog::NowNs();
    for (int i = 0; i < calls; ++i) {
        current = profile::WriteStrings(current, LineRecordOf(lines + 1 + i));
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || write(fd, current.data(), current.size()) != static_cast<ssize_t>(current.size()) ||
            close(fd) != 0 || rename(temp.c_str(), ini.c_str()) != 0)
            throw std::runtime_error("unflushed replace failed");
    }
    cost.unflushedRecordUs = static_cast<double>(runnerlog::NowNs() - t0) / 1e3 / calls;
    if (sink == 0) std::printf(" ");
#endif
    return cost;
}

#ifndef _WIN32
// Peak resident set (KB) of the connector and its runners over one job. The
// job runs from a fresh copy of this program (--peak-rss-fd) that does
// nothing else: Linux keeps a process's high-water mark over exec, and a
// child forked from this process starts with all its pages, so a job started
// from here would report this program's own peak (the journal pair of the
// window's measurement and the data file's text among it) as the
// connector's. `outputToNull`: the connector's standard output goes to the
// null device.
long PeakRssKb(const std::string& commandLine, bool outputToNull = false) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    const std::string self = platform::ModulePath();
    const std::string fd = std::to_string(fds[1]);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        execl(self.c_str(), self.c_str(), "--peak-rss-fd", fd.c_str(), commandLine.c_str(),
              outputToNull ? "--null-output" : static_cast<char*>(nullptr), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    long kb = -1;
    if (read(fds[0], &kb, sizeof kb) != static_cast<ssize_t>(sizeof kb)) kb = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return kb;
}

// The measuring copy: runs `commandLine` and writes its children's peak
// resident set (KB) to `fd`.
int ReportPeakRss(int fd, const std::string& commandLine, bool outputToNull) {
    if (outputToNull) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 1);
    }
    uint32_t code = 0;
    long kb = -1;
    if (platform::RunHiddenAndWait(commandLine, code)) {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        kb = usage.ru_maxrss;
    }
    return write(fd, &kb, sizeof kb) == static_cast<ssize_t>(sizeof kb) ? 0 : 1;
}

// Whether `folder` is in memory (tmpfs): no disk behind the settings file.
bool InMemory(const fs::path& folder) {
    struct statfs fs {};
    return statfs(folder.c_str(), &fs) == 0 && static_cast<unsigned long>(fs.f_type) == 0x01021994UL;
}

// A data file of about `megabytes` MB in 1000 lines: twenty 100-byte
// parameter fields, a long field after them that is never passed on, copies.
std::string BigData(int megabytes) {
    const std::size_t target = static_cast<std::size_t>(megabytes) * 1024 * 1024;
    const int lines = 1000;
    const std::size_t perLine = target / lines;
    std::string data;
    data.reserve(target + 4096);
    for (int i = 0; i < lines; ++i) {
        std::string line;
        for (int f = 0; f < 20; ++f) line += std::string(99, static_cast<char>('a' + f)) + "\t";
        const std::size_t used = line.size() + 3;  // "\t1\n"
        line += std::string(perLine > used ? perLine - used : 0, 'z');
        line += "\t1\n";
        data += line;
    }
    return data;
}
#endif

std::vector<int> ParseSizes(const std::string& text) {
    std::vector<int> sizes;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty()) sizes.push_back(std::atoi(item.c_str()));
    return sizes;
}

const char* Verdict(bool met) { return met ? "PASS" : "MISS"; }

// The product's /JOBS over a journal pair: seconds until it has loaded it
// (host: printed its tables, to the null device, and ended; Windows: shown
// its window) and its peak memory in bytes (host: peak resident set;
// Windows: PeakWorkingSetSize, which Wine takes from the process's peak
// resident set too; its PeakPagefileUsage is the current use, not the peak).
struct JobsCost {
    double seconds = 0;
    std::uint64_t peakBytes = 0;
};

JobsCost MeasureJobsCommand(const std::string& connectorPath) {
    JobsCost cost;
    const std::string commandLine = Quoted(connectorPath) + " /JOBS";
    const std::uint64_t t0 = runnerlog::NowNs();
#ifdef _WIN32
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw std::runtime_error("cannot start " + commandLine);
    struct Find {
        DWORD pid;
        HWND found;
        static BOOL CALLBACK Each(HWND hwnd, LPARAM param) {
            auto* f = reinterpret_cast<Find*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            char caption[128] = "";
            GetWindowTextA(hwnd, caption, sizeof caption);
            if (pid == f->pid && IsWindowVisible(hwnd) && std::string(caption) == ui::kJobsCaption) f->found = hwnd;
            return f->found == nullptr;
        }
    } find{process.dwProcessId, nullptr};
    for (int waited = 0; find.found == nullptr && waited < 120000; waited += 20) {
        EnumWindows(Find::Each, reinterpret_cast<LPARAM>(&find));
        if (find.found == nullptr) Sleep(20);
    }
    cost.seconds = static_cast<double>(runnerlog::NowNs() - t0) / 1e9;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (find.found != nullptr && GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters))
        cost.peakBytes = counters.PeakWorkingSetSize;
    if (find.found != nullptr) PostMessageA(find.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (find.found == nullptr) throw std::runtime_error("the recent jobs window did not open");
#else
    cost.peakBytes = static_cast<std::uint64_t>(PeakRssKb(commandLine, true)) * 1024;
    cost.seconds = static_cast<double>(runnerlog::NowNs() - t0) / 1e9;
#endif
    return cost;
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--peak-rss-fd")
        return ReportPeakRss(std::atoi(argv[2]), argv[3], argc == 5 && std::string(argv[4]) == "--null-output");
#endif
    std::vector<int> sizes = {10, 100, 1000, 10000};
    int startupRuns = 20;
    int memoryMb = 10;
    bool keep = false;
    bool throughputOnly = false;
    std::string workArg;
#ifdef _WIN32
    (void)memoryMb;  // peak memory is measured on the host build only
#endif
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sizes" && i + 1 < argc) sizes = ParseSizes(argv[++i]);
        else if (arg == "--startup-runs" && i + 1 < argc) startupRuns = std::atoi(argv[++i]);
        else if (arg == "--memory-mb" && i + 1 < argc) memoryMb = std::atoi(argv[++i]);
        else if (arg == "--keep") keep = true;
        else if (arg == "--throughput-only") throughputOnly = true;
        else if (arg == "--work" && i + 1 < argc) workArg = argv[++i];
        else {
            std::fprintf(stderr, "usage: job_bench [--sizes a,b,c] [--startup-runs n] [--memory-mb n] [--work folder] [--keep] [--throughput-only]\n");
            return 2;
        }
    }

    const fs::path self = fs::path(platform::ModulePath());
    const fs::path benchDir = self.parent_path();
    const fs::path buildDir = benchDir.parent_path();
    const fs::path connector = buildDir / (std::string("vantor") + kExe);
    const fs::path runner = benchDir / (std::string("bench_runner") + kExe);
    const fs::path work = workArg.empty() ? benchDir / "work" : fs::path(workArg) / "vantor-bench-work";
    fs::create_directories(work);

    try {
        std::printf("== %s build: %s; work folder %s\n", kBuildName, connector.string().c_str(),
                    work.string().c_str());
        std::printf("Job throughput (stand-in runner exits at once; floor = the same number of bare\n"
                    "starts of the same stand-in through platform::RunHiddenAndWait)\n");
        std::printf("%8s %10s %10s %12s %14s %10s\n", "lines", "job s", "floor s", "job ms/line",
                    "floor ms/line", "job/floor");
        std::vector<Throughput> results;
        for (int n : sizes) {
            const Throughput t = MeasureThroughput(work, connector, runner, n);
            results.push_back(t);
            std::printf("%8d %10.3f %10.3f %12.3f %14.3f %9.2fx\n", n, t.job, t.floor,
                        t.JobMsPerLine(), t.FloorMsPerLine(), t.Ratio());
            std::fflush(stdout);
        }
        auto find = [&](int n) -> const Throughput* {
            for (const Throughput& t : results)
                if (t.lines == n) return &t;
            return nullptr;
        };
        std::printf("Targets:\n");
#ifdef _WIN32
        const bool inMemory = false;
#else
        const bool inMemory = InMemory(work);
#endif
        const double floorTarget = inMemory ? kFloorTargetInMemory : kFloorTarget;
        const char* where = inMemory ? "in memory" : "on the disk";
        if (const Throughput* t = find(1000))
            std::printf("  job at 1000 lines %s <= %.1fx floor:    %6.2fx  %s\n", where, floorTarget,
                        t->Ratio(), Verdict(t->Ratio() <= floorTarget));
        else
            std::printf("  job at 1000 lines %s <= %.1fx floor:    (1000 not measured)\n", where, floorTarget);
#ifndef _WIN32
        const Throughput* t100 = find(100);
        const Throughput* t10k = find(10000);
        if (t100 && t10k) {
            const double growth = t10k->JobMsPerLine() / t100->JobMsPerLine();
            std::printf("  ms/line at 10000 <= %.1fx ms/line at 100:     %6.2fx  %s\n", kGrowthTarget,
                        growth, Verdict(growth <= kGrowthTarget));
        } else {
            std::printf("  ms/line at 10000 <= %.1fx ms/line at 100:     (not measured)\n", kGrowthTarget);
        }
#endif

        // The rest only on a full run (bench.sh's second run in memory
        // measures the throughput alone).
        if (!throughputOnly) {
            // The job journal's cost at 1000 lines, and the progress window's
            // (Settings/ShowProgress=1) at 100: its runners then go into a job
            // object (a process group on the host) and the wait answers the
            // window, which shows after 1.5 s (on the host build the progress is
            // a line on standard error, drawn only when that is a terminal).
            PrintSettingCost("Journal", "JournalFile=journal.log", work, connector, runner, 1000);
            PrintSettingCost("Progress window", "ShowProgress=1", work, connector, runner, 100);

            for (int n : {100, 1000, 10000}) {
                const Throughput* t = find(n);
                if (!t) continue;
                const StoreCost c = MeasureStore(work, n);
                std::printf("Settings store per data line on the file a %d-line job leaves (%zu bytes): the line's "
                            "record as one update %.1f us, a text read %.1f us, a number read %.1f us; a line "
                            "(1 update, 6 reads) %.2f ms beside the floor's %.2f ms per line (%.0f%% of it)\n",
                            n, c.fileBytes, c.recordUs, c.readTextUs, c.readIntUs, c.LineMs(), t->FloorMsPerLine(),
                            100.0 * c.LineMs() / t->FloorMsPerLine());
                if (c.engineWriteUs >= 0)
                    std::printf("  of which the profile rules in memory (no file): the update %.1f us, a read %.1f us\n",
                                c.engineWriteUs, c.engineReadUs);
                if (c.unflushedRecordUs >= 0)
                    std::printf("  the update without flushing the new file: %.1f us: the flush adds %+.3f ms per line\n",
                                c.unflushedRecordUs, (c.recordUs - c.unflushedRecordUs) / 1000.0);
            }

            const Startup s = MeasureStartup(work, connector, runner, startupRuns);
            std::printf("Start-up (one-line job, median of %d): start to runner start %.2f ms; bare "
                        "runner start %.2f ms; connector's share %.2f ms\n",
                        startupRuns, s.connectorMs, s.bareMs, s.connectorMs - s.bareMs);

#ifndef _WIN32
            if (memoryMb > 0) {
                Install install(work, "memory", connector, runner);
                const std::string big = BigData(memoryMb);
                WriteAll(install.Path("big.txt"), big);
                WriteAll(install.Path("one.txt"), LabelData(1));
                const long oneKb = PeakRssKb(install.JobCommandLine("one.txt"));
                const long bigKb = PeakRssKb(install.JobCommandLine("big.txt"));
                const double fileMb = static_cast<double>(big.size()) / (1024.0 * 1024.0);
                const double peakMb = static_cast<double>(bigKb) / 1024.0;
                std::printf("Memory: peak RSS of a job over a %.1f MB data file (%d lines): %.1f MB "
                            "(a one-line job: %.1f MB); <= %.0fx the file (%.1f MB): %s\n",
                            fileMb, 1000, peakMb, static_cast<double>(oneKb) / 1024.0, kMemoryTarget,
                            kMemoryTarget * fileMb, Verdict(peakMb <= kMemoryTarget * fileMb));
                if (install.Log().size() != 1001) std::printf("  (warning: %zu runner starts logged, 1001 expected)\n", install.Log().size());
            }
#endif
            {
                // The journal pair of the memory test: 2 x 64 MB, many jobs and
                // one of 110,000 runs.
                Install install(work, "journal", connector, runner);
                WriteAll(install.Path("vantor.ini"), "[Settings]\r\nJournalFile=journal.log\r\n");
                const journalpair::Written pair =
                    journalpair::WritePair(install.Path("journal.log"), journal::kMaxFileBytes, 110000);
                const JobsCost product = MeasureJobsCommand(install.Path(std::string("vantor") + kExe));
                std::vector<double> seconds;
                std::size_t jobs = 0;
                std::uint64_t read = 0;
                for (int round = 0; round < 3; ++round) {
                    const std::uint64_t t0 = runnerlog::NowNs();
                    std::vector<journal::Source> sources;
                    for (const std::string& name : {install.Path("journal.log.1"), install.Path("journal.log")}) {
                        platform::FileReadResult file =
                            platform::ReadFileShared(name, journal::kMaxFileBytes + 1, platform::ReadPart::Newest);
                        sources.push_back({name, std::move(file.bytes), file.fileSize});
                    }
                    const journal::Book book = journal::ParseJournal(std::move(sources));
                    const std::vector<std::size_t> listed = ui::ListedJobs(book, "", false);
                    std::size_t cells = 0;
                    for (std::size_t n = 0; n < listed.size() && n < 40; ++n)
                        cells += ui::JobRow(book, book.jobs[listed[n]]).size();
                    seconds.push_back(static_cast<double>(runnerlog::NowNs() - t0) / 1e9);
                    jobs = listed.size();
                    read = 0;
                    for (const journal::Source& file : book.files) read += file.bytes.size();
                    if (cells == 0) throw std::runtime_error("the journal gave no rows");
                }
                const double readMb = static_cast<double>(read) / (1024.0 * 1024.0);
                const double peakMb = static_cast<double>(product.peakBytes) / (1024.0 * 1024.0);
                std::printf("Recent jobs: a journal pair of %.1f MB (%zu of %d jobs kept, %.1f MB read): read and "
                            "grouped in %.3f s (median of 3); vantor /JOBS %s in %.2f s, peak %.1f MB; "
                            "<= 3x the bytes read (%.1f MB): %s\n",
                            static_cast<double>(pair.bytes) / (1024.0 * 1024.0), jobs, pair.jobs, readMb,
                            Median(seconds),
    #ifdef _WIN32
                            "showed its window",
    #else
                            "printed its tables",
    #endif
                            product.seconds, peakMb, 3 * readMb, Verdict(peakMb <= 3 * readMb));
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "job_bench: %s\n", e.what());
        return 1;
    }
    if (!keep) {
        std::error_code ignored;
        fs::remove_all(work, ignored);
    }
    return 0;
}
