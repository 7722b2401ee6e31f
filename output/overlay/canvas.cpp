#include "output/overlay/canvas.h"

namespace kvx {

void ClearPrintInfo(PrintInfo& info)
{
    info = PrintInfo{};
}

} // namespace kvx
