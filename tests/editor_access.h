#pragma once

// The door through which tests stage a scene on an Editor: the document as a
// test needs it, told to the observers as tool state, no step of the user's.
// The program itself has no such door.

#include "edit/editor.h"

#include <functional>

namespace kvx {

struct EditorTestAccess {
    static void Stage(Editor& editor, unsigned flags, const std::function<void(Document&)>& change)
    {
        editor.Track(flags, change);
    }
};

} // namespace kvx
