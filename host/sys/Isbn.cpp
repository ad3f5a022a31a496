// Normal forms of standard numbers. (Stub.)
#include "host/sys/Isbn.h"

std::string _ProcessISBN(std::string_view text) { return std::string(text); }
std::string _Convert13DigitEanInto10DigitIsbn(std::string_view ean) { return std::string(ean); }
std::string _ProcessLCCN(std::string_view text) { return std::string(text); }
