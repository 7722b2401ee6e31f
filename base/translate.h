#pragma once

// The words the user reads, in the interface's language.  The Japanese texts
// are the source: every text is written in the code as it reads in Japanese,
// and the window installs a lookup that gives the chosen language's words.
// Without a lookup (the plain layers' tests) the source comes back, so the
// Japanese program reads exactly as written.
//
// Only texts for the user's eyes go through Tx: what is written into files a
// peer reads (the working files, CSV, SD) keeps its bytes in every language.
//
// The translation tools find the texts by the calls' name: keep the context
// and the text as literals in the call.

#include <string>

namespace kvx {

using TranslateLookup = std::string (*)(const char* context, const char* source);

// Installs the lookup (nullptr: none).
void SetTranslateLookup(TranslateLookup lookup);

// The text source of context in the interface's language.
std::string Tx(const char* context, const char* source);

// Marks a text kept in Japanese to be shown later through Tx(context, text)
// (the names of the history's steps): the translation tools find it here.
constexpr const char* Tn(const char* /*context*/, const char* source)
{
    return source;
}

// A file's path as a message shows it: on a line of its own, never broken
// inside (a message box would otherwise wrap it at its first "/").  The path
// is set between the Unicode isolate marks U+2068 and U+2069, which the
// message box turns into a line that does not wrap.
std::string PathLine(const std::string& path);

// The marks PathLine sets around a path, in UTF-8.
inline constexpr const char* kPathOpen = "\xE2\x81\xA8";
inline constexpr const char* kPathClose = "\xE2\x81\xA9";

} // namespace kvx
