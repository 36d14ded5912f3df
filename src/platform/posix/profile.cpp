// Private profile (INI) files: GetPrivateProfileStringA, WritePrivateProfileStringA,
// GetPrivateProfileIntA.
//
// Every call reads the whole file afresh, so there is no cache to flush. A file is a
// sequence of lines split on LF (a CR before the LF, or at the very end of the file,
// belongs to the line ending). As far as reading is concerned a line ends at its first
// NUL byte, which is all a C string can carry. Recognised lines are
//   [section]      leading blanks allowed, text after the ']' ignored
//   key=value      inside a section; blanks around key and value ignored
// and everything else (blank lines, ';' comments, garbage) is skipped on read and kept
// byte for byte on write. Names compare without regard to ASCII case. As in Windows,
// only the first section of a name counts: lookups, key lists, writes and deletions
// see that one and its first key of a name; later repeats are inert text (but are
// listed among the section names, each time they appear).
//
// Writes go to a temporary file in the same directory that is then renamed over the
// original, so a crash leaves either the old file or the new one.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/win32_posix.h"

namespace {

constexpr DWORD kErrorPathNotFound = 3;
constexpr DWORD kErrorAccessDenied = 5;
constexpr DWORD kErrorWriteFault = 29;
constexpr DWORD kErrorDiskFull = 112;

// Calls from several threads see each other's writes whole.
std::mutex& profileMutex() {
  static std::mutex m;
  return m;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && isBlank(s[b])) ++b;
  size_t e = s.size();
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The default value loses its trailing spaces (tabs stay), as Windows does it.
std::string_view trimTrailingSpaces(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return s.substr(0, e);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

// A value wrapped in matching single or double quotes reads without them.
std::string_view unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

DWORD errorFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrorAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    default:
      return kErrorWriteFault;
  }
}

// Maps a profile file name to a path: backslashes become slashes, and a bare name
// (no separator at all) lives in the Windows directory, which for us is
// $QUILLON_WINDIR, else $HOME, else the current directory.
std::string resolvePath(LPCSTR file) {
  std::string name = file ? file : "win.ini";
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  if (name.find('/') != std::string::npos) return name;
  const char* dir = std::getenv("QUILLON_WINDIR");
  if (!dir || !*dir) dir = std::getenv("HOME");
  if (!dir || !*dir) dir = ".";
  std::string path = dir;
  if (path.back() != '/') path += '/';
  return path + name;
}

enum class ReadResult { Ok, Missing, Failed };

// Reads a regular file whole. Anything else (directory, FIFO, device) is refused
// rather than read, so a stray name can never block or run forever.
ReadResult readWholeFile(const std::string& path, std::string& out, int& err, mode_t* mode) {
  out.clear();
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return err == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    err = errno;
    close(fd);
    return ReadResult::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    return ReadResult::Failed;
  }
  if (mode) *mode = st.st_mode & 07777;
  // Read into the string itself, growing it as needed: the size fstat gave is only a
  // hint, since the file may change while we read.
  size_t length = 0;
  out.resize(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096);
  for (;;) {
    if (length == out.size()) out.resize(out.size() * 2);
    ssize_t n = read(fd, &out[length], out.size() - length);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      close(fd);
      out.clear();
      return ReadResult::Failed;
    }
    if (n == 0) break;
    length += static_cast<size_t>(n);
  }
  out.resize(length);
  close(fd);
  return ReadResult::Ok;
}

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Replaces the file at path with data through a temporary file and rename. A new file
// gets the usual 0666 less umask; an existing one keeps its permission bits.
bool replaceFile(const std::string& path, const std::string& data, const mode_t* keepMode, DWORD& error) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (slash != std::string::npos) dir.pop_back();
  if (dir.empty()) dir = "/";
  if (base.empty()) {
    error = kErrorAccessDenied;
    return false;
  }
  static unsigned counter = 0;
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = dir + (dir == "/" ? "" : "/") + "." + base + "." + std::to_string(getpid()) + "." +
          std::to_string(counter++) + ".tmp";
    fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = errorFromErrno(errno);
    return false;
  }
  if (keepMode) (void)fchmod(fd, *keepMode);
  bool ok = writeAll(fd, data) && fsync(fd) == 0;
  int savedErrno = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    unlink(tmp.c_str());
    error = errorFromErrno(savedErrno);
  }
  return ok;
}

// One line of a profile file, as the scanner below hands them out.
enum class Kind { Other, Header, Key };
struct Line {
  size_t begin = 0;  // content is [begin, end)
  size_t end = 0;
  size_t next = 0;  // the line ending is [end, next)
  Kind kind = Kind::Other;
  std::string_view name;     // section name of a header, key of a key line
  std::string_view value;    // key lines: trimmed, quotes still on
  std::string_view section;  // the section the line is in (a header is in its own)
  size_t sectionBegin = 0;   // where that section's header line begins
  bool inSection = false;    // false before the first header
};

// Walks a profile's lines one at a time, so no per-line storage is needed however
// many lines the file has.
class LineScanner {
 public:
  explicit LineScanner(std::string_view text) : text_(text) {}

  bool next(Line& l) {
    if (pos_ >= text_.size()) return false;
    l = Line();
    l.begin = pos_;
    size_t lf = text_.find('\n', pos_);
    if (lf == std::string_view::npos) {
      l.end = l.next = text_.size();
    } else {
      l.end = lf;
      l.next = lf + 1;
    }
    if (l.end > l.begin && text_[l.end - 1] == '\r') --l.end;
    pos_ = l.next;

    std::string_view content = text_.substr(l.begin, l.end - l.begin);
    content = trim(content.substr(0, content.find('\0')));
    if (!content.empty() && content.front() == '[') {
      size_t close = content.find(']');
      if (close != std::string_view::npos) {
        l.kind = Kind::Header;
        l.name = trim(content.substr(1, close - 1));
        section_ = l.name;
        sectionBegin_ = l.begin;
        inSection_ = true;
      }
    } else if (!content.empty() && content.front() != ';' && inSection_) {
      size_t eq = content.find('=');
      if (eq != std::string_view::npos) {
        l.kind = Kind::Key;
        l.name = trim(content.substr(0, eq));
        l.value = trim(content.substr(eq + 1));
      }
    }
    l.section = section_;
    l.sectionBegin = sectionBegin_;
    l.inSection = inSection_;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  std::string_view section_;
  size_t sectionBegin_ = 0;
  bool inSection_ = false;
};

// Where the header of the first section named `section` begins, if there is one.
std::optional<size_t> firstSection(std::string_view text, std::string_view section) {
  LineScanner scan(text);
  Line l;
  while (scan.next(l)) {
    if (l.kind == Kind::Header && equalsNoCase(l.name, section)) return l.begin;
  }
  return std::nullopt;
}

bool lineInSection(const Line& l, std::optional<size_t> section) {
  return section && l.inSection && l.sectionBegin == *section;
}

bool isKeyLine(const Line& l, std::optional<size_t> section, std::string_view key) {
  return l.kind == Kind::Key && equalsNoCase(l.name, key) && lineInSection(l, section);
}

std::optional<std::string_view> findValue(std::string_view text, std::string_view section, std::string_view key) {
  const std::optional<size_t> first = firstSection(text, section);
  if (!first) return std::nullopt;
  LineScanner scan(text);
  Line l;
  while (scan.next(l)) {
    if (isKeyLine(l, first, key)) return unquote(l.value);
  }
  return std::nullopt;
}

// Names in file order, repeats included. Empty names are left out: in a
// NUL-separated list they would read as its end.
std::vector<std::string_view> sectionNames(std::string_view text) {
  std::vector<std::string_view> names;
  LineScanner scan(text);
  Line l;
  while (scan.next(l)) {
    if (l.kind == Kind::Header && !l.name.empty()) names.push_back(l.name);
  }
  return names;
}

std::vector<std::string_view> keyNames(std::string_view text, std::string_view section) {
  std::vector<std::string_view> names;
  const std::optional<size_t> first = firstSection(text, section);
  LineScanner scan(text);
  Line l;
  while (first && scan.next(l)) {
    if (l.kind == Kind::Key && lineInSection(l, first) && !l.name.empty()) names.push_back(l.name);
  }
  return names;
}

// The file with key set to value: the key's line rewritten in place (its spelling,
// indentation and line ending kept), or a new line in the section, or a new section
// at the end.
std::string withValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  std::string out;
  bool headerSeen = false;
  bool inFirst = false;
  size_t insertAt = text.size();
  LineScanner scan(text);
  Line l;
  while (scan.next(l)) {
    if (inFirst && l.kind == Kind::Key && equalsNoCase(l.name, key)) {
      out.reserve(text.size() + value.size() + 1);
      // Indentation before the key stays; the rest of the line is rewritten.
      out.append(text.substr(0, static_cast<size_t>(l.name.data() - text.data())));
      out.append(l.name);
      out += '=';
      out.append(value);
      out.append(text.substr(l.end));
      return out;
    }
    if (l.kind == Kind::Header) {
      inFirst = !headerSeen && equalsNoCase(l.name, section);
      if (inFirst) {
        headerSeen = true;
        insertAt = l.next;
      }
    } else if (inFirst && !trim(text.substr(l.begin, l.end - l.begin)).empty()) {
      // After the section's last non-blank line, so blank lines that separate it from
      // the next section stay where they are.
      insertAt = l.next;
    }
  }
  std::string added;
  if (!headerSeen) {
    added.reserve(section.size() + key.size() + value.size() + 8);
    added.append("[").append(section).append("]\r\n");
  }
  added.append(key).append("=").append(value).append("\r\n");
  out.reserve(text.size() + added.size() + 2);
  out.append(text.substr(0, insertAt));
  // The line we append after may be the file's last, without a line ending.
  if (!out.empty() && out.back() != '\n') out.append(out.back() == '\r' ? "\n" : "\r\n");
  out.append(added);
  out.append(text.substr(insertAt));
  return out;
}

template <typename Drop>
std::string withoutLines(std::string_view text, Drop drop) {
  std::string out;
  out.reserve(text.size());
  LineScanner scan(text);
  Line l;
  while (scan.next(l)) {
    if (!drop(l)) out.append(text.substr(l.begin, l.next - l.begin));
  }
  return out;
}

// Drops the first line of the key in the first section of the name.
std::string withoutKey(std::string_view text, std::string_view section, std::string_view key) {
  const std::optional<size_t> first = firstSection(text, section);
  bool dropped = false;
  return withoutLines(text, [&](const Line& l) {
    if (dropped || !isKeyLine(l, first, key)) return false;
    dropped = true;
    return true;
  });
}

// Drops the first section of the name: its header and every line up to the next header.
std::string withoutSection(std::string_view text, std::string_view section) {
  const std::optional<size_t> first = firstSection(text, section);
  return withoutLines(text, [&](const Line& l) { return lineInSection(l, first); });
}

DWORD copyString(std::string_view s, LPSTR buffer, DWORD size) {
  size_t n = s.size() < size - 1 ? s.size() : size - 1;
  if (n) std::memcpy(buffer, s.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// Names, each NUL-terminated, then one more NUL. A list that does not fit is cut
// and still ends in two NULs; the return is then size - 2. As in Windows, a list
// that would fill the buffer exactly counts as not fitting (its bytes are the
// same, the return says size - 2).
DWORD copyList(const std::vector<std::string_view>& names, LPSTR buffer, DWORD size) {
  uint64_t total = 0;
  for (std::string_view n : names) total += n.size() + 1;
  if (total + 1 < size || (total == 0 && size >= 1)) {
    char* p = buffer;
    for (std::string_view n : names) {
      std::memcpy(p, n.data(), n.size());
      p += n.size();
      *p++ = '\0';
    }
    *p = '\0';
    if (total == 0 && size >= 2) buffer[1] = '\0';
    return static_cast<DWORD>(total);
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  size_t room = size - 2;
  char* p = buffer;
  for (std::string_view n : names) {
    if (room == 0) break;
    size_t take = n.size() < room ? n.size() : room;
    std::memcpy(p, n.data(), take);
    p += take;
    room -= take;
    if (room == 0) break;
    *p++ = '\0';
    --room;
  }
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

// Parses what GetPrivateProfileIntA accepts: optional sign, then decimal digits or
// 0x (lower case only, as Windows reads it) and hex digits. Anything after the
// number is ignored; no number gives 0.
// Arithmetic wraps modulo 2^32 like the 32-bit result it produces.
UINT parseInt(std::string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  uint32_t result = 0;
  if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x')) {
    for (i += 2; i < s.size(); ++i) {
      char c = s[i];
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f') {
        digit = static_cast<uint32_t>(lowerAscii(c) - 'a' + 10);
      } else {
        break;
      }
      result = result * 16u + digit;
    }
  } else {
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) result = result * 10u + static_cast<uint32_t>(s[i] - '0');
  }
  return negative ? 0u - result : result;
}

// What a write must not contain: line breaks anywhere, and names that would read back
// as something else.
bool validForWrite(std::string_view section, const std::string_view* key, LPCSTR value) {
  auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
  if (hasBreak(section) || section.find(']') != std::string_view::npos) return false;
  if (key) {
    if (hasBreak(*key) || key->find('=') != std::string_view::npos) return false;
    if (!key->empty() && (key->front() == '[' || key->front() == ';')) return false;
  }
  return !(value && hasBreak(value));
}

}  // namespace

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                      LPCSTR file) {
  if (!buffer || size == 0) return 0;
  try {
    std::lock_guard<std::mutex> lock(profileMutex());
    std::string contents;
    int err = 0;
    ReadResult r = readWholeFile(resolvePath(file), contents, err, nullptr);
    if (r != ReadResult::Ok) SetLastError(r == ReadResult::Missing ? ERROR_FILE_NOT_FOUND : errorFromErrno(err));
    const std::string_view fallback = trimTrailingSpaces(defaultValue ? defaultValue : "");
    if (!section) return copyList(sectionNames(contents), buffer, size);
    if (!key) {
      // A section that is missing or has no keys gives the default, as a value would.
      std::vector<std::string_view> keys = keyNames(contents, trim(section));
      return keys.empty() ? copyString(fallback, buffer, size) : copyList(keys, buffer, size);
    }
    if (auto v = findValue(contents, trim(section), trim(key))) return copyString(*v, buffer, size);
    if (r == ReadResult::Ok) SetLastError(ERROR_FILE_NOT_FOUND);
    return copyString(fallback, buffer, size);
  } catch (...) {
    // Out of memory (a file too large to hold): answer as for a file we cannot read.
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    if (section) return copyString(trimTrailingSpaces(defaultValue ? defaultValue : ""), buffer, size);
    return copyList({}, buffer, size);
  }
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  // Without a section there is nothing to write; Windows answers FALSE, also to the
  // all-NULL flush request (nothing is cached here, so there is nothing to flush).
  if (!section) {
    if (key || value) SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  try {
    std::lock_guard<std::mutex> lock(profileMutex());
    std::string_view sectionName = trim(section);
    std::string_view keyName = key ? trim(key) : std::string_view();
    if (!validForWrite(sectionName, key ? &keyName : nullptr, value)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    std::string path = resolvePath(file);
    // Write through a symbolic link rather than replacing the link itself.
    struct stat lst;
    if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
      if (char* real = realpath(path.c_str(), nullptr)) {
        path = real;
        std::free(real);
      }
    }
    std::string contents;
    int err = 0;
    mode_t mode = 0;
    ReadResult r = readWholeFile(path, contents, err, &mode);
    if (r == ReadResult::Failed) {
      // Never overwrite a file we could not read: its settings would be lost.
      SetLastError(errorFromErrno(err));
      return FALSE;
    }
    std::string updated;
    if (!key) {
      updated = withoutSection(contents, sectionName);
    } else if (!value) {
      updated = withoutKey(contents, sectionName, keyName);
    } else {
      updated = withValue(contents, sectionName, keyName, value);
    }
    if (updated == contents) return TRUE;
    DWORD error = 0;
    if (!replaceFile(path, updated, r == ReadResult::Ok ? &mode : nullptr, error)) {
      SetLastError(error);
      return FALSE;
    }
    return TRUE;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR file) {
  UINT fallback = static_cast<UINT>(defaultValue);
  if (!section || !key) return fallback;
  try {
    std::lock_guard<std::mutex> lock(profileMutex());
    std::string contents;
    int err = 0;
    ReadResult r = readWholeFile(resolvePath(file), contents, err, nullptr);
    if (r != ReadResult::Ok) {
      SetLastError(r == ReadResult::Missing ? ERROR_FILE_NOT_FOUND : errorFromErrno(err));
      return fallback;
    }
    auto v = findValue(contents, trim(section), trim(key));
    // A missing key and an empty value both give the default; text that is not a
    // number gives 0.
    if (!v || v->empty()) return fallback;
    return parseInt(*v);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return fallback;
  }
}

}  // extern "C"
