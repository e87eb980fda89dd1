// Writes a run's summary as JSON members: archive, application, profile, counts, outcome.

#include "cli/RunSummary.h"

#include "cli/Json.h"
#include "platform/Text.h"

namespace quillbank::cli {

namespace {

std::string_view OutcomeName(TRunStatus status)
{
    switch (status) {
    case TRunStatus::Done:
        return "done";
    case TRunStatus::DoneWithLeftOut:
        return "incomplete";
    case TRunStatus::Failed:
        break;
    }
    return "failed";
}

} // namespace

void WriteRunSummary(TJsonWriter& json, const TRunSummary& summary)
{
    json.Key("archive")
        .String(summary.Archive)
        .Key("application")
        .BeginObject()
        .Key("type")
        .Number(summary.Application)
        .Key("name")
        .String(ToLowerAscii(AppShortName(summary.Application)))
        .EndObject()
        .Key("profile");
    if (summary.ProfileFolder)
        json.BeginObject()
            .Key("name")
            .String(summary.ProfileName.value_or(std::string()))
            .Key("folder")
            .String(*summary.ProfileFolder)
            .EndObject();
    else
        json.Null();
    json.Key("components")
        .Strings(summary.Components)
        .Key("files")
        .Number(static_cast<std::int64_t>(summary.Files))
        .Key("bytes")
        .Number(static_cast<std::int64_t>(summary.Bytes))
        .Key("leftOut")
        .BeginArray();
    for (const TLeftOutFile& file : summary.LeftOut)
        json.BeginObject().Key("path").String(file.Path).Key("reason").String(file.Reason).EndObject();
    json.EndArray()
        .Key("seconds")
        .Decimal(summary.Seconds)
        .Key("outcome")
        .String(OutcomeName(summary.Status));
    if (summary.Status == TRunStatus::Failed)
        json.Key("failure").String(summary.Failure);
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace quillbank::cli
