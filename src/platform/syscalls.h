// The system calls of the platform layer, as one table of function pointers.
// Each OS file calls the system only through this table; the shipped tool's
// table holds the real calls. A test puts a function of its own in an entry
// (one that fails with a chosen errno or Win32 error, or does the real call
// and then something more) so that the code reading the error after the call
// is what the test exercises.
#pragma once

#include <cstdio>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <ctime>
#else
#include <dirent.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#endif

namespace shotrenum {

#if defined(_WIN32)

struct Syscalls {
  HANDLE(WINAPI* FindFirstFileA)(LPCSTR pattern, LPWIN32_FIND_DATAA data);
  BOOL(WINAPI* FindNextFileA)(HANDLE search, LPWIN32_FIND_DATAA data);
  BOOL(WINAPI* MoveFileExA)(LPCSTR from, LPCSTR to, DWORD flags);
  // The NT status behind the last Win32 error of this thread (ntdll's).
  LONG(NTAPI* RtlGetLastNtStatus)();
  HANDLE(WINAPI* CreateMutexW)(LPSECURITY_ATTRIBUTES attributes, BOOL owned, LPCWSTR name);
  void(WINAPI* Sleep)(DWORD milliseconds);
  LPWSTR(WINAPI* GetCommandLineW)();
  DWORD(WINAPI* GetConsoleProcessList)(LPDWORD processes, DWORD room);
  LPWSTR*(WINAPI* CommandLineToArgvW)(LPCWSTR commandLine, int* count);
  DWORD(WINAPI* GetModuleFileNameW)(HMODULE module, LPWSTR path, DWORD room);
  DWORD(WINAPI* GetFileAttributesA)(LPCSTR path);
  DWORD(WINAPI* GetFileAttributesW)(LPCWSTR path);
  BOOL(WINAPI* GetFileAttributesExW)(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID information);
  BOOL(WINAPI* DeleteFileW)(LPCWSTR path);
  DWORD(WINAPI* GetCurrentDirectoryW)(DWORD room, LPWSTR folder);
  BOOL(WINAPI* SetCurrentDirectoryW)(LPCWSTR folder);
  // The C runtime's, which sets errno.
  int (*open)(const char* name, int flags, int mode);
  int (*write)(int fd, const void* bytes, unsigned length);
  int (*fclose)(std::FILE* file);
  std::FILE* (*wfopen)(const wchar_t* path, const wchar_t* mode);
  __time64_t (*time64)(__time64_t* out);
  BOOL(WINAPI* GetFileInformationByHandle)(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
  BOOL(WINAPI* SetFilePointerEx)(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER position, DWORD method);
  BOOL(WINAPI* SetEndOfFile)(HANDLE file);
  HANDLE(WINAPI* CreateFileMappingW)
  (HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD sizeHigh, DWORD sizeLow, LPCWSTR name);
  LPVOID(WINAPI* MapViewOfFile)(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T length);
  BOOL(WINAPI* UnmapViewOfFile)(LPCVOID view);
  HANDLE(WINAPI* CreateFileW)
  (LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes, DWORD disposition, DWORD flags,
   HANDLE model);
  BOOL(WINAPI* SetFileTime)
  (HANDLE file, const ::FILETIME* created, const ::FILETIME* accessed, const ::FILETIME* written);
  BOOL(WINAPI* FlushViewOfFile)(LPCVOID view, SIZE_T length);
  BOOL(WINAPI* FlushFileBuffers)(HANDLE file);
};

#else

struct Syscalls {
  DIR* (*opendir)(const char* name);
  dirent* (*readdir)(DIR* dir);
  int (*fstatat)(int dirfd, const char* name, struct stat* st, int flags);
  int (*renameat2)(int fromDir, const char* from, int toDir, const char* to, unsigned flags);
  int (*rename)(const char* from, const char* to);
  int (*link)(const char* from, const char* to);
  int (*unlink)(const char* name);
  int (*flock)(int fd, int operation);
  int (*open)(const char* name, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*write)(int fd, const void* bytes, std::size_t length);
  int (*fclose)(std::FILE* file);
  int (*fstat)(int fd, struct stat* st);
  int (*chdir)(const char* path);
  int (*fchdir)(int fd);
  int (*clock_gettime)(clockid_t clock, timespec* now);
  int (*nanosleep)(const timespec* length, timespec* rest);
  int (*fallocate)(int fd, int mode, off_t offset, off_t length);
  void* (*mmap)(void* address, std::size_t length, int protection, int flags, int fd, off_t offset);
  int (*munmap)(void* address, std::size_t length);
  int (*ftruncate)(int fd, off_t length);
  off_t (*lseek)(int fd, off_t offset, int whence);
  int (*futimens)(int fd, const timespec times[2]);
  int (*msync)(void* address, std::size_t length, int flags);
  int (*fdatasync)(int fd);
  int (*fsync)(int fd);
  int (*sigaction)(int signal, const struct sigaction* action, struct sigaction* old);
  int (*faccessat)(int dirfd, const char* name, int mode, int flags);
};

#endif

// The table every system call of the platform layer goes through.
extern Syscalls syscalls;

}  // namespace shotrenum
