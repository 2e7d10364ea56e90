// ShellExecuteEx and the process handles of programs it starts.
#include <utility>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/core/callrecord.h"
#include "platform/core/device.h"
#include "platform/core/handles.h"
#include "platform/core/regkey.h"
#include "platform/core/shellapi.h"
#include "platform/core/utf8.h"
#include "platform/core/wcrt.h"
#include "platform/core/winbase.h"
#include "platform/core/winreg.h"

extern char** environ;

namespace {

class ProcessObject : public KernelObject {
 public:
  explicit ProcessObject(pid_t pid) : m_pid(pid) {}
  // A program nobody waits for is still reaped when it ends.
  ~ProcessObject() override {
    if (!m_ended) std::thread([pid = m_pid] { waitpid(pid, nullptr, 0); }).detach();
  }

  bool ended(bool block) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_ended) return true;
    int status = 0;
    pid_t answer;
    do answer = waitpid(m_pid, &status, block ? 0 : WNOHANG);
    while (answer < 0 && errno == EINTR);
    if (answer == 0) return false;
    m_ended = true;
    if (answer != m_pid) return true;  // no longer ours to wait for
    m_exitCode = WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status))
                                   : 128 + static_cast<DWORD>(WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return true;
  }
  DWORD exitCode() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_ended ? m_exitCode : STILL_ACTIVE;
  }

 private:
  std::mutex m_mutex;
  pid_t m_pid;
  bool m_ended = false;
  DWORD m_exitCode = STILL_ACTIVE;
};

std::vector<std::string>& hostOptions() {
  static std::vector<std::string> options;
  return options;
}

BOOL failWith(LPSHELLEXECUTEINFO info, LONG error, int code) {
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(code));
  SetLastError(static_cast<DWORD>(error));
  return FALSE;
}

// A key's default string value of any length; empty when missing or not a string.
std::u16string defaultValueOf(const std::u16string& keyName) {
  RegKeyHandle key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return {};
  std::u16string text;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size >= 2) {
    text.resize(size / 2);
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(text.data()), &size) != ERROR_SUCCESS)
      text.clear();
    text.resize(std::min(text.size(), static_cast<size_t>(size / 2)));
    if (size_t end = text.find(u'\0'); end != std::u16string::npos) text.resize(end);
  }
  return text;
}

std::u16string extensionOf(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  size_t dot = path.rfind(u'.');
  if (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && dot < slash)) return {};
  return std::u16string(path.substr(dot));
}

bool equalNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && _wcsnicmp(a.data(), b.data(), a.size()) == 0;
}

std::u16string replaceAll(std::u16string text, std::u16string_view what, std::u16string_view with) {
  for (size_t at = text.find(what); at != std::u16string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

// Splits a command into its program (quoted, or up to the first blank) and
// the rest, which becomes the program's command line.
void splitCommand(std::u16string_view command, std::u16string& program, std::u16string& commandLine) {
  size_t at = command.find_first_not_of(u' ');
  if (at == std::u16string_view::npos) return;
  size_t end;
  if (command[at] == u'"') {
    end = command.find(u'"', at + 1);
    program = command.substr(at + 1, end == std::u16string_view::npos ? end : end - at - 1);
    end = end == std::u16string_view::npos ? command.size() : end + 1;
  } else {
    end = std::min(command.find(u' ', at), command.size());
    program = command.substr(at, end - at);
  }
  size_t rest = command.find_first_not_of(u' ', end);
  commandLine = rest == std::u16string_view::npos ? std::u16string() : std::u16string(command.substr(rest));
}

bool isFile(const Device& device, std::u16string_view path, std::string& host) {
  std::filesystem::path hostPath;
  std::error_code ec;
  if (device.hostPathOf(path, hostPath) != ERROR_SUCCESS || !std::filesystem::is_regular_file(hostPath, ec))
    return false;
  host = hostPath.string();
  return true;
}

// Starts the device program at `program` with `commandLine`; 0 or an error code.
LONG startProgram(const Device& device, const std::u16string& program, const std::u16string& commandLine, pid_t& pid) {
  std::string host;
  if (!isFile(device, program, host)) return ERROR_FILE_NOT_FOUND;
  std::vector<std::string> args{host};
  args.insert(args.end(), hostOptions().begin(), hostOptions().end());
  if (!commandLine.empty()) args.push_back(toUtf8(commandLine));

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "ORVELFLASH_DEVICE=", 18) != 0 && std::strncmp(*e, "ORVELFLASH_MODULE=", 18) != 0)
      env.emplace_back(*e);
  env.push_back("ORVELFLASH_DEVICE=" + device.root().string());
  env.push_back("ORVELFLASH_MODULE=" + toUtf8(program));

  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  int error = posix_spawn(&pid, host.c_str(), nullptr, nullptr, argv.data(), envp.data());
  if (error == EACCES) return ERROR_ACCESS_DENIED;
  return error == 0 ? ERROR_SUCCESS : ERROR_BAD_EXE_FORMAT;
}

// The file explorer's "open"; `started` is the program and command line it started.
BOOL executeFile(LPSHELLEXECUTEINFO info, std::u16string& started) {
  info->hProcess = nullptr;
  if (info->lpVerb && *info->lpVerb && _wcsicmp(info->lpVerb, u"open") != 0)
    return failWith(info, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
  Device* device = currentDevice();
  std::string host;
  const std::u16string file(info->lpFile);
  if (!device || !isFile(*device, file, host)) return failWith(info, ERROR_FILE_NOT_FOUND, SE_ERR_FNF);

  std::u16string program, commandLine;
  const std::u16string extension = extensionOf(file);
  if (equalNoCase(extension, u".exe")) {
    program = file;
    commandLine = info->lpParameters ? info->lpParameters : u"";
  } else {
    std::u16string type = extension.empty() ? std::u16string() : defaultValueOf(extension);
    std::u16string command = type.empty() ? std::u16string() : defaultValueOf(type + u"\\Shell\\Open\\Command");
    if (command.empty()) return failWith(info, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
    splitCommand(replaceAll(command, u"%1", file), program, commandLine);
  }

  pid_t pid = 0;
  started = program + (commandLine.empty() ? u"" : u" " + commandLine);
  if (LONG error = startProgram(*device, program, commandLine, pid); error != ERROR_SUCCESS)
    return failWith(info, error, error == ERROR_FILE_NOT_FOUND ? SE_ERR_FNF : SE_ERR_ACCESSDENIED);
  auto process = std::make_shared<ProcessObject>(pid);
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS) info->hProcess = addKernelObject(process);
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(42));
  return TRUE;
}

}  // namespace

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
  if (!info || (info->cbSize != kDeviceShellExecuteInfoSize && info->cbSize != sizeof(SHELLEXECUTEINFO)) ||
      !info->lpFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string started;
  BOOL ok = executeFile(info, started);
  DWORD error = GetLastError();
  std::string line =
      "verb=\"" + toUtf8(info->lpVerb ? info->lpVerb : u"") + "\" file=\"" + toUtf8(info->lpFile) + "\" ";
  line += ok ? "started=\"" + toUtf8(started) + "\"" : "error=" + std::to_string(error);
  wm::recordCall("shell execute", std::move(line));
  SetLastError(error);
  return ok;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto process = findKernelObjectAs<ProcessObject>(handle);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (milliseconds == INFINITE) return process->ended(true) ? WAIT_OBJECT_0 : WAIT_FAILED;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!process->ended(false)) {
    if (std::chrono::steady_clock::now() >= deadline) return WAIT_TIMEOUT;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WAIT_OBJECT_0;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  auto object = findKernelObjectAs<ProcessObject>(process);
  if (!object || !exitCode) {
    SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object->ended(false);
  *exitCode = object->exitCode();
  return TRUE;
}

std::vector<std::string> setProgramHostOptions(std::vector<std::string> options) {
  return std::exchange(hostOptions(), std::move(options));
}
