#!/usr/bin/env python3
"""Windows XP SP2, the oldest system the 32-bit files run on: the functions
that its system DLLs export and that the 32-bit module and survey tool may
import. Anything newer is looked up at run time by name. A new import fails
the check until it is reviewed against XP SP2 and added here. Run with
Debian's python3 (python3-pefile).

    check_xp_imports.py path/to/file.exe|dll
"""
import sys

import pefile

XP_SP2_IMPORTS = {
    "advapi32.dll": """
        GetUserNameW RegCloseKey RegCreateKeyExW RegDeleteKeyW RegDeleteValueW RegEnumKeyExW RegEnumValueW
        RegOpenKeyExW RegQueryInfoKeyW RegQueryValueExW RegSetValueExW""",
    "kernel32.dll": """
        ActivateActCtx AssignProcessToJobObject CancelIo CloseHandle CompareStringW ConnectNamedPipe
        CreateActCtxW CreateEventW CreateFileW CreateJobObjectW CreateNamedPipeW CreateProcessW
        CreateSemaphoreW CreateThread DeactivateActCtx DeleteCriticalSection EnterCriticalSection FindClose
        FindFirstFileW FindNextFileW FlushFileBuffers FormatMessageA FormatMessageW FreeLibrary
        GetComputerNameW GetConsoleMode GetCurrentProcess GetCurrentProcessId GetCurrentThread
        GetCurrentThreadId GetDiskFreeSpaceExW GetDiskFreeSpaceW GetDriveTypeW GetExitCodeProcess
        GetFileAttributesW GetFileSizeEx GetFileType GetFullPathNameW GetLastError GetLocaleInfoW
        GetLogicalDriveStringsW GetModuleFileNameW GetModuleHandleA GetModuleHandleExW GetModuleHandleW
        GetOverlappedResult GetProcAddress GetProcessAffinityMask GetShortPathNameW GetStartupInfoW
        GetStdHandle GetSystemDefaultLCID GetSystemDirectoryW GetSystemInfo GetSystemTime GetThreadPriority
        GetTickCount GetUserDefaultLCID GetVersionExW GetVolumeInformationW GetWindowsDirectoryW GlobalAlloc
        GlobalFree GlobalLock GlobalMemoryStatus GlobalMemoryStatusEx GlobalUnlock InitializeCriticalSection
        InterlockedDecrement InterlockedExchange InterlockedIncrement IsDBCSLeadByteEx LeaveCriticalSection
        LoadLibraryA LoadLibraryExW LoadLibraryW LocalAlloc LocalFree lstrlenW MulDiv MultiByteToWideChar
        OpenProcess QueryPerformanceCounter QueryPerformanceFrequency ReadFile ReleaseActCtx ReleaseSemaphore
        ResetEvent ResumeThread SetErrorMode SetEvent SetInformationJobObject SetLastError
        SetProcessAffinityMask SetThreadAffinityMask SetThreadPriority SetUnhandledExceptionFilter Sleep
        TerminateProcess TlsAlloc TlsFree TlsGetValue TlsSetValue VirtualProtect VirtualQuery
        WaitForMultipleObjects WaitForSingleObject WideCharToMultiByte WriteConsoleW WriteFile""",
    # The C runtime of Windows XP (msvcrt.dll 7.0).
    "msvcrt.dll": """
        abort _amsg_exit atoi calloc _cexit _close _errno exit fgetwc fprintf fputc fputs fputwc free fwprintf
        fwrite getc _initterm _iob islower isspace isupper iswctype isxdigit localeconv _lock malloc
        __mb_cur_max memchr memcmp memcpy memmove memset _onexit __p__commode __p__fmode __p__wcmdln qsort
        _read realloc __set_app_type setlocale __setusermatherr signal _snwprintf sprintf strchr strcmp
        strcoll strerror strftime strlen strncmp strtol strtoul strxfrm swprintf tolower toupper towlower
        towupper _ultow ungetc ungetwc _unlock vfprintf _vscwprintf _vsnwprintf wcschr wcscmp wcscoll wcscpy
        wcsftime _wcsicmp wcslen wcsncmp _wcsnicmp wcsrchr wcsspn wcsstr wcstol wcstoul wcsxfrm __wgetmainargs
        __winitenv _wtoi""",
    "ole32.dll": """
        CLSIDFromProgID CLSIDFromString CoCreateInstance CoInitialize CoInitializeEx CoInitializeSecurity
        CoSetProxyBlanket CoTaskMemAlloc CoTaskMemFree CoUninitialize CreateOleAdviseHolder
        CreateStreamOnHGlobal OleInitialize OleRegGetUserType OleUninitialize StringFromGUID2""",
    "oleaut32.dll": """
        DispGetIDsOfNames DispInvoke LoadRegTypeLib LoadTypeLib LoadTypeLibEx OleCreatePropertyFrame
        RegisterTypeLib SafeArrayAccessData SafeArrayCreateVector SafeArrayDestroy SafeArrayGetElement
        SafeArrayGetLBound SafeArrayGetUBound SafeArrayUnaccessData SysAllocString SysAllocStringByteLen
        SysAllocStringLen SysFreeString SysStringByteLen SysStringLen UnRegisterTypeLib VariantChangeType
        VariantClear VariantCopy VariantInit""",
    "shlwapi.dll": """
        SHDeleteKeyW""",
    "user32.dll": """
        BeginPaint CreateDialogParamW CreateWindowExW DefWindowProcW DestroyWindow DialogBoxParamW DrawTextW
        EndDialog EndPaint EnumDisplayDevicesW EnumDisplaySettingsW FillRect GetClassInfoExW GetClientRect
        GetDC GetDesktopWindow GetParent GetSystemMetrics GetWindowLongW GetWindowRect InvalidateRect
        IsDialogMessageW IsWindow LoadCursorW LoadStringW MessageBoxW MoveWindow RegisterClassExW ReleaseDC
        SetCursor SetDlgItemTextW SetWindowLongW ShowWindow UnregisterClassW wsprintfW""",
    "gdi32.dll": """
        BitBlt CreateCompatibleBitmap CreateCompatibleDC CreateDCW CreateFontIndirectW CreateICW CreatePen
        CreateSolidBrush DeleteDC DeleteObject Ellipse GetDeviceCaps GetStockObject IntersectClipRect
        Rectangle RestoreDC SaveDC SelectObject SetBkColor SetBkMode SetTextColor TextOutW""",
    "version.dll": """
        GetFileVersionInfoSizeW GetFileVersionInfoW VerQueryValueW""",
    # DirectX 9.0c, which Windows XP SP2 ships.
    "ddraw.dll": """
        DirectDrawCreate DirectDrawCreateEx DirectDrawEnumerateExW DirectDrawEnumerateW""",
    "dsound.dll": """
        DirectSoundCreate DirectSoundCreate8 DirectSoundEnumerateW""",
    "d3d8.dll": """
        Direct3DCreate8""",
    "d3d9.dll": """
        Direct3DCreate9""",
}


def xp_import_failures(pe):
    """One line for each imported function that Windows XP SP2 lacks."""
    failures = []
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        dll = entry.dll.decode().lower()
        allowed = set(XP_SP2_IMPORTS.get(dll, "").split())
        for function in entry.imports:
            name = function.name.decode() if function.name else f"#{function.ordinal}"
            if name not in allowed:
                failures.append(f"{dll}!{name} is not on the list of Windows XP SP2 imports")
    return failures


def main():
    failures = xp_import_failures(pefile.PE(sys.argv[1]))
    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"{sys.argv[1]}: {'ok' if not failures else f'{len(failures)} import(s) to review'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
