#include "interact/commands.h"
#include "base/translate.h"
#include "interact/tool_table.h"
#include "measure/computation.h"

#include <algorithm>

namespace kvx {

namespace {

using Names = std::vector<std::string>;

// The items that enter no tool mode; the modes' own entries and buttons come
// from the table of tools.
const Names kPhoto = {"ComboBox_Change", "RadioGroup_Group", "mnPrint",   "mnPdfOut",  "mnCsvOut",
                      "mnCsvOut2",       "mnTableOut",       "mnDxfOut",  "mnRectifiedOut", "mnChange",
                      "mnGroup",         "mnEffect",         "mnZoomAll", "mnZoom1",   "SpeedButton_ZoomAll"};
const Names kBaseSet = {"mnReset"};
const Names kDistances = {"mnDistanceAllDel"};
const Names kSpaces = {"mnSpaceAllDel"};
const Names kPlaneSwitch = {"mnBaseChange", "SpeedButton_BaseChange", "CheckBox_BaseChangeAuto"};
const Names kLock = {"CheckBox_Lock"};
const Names kChecks = {"mnCheckAllDel"};
// A found rectangle is one plane's reference; the two planes of setting 4
// stand together on the six points about their shared corner line, which no
// sheet on one wall gives.
const Names kOnePlane = {"mnDetectReference"};

void Add(std::set<std::string>& out, const Names& names)
{
    out.insert(names.begin(), names.end());
}

} // namespace

std::string PriceLabel(uCommand mode)
{
    switch (Tool(mode).price) {
    case PriceUnit::Metre:
        return "/m";
    case PriceUnit::SquareMetre:
        return Tx("Summary", "/㎡");
    case PriceUnit::None:
        break;
    }
    return {};
}

std::string PressedButton(uCommand mode)
{
    return Tool(mode).button;
}

std::string SetCalcu(const Document& doc, uCommand mode)
{
    return SummaryLine(doc, Tool(mode).areaSummary ? SummaryFocus::Areas : SummaryFocus::Distance);
}

const std::vector<std::string>& ManagedItems()
{
    static const std::vector<std::string> all = [] {
        std::vector<std::string> v;
        auto add = [&](const std::string& name) {
            if (!name.empty() && std::find(v.begin(), v.end(), name) == v.end())
                v.push_back(name);
        };
        for (const Names* n : {&kPhoto, &kBaseSet, &kDistances, &kSpaces, &kPlaneSwitch, &kLock, &kChecks, &kOnePlane})
            for (const std::string& name : *n)
                add(name);
        for (const ToolRow& t : ToolTable()) {
            add(t.action);
            add(t.button);
        }
        return v;
    }();
    return all;
}

std::set<std::string> EnabledItems(const Document& doc, bool photo, uCommand mode)
{
    std::set<std::string> on;
    if (!photo)
        return on;
    for (const ToolRow& t : ToolTable()) {
        if (t.mode == uCommand::None || !NeedsMet(t.needs, doc, photo))
            continue;
        on.insert(t.action);
        if (*t.button)
            on.insert(t.button);
    }
    const TPlaneState& p = doc.Plane;
    const bool twoPlanes = doc.CurrentBase == 1 || doc.CurrentBase == 2;
    Add(on, kPhoto);
    if (!twoPlanes)
        Add(on, kOnePlane);
    if (p.base.BaseSet != 1)
        return on;
    Add(on, kBaseSet);
    if (twoPlanes) {
        Add(on, kPlaneSwitch);
        // The lock ties the planes' shared corners while a corner moves.
        if (Tool(mode).lockable)
            Add(on, kLock);
    }
    if (!p.Checks.empty())
        Add(on, kChecks);
    if (p.DistanceCount() > 0)
        Add(on, kDistances);
    if (p.SpaceCount() > 0)
        Add(on, kSpaces);
    return on;
}

} // namespace kvx
