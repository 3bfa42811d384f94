#include "link/serial_port_win32.h"

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "link/head_protocol.h"

namespace sk720 {

namespace {

bool applyLineSettings(HANDLE port, int32_t baud) {
  wchar_t text[64];
  std::swprintf(text, 64, L"baud=%d parity=N data=8 stop=1", int(baud));
  DCB dcb;
  ZeroMemory(&dcb, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (!BuildCommDCBW(text, &dcb)) return false;
  dcb.DCBlength = sizeof dcb;
  return SetCommState(port, &dcb) != 0;
}

HANDLE openPort(uint32_t portNumber, int32_t baud) {
  wchar_t name[32];
  std::swprintf(name, 32, L"\\\\.\\COM%i", int(portNumber));
  HANDLE port =
      CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return port;
  // Only the open itself counts as failure; the settings calls are best effort.
  applyLineSettings(port, baud);
  PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  COMMTIMEOUTS t;
  t.ReadIntervalTimeout = MAXDWORD;
  t.ReadTotalTimeoutMultiplier = MAXDWORD;
  t.ReadTotalTimeoutConstant = 100;
  t.WriteTotalTimeoutMultiplier = 0;
  t.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(port, &t);
  return port;
}

// Another thread may close the port while a reader waits in it (the disconnect closes the GPS
// port under the running GPS reader): the handle is then closed by the last user, so it is never
// closed, and its value perhaps reused, under a running read; the reader sees -5 at its next read.
class Win32SerialPort : public SerialPort {
 public:
  explicit Win32SerialPort(HANDLE h) : handle_(h) {}
  ~Win32SerialPort() override { close(); }

  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    const HANDLE h = enter();
    if (h == INVALID_HANDLE_VALUE) return -5;
    const int32_t r = readFrom(h, dst, maxBytes);
    return leave() ? r : -5;
  }
  int32_t write(const uint8_t* data, int32_t size) override {
    const HANDLE h = enter();
    if (h == INVALID_HANDLE_VALUE) return -5;
    DWORD done = 0;
    const BOOL ok = WriteFile(h, data, DWORD(size > 0 ? size : 0), &done, nullptr);
    return leave() && ok ? int32_t(done) : -5;
  }
  void flush() override {
    const HANDLE h = enter();
    if (h == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(h);
    leave();
  }
  bool setBaud(int32_t baud) override {
    const HANDLE h = enter();
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = setPortBaud(h, baud);
    return leave() && ok;
  }
  // The rate the port runs at now, as the driver has it.
  uint32_t bitsPerSecond() override {
    const HANDLE h = enter();
    if (h == INVALID_HANDLE_VALUE) return 0;
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    const bool ok = GetCommState(h, &dcb) != 0;
    leave();
    return ok ? uint32_t(dcb.BaudRate) : 0;
  }
  void close() override {
    std::lock_guard<std::mutex> g(lock_);
    closed_ = true;
    if (busy_ == 0 && handle_ != INVALID_HANDLE_VALUE) {
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
  }

 private:
  HANDLE enter() {
    std::lock_guard<std::mutex> g(lock_);
    if (closed_ || handle_ == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    ++busy_;
    return handle_;
  }
  // False when the port was closed meanwhile.
  bool leave() {
    std::lock_guard<std::mutex> g(lock_);
    --busy_;
    if (closed_ && busy_ == 0 && handle_ != INVALID_HANDLE_VALUE) {
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
    return !closed_;
  }

  // Asks only for what is queued, or for one byte when nothing is: Wine (unlike Windows) waits
  // out the whole 100 ms when a read asks for more than has arrived.
  static int32_t readFrom(HANDLE h, uint8_t* dst, int32_t maxBytes) {
    if (maxBytes <= 0) return 0;
    DWORD want = std::min<DWORD>(DWORD(maxBytes), std::max<DWORD>(queued(h), 1));
    DWORD got = 0;
    if (!ReadFile(h, dst, want, &got, nullptr)) return -5;
    if (got == 1 && maxBytes > 1 && want == 1) {
      // The first byte after a wait: take whatever came with it.
      want = std::min<DWORD>(DWORD(maxBytes - 1), queued(h));
      DWORD more = 0;
      if (want > 0 && !ReadFile(h, dst + 1, want, &more, nullptr)) return -5;
      got += more;
    }
    return int32_t(got);
  }
  static DWORD queued(HANDLE h) {
    COMSTAT status{};
    DWORD errors = 0;
    return ClearCommError(h, &errors, &status) ? status.cbInQue : 0;
  }

  std::mutex lock_;
  HANDLE handle_;
  int busy_ = 0;
  bool closed_ = false;
};

}  // namespace

bool enumerateComPorts(ComPortEntry* table) {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                 KEY_QUERY_VALUE, &key);
  if (status != ERROR_SUCCESS) {
    SetLastError(DWORD(status));
    return false;
  }
  DWORD longestName = 0, longestData = 0;
  status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            &longestName, &longestData, nullptr, nullptr);
  if (status != ERROR_SUCCESS) {
    RegCloseKey(key);
    SetLastError(DWORD(status));
    return false;
  }
  const DWORD nameChars = longestName + 1;
  const DWORD dataBytes = (longestData | 1) + 1;  // room for a terminator after odd lengths
  std::vector<wchar_t> name;
  std::vector<BYTE> data;
  try {
    name.assign(nameChars, 0);
    data.assign(dataBytes, 0);
  } catch (...) {
    RegCloseKey(key);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  int32_t count = 0;
  for (DWORD index = 0; count < kComPortTableSize - 1; ++index) {
    std::fill(name.begin(), name.end(), 0);
    std::fill(data.begin(), data.end(), 0);
    DWORD nameLen = nameChars, dataLen = dataBytes - 1, type = 0;  // keep the last byte a zero
    status =
        RegEnumValueW(key, index, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    std::u16string text;
    for (DWORD i = 0; i < dataLen && i + 1 < dataBytes; i += 2) {
      const char16_t c = char16_t(data[i] | (data[i + 1] << 8));
      if (c == 0) break;
      text += c;
    }
    if (!isComPortText(text)) continue;
    table[count].portNumber = comPortNumberFromText(text);
    setComPortName(table[count], text);
    ++count;
  }
  table[count].portNumber = 0;
  RegCloseKey(key);
  return true;
}

HANDLE openHeadPort(uint32_t portNumber) { return openPort(portNumber, 115200); }

HANDLE openGpsPort(uint32_t portNumber, int32_t baud) { return openPort(portNumber, baud); }

bool setPortBaud(HANDLE port, int32_t baud) { return applyLineSettings(port, baud); }

std::unique_ptr<SerialPort> adoptPortHandle(HANDLE port) {
  return std::make_unique<Win32SerialPort>(port);
}

void installDebuggerDiagnostics() {
  setLinkDiagnosticSink([](const char* text) { OutputDebugStringA(text); });
}

}  // namespace sk720
