#include "interact/commands.h"
#include "base/translate.h"

#include <algorithm>

namespace kvx {

namespace {

using Names = std::vector<std::string>;

const Names kPhoto = {"ComboBox_Change", "RadioGroup_Group", "mnPrint",         "mnPdfOut",
                      "mnCsvOut",        "mnCsvOut2",        "mnTableOut",      "mnDxfOut",        "mnRectifiedOut",
                      "mnBase",          "mnChange",
                      "mnGroup",         "mnEffect",         "mnImageFix",      "mnZoomAll",
                      "mnZoom1",         "mnZoomUp",         "mnZoomDown",      "SpeedButton_Base",
                      "SpeedButton_ZoomAll", "SpeedButton_ZoomUp", "SpeedButton_ZoomDown"};
const Names kTwoPlanes = {"SpeedButton_Base1"};
const Names kBaseSet = {"mnBaseAdjust",          "mnBaseLineW",           "mnBaseLineH",
                        "mnBaseUnit",            "mnReset",               "mnDistance",
                        "mnSpaceAdd",            "mnSpaceSub",            "SpeedButton_BaseAdjust",
                        "SpeedButton_BaseLineW", "SpeedButton_BaseLineH", "SpeedButton_BaseUnit",
                        "SpeedButton_Distance",  "SpeedButton_SpaceAdd",  "SpeedButton_SpaceSub",
                        "mnCheck"};
const Names kBaseLine = {"mnBaseLineAdjust", "SpeedButton_BaseLineAdjust"};
const Names kBaseUnit = {"mnBaseUnitAdjust", "SpeedButton_BaseUnitAdjust"};
const Names kOtherBase = {"mnCrossLine"};
const Names kDistances = {"mnDistanceAdjust", "mnDistanceDel", "mnDistanceAllDel", "SpeedButton_DistanceAdjust",
                          "SpeedButton_DistanceDel"};
const Names kDistanceHosei = {"mnDistanceHosei"};
const Names kDistanceHoseiDel = {"mnDistanceHoseiDel"};
const Names kSpaces = {"mnSpaceAdjust", "mnSpaceSlant", "mnSpaceDel", "mnSpaceAllDel", "mnSpaceNameUpd",
                       "SpeedButton_SpaceAdjust", "SpeedButton_SpaceDel"};
const Names kSpaceHosei = {"mnSpaceHosei"};
const Names kSpaceHoseiDel = {"mnSpaceHoseiDel"};
const Names kPlaneSwitch = {"mnBaseChange", "SpeedButton_BaseChange", "CheckBox_BaseChangeAuto"};
const Names kLock = {"CheckBox_Lock"};
const Names kChecks = {"mnCheckDel", "mnCheckAllDel"};

void Add(std::set<std::string>& out, const Names& names)
{
    out.insert(names.begin(), names.end());
}

} // namespace

std::string PriceLabel(uCommand mode)
{
    if (IsOneOf(mode, kDistanceModes))
        return "/m";
    // The slope dialog asks no price: its label stays empty.
    if (IsOneOf(mode, kAreaModes) && mode != uCommand::SpaceSlant)
        return Tx("Summary", "/㎡");
    return {};
}

std::string PressedButton(uCommand mode)
{
    switch (mode) {
    case uCommand::Base:
    case uCommand::BaseSixPoint:
        return "SpeedButton_Base";
    case uCommand::BaseOnePoint:
        return "SpeedButton_Base1";
    case uCommand::BaseAdjust:
        return "SpeedButton_BaseAdjust";
    case uCommand::BaseLineW:
        return "SpeedButton_BaseLineW";
    case uCommand::BaseLineH:
        return "SpeedButton_BaseLineH";
    case uCommand::BaseLineAdjust:
        return "SpeedButton_BaseLineAdjust";
    case uCommand::BaseUnit:
        return "SpeedButton_BaseUnit";
    case uCommand::BaseUnitAdjust:
        return "SpeedButton_BaseUnitAdjust";
    case uCommand::Distance:
        return "SpeedButton_Distance";
    case uCommand::DistanceDel:
        return "SpeedButton_DistanceDel";
    case uCommand::DistanceAdjust:
        return "SpeedButton_DistanceAdjust";
    case uCommand::SpaceAdd:
        return "SpeedButton_SpaceAdd";
    case uCommand::SpaceSub:
        return "SpeedButton_SpaceSub";
    case uCommand::SpaceDel:
        return "SpeedButton_SpaceDel";
    case uCommand::SpaceAdjust:
        return "SpeedButton_SpaceAdjust";
    case uCommand::ZoomUp:
        return "SpeedButton_ZoomUp";
    case uCommand::ZoomDown:
        return "SpeedButton_ZoomDown";
    default:
        return {};
    }
}

const std::vector<std::string>& ManagedItems()
{
    static const std::vector<std::string> all = [] {
        std::vector<std::string> v;
        for (const Names* n : {&kPhoto, &kTwoPlanes, &kBaseSet, &kBaseLine, &kBaseUnit, &kOtherBase, &kDistances,
                               &kDistanceHosei, &kDistanceHoseiDel, &kSpaces, &kSpaceHosei, &kSpaceHoseiDel,
                               &kPlaneSwitch, &kLock, &kChecks})
            v.insert(v.end(), n->begin(), n->end());
        return v;
    }();
    return all;
}

std::set<std::string> EnabledItems(const Document& doc, bool photo, uCommand mode)
{
    std::set<std::string> on;
    if (!photo)
        return on;
    const TPlaneState& p = doc.Plane;
    const TBaseBlock& b = p.base;
    const bool twoPlanes = doc.CurrentBase == 1 || doc.CurrentBase == 2;
    Add(on, kPhoto);
    if (twoPlanes)
        Add(on, kTwoPlanes);
    if (b.BaseSet != 1)
        return on;
    Add(on, kBaseSet);
    if (b.BaseLineWSet == 1 || b.BaseLineHSet == 1)
        Add(on, kBaseLine);
    if (b.BaseUnitSet == 1)
        Add(on, kBaseUnit);
    if (doc.OtherBaseSet == 1)
        Add(on, kOtherBase);
    if (!p.Checks.empty())
        Add(on, kChecks);
    if (p.DistanceCount() > 0) {
        Add(on, kDistances);
        if (doc.CrossLineSet == 1)
            Add(on, kDistanceHosei);
        if (std::any_of(p.Distances.begin(), p.Distances.end(), [](const TDistance& d) { return d.corrected == 1; }))
            Add(on, kDistanceHoseiDel);
    }
    if (p.SpaceCount() > 0) {
        Add(on, kSpaces);
        if (doc.CrossLineSet == 1)
            Add(on, kSpaceHosei);
        if (std::any_of(p.Spaces.begin(), p.Spaces.end(), [](const TSpace& s) { return s.corrected == 1; }))
            Add(on, kSpaceHoseiDel);
    }
    if (twoPlanes) {
        Add(on, kPlaneSwitch);
        if (mode == uCommand::BaseAdjust)
            Add(on, kLock);
    }
    return on;
}

} // namespace kvx
