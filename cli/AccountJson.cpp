// The backup's account as JSON: file counts per component, unknown entries, what rules and faults left out.

#include "cli/AccountJson.h"

#include "cli/ComponentNames.h"

namespace quillbank::cli {

namespace {

/// The name of each rule, in TLeaveOutRule order.
constexpr std::string_view RuleNames[LeaveOutRuleCount] = {
    "cache", "lock-files", "rebuilt-caches", "not-chosen", "not-ticked", "no-component",
};

void WriteCount(TJsonWriter& json, const TFileCount& count)
{
    json.BeginObject().Key("files").Number(count.Files).Key("bytes").Number(count.Bytes).EndObject();
}

} // namespace

void WriteAccountJson(TJsonWriter& json, const TBackupAccount& account)
{
    json.BeginObject().Key("entries");
    WriteCount(json, account.Entries());
    json.Key("components").BeginObject();
    for (const TComponentName& component : ComponentNames())
        if (account.Components[component.Box].Files > 0)
            WriteCount(json.Key(component.Name), account.Components[component.Box]);
    json.EndObject().Key("unknownEntries");
    WriteCount(json, account.UnknownEntries);
    json.Key("leftOutByRule").BeginObject();
    for (std::size_t rule = 0; rule < LeaveOutRuleCount; ++rule)
        WriteCount(json.Key(RuleNames[rule]), account.LeftOutByRule[rule]);
    json.EndObject().Key("leftOutByFault").BeginArray();
    for (const TLeftOutFile& fault : account.LeftOutByFault)
        json.BeginObject().Key("path").String(fault.Path).Key("reason").String(fault.Reason).EndObject();
    json.EndArray().EndObject();
}

} // namespace quillbank::cli
