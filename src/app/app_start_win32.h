#pragma once
// Start-up of the Windows program: GDI+, switches, language, classes, the main
// window and the message loop.
#include <windows.h>

#include <string>
#include <vector>

namespace sk720 {

// From the full command line (program first). The switches are whole arguments,
// compared exactly: "-tunable" and "-extrange". Anything else that names an
// existing file is a recording to open.
struct CommandLine {
  bool tunable = false;
  bool extendedRange = false;
  std::vector<std::wstring> files;
};
CommandLine parseProgramCommandLine(const wchar_t *commandLine);

// Chooses the interface language from the store ("0412" Korean, "0419" Russian,
// else English) and makes the calling thread load resources in it. Returns the
// language id.
LANGID selectInterfaceLanguage();

bool registerWindowClasses(HINSTANCE instance);
bool InitInstance(HINSTANCE instance, int showCommand, LANGID language);

// The whole program: returns the message loop's exit code.
int runProgram(HINSTANCE instance, const wchar_t *commandLine, int showCommand);

} // namespace sk720
