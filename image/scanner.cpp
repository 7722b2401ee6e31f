#include "image/scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <poll.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstring>
#include <thread>

namespace kvx {

namespace {

constexpr SANE_Int kResolution = 150;
// No page of a scanner needs more; anything larger is a device gone wrong.
constexpr std::size_t kMaxBytes = std::size_t{1} << 30;

// SANE open for the life of the object.
class Session {
public:
    Session() { ok_ = sane_init(nullptr, nullptr) == SANE_STATUS_GOOD; }
    ~Session()
    {
        if (ok_)
            sane_exit();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
};

class Device {
public:
    explicit Device(const std::string& name) { status_ = sane_open(name.c_str(), &handle_); }
    ~Device()
    {
        if (handle_)
            sane_close(handle_);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    SANE_Handle Handle() const { return handle_; }
    SANE_Status Status() const { return status_; }

private:
    SANE_Handle handle_ = nullptr;
    SANE_Status status_ = SANE_STATUS_INVAL;
};

// Colour mode and a sensible resolution, where the device offers them.
void Configure(SANE_Handle h)
{
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
        if (!d)
            break;
        if (!d->name || !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap))
            continue;
        if (std::strcmp(d->name, SANE_NAME_SCAN_MODE) == 0 && d->type == SANE_TYPE_STRING &&
            d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
            for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) {
                if (std::strcmp(*s, SANE_VALUE_SCAN_MODE_COLOR) == 0) {
                    std::vector<char> value(static_cast<std::size_t>(std::max<SANE_Int>(d->size, 16)), '\0');
                    std::strncpy(value.data(), *s, value.size() - 1);
                    sane_control_option(h, i, SANE_ACTION_SET_VALUE, value.data(), nullptr);
                }
            }
        } else if (std::strcmp(d->name, SANE_NAME_SCAN_RESOLUTION) == 0) {
            const bool fixed = d->type == SANE_TYPE_FIXED;
            auto toInt = [fixed](SANE_Word w) { return fixed ? static_cast<SANE_Int>(std::lround(SANE_UNFIX(w))) : w; };
            auto fromInt = [fixed](SANE_Int v) { return fixed ? SANE_FIX(static_cast<double>(v)) : v; };
            SANE_Int wanted = kResolution;
            if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list[0] > 0) {
                const SANE_Word* list = d->constraint.word_list;
                wanted = toInt(list[1]);
                for (SANE_Int k = 1; k <= list[0]; ++k) {
                    if (std::abs(toInt(list[k]) - kResolution) < std::abs(wanted - kResolution))
                        wanted = toInt(list[k]);
                }
            } else if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
                const SANE_Range* r = d->constraint.range;
                wanted = std::clamp(kResolution, toInt(r->min), toInt(r->max));
            }
            SANE_Word value = fromInt(wanted);
            sane_control_option(h, i, SANE_ACTION_SET_VALUE, &value, nullptr);
        }
    }
}

} // namespace

ScanDevices ListScanDevices()
{
    ScanDevices out;
    Session session;
    if (!session.Ok())
        return out;
    const SANE_Device** list = nullptr;
    if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD)
        return out;
    out.ok = true;
    for (const SANE_Device** d = list; d && *d; ++d)
        out.names.emplace_back((*d)->name);
    return out;
}

ScanResult ScanImage(const std::string& name, const std::function<bool(int)>& progress)
{
    ScanResult out;
    Session session;
    if (!session.Ok()) {
        out.error = "SANE could not be started";
        return out;
    }
    Device device(name);
    if (device.Status() != SANE_STATUS_GOOD) {
        out.error = sane_strstatus(device.Status());
        return out;
    }
    SANE_Handle h = device.Handle();
    Configure(h);
    SANE_Status status = sane_start(h);
    if (status != SANE_STATUS_GOOD) {
        out.error = sane_strstatus(status);
        return out;
    }
    SANE_Parameters p{};
    if (sane_get_parameters(h, &p) != SANE_STATUS_GOOD || p.pixels_per_line <= 0 ||
        (p.format != SANE_FRAME_RGB && p.format != SANE_FRAME_GRAY) || (p.depth != 8 && p.depth != 16) ||
        !p.last_frame) {
        sane_cancel(h);
        out.error = "the device delivers a picture of a form this program does not read";
        return out;
    }
    const std::size_t bytesPerLine = static_cast<std::size_t>(p.bytes_per_line);
    const std::size_t expected = p.lines > 0 ? bytesPerLine * static_cast<std::size_t>(p.lines) : 0;
    std::vector<std::uint8_t> raw;
    if (expected > 0 && expected <= kMaxBytes)
        raw.reserve(expected);
    std::vector<SANE_Byte> buffer(64 * 1024);
    for (;;) {
        SANE_Int length = 0;
        status = sane_read(h, buffer.data(), static_cast<SANE_Int>(buffer.size()), &length);
        if (status == SANE_STATUS_EOF)
            break;
        if (status != SANE_STATUS_GOOD) {
            // Backends that read through a helper thread cancel it
            // asynchronously; one that has only just started may be inside
            // the allocator then, whose lock it never gives back, and the
            // cancel waits for it for ever.  Once it has written to its pipe
            // it is past that; without a pipe to watch, a moment must do.
            // Only a failed scan pays for it.
            SANE_Int fd = -1;
            if (sane_get_select_fd(h, &fd) == SANE_STATUS_GOOD && fd >= 0) {
                pollfd watch{fd, POLLIN, 0};
                poll(&watch, 1, 2000);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            sane_cancel(h);
            out.error = sane_strstatus(status);
            return out;
        }
        raw.insert(raw.end(), buffer.begin(), buffer.begin() + length);
        if (raw.size() > kMaxBytes) {
            sane_cancel(h);
            out.error = "the picture is larger than any page";
            return out;
        }
        const int percent = expected > 0 ? static_cast<int>(std::min<std::size_t>(100, raw.size() * 100 / expected)) : 50;
        if (progress && !progress(percent)) {
            sane_cancel(h);
            out.cancelled = true;
            out.error = "cancelled";
            return out;
        }
    }
    sane_cancel(h);

    const std::size_t lines = raw.size() / bytesPerLine;
    if (lines == 0) {
        out.error = "the device delivered no picture";
        return out;
    }
    const int channels = p.format == SANE_FRAME_RGB ? 3 : 1;
    const int bytesPerSample = p.depth / 8;
    out.width = p.pixels_per_line;
    out.height = static_cast<int>(lines);
    out.rgb.resize(static_cast<std::size_t>(out.width) * lines * 3);
    for (std::size_t y = 0; y < lines; ++y) {
        const std::uint8_t* row = raw.data() + y * bytesPerLine;
        std::uint8_t* dst = out.rgb.data() + y * static_cast<std::size_t>(out.width) * 3;
        for (int x = 0; x < out.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const std::size_t sample = static_cast<std::size_t>(x * channels + (channels == 3 ? c : 0));
                // 16-bit samples come in the host's byte order: the high byte is the value.
                const std::uint8_t* s = row + sample * static_cast<std::size_t>(bytesPerSample);
                std::uint16_t v = s[0];
                if (bytesPerSample == 2) {
                    std::uint16_t word;
                    std::memcpy(&word, s, 2);
                    v = static_cast<std::uint16_t>(word >> 8);
                }
                dst[3 * x + c] = static_cast<std::uint8_t>(v);
            }
        }
    }
    out.ok = true;
    if (progress)
        progress(100);
    return out;
}

} // namespace kvx
