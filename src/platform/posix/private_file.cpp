// Owner-only files on POSIX: the mode is set on the open descriptor, so what
// is written later goes into the file that was checked.
#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

PrivateFileResult OpenPrivateFile(const char* path, FILE** file) {
  *file = nullptr;
  if (!path) return kPrivateFileNotOpened;
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) return kPrivateFileNotOpened;
  // A new file already has 0600 (or less, by the umask); an existing one keeps
  // its mode through open, so it is narrowed here whatever it was.
  struct stat st {};
  if (fchmod(fd, S_IRUSR | S_IWUSR) != 0 || fstat(fd, &st) != 0 || (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    close(fd);
    return kPrivateFileNotPrivate;
  }
  *file = fdopen(fd, "w");
  if (!*file) {
    close(fd);
    return kPrivateFileNotOpened;
  }
  return kPrivateFileOpened;
}
