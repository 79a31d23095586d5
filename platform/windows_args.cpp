#include "platform/windows_args.h"

namespace winargs {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::vector<std::string> Split(std::string_view line, text::LeadByteRule isLead) {
    std::vector<std::string> args;
    std::size_t i = 0;

    // The program name.
    std::string name;
    bool inQuotes = false;
    while (i < line.size() && (inQuotes || !IsBlank(line[i]))) {
        if (line[i] == '"') {
            inQuotes = !inQuotes;
        } else {
            if (isLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) name += line[i++];
            name += line[i];
        }
        ++i;
    }
    if (line.empty()) return args;
    args.push_back(name);

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
