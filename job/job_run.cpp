#include "job/job_run.h"

#include <string>
#include <vector>

#include "app/framework.h"
#include "app/text.h"
#include "job/command_line.h"
#include "job/data_reader.h"
#include "launch/launch.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace {

// Field 21: the field after the twenty parameter fields, a copies source.
constexpr int kCopiesField = key::kParamCount + 1;

void WriteLastJob(const CAppBase& app, const std::string& name, const std::string& value) {
    WriteSettingText(app, section::kLastJob, name, value);
}

}  // namespace

void RunJob(CAppBase& app, const std::string& commandLine) {
    WriteLastJob(app, key::kCmdLine, commandLine);

    std::string templateName;
    std::string dataPath;
    const std::string separators = job::TemplateSeparators();
    for (const std::string& token : job::SplitCommandLine(commandLine)) {
        if (job::IsTemplateToken(token)) {
            templateName = job::TemplateNameOf(token, separators);
            WriteLastJob(app, key::kTemplate, templateName);
        }
        if (job::IsDataFileToken(token)) {
            dataPath = job::DataFilePathOf(token);
            WriteLastJob(app, key::kDataFile, dataPath);
        }
    }

    // One read of the data file serves the whole job.
    const job::DataFile data = job::DataFile::Read(dataPath);
    int lineCount = data.LineCount();
    const std::string bartender =
        ReadSettingText(app, section::kSettings, key::kBartenderExePath, defaults::kText);
    if (!bartender.empty()) lineCount = 1;  // Bartender prints the first line only
    WriteLastJob(app, key::kNumLines, text::FormatInt(lineCount));

    std::vector<std::string> params(key::kParamCount);
    // Set once per job: a line that does not change them passes on the
    // previous line's values.
    int lastParamIndex = 0;
    int copies = 1;
    for (int line = 0; line < lineCount; ++line) {
        // The line's record (Param1..Param20, Copies, Copies_<line>) goes into
        // the settings file as one update, in that order, before its launch.
        std::vector<std::pair<std::string, std::string>> record;
        for (int j = 0; j < key::kParamCount; ++j) {
            params[static_cast<std::size_t>(j)] = data.Field(line, j + 1);
            record.emplace_back(key::kParamPrefix + text::FormatInt(j + 1),
                                params[static_cast<std::size_t>(j)]);
            if (!params[static_cast<std::size_t>(j)].empty()) lastParamIndex = j;
        }

        std::string copiesText;
        switch (static_cast<CopiesType>(
            ReadSettingInt(app, section::kSettings, key::kCopiesType, defaults::kInt))) {
        case CopiesType::kLastField:
            copiesText = data.Field(line, job::kLastField);
            break;
        case CopiesType::kField21:
            copiesText = data.Field(line, kCopiesField);
            break;
        case CopiesType::kAutomatic:
        default:
            copiesText = data.Field(line, job::kLastField);
            copies = text::LeadingInt(copiesText);
            if (copies == 0) copiesText = data.Field(line, kCopiesField);
            break;
        }
        record.emplace_back(key::kCopies, copiesText);
        record.emplace_back(std::string(key::kCopies) + "_" + text::FormatInt(line + 1), copiesText);
        (void)WriteSettingTexts(app, section::kLastJob, record);
        if (!copiesText.empty()) copies = text::LeadingInt(copiesText);

        (void)launch::LaunchPrintJob(app, templateName, params, lastParamIndex, copies,
                                     commandLine);
    }
}
