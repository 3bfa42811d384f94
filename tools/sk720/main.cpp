// sk720: command-line companion of the control program.
#include <cstdio>

#include "sk720/commands.h"

int main(int argc, char** argv) {
  return sk720::cli::runCommandLine(sk720::cli::Args(argv + 1, argv + argc), stdout);
}
