// A job journal and its rotated file as a busy site leaves them, for the
// recent jobs window's memory test and the benchmark: many three-line jobs
// (every tenth with a failed line) and, in the current file, one job of very
// many runs. Written in pieces, never held whole.
#pragma once

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>

namespace journalpair {

struct Written {
    std::uint64_t bytes = 0;  // of both files
    int jobs = 0;
    std::string newestDataFile;  // the data file of the last job written
    int jobsAfterBigJob = 0;     // so that it is row jobsAfterBigJob of a list newest first
};

namespace detail {

class Writer {
public:
    explicit Writer(const std::string& path) : out_(path, std::ios::binary | std::ios::trunc) {
        if (!out_) throw std::runtime_error("cannot write " + path);
        piece_.reserve(kPiece + 4096);
    }
    ~Writer() { Flush(); }
    void Add(const std::string& record) {
        piece_ += record;
        size_ += record.size();
        if (piece_.size() >= kPiece) Flush();
    }
    std::uint64_t Size() const { return size_; }

private:
    static constexpr std::size_t kPiece = 1 << 20;
    void Flush() {
        out_.write(piece_.data(), static_cast<std::streamsize>(piece_.size()));
        piece_.clear();
    }
    std::ofstream out_;
    std::string piece_;
    std::uint64_t size_ = 0;
};

inline std::string Head(int job) {
    return "2026-12-08T14:" + std::to_string(10 + job / 6000 % 50) + ":" + std::to_string(10 + job % 50) +
           ".384+01:00\t" + std::to_string(1000 + job % 7000) + "\t";
}

inline std::string Run(const std::string& head, int job, int line, bool failed) {
    return head + "run\tline=" + std::to_string(line) +
           "\trunner=label-program\tcmdline=\"C:\\Tarvel\\Tarvel.exe\" \"C:\\Labels\\Shelf.tvl\" /pt \"Zebra "
           "Aisle 4\"  /fm Param1 \"ITEM-" + std::to_string(job) + "\" /fm Param2 \"Shelf label %25 " +
           std::to_string(line) + "\"\toutcome=exited\texit=" + (failed ? "3" : "0") + "\tms=41\n";
}

// One job of `lines` runs (the second failed in every tenth job).
inline void Job(Writer& out, Written& written, int job, int lines) {
    const std::string head = Head(job);
    written.newestDataFile = "C:\\Temp\\job" + std::to_string(job) + ".txt";
    out.Add(head + "job-start\tuser=anna\tcmdline=/F=C:\\Labels\\Shelf.tvl /D=" + written.newestDataFile +
            "\ttemplate=Shelf\tdatafile=" + written.newestDataFile + "\tlines=" + std::to_string(lines) +
            "\tdata=read\n");
    const bool failing = job % 10 == 0;
    for (int line = 1; line <= lines; ++line) out.Add(Run(head, job, line, failing && line == 2));
    out.Add(head + "job-end\tlines=" + std::to_string(lines) + "\tfailed=" + (failing ? "1" : "0") +
            "\tms=148\n");
    ++written.jobs;
}

}  // namespace detail

// Writes `<path>.1` and `<path>`, each of a little more than `fileBytes`
// bytes (so that a reader that keeps the newest `fileBytes` of each leaves
// some out). The current file holds, after its first megabyte of jobs, one
// job of `bigJobRuns` runs.
inline Written WritePair(const std::string& path, std::uint64_t fileBytes, int bigJobRuns) {
    Written written;
    int job = 0;
    const std::uint64_t target = fileBytes + 256 * 1024;
    {
        detail::Writer older(path + ".1");
        while (older.Size() < target) detail::Job(older, written, job++, 3);
        written.bytes += older.Size();
    }
    detail::Writer current(path);
    while (current.Size() < (1 << 20)) detail::Job(current, written, job++, 3);
    detail::Job(current, written, job++, bigJobRuns);
    const int big = written.jobs;
    while (current.Size() < target) detail::Job(current, written, job++, 3);
    written.jobsAfterBigJob = written.jobs - big;
    written.bytes += current.Size();
    return written;
}

}  // namespace journalpair
