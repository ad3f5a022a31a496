// Reading files byte by byte. (Stub until the host's reader lands.)
#include "host/sys/FileIo.h"

bool FIO_Open(std::string_view path, HFIO* out, std::string* error) {
  *out = nullptr;
  if (error) *error = "Can't open " + std::string(path) + ": not built yet";
  return false;
}
void FIO_AssignBuffer(HFIO, unsigned char*, size_t) {}
int64_t FIO_Size(HFIO) { return 0; }
int FIO_Refill(HFIO) { return FIO_EOF; }
std::string FIO_LastError(HFIO) { return {}; }
void FIO_Close(HFIO* file) { *file = nullptr; }
