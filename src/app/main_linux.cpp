// Entry point of the Linux program. The command line is not read.
#include "app/program.h"

int main() {
  return RunAccessUrl();
}
