#!/usr/bin/env python3
"""Checks that the 32-bit orvanta-survey.exe imports only functions that
Windows XP SP2 has, the oldest system it runs on. A new import fails the check
until it is reviewed against XP SP2 and added here; anything newer must be
looked up at run time by name. Run with Debian's python3 (python3-pefile).

    check_tool_imports.py path/to/orvanta-survey.exe
"""
import sys

import pefile

XP_SP2_IMPORTS = {
    "kernel32.dll": """ActivateActCtx AssignProcessToJobObject CancelIo CloseHandle ConnectNamedPipe CreateActCtxW
        CreateEventW CreateFileW CreateJobObjectW CreateNamedPipeW CreateProcessW CreateSemaphoreW CreateThread
        DeactivateActCtx DeleteCriticalSection EnterCriticalSection FindClose FindFirstFileW FindNextFileW
        FlushFileBuffers FormatMessageA FormatMessageW FreeLibrary GetComputerNameW GetConsoleMode GetCurrentProcess
        GetCurrentProcessId GetCurrentThreadId GetExitCodeProcess GetFileAttributesW GetFileSizeEx GetFileType
        GetFullPathNameW GetLastError GetModuleFileNameW GetModuleHandleA GetModuleHandleExW GetModuleHandleW
        GetOverlappedResult GetProcAddress GetProcessAffinityMask GetStartupInfoW GetStdHandle GetSystemInfo
        GetSystemTime GetTickCount GetUserDefaultLCID InitializeCriticalSection IsDBCSLeadByteEx LeaveCriticalSection
        LoadLibraryA LoadLibraryExW LoadLibraryW LocalFree MultiByteToWideChar OpenProcess QueryPerformanceCounter
        ReadFile ReleaseActCtx ReleaseSemaphore ResetEvent ResumeThread SetErrorMode SetEvent SetInformationJobObject
        SetLastError SetProcessAffinityMask SetUnhandledExceptionFilter Sleep TerminateProcess TlsAlloc TlsFree
        TlsGetValue TlsSetValue VirtualProtect VirtualQuery WaitForMultipleObjects WaitForSingleObject
        WideCharToMultiByte WriteConsoleW WriteFile""",
    # The C runtime of Windows XP (msvcrt.dll 7.0).
    "msvcrt.dll": """__mb_cur_max __p__commode __p__fmode __p__wcmdln __set_app_type __setusermatherr __wgetmainargs
        __winitenv _amsg_exit _cexit _close _errno _initterm _iob _onexit _read _vscwprintf _vsnwprintf abort atoi
        calloc exit fgetwc fprintf fputc fputs fputwc free fwprintf fwrite getc islower isspace isupper iswctype
        isxdigit localeconv malloc memchr memcmp memcpy memmove memset realloc setlocale signal strchr strcmp strcoll
        strerror strftime strlen strncmp strtol strtoul strxfrm tolower toupper towlower towupper ungetc ungetwc
        vfprintf wcscoll wcsftime wcslen wcstol wcstoul wcsxfrm""",
    "ole32.dll": "CLSIDFromProgID CoCreateInstance CoInitializeEx CoUninitialize",
    "oleaut32.dll": "LoadTypeLibEx SysFreeString SysStringLen VariantClear VariantInit",
    "version.dll": "GetFileVersionInfoSizeW GetFileVersionInfoW VerQueryValueW",
}


def main():
    pe = pefile.PE(sys.argv[1])
    failures = []
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        dll = entry.dll.decode().lower()
        allowed = set(XP_SP2_IMPORTS.get(dll, "").split())
        for function in entry.imports:
            name = function.name.decode() if function.name else f"#{function.ordinal}"
            if name not in allowed:
                failures.append(f"{dll}!{name} is not on the list of Windows XP SP2 imports")
    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"{sys.argv[1]}: {'ok' if not failures else f'{len(failures)} import(s) to review'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
