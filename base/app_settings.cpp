#include "base/app_settings.h"

#include "base/housekeeping.h"
#include "base/safe_file.h"

// Only the narrow, UTF-8 form is used: no converter library is needed.
#define SI_NO_CONVERSION
// Debian ships the header with its template bodies behind this switch.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

namespace kvx {

namespace fs = std::filesystem;

namespace {

// Larger than any settings file we write by far; anything bigger is not ours.
constexpr std::uintmax_t kMaxIniBytes = 1 << 20;

enum class Kind { Text, Bool, Int, Real };

struct Key {
    const char* section;
    const char* name;
    Kind kind;
    std::string TAppSettings::*text = nullptr;
    bool TAppSettings::*flag = nullptr;
    std::int32_t TAppSettings::*number = nullptr;
    double TAppSettings::*real = nullptr;
    std::optional<SettingRange> range = std::nullopt;
};

Key TextKey(const char* s, const char* k, std::string TAppSettings::*m) { return {s, k, Kind::Text, m, nullptr, nullptr}; }
Key BoolKey(const char* s, const char* k, bool TAppSettings::*m) { return {s, k, Kind::Bool, nullptr, m, nullptr}; }
Key IntKey(const char* s, const char* k, std::int32_t TAppSettings::*m) { return {s, k, Kind::Int, nullptr, nullptr, m}; }
Key IntKey(const char* s, const char* k, std::int32_t TAppSettings::*m, SettingRange r)
{
    return {s, k, Kind::Int, nullptr, nullptr, m, nullptr, r};
}
Key RealKey(const char* s, const char* k, double TAppSettings::*m) { return {s, k, Kind::Real, nullptr, nullptr, nullptr, m}; }

// Every key in the order the file has always listed them; the recent photos come last.
const std::array kKeys = {
    TextKey("Folder", "Image", &TAppSettings::ImageFolder),
    TextKey("Folder", "PD25", &TAppSettings::PD25Folder),
    TextKey("Folder", "Csv", &TAppSettings::CsvFolder),
    TextKey("Folder", "Csv2", &TAppSettings::Csv2Folder),
    TextKey("Folder", "Pdf", &TAppSettings::PdfFolder),
    BoolKey("PanWindow", "Flag", &TAppSettings::PanWindowFlag),
    IntKey("PanWindow", "Size", &TAppSettings::PanWindowSize, kPanWindowSizeRange),
    IntKey("DrawText", "Size", &TAppSettings::DrawTextSize, kDrawTextSizeRange),
    BoolKey("ShortCutButton", "Flag", &TAppSettings::ShortCutButtonFlag),
    BoolKey("PD25", "Flag", &TAppSettings::PD25Flag),
    BoolKey("AdjustDraw", "Flag", &TAppSettings::AdjustDrawFlag),
    BoolKey("SpaceNameInput", "Flag", &TAppSettings::SpaceNameInputFlag),
    IntKey("Color", "Base", &TAppSettings::ColorBase),
    IntKey("Color", "CrossLine", &TAppSettings::ColorCrossLine),
    IntKey("Color", "BaseLine", &TAppSettings::ColorBaseLine),
    IntKey("Color", "BaseUnit", &TAppSettings::ColorBaseUnit),
    IntKey("Color", "Distance", &TAppSettings::ColorDistance),
    IntKey("Color", "SpaceAdd", &TAppSettings::ColorSpaceAdd),
    IntKey("Color", "SpaceSub", &TAppSettings::ColorSpaceSub),
    IntKey("Color", "Base2", &TAppSettings::ColorBase2),
    IntKey("Color", "CrossLine2", &TAppSettings::ColorCrossLine2),
    IntKey("Color", "BaseLine2", &TAppSettings::ColorBaseLine2),
    IntKey("Color", "BaseUnit2", &TAppSettings::ColorBaseUnit2),
    IntKey("Color", "Distance2", &TAppSettings::ColorDistance2),
    IntKey("Color", "SpaceAdd2", &TAppSettings::ColorSpaceAdd2),
    IntKey("Color", "SpaceSub2", &TAppSettings::ColorSpaceSub2),
    IntKey("DeleteTemp", "Limit", &TAppSettings::DeleteTempLimit, kDeleteTempLimitRange),
    TextKey("Language", "Name", &TAppSettings::Language),
    BoolKey("ResultsPanel", "Flag", &TAppSettings::ResultsPanelFlag),
    BoolKey("Loupe", "Flag", &TAppSettings::LoupeFlag),
    IntKey("Loupe", "Zoom", &TAppSettings::LoupeZoom, kLoupeZoomRange),
    BoolKey("Snap", "Flag", &TAppSettings::SnapFlag),
    BoolKey("ReportDetail", "Flag", &TAppSettings::ReportDetailFlag),
    RealKey("Uncertainty", "ClickSigma", &TAppSettings::ClickSigma),
    BoolKey("Uncertainty", "LabelFlag", &TAppSettings::UncertaintyLabelFlag),
    IntKey("Photo", "MegapixelLimit", &TAppSettings::PhotoMegapixelLimit, kPhotoMegapixelsRange),
    IntKey("Marker", "Side", &TAppSettings::MarkerSide, kMarkerSideRange),
};

constexpr const char* kRecentSection = "LastFileName";

bool LoadIni(CSimpleIniA& ini, const fs::path& file)
{
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || size > kMaxIniBytes)
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ini.LoadData(data) >= 0;
}

} // namespace

bool FitsOneIniLine(std::string_view value)
{
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool ParseIniInteger(const std::string& text, std::int32_t& value)
{
    std::string_view s = text;
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    std::int32_t v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return false;
    value = v;
    return true;
}

bool ParseIniDecimal(const std::string& text, double& value)
{
    std::string_view s = text;
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty() || s.find_first_not_of("-.0123456789") != std::string_view::npos)
        return false;
    double v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

std::int64_t PhotoPixelLimit(const TAppSettings& settings)
{
    const std::int32_t megapixels =
        std::clamp(settings.PhotoMegapixelLimit, kPhotoMegapixelsRange.lower, kPhotoMegapixelsRange.upper);
    return std::int64_t{megapixels} * 1'000'000;
}

TAppSettings DefaultSettings(const std::string& exeFolder, const std::string& userFolder)
{
    TAppSettings s;
    s.ImageFolder = userFolder;
    s.PD25Folder = exeFolder;
    s.CsvFolder = userFolder;
    s.Csv2Folder = userFolder;
    s.PdfFolder = userFolder;
    return s;
}

TAppSettings ReadSettings(const fs::path& iniFile, const TAppSettings& defaults)
{
    TAppSettings s = defaults;
    CSimpleIniA ini(true, false, false);
    if (!LoadIni(ini, iniFile))
        return s;
    for (const Key& k : kKeys) {
        const char* raw = ini.GetValue(k.section, k.name, nullptr);
        if (!raw)
            continue;
        std::int32_t v = 0;
        switch (k.kind) {
        case Kind::Text:
            s.*k.text = raw;
            break;
        case Kind::Bool:
            if (ParseIniInteger(raw, v))
                s.*k.flag = v != 0;
            break;
        case Kind::Int:
            // A size typed into the file by hand (a negative label size hides
            // every label) is brought into what the dialog would have stored.
            if (ParseIniInteger(raw, v))
                s.*k.number = k.range ? std::clamp(v, k.range->lower, k.range->upper) : v;
            break;
        case Kind::Real:
            ParseIniDecimal(raw, s.*k.real);
            break;
        }
    }
    for (int n = 1; n <= 5; ++n) {
        if (const char* raw = ini.GetValue(kRecentSection, std::to_string(n).c_str(), nullptr))
            s.LastFileName[static_cast<std::size_t>(n)] = raw;
    }
    return s;
}

namespace {

// The text a key's value is written as.
std::string KeyText(const Key& k, const TAppSettings& settings)
{
    switch (k.kind) {
    case Kind::Text:
        return settings.*k.text;
    case Kind::Bool:
        return settings.*k.flag ? "1" : "0";
    case Kind::Int:
        return std::to_string(settings.*k.number);
    case Kind::Real: {
        // The shortest text that reads back as the same number, with a point.
        char buffer[64];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, settings.*k.real, std::chars_format::fixed);
        return ec == std::errc() ? std::string(buffer, end) : std::string();
    }
    }
    return {};
}

// Puts the keys chosen by take into ini and saves it into iniFile.
template <class Take>
bool SetAndSave(CSimpleIniA& ini, const fs::path& iniFile, const TAppSettings& settings, Take take,
                const std::array<std::string, 6>* recent)
{
    for (const Key& k : kKeys) {
        if (!take(k))
            continue;
        const std::string value = KeyText(k, settings);
        // A folder whose name holds a line break is not remembered: the file
        // keeps the folder it had.
        if (!FitsOneIniLine(value))
            continue;
        if (ini.SetValue(k.section, k.name, value.c_str()) < 0)
            return false;
    }
    if (recent) {
        for (int n = 1; n <= 5; ++n) {
            const std::string key = std::to_string(n);
            const std::string& path = (*recent)[static_cast<std::size_t>(n)];
            if (ini.SetValue(kRecentSection, key.c_str(), FitsOneIniLine(path) ? path.c_str() : "") < 0)
                return false;
        }
    }
    std::string data;
    if (ini.Save(data, false) < 0)
        return false;
    return WriteFileReplacing(iniFile, data);
}

} // namespace

bool WriteSettings(const fs::path& iniFile, const TAppSettings& settings)
{
    CSimpleIniA ini(true, false, false);
    ini.SetSpaces(false);
    LoadIni(ini, iniFile);
    return SetAndSave(ini, iniFile, settings, [](const Key&) { return true; }, &settings.LastFileName);
}

std::array<std::string, 6> MergeRecent(const std::array<std::string, 6>& stored, const std::array<std::string, 6>& before,
                                       const std::array<std::string, 6>& after)
{
    if (before == after)
        return stored;
    // What this instance opened since before: the entries above the one that
    // was its newest, or its whole list when that one has fallen off.
    std::size_t newer = 5;
    if (!before[1].empty()) {
        for (std::size_t i = 1; i <= 5; ++i) {
            if (after[i] == before[1]) {
                newer = std::max<std::size_t>(i - 1, 1);
                break;
            }
        }
    }
    std::array<std::string, 6> merged = stored;
    for (std::size_t i = newer; i >= 1; --i) {
        if (!after[i].empty())
            PushRecent(merged, after[i]);
    }
    return merged;
}

bool WriteSettingsChanges(const fs::path& iniFile, const TAppSettings& before, const TAppSettings& after)
{
    std::error_code ec;
    // A file that is not there yet (or not ours to merge into) is written whole.
    if (!fs::exists(iniFile, ec))
        return WriteSettings(iniFile, after);
    if (before == after)
        return true;
    CSimpleIniA ini(true, false, false);
    ini.SetSpaces(false);
    if (!LoadIni(ini, iniFile))
        return WriteSettings(iniFile, after);
    std::optional<std::array<std::string, 6>> recent;
    if (before.LastFileName != after.LastFileName) {
        std::array<std::string, 6> stored;
        for (int n = 1; n <= 5; ++n) {
            if (const char* raw = ini.GetValue(kRecentSection, std::to_string(n).c_str(), nullptr))
                stored[static_cast<std::size_t>(n)] = raw;
        }
        recent = MergeRecent(stored, before.LastFileName, after.LastFileName);
    }
    return SetAndSave(ini, iniFile, after,
                      [&](const Key& k) { return KeyText(k, before) != KeyText(k, after); },
                      recent ? &*recent : nullptr);
}

} // namespace kvx
