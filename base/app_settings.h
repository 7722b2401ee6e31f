#pragma once

// The program's settings as kept in "kvx.ini": read once at start, written as
// soon as a choice changes, and then only the keys that changed, so that a crash
// loses no choice and two windows on one home keep each other's.  Colours are 0x00BBGGRR values stored as decimal integers.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kvx {

// The values a numeric setting may take, both ends included: what the
// preferences dialog stores, and what a hand-edited file is brought back into.
struct SettingRange {
    std::int32_t lower;
    std::int32_t upper;
};
inline constexpr SettingRange kPanWindowSizeRange{100, 500};
inline constexpr SettingRange kDrawTextSizeRange{8, 20};
inline constexpr SettingRange kDeleteTempLimitRange{0, 100};
inline constexpr SettingRange kLoupeZoomRange{2, 8};
// The printed side of the marker sheet, mm: up to what fits on A4 with its ruler.
inline constexpr SettingRange kMarkerSideRange{10, 180};
// Photos of more megapixels than the setting are refused before they are
// decoded.  A thousand megapixels take 3 GB as the photo and as much again
// while it is processed: more is past what this program can hold.
inline constexpr SettingRange kPhotoMegapixelsRange{10, 1000};

struct TAppSettings {
    std::string ImageFolder;
    std::string PD25Folder;
    std::string CsvFolder;
    std::string Csv2Folder;
    std::string PdfFolder;
    bool PanWindowFlag = false;
    std::int32_t PanWindowSize = 300;
    std::int32_t DrawTextSize = 12;
    bool ShortCutButtonFlag = true;
    bool PD25Flag = false;
    bool AdjustDrawFlag = true;
    bool SpaceNameInputFlag = true;
    std::int32_t ColorBase = 0;
    std::int32_t ColorCrossLine = 255;
    std::int32_t ColorBaseLine = 128;
    std::int32_t ColorBaseUnit = 16711935;
    std::int32_t ColorDistance = 32768;
    std::int32_t ColorSpaceAdd = 16711680;
    std::int32_t ColorSpaceSub = 255;
    std::int32_t ColorBase2 = 8421504;
    std::int32_t ColorCrossLine2 = 8421504;
    std::int32_t ColorBaseLine2 = 8421504;
    std::int32_t ColorBaseUnit2 = 8421504;
    std::int32_t ColorDistance2 = 8421504;
    std::int32_t ColorSpaceAdd2 = 8421504;
    std::int32_t ColorSpaceSub2 = 8421504;
    std::int32_t DeleteTempLimit = 0;
    // The interface's language: "ja", "en", or empty to follow the user's locale.
    std::string Language;
    bool ResultsPanelFlag = false;  // the table of results beside the photo
    bool LoupeFlag = false;         // the magnifier beside the pointer while a tool takes points
    std::int32_t LoupeZoom = 4;     // 2..8
    bool SnapFlag = false;          // the reference's corners snap to the photo's corners
    bool ReportDetailFlag = true;   // the PDF report's detailed pages after its first
    // How far off a click may be, in photo pixels (one standard deviation,
    // 0.1..5): every result's uncertainty is worked out from it.
    double ClickSigma = 0.5;
    bool UncertaintyLabelFlag = false;  // "±" after the values in the labels over the photo
    // The largest photo opened, in megapixels (a million pixels): a photo
    // that claims more is refused before it takes any memory.
    std::int32_t PhotoMegapixelLimit = 250;
    // The side of the printed marker's black square, mm: what a marker found
    // in a photo measures, and what the marker sheet prints.
    std::int32_t MarkerSide = 150;
    std::array<std::string, 6> LastFileName;  // [1..5], [1] the newest

    friend bool operator==(const TAppSettings&, const TAppSettings&) = default;
};

// The defaults: the program's own folder for PD25 files, the user's folder
// (where a file dialog would start anyway) for the others.
TAppSettings DefaultSettings(const std::string& exeFolder, const std::string& userFolder);

// The settings in iniFile, each missing or unreadable value at its default and
// each number outside its range brought to the nearer end.
// A missing, oversized or malformed file gives the defaults; never throws.
TAppSettings ReadSettings(const std::filesystem::path& iniFile, const TAppSettings& defaults);

// Writes every key into iniFile, keeping whatever else the file holds, under a
// temporary name renamed into place.  False when it could not be written.
bool WriteSettings(const std::filesystem::path& iniFile, const TAppSettings& settings);

// Writes into iniFile only the keys whose value differs between before (what
// this instance last read or wrote) and after, keeping every other key as the
// file holds it now: another instance's choices survive.  The recent photos are
// merged: those opened since before go on top of the file's list.  A missing
// file is written whole.  True when there was nothing to write.
bool WriteSettingsChanges(const std::filesystem::path& iniFile, const TAppSettings& before, const TAppSettings& after);

// The recent photos list stored with the photos opened between before and after
// pushed on top, newest first.
std::array<std::string, 6> MergeRecent(const std::array<std::string, 6>& stored, const std::array<std::string, 6>& before,
                                       const std::array<std::string, 6>& after);

// Whether value can be written as an INI value: no line break (or zero byte)
// that would end its line and let the rest be read as keys or sections.
bool FitsOneIniLine(std::string_view value);

// Reads an INI integer the strict way: decimal digits with an optional sign.
bool ParseIniInteger(const std::string& text, std::int32_t& value);
// Reads an INI decimal the same way: digits with an optional sign and point,
// always a point whatever the locale, a finite number.
bool ParseIniDecimal(const std::string& text, double& value);

// The largest photo opened under settings, in pixels.
std::int64_t PhotoPixelLimit(const TAppSettings& settings);

} // namespace kvx
