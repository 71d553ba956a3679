// Renders the program's artwork into 24-bit BMP files named after their resources.
//   lumo_artgen OUTPUT_FOLDER [--preview]
// With --preview it also writes pictures of the windows assembled from the pieces, for
// judging the look without starting the program.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <string>

#include "Artwork.h"
#include "Preview.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [--preview]\n", argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    std::map<std::string, artgen::Picture> all;
    for (auto* make : {artgen::mainWindowArtwork, artgen::settingsWindowArtwork,
                       artgen::aboutWindowArtwork})
      for (auto& a : make()) {
        artgen::writeBmp(a.picture, (folder / (a.name + ".bmp")).string());
        all[a.name] = std::move(a.picture);
      }
    if (argc > 2 && std::string(argv[2]) == "--preview") artgen::writePreviews(all, folder);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lumo_artgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
