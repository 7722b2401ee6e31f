#include "base/recovery_note.h"

#include "base/app_settings.h"
#include "base/safe_file.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>
#include <system_error>

namespace kvx {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kFirstLine = "Kalvex recovery 1";
// A note is a few lines; anything much larger is not one of ours.
constexpr std::uintmax_t kMaxNoteBytes = 64 * 1024;

bool TakeLine(std::string_view& rest, std::string_view& line)
{
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos)
        return false;
    line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    return true;
}

bool TakeValue(std::string_view& rest, std::string_view key, std::string_view& value)
{
    std::string_view line;
    if (!TakeLine(rest, line) || !line.starts_with(key) || line.size() <= key.size() || line[key.size()] != '=')
        return false;
    value = line.substr(key.size() + 1);
    return true;
}

bool TakeInteger(std::string_view& rest, std::string_view key, std::int32_t low, std::int32_t high, std::int32_t& out)
{
    std::string_view value;
    return TakeValue(rest, key, value) && ParseIniInteger(std::string(value), out) && out >= low && out <= high;
}

} // namespace

fs::path RecoveryNoteFile(const fs::path& workingFolder)
{
    return workingFolder / "recovery.txt";
}

bool WriteRecoveryNote(const fs::path& workingFolder, const RecoveryNote& note)
{
    if (note.photo.empty() || !FitsOneIniLine(note.photo))
        return false;
    std::string text(kFirstLine);
    text += "\nchecksum=" + std::to_string(note.checkSum);
    text += "\nsetting=" + std::to_string(note.setting);
    text += "\ngroup=" + std::to_string(note.group);
    text += "\nphoto=" + note.photo + "\n";
    return WriteFileReplacing(RecoveryNoteFile(workingFolder), text);
}

std::optional<RecoveryNote> ReadRecoveryNote(const fs::path& workingFolder)
{
    const fs::path file = RecoveryNoteFile(workingFolder);
    if (!IsFile(file))
        return std::nullopt;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec || size > kMaxNoteBytes)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::string_view rest = text;
    std::string_view line;
    RecoveryNote note;
    std::string_view photo;
    if (!TakeLine(rest, line) || line != kFirstLine ||
        !TakeInteger(rest, "checksum", std::numeric_limits<std::int32_t>::min(),
                      std::numeric_limits<std::int32_t>::max(), note.checkSum) ||
        !TakeInteger(rest, "setting", 1, 4, note.setting) || !TakeInteger(rest, "group", 0, 5, note.group) ||
        !TakeValue(rest, "photo", photo) || photo.empty() || !rest.empty() || !FitsOneIniLine(photo))
        return std::nullopt;
    note.photo = std::string(photo);
    return note;
}

bool RemoveRecoveryNote(const fs::path& workingFolder)
{
    std::error_code ec;
    fs::remove(RecoveryNoteFile(workingFolder), ec);
    return !fs::exists(RecoveryNoteFile(workingFolder), ec);
}

} // namespace kvx
