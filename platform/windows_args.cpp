#include "platform/windows_args.h"

namespace winargs {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::size_t ProgramNameLength(std::string_view line, text::LeadByteRule isLead) {
    bool inQuotes = false;
    std::size_t i = 0;
    for (; i < line.size() && (inQuotes || !IsBlank(line[i])); ++i) {
        if (line[i] == '"') inQuotes = !inQuotes;
        else if (isLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) ++i;
    }
    return i;
}

std::vector<std::string> Split(std::string_view line, text::LeadByteRule isLead) {
    std::vector<std::string> args;
    if (line.empty()) return args;

    // The program name: its quotes only group.
    std::size_t i = ProgramNameLength(line, isLead);
    std::string name;
    for (std::size_t k = 0; k < i; ++k) {
        if (isLead(static_cast<unsigned char>(line[k])) && k + 1 < i) name += line[k++];
        else if (line[k] == '"') continue;
        name += line[k];
    }
    args.push_back(name);

    bool inQuotes = false;
    for (;;) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::string arg;
        inQuotes = false;
        while (i < line.size() && (inQuotes || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                std::size_t count = 0;
                while (i < line.size() && line[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < line.size() && line[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                    // an even count leaves the quote to the code below
                } else {
                    arg.append(count, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                if (inQuotes && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            if (isLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) arg += line[i++];
            arg += line[i++];
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace winargs
