// Running the tools that make the tests' media files.
#include "tests/media/media_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tokiren::testing {
namespace {

// Single quotes for the shell: the tests' paths are ours, but a quote in one must not break out.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Run(const std::string& command) {
  return std::system((command + " > /dev/null 2>&1").c_str()) == 0;
}

// ffmpeg making a one-second movie, up to its output options.
std::string MovieCommand(const std::string& creationTime) {
  std::string command =
      "ffmpeg -nostdin -loglevel error -f lavfi -i color=c=blue:s=64x48:d=1 -c:v libx264 ";
  if (!creationTime.empty()) command += "-metadata creation_time=" + Quoted(creationTime) + " ";
  return command;
}

}  // namespace

bool MakeJpeg(const std::string& path) {
  return Run("convert -size 64x48 xc:skyblue " + Quoted(path));
}

bool MakeTiff(const std::string& path) {
  return Run("convert -size 64x48 xc:skyblue " + Quoted("tiff:" + path));
}

bool SetExifText(const std::string& path, const std::string& key, const std::string& value) {
  // exiv2 takes a value in double quotes as it stands, blanks and all.
  return Run("exiv2 -M" + Quoted("set " + key + " Ascii \"" + value + "\"") + " " + Quoted(path));
}

bool MakeHeic(const std::string& jpeg, const std::string& path) {
  return Run("heif-enc -q 50 " + Quoted(jpeg) + " -o " + Quoted(path));
}

bool MakeMovie(const std::string& path, const std::string& creationTime) {
  return Run(MovieCommand(creationTime) + "-y " + Quoted(path));
}

bool MakeMovieWithTimeText(const std::string& path, const std::string& creationTime) {
  return Run(MovieCommand(creationTime) + "-movflags use_metadata_tags -y " + Quoted(path));
}

bool SetMovieHeaderTime(const std::string& path, std::uint32_t secondsSince1904) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The box type, then a version byte (0: 32-bit times), three flag bytes, the creation time.
  const size_t box = content.find("mvhd");
  if (box == std::string::npos || content[box + 4] != 0) return false;
  const char bigEndian[] = {static_cast<char>(secondsSince1904 >> 24),
                            static_cast<char>(secondsSince1904 >> 16),
                            static_cast<char>(secondsSince1904 >> 8),
                            static_cast<char>(secondsSince1904)};
  file.clear();
  file.seekp(static_cast<std::streamoff>(box + 8));
  file.write(bigEndian, sizeof bigEndian);
  return file.good();
}

bool SetAppleCreationDate(const std::string& path, const std::string& value) {
  return Run("exiftool -q -overwrite_original " + Quoted("-Keys:CreationDate=" + value) + " " +
             Quoted(path));
}

bool CopyTruncated(const std::string& from, const std::string& to, long bytes) {
  std::ifstream in(from, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return false;
  content.resize(static_cast<size_t>(bytes));
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << content;
  return out.good();
}

}  // namespace tokiren::testing
