#include "measure/camera_profiles.h"

#include "base/safe_file.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace kvx {

namespace fs = std::filesystem;

std::vector<std::pair<std::string, CameraProfile>> ListProfiles(const fs::path& folder)
{
    std::vector<std::pair<std::string, CameraProfile>> out;
    // The names first, sorted, so that the same folder always gives the same
    // profiles whatever order the file system lists them in.
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    std::size_t seen = 0;
    for (; !ec && it != fs::directory_iterator() && seen < kMaxProfileFolderEntries; it.increment(ec), ++seen) {
        const std::string name = it->path().filename().string();
        if (name.size() > std::string_view(kProfileExtension).size() && name.ends_with(kProfileExtension) &&
            !IsTemporaryName(it->path()))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (names.size() > kMaxProfileFiles)
        names.resize(kMaxProfileFiles);
    for (const std::string& name : names) {
        // The reader itself refuses what is no regular file, a link that
        // leads nowhere or round in a loop, and files too large to be ours.
        const CameraProfileRead read = ReadCameraProfile(folder / name);
        if (!read)
            continue;
        out.emplace_back(name.substr(0, name.size() - std::string_view(kProfileExtension).size()), read.profile);
    }
    return out;
}

std::optional<std::pair<std::string, CameraProfile>> FindMatchingNamedProfile(const fs::path& folder, const CameraId& photo)
{
    std::optional<std::pair<std::string, CameraProfile>> best;
    // An error of 0 is one not told: it ranks after every told one.
    auto rank = [](const CameraProfile& p) { return p.rms > 0 ? p.rms : std::numeric_limits<double>::infinity(); };
    for (auto& entry : ListProfiles(folder)) {
        if (!Matches(entry.second, photo))
            continue;
        if (!best || rank(entry.second) < rank(best->second))
            best = std::move(entry);
    }
    return best;
}

std::optional<CameraProfile> FindMatchingProfile(const fs::path& folder, const CameraId& photo)
{
    std::optional<std::pair<std::string, CameraProfile>> found = FindMatchingNamedProfile(folder, photo);
    if (!found)
        return std::nullopt;
    return std::move(found->second);
}

std::string ProfileFileName(const CameraProfile& profile)
{
    std::string name;
    for (const char c : ProfileName(profile)) {
        const auto u = static_cast<unsigned char>(c);
        name += (u < 0x20 || u == 0x7F || c == '/' || c == '\\') ? '_' : c;
    }
    if (name.empty() || name.front() == '.')
        name.insert(name.begin(), '_');
    const std::size_t room = kMaxNameBytes - std::string_view(kProfileExtension).size();
    if (name.size() > room) {
        std::size_t cut = room;
        // Never in the middle of a character: back to the start of one.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name + kProfileExtension;
}

std::optional<fs::path> FreeProfilePath(const fs::path& folder, const CameraProfile& profile)
{
    const std::string fileName = ProfileFileName(profile);
    const std::string_view ending = kProfileExtension;
    const std::string stem = fileName.substr(0, fileName.size() - ending.size());
    for (int n = 1; n < 1000; ++n) {
        const std::string suffix = n == 1 ? std::string() : " (" + std::to_string(n) + ")";
        // The number goes inside the longest name too: the stem gives way.
        std::string front = stem.substr(0, std::min(stem.size(), kMaxNameBytes - ending.size() - suffix.size()));
        while (!front.empty() && front.size() < stem.size() && (static_cast<unsigned char>(stem[front.size()]) & 0xC0) == 0x80)
            front.pop_back();
        const fs::path candidate = folder / (front + suffix + std::string(ending));
        std::error_code ec;
        // A link, even one leading nowhere, holds its name.
        const fs::file_status status = fs::symlink_status(candidate, ec);
        if (status.type() == fs::file_type::not_found)
            return candidate;
    }
    return std::nullopt;
}

} // namespace kvx
