// What ends the program when an exception escapes. The program catches what it throws, so this
// never runs in practice; the standard library's default handler would print the exception's
// demangled type to a standard error stream that a GUI program does not have, and its demangler
// is about a fifth of the executable. Defining the handler here keeps that code out of the link.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
