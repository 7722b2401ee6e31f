#include "shell/safe_file.h"

#include <fstream>
#include <system_error>

namespace kvx {

namespace fs = std::filesystem;

fs::path TemporaryBeside(const fs::path& target)
{
    fs::path tmp = target;
    tmp.replace_filename("~" + target.filename().string() + ".new");
    return tmp;
}

bool MoveIntoPlace(const fs::path& temporary, const fs::path& target)
{
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

bool WriteFileReplacing(const fs::path& target, std::string_view bytes)
{
    const fs::path tmp = TemporaryBeside(target);
    std::error_code ec;
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(tmp, ec);
            return false;
        }
    }
    return MoveIntoPlace(tmp, target);
}

bool CopyFileReplacing(const fs::path& from, const fs::path& to)
{
    const fs::path tmp = TemporaryBeside(to);
    std::error_code ec;
    if (!fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec) || ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return MoveIntoPlace(tmp, to);
}

bool IsFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

} // namespace kvx
