#include "base/translate.h"

#include <atomic>

namespace kvx {

namespace {
std::atomic<TranslateLookup> gLookup{nullptr};
} // namespace

void SetTranslateLookup(TranslateLookup lookup)
{
    gLookup.store(lookup);
}

std::string Tx(const char* context, const char* source)
{
    if (const TranslateLookup lookup = gLookup.load())
        return lookup(context, source);
    return source;
}

std::string PathLine(const std::string& path)
{
    return std::string(kPathOpen) + path + kPathClose;
}

} // namespace kvx
