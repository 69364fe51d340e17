#pragma once

#include "image/image_file.h"

#include <cstdint>
#include <string>

namespace kelvarin {

// Opens `path` for one pass, but only if it names an existing regular file that reaches past
// the last roster field. Otherwise the returned file is not open and `problem` says, in words
// for the user, what is wrong ("it is a folder, not a file").
ImageFile OpenRosterImage(const std::string& path, ImageFile::Access access, std::string& problem);

// "\"/home/me/game.nds\"", for messages.
std::string Quoted(const std::string& path);

} // namespace kelvarin
