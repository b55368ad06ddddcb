// SPDX-License-Identifier: Apache-2.0
// Standard output held back in a temporary file, so that a tool can print
// its console as ever and hand the text to another form of report (the
// verifier's JSON) instead of the terminal.
#pragma once

#include <cstdio>
#include <string>

struct ConsoleCapture {
  std::FILE* file;  // the temporary file that standard output goes to
  int savedOutput;  // a duplicate of the real standard output, -1 when none
};

// From now on, everything written to standard output (by any stream or file
// descriptor) goes to a temporary file that no other process sees and that
// goes away when closed. Returns 0, or -1 with standard output as it was.
int StartConsoleCapture(ConsoleCapture& capture);

// Gives standard output back and reads what was written meanwhile into
// `text`. Returns 0, or -1 when the text could not be read back whole (what
// was read is kept). Safe to call on a capture that did not start.
int EndConsoleCapture(ConsoleCapture& capture, std::string& text);
