#include "launch/arguments.h"

#include "platform/windows_args.h"
#include "settings/catalogue.h"

namespace launch {

std::string QuoteArgument(std::string_view value, text::LeadByteRule isLead) {
    std::string quoted = "\"";
    quoted.reserve(value.size() + 2);
    std::size_t backslashes = 0;  // in the run that ends at the byte at hand
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (isLead(static_cast<unsigned char>(c)) && i + 1 < value.size()) {
            quoted += c;
            quoted += value[++i];
            backslashes = 0;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes, '\\');
            quoted += '\\';
        }
        backslashes = c == '\\' ? backslashes + 1 : 0;
        quoted += c;
    }
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

IntendedArguments LabelProgramArguments(const std::string& templatePath, int copies,
                                        const std::string& printerName,
                                        const std::vector<std::string>& params, int lastParamIndex) {
    IntendedArguments args;
    auto add = [&](std::string value, std::string name) {
        args.values.push_back(std::move(value));
        args.names.push_back(std::move(name));
    };
    add(templatePath, "the template path");
    if (copies > 1) {
        add("/setpages", "the switch /setpages");
        add(text::FormatInt(copies), "the number of copies");
    }
    if (printerName.empty()) {
        add("/p", "the switch /p");
    } else {
        add("/pt", "the switch /pt");
        add(printerName, "the printer name");
    }
    for (int i = 0; i <= lastParamIndex && static_cast<std::size_t>(i) < params.size(); ++i) {
        const std::string name = key::kParamPrefix + text::FormatInt(i + 1);
        add("/fm", "the switch /fm before " + name);
        add(name, "the name " + name);
        add(params[static_cast<std::size_t>(i)], name);
    }
    return args;
}

std::string ArgumentsDiffer(std::string_view line, const IntendedArguments& intended,
                            text::LeadByteRule isLead) {
    const std::vector<std::string> split = winargs::Split(line, isLead);
    const std::size_t got = split.empty() ? 0 : split.size() - 1;
    for (std::size_t i = 0; i < intended.values.size(); ++i) {
        if (i < got && split[i + 1] == intended.values[i]) continue;
        return "its command line, split as the label program splits it, does not give " +
               intended.names[i] + " as it is (" + std::to_string(got) + " arguments instead of " +
               std::to_string(intended.values.size()) + ")";
    }
    if (got > intended.values.size())
        return "its command line, split as the label program splits it, gives more arguments than it was "
               "built from (" + std::to_string(got) + " instead of " +
               std::to_string(intended.values.size()) + ")";
    return std::string();
}

}  // namespace launch
