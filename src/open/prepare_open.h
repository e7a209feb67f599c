#pragma once
// What ReadPrepare does, from plain values: the images of the icon file,
// the user's choice when there are several, and the chosen image written as
// the temporary PNG the carried module reads.
#include <cstdint>
#include <string>

namespace icofmt::open {

// tempFolder + the file-name part of hostFileName (after the last '/', '\'
// or drive colon) with its extension replaced by ".png", or ".png" appended
// when it has none. Empty when tempFolder is empty: no temporary file may
// land in whatever the current folder is.
std::string tempPngPathFor(const std::string& tempFolder, const std::string& hostFileName);

struct PreparedOpen {
  enum class Outcome { Exported, Cancelled, Failed };
  Outcome outcome = Outcome::Failed;
  // The image chosen (0 without a form; unchanged when there is no image).
  std::int32_t chosenIndex = 0;
  // Where the PNG is; it exists exactly when outcome is Exported. Empty when
  // there is no temporary name to use (the clean-up then deletes nothing).
  std::string tempPngPath;
  bool ok() const { return outcome == Outcome::Exported; }
};

// Lists the images of iconPath, asks the user through TFormSelect when there
// are two or more, and exports the chosen one to tempPngPathFor(tempFolder,
// iconPath). A file of that name left from earlier is deleted first, so that
// it can never pass for the chosen image: when nothing is exported, nothing
// of that name remains (unless it could not be deleted, and then the outcome
// is Failed too). An icon file that is itself at that path is left alone:
// the outcome is Failed and tempPngPath empty.
PreparedOpen prepareOpen(const std::string& iconPath, const std::string& tempFolder,
                         std::int32_t chosenIndex = 0);

}  // namespace icofmt::open
