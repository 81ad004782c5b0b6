#include "core/settings/profile_file.h"

#include "platform/text.h"

#include "platform/files.h"
#include "core/settings/archive.h"
#include "core/settings/settings_check.h"

namespace orv {

std::string ProfileBytes(const GridRows& rows) {
  ArchiveWriter out;
  for (const GridRow& row : rows) {
    out.Int32(row.listOnly);
    out.String(row.options);
    out.String(row.value);
    out.Int32(row.kind);
    out.String(row.caption);
  }
  return out.bytes();
}

bool ParseProfile(const std::string& bytes, const std::string& fileName, GridRows* rows,
                  std::string* error) {
  ArchiveReader in(bytes);
  GridRows read;
  for (GridRow& row : read) {
    in.Int32(&row.listOnly);
    in.String(&row.options);
    in.String(&row.value);
    in.Int32(&row.kind);
    in.String(&row.caption);
  }
  if (in.error() != ArchiveError::None) {
    *error = ArchiveErrorText(in.error(), fileName);
    return false;
  }
  if (std::string problem = ProfileRowsProblem(read); !problem.empty()) {
    *error = fileName + ": " + problem;
    return false;
  }
  *rows = std::move(read);
  return true;
}

std::string ProfileRowsProblem(const GridRows& rows) {
  // The grid's reactions (format, clip, codec) hang on the captions: a file
  // with other rows, or in another order, is no profile of ours.
  const GridRows expected = BuildGridRows();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].caption != expected[r].caption)
      return "row " + std::to_string(r + 1) + " is \"" + rows[r].caption + "\" where \"" +
             expected[r].caption + "\" belongs; this is not a profile of this program.";
    if (std::string reason = FieldValueProblem(rows[r].caption, rows[r].value); !reason.empty())
      return FieldProblem{rows[r].caption, rows[r].value, reason}.Text() + ".";
  }
  // Valid values may still ask for what the format cannot hold (VP9 in MP3
  // or H.264 in WebM); the clip rows are the grid's, not the profile's.
  if (auto problem = CombinationProblem(TextsOfRows(rows))) return problem->Text() + ".";
  return {};
}

ProfileLoad LoadProfileFile(const std::string& path, GridRows* rows, std::string* error) {
  std::string bytes;
  switch (ReadFileBytes(path, kMaxProfileBytes, &bytes)) {
    case FileReadResult::OpenFailed:
      return ProfileLoad::OpenFailed;
    case FileReadResult::TooLarge:
      *error = FillIn(kArchiveTooLarge, path);
      return ProfileLoad::Damaged;
    case FileReadResult::Ok:
      break;
  }
  return ParseProfile(bytes, path, rows, error) ? ProfileLoad::Ok : ProfileLoad::Damaged;
}

bool SaveProfileFile(const std::string& path, const GridRows& rows, std::string* reason) {
  const std::string error = WriteFileAtomically(path, ProfileBytes(rows));
  if (reason) *reason = error;
  return error.empty();
}

}  // namespace orv
