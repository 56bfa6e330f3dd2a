#include "standin.h"

#include <cstdio>
#include <cstdlib>

#include "platform/win32/win32_handles.h"

namespace hanamizu::standin {
namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

std::string ReadFileBytes(const std::wstring& path) {
  win32::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string bytes(static_cast<size_t>(GetFileSize(file.get(), nullptr)), '\0');
  DWORD read = 0;
  ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

std::string CurrentDirectory() {
  std::wstring dir(GetCurrentDirectoryW(0, nullptr), L'\0');
  dir.resize(GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), dir.data()));
  return Utf8(dir);
}

std::string ShowWindowCode() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  if (!(startup.dwFlags & STARTF_USESHOWWINDOW)) return "none";
  return std::to_string(startup.wShowWindow);
}

std::string StartTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

}  // namespace

std::wstring ModuleStem() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  // Started through its short name, it still writes its record under its own.
  std::wstring long_path(32768, L'\0');
  long_path.resize(GetLongPathNameW(path.c_str(), long_path.data(), 32768));
  if (!long_path.empty()) path = long_path;
  const size_t dot = path.find_last_of(L'.');
  const size_t slash = path.find_last_of(L'\\');
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) path.resize(dot);
  return path;
}

Control ReadControl(const std::wstring& stem) {
  Control control;
  const std::string text = ReadFileBytes(stem + L".control.txt");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals != std::string::npos) {
      const std::string key = line.substr(0, equals);
      const DWORD value = static_cast<DWORD>(std::strtoul(line.c_str() + equals + 1, nullptr, 10));
      if (key == "exit_code") control.exit_code = value;
      if (key == "delay_ms") control.delay_ms = value;
    }
    start = end + 1;
  }
  return control;
}

void WriteRecord(const std::wstring& stem) {
  const std::string record =
      "command_line=" + Utf8(GetCommandLineW()) + "\ncurrent_directory=" + CurrentDirectory() +
      "\nshow_window=" + ShowWindowCode() +
      "\nprocess_id=" + std::to_string(GetCurrentProcessId()) + "\nstart_time=" + StartTime() +
      "\nstart_tick_ms=" + std::to_string(GetTickCount64()) + "\n";
  // Written aside and renamed, so that a reader never sees half a record.
  const std::wstring partial = stem + L".record.partial";
  {
    win32::FileHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  }
  MoveFileExW(partial.c_str(), (stem + L".record.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
}

int RecordAndExit() {
  const std::wstring stem = ModuleStem();
  const Control control = ReadControl(stem);
  WriteRecord(stem);
  if (control.delay_ms > 0) Sleep(control.delay_ms);
  return static_cast<int>(control.exit_code);
}

}  // namespace hanamizu::standin
