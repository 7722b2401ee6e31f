#include "base/safe_file.h"
#include "base/translate.h"

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

bool IsTemporaryName(const fs::path& p)
{
    const std::string name = p.filename().string();
    return name.size() > 5 && name.starts_with('~') && name.ends_with(".new");
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

fs::path WriteDestination(const fs::path& target)
{
    std::error_code ec;
    // An existing name resolves in one step; canonical also sees through links
    // in the folders above it.
    if (fs::exists(fs::status(target, ec))) {
        const fs::path real = fs::canonical(target, ec);
        return ec ? target : real;
    }
    // A dangling link: follow it by hand to the name it would create.  The hop
    // limit is the kernel's, so a loop ends where open() would give up.
    fs::path p = target;
    for (int hop = 0; hop < 40; ++hop) {
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            return p;
        const fs::path link = fs::read_symlink(p, ec);
        if (ec)
            return p;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return {};
}

namespace {

bool Fill(std::ofstream& out, const std::function<bool(std::ostream&)>& fill)
{
    if (!out)
        return false;
    const bool filled = fill(out);
    out.close();
    return filled && !out.fail();
}

} // namespace

bool WriteReplacing(const fs::path& target, const std::function<bool(std::ostream&)>& fill)
{
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::is_directory(status))
        return false;
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        // Nothing to keep safe and nothing a rename could replace: a device or
        // a pipe takes the bytes as they come.
        std::ofstream out(target, std::ios::binary);
        return Fill(out, fill);
    }

    const fs::path destination = WriteDestination(target);
    if (destination.empty())
        return false;
    const fs::path tmp = TemporaryBeside(destination);
    try {
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            if (!Fill(out, fill)) {
                fs::remove(tmp, ec);
                return false;
            }
        }
        // The replacement keeps the permissions the user gave the old file.
        if (fs::is_regular_file(status))
            fs::permissions(tmp, status.permissions(), ec);
    } catch (...) {
        fs::remove(tmp, ec);
        throw;
    }
    return MoveIntoPlace(tmp, destination);
}

bool WriteFileReplacing(const fs::path& target, std::string_view bytes)
{
    return WriteReplacing(target, [bytes](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return true;
    });
}

bool CopyFileReplacing(const fs::path& from, const fs::path& to)
{
    return WriteReplacing(to, [&from](std::ostream& out) {
        std::ifstream in(from, std::ios::binary);
        if (!in)
            return false;
        // Inserting an empty buffer counts as a failure; an empty file is not one.
        if (in.peek() == std::ifstream::traits_type::eof())
            return !in.bad();
        out << in.rdbuf();
        return !in.bad() && !out.fail();
    });
}

bool IsFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool IsFolder(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

std::string RefusedWrite(const fs::path& p)
{
    if (IsFolder(p))
        return "'" + p.string() + Tx("Files", "' はフォルダです. ファイルの名前を指定してください.");
    return {};
}

} // namespace kvx
