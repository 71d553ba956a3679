// Pictures of the windows assembled from their artwork, for judging the look.
#pragma once
#include <filesystem>
#include <map>
#include <string>

#include "Canvas.h"

namespace artgen {

void writePreviews(const std::map<std::string, Picture>& art, const std::filesystem::path& folder);

}  // namespace artgen
