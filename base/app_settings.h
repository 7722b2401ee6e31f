#pragma once

// The program's settings as kept in "kvx.ini": read once at start, written
// whole at shutdown.  Colours are 0x00BBGGRR values stored as decimal integers.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kvx {

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
    std::array<std::string, 6> LastFileName;  // [1..5], [1] the newest

    friend bool operator==(const TAppSettings&, const TAppSettings&) = default;
};

// The defaults: the program's own folder for PD25 files, the user's folder
// (where a file dialog would start anyway) for the others.
TAppSettings DefaultSettings(const std::string& exeFolder, const std::string& userFolder);

// The settings in iniFile, each missing or unreadable value at its default.
// A missing, oversized or malformed file gives the defaults; never throws.
TAppSettings ReadSettings(const std::filesystem::path& iniFile, const TAppSettings& defaults);

// Writes every key into iniFile, keeping whatever else the file holds, under a
// temporary name renamed into place.  False when it could not be written.
bool WriteSettings(const std::filesystem::path& iniFile, const TAppSettings& settings);

// Whether value can be written as an INI value: no line break (or zero byte)
// that would end its line and let the rest be read as keys or sections.
bool FitsOneIniLine(std::string_view value);

// Reads an INI integer the strict way: decimal digits with an optional sign.
bool ParseIniInteger(const std::string& text, std::int32_t& value);
// Reads an INI decimal the same way: digits with an optional sign and point,
// always a point whatever the locale, a finite number.
bool ParseIniDecimal(const std::string& text, double& value);

} // namespace kvx
