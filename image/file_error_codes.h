#pragma once

// For the file layers and their tests only: what the platform's own error codes mean for a
// person. Everything above the file layer decides by FileErrorKind alone.
#include "image_file.h"

namespace kelvarin {

// The kind a system error code stands for: an errno value on POSIX, a GetLastError() code on
// Windows. Each file layer defines it for its platform.
FileErrorKind FileErrorKindOf(long systemCode);

} // namespace kelvarin
