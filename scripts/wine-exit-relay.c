/* Runs a Windows command line under Wine and writes the child's Windows exit code, in
 * decimal, to the file named by TARNFOLD_EXIT_CODE_FILE (a Windows path).
 *
 * Why: the Wine server sends SIGKILL to a process whose Unix side has not finished exiting
 * a second after its last thread ended. Under qemu user-mode emulation on a loaded machine
 * that teardown can take longer, so the host sees status 137 for a program that returned 0.
 * The exit code the program passed to ExitProcess is kept by the Wine server and handed to
 * its parent, this relay, intact. scripts/wine-run reads it from the file.
 *
 *   exit-relay.exe <program> [arguments...]    (the rest of the command line, verbatim)
 *
 * The child shares this process's console and standard handles. */
#include <windows.h>

/* The command line after the first argument (this program's own name), which ends at its
 * closing quote when it starts with one, and otherwise at the first blank. */
static wchar_t *after_program_name(wchar_t *line) {
  if (*line == L'"') {
    for (++line; *line && *line != L'"'; ++line) {
    }
    if (*line) ++line;
  } else {
    while (*line && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

static void say(const char *text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, lstrlenA(text), &written, NULL);
}

int main(void) {
  wchar_t code_file[MAX_PATH];
  if (!GetEnvironmentVariableW(L"TARNFOLD_EXIT_CODE_FILE", code_file, MAX_PATH)) {
    say("exit-relay: TARNFOLD_EXIT_CODE_FILE is not set\n");
    return 125;
  }
  wchar_t *command = after_program_name(GetCommandLineW());
  if (!*command) {
    say("exit-relay: no program to run\n");
    return 125;
  }

  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child;
  if (!CreateProcessW(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &child)) {
    say("exit-relay: the program could not be started\n");
    return 126;
  }
  DWORD code = 0;
  WaitForSingleObject(child.hProcess, INFINITE);
  GetExitCodeProcess(child.hProcess, &code);
  const DWORD result = code;

  char digits[12];
  int length = sizeof digits;
  digits[--length] = '\n';
  do {
    digits[--length] = (char)('0' + code % 10);
    code /= 10;
  } while (code);
  HANDLE file = CreateFileW(code_file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  DWORD written = 0;
  DWORD size = (DWORD)(sizeof digits - length);
  if (file == INVALID_HANDLE_VALUE || !WriteFile(file, digits + length, size, &written, NULL) ||
      written != size) {
    say("exit-relay: the exit code could not be written\n");
    return 125;
  }
  CloseHandle(file);
  return (int)(result & 0xFF);
}
