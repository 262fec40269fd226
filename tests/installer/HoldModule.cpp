// Holds a module loaded, as a running host does, for the installer's tests:
//   HoldModule.exe MODULE FLAG
// loads MODULE, creates FLAG once it is loaded, and unloads it and exits
// when FLAG is deleted. Exits 3 when the module cannot be loaded.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    HMODULE module = LoadLibraryExW(argv[1], nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (module == nullptr) return 3;
    HANDLE flag = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (flag == INVALID_HANDLE_VALUE) return 4;
    CloseHandle(flag);
    while (GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES) Sleep(50);
    FreeLibrary(module);
    return 0;
}
