#pragma once

// The window's words in the interface's language, as Qt text: the Japanese
// text is the source (see base/translate.h).  Keep the context and the text as
// literals in the call, where the translation tools find them.

#include <QCoreApplication>
#include <QString>

namespace kvx {

inline QString Qx(const char* context, const char* source)
{
    return QCoreApplication::translate(context, source);
}

} // namespace kvx
