#include "host_files.h"

#include <windows.h>

namespace orn::test {

std::string DeviceFile() { return "NUL"; }

std::string MakeFifo(const std::string&) {
    static int count = 0;
    const std::string name =
        "\\\\.\\pipe\\orn10-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    // Served until the process ends; opening it connects at once.
    const HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096, 0,
                                         nullptr);
    return pipe == INVALID_HANDLE_VALUE ? std::string() : name;
}

void OpenFifoReader(const std::string&) {}

bool DeletionSeenWhileOpen() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
}

bool DeletedNameIsFree() { return false; }

bool TextWidthsComparable() { return false; }

} // namespace orn::test
