// Reading files byte by byte: a POSIX descriptor read a buffer at a time,
// so memory stays that buffer whatever the file's size (64-bit offsets).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "host/sys/FileIo.h"

namespace {

constexpr size_t kOwnBufferSize = 4096;

struct FioReader : FioFile {
  int fd = -1;
  int64_t size = 0;
  unsigned char* buffer = nullptr;
  size_t capacity = 0;
  std::unique_ptr<unsigned char[]> own;   // used until the caller assigns a buffer
  std::string lastError;
  std::string path;
};

FioReader* Reader(HFIO file) { return static_cast<FioReader*>(file); }

}  // namespace

bool FIO_Open(std::string_view path, HFIO* out, std::string* error) {
  *out = nullptr;
  const std::string name(path);
  auto fail = [&](int err) {
    if (error) *error = "Can't open " + name + ": " + std::strerror(err);
    return false;
  };
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return fail(err);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return fail(EISDIR);
  }
  auto reader = std::make_unique<FioReader>();
  reader->fd = fd;
  reader->size = static_cast<int64_t>(st.st_size);
  reader->own = std::make_unique<unsigned char[]>(kOwnBufferSize);
  reader->buffer = reader->own.get();
  reader->capacity = kOwnBufferSize;
  reader->path = name;
  reader->pos = reader->end = reader->buffer;
  *out = reader.release();
  return true;
}

void FIO_AssignBuffer(HFIO file, unsigned char* buffer, size_t size) {
  FioReader* reader = Reader(file);
  if (reader == nullptr || buffer == nullptr || size == 0) return;
  // Bytes not yet handed out move to the new buffer, as far as they fit.
  const size_t waiting = std::min(static_cast<size_t>(reader->end - reader->pos), size);
  std::memmove(buffer, reader->pos, waiting);
  reader->buffer = buffer;
  reader->capacity = size;
  reader->pos = buffer;
  reader->end = buffer + waiting;
  reader->own.reset();
}

int64_t FIO_Size(HFIO file) { return file ? Reader(file)->size : 0; }

int FIO_Refill(HFIO file) {
  FioReader* reader = Reader(file);
  if (reader == nullptr) return FIO_ERROR;
  if (reader->pos < reader->end) return *reader->pos++;
  for (;;) {
    const ssize_t got = ::read(reader->fd, reader->buffer, reader->capacity);
    if (got < 0) {
      if (errno == EINTR) continue;
      reader->lastError = "Can't read " + reader->path + ": " + std::strerror(errno);
      reader->pos = reader->end = reader->buffer;
      return FIO_ERROR;
    }
    reader->pos = reader->buffer;
    reader->end = reader->buffer + got;
    if (got == 0) return FIO_EOF;
    return *reader->pos++;
  }
}

std::string FIO_LastError(HFIO file) { return file ? Reader(file)->lastError : std::string(); }

void FIO_Close(HFIO* file) {
  if (file == nullptr || *file == nullptr) return;
  FioReader* reader = Reader(*file);
  if (reader->fd >= 0) ::close(reader->fd);
  delete reader;
  *file = nullptr;
}
