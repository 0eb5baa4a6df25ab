// The platform API the program is written against: the subset of the Windows CE core and Pocket PC
// shell libraries that Pulsor uses, with their names, values and record layouts, implemented on
// Linux by the rest of platform/. The program includes nothing else of the platform.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cwchar>

// --- Calling conventions and basic types --------------------------------------------------------
#define WINAPI
#define CALLBACK
#define APIENTRY
#define CONST const

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef WCHAR TCHAR;
typedef int64_t LONGLONG;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef size_t SIZE_T;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int32_t HRESULT;
typedef uint16_t ATOM;
typedef DWORD COLORREF;
typedef USHORT COLOR16;
typedef void VOID;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPTSTR;
typedef const WCHAR* LPCTSTR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef BYTE* LPBYTE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef NULL
#define NULL 0
#endif

#define MAX_PATH 260

// Handles are opaque pointers to platform objects; a null or wrong-typed handle fails the call.
#define DECLARE_HANDLE(name) \
    struct name##__;         \
    typedef struct name##__* name
typedef void* HANDLE;
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HBITMAP);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HFONT);
DECLARE_HANDLE(HPEN);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HKEY);
DECLARE_HANDLE(HWAVEOUT);
DECLARE_HANDLE(HRGN);
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
typedef void* HGDIOBJ;
typedef HWAVEOUT* LPHWAVEOUT;

// The platform's path separator; folder logic uses it, never a literal.
#define PLATFORM_PATH_SEPARATOR L'/'
#define PLATFORM_PATH_SEPARATOR_STRING L"/"

// --- Word and colour macros ----------------------------------------------------------------------
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))
#define MAKEINTRESOURCE(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

// --- Errors and results -------------------------------------------------------------------------
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007AL)
#define HRESULT_FROM_WIN32(x) \
    ((HRESULT)(x) <= 0 ? ((HRESULT)(x)) : ((HRESULT)(((x) & 0x0000FFFF) | (7 << 16) | 0x80000000)))
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_WRITE_FAULT 29L
#define ERROR_GEN_FAILURE 31L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_BUSY 170L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_FILE_TOO_LARGE 223L
#define ERROR_DIRECTORY 267L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_TOO_MANY_LINKS 1142L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CANT_RESOLVE_FILENAME 1921L
// Errors, one way throughout: a call that fails returns what Win32 returns and sets the thread's
// last error to the Win32 code of the failure (a file system's errno mapped: EROFS is
// ERROR_WRITE_PROTECT, ENOSPC and EDQUOT ERROR_DISK_FULL, EACCES ERROR_ACCESS_DENIED, EXDEV
// ERROR_NOT_SAME_DEVICE, ...). FormatMessageW gives the words to show for it; the platform's own
// sound calls (Snd*) also hand the same words back through their `reason` buffers.
DWORD GetLastError(void);
// Also forgets the words of the error it replaces.
void SetLastError(DWORD error);
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
// FORMAT_MESSAGE_FROM_SYSTEM only (with or without FORMAT_MESSAGE_IGNORE_INSERTS): the text of
// `messageId` in `buffer`, as a phrase without a line end ("No space left on device"); for the
// thread's last error, the words its call gave when it knew more than the code says ("there is
// no trash on the device of /media/stick: cannot make /media/stick/.Trash-1000: Read-only file
// system"). The length written, or 0 (ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER).
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list* arguments);
#define FormatMessage FormatMessageW

// --- Geometry ------------------------------------------------------------------------------------
typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;
typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;
typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *LPSIZE;

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL InflateRect(LPRECT rect, int dx, int dy);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL PtInRect(const RECT* rect, POINT pt);
BOOL IsRectEmpty(const RECT* rect);
BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b);
BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL CopyRect(LPRECT dst, const RECT* src);

// --- Kernel: threads, handles, time, module, processes, files -----------------------------------
typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;
typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 258L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define STILL_ACTIVE 259L
#define CREATE_SUSPENDED 0x00000004

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                    LPDWORD threadId);
BOOL CloseHandle(HANDLE handle);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId(void);
void Sleep(DWORD milliseconds);
// Milliseconds of the device clock, wrapping at 2^32.
DWORD GetTickCount(void);
DWORD GetModuleFileName(HMODULE module, LPWSTR fileName, DWORD size);
HMODULE GetModuleHandle(LPCWSTR moduleName);

typedef struct _STARTUPINFOW {
    DWORD cb;
} STARTUPINFO, *LPSTARTUPINFO;
typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;
// Starts `application` with argv = application followed by the words of commandLine (quotes
// honoured); not waited for, and reaped so that no zombie stays.
BOOL CreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                   LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                   DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                   LPSTARTUPINFO startupInfo, LPPROCESS_INFORMATION processInformation);

FILE* _wfopen(const wchar_t* fileName, const wchar_t* mode);

// Folders and files, as kits are made, renamed, copied and cleared.
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define FILE_ATTRIBUTE_READONLY 0x00000001  // the user may not write it
#define FILE_ATTRIBUTE_HIDDEN 0x00000002    // its name starts with a dot
#define FILE_ATTRIBUTE_SYSTEM 0x00000004    // a named pipe, a device or a socket
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080         // a file and nothing else above
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400  // a symbolic link to nothing
typedef struct _FILETIME {
    DWORD dwLowDateTime;  // 100-nanosecond intervals since 1601-01-01 UTC
    DWORD dwHighDateTime;
} FILETIME, *LPFILETIME;
// Windows CE's layout. Links are followed; the creation time is the last write's (Linux keeps
// none that every file system gives); dwOID is 0.
typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
} WIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;
typedef WIN32_FIND_DATAW WIN32_FIND_DATA;
// The entries of a folder whose names match the last part of `fileName`: `*` any run of
// characters, `?` any one ("*" and "*.*" every entry, dot-names too), compared exactly (Linux
// names are case-sensitive); a last part without wildcards names one entry. In name order
// (bytes of UTF-8), without "." and "..", as Windows CE lists a folder. INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND when the folder is missing.
// The entries are read at once: later changes to the folder are not seen.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
// The next entry; FALSE with ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE findFile);
// mkdir, mode 0777 less the umask. ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND (no parent).
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
// An empty folder only: ERROR_DIR_NOT_EMPTY, ERROR_DIRECTORY (not a folder).
BOOL RemoveDirectoryW(LPCWSTR pathName);
// Renames a file or a folder in one step; never replaces: ERROR_ALREADY_EXISTS when `newName`
// exists. A file goes to another file system by a copy and a delete; a folder does not
// (ERROR_NOT_SAME_DEVICE).
BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName);
// Copies a file with its permissions and times, through a temporary beside `newName` that is
// flushed and renamed: `newName` only ever holds a whole file, old or new. With
// `failIfExists`, an existing `newName` is kept and the call fails with ERROR_FILE_EXISTS.
// A folder is not copied (ERROR_ACCESS_DENIED).
BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists);
// Removes a file (a link, not what it names); a folder is refused with ERROR_ACCESS_DENIED.
BOOL DeleteFileW(LPCWSTR fileName);
#define FindFirstFile FindFirstFileW
#define FindNextFile FindNextFileW
#define CreateDirectory CreateDirectoryW
#define RemoveDirectory RemoveDirectoryW
#define MoveFile MoveFileW
#define CopyFile CopyFileW
#define DeleteFile DeleteFileW

// Bounded wide-string copy, append and format (the shell's safe string functions).
HRESULT StringCchCopyW(LPWSTR dest, size_t destSize, LPCWSTR src);
HRESULT StringCchCatW(LPWSTR dest, size_t destSize, LPCWSTR src);
HRESULT StringCchPrintfW(LPWSTR dest, size_t destSize, LPCWSTR format, ...);
HRESULT StringCchLengthW(LPCWSTR str, size_t maxLength, size_t* length);
#define StringCchCopy StringCchCopyW
#define StringCchCat StringCchCatW
#define StringCchPrintf StringCchPrintfW
#define StringCchLength StringCchLengthW

// --- Windows and messages ------------------------------------------------------------------------
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagWNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
} WNDCLASS, WNDCLASSW, *LPWNDCLASS;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

typedef struct tagCREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCT, *LPCREATESTRUCT;

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETTINGCHANGE 0x001A
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_USER 0x0400
#define WM_APP 0x8000

#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
// WM_MOUSEMOVE: wParam MK_LBUTTON while the mouse button or the finger that is the pointer is
// down; 0 for a mouse moving over the window with nothing pressed (a hover).
#define MK_LBUTTON 0x0001
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWNA 8
#define SW_RESTORE 9

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_NOCLOSE 0x0200

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_SYSMENU 0x00080000L
#define CW_USEDEFAULT ((int)0x80000000)

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SPI_GETWORKAREA 48

#define IDC_ARROW MAKEINTRESOURCE(32512)
#define IDI_APPLICATION MAKEINTRESOURCE(32512)

ATOM RegisterClass(const WNDCLASS* windowClass);
BOOL UnregisterClass(LPCWSTR className, HINSTANCE instance);
HWND CreateWindowEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    LPVOID param);
inline HWND CreateWindow(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                         int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                         LPVOID param) {
    return CreateWindowEx(0, className, windowName, style, x, y, width, height, parent, menu,
                          instance, param);
}
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL IsIconic(HWND window);
// Finds a top-level window of this or another process of the same user.
HWND FindWindow(LPCWSTR className, LPCWSTR windowName);
// A handle with its lowest bit set names the same window.
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow(void);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL GetWindowRect(HWND window, LPRECT rect);
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

BOOL GetMessage(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessage(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
// Thread-safe; wakes the owner thread's message loop.
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Calls the window procedure directly (owner thread only).
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Thread-safe.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc);
BOOL KillTimer(HWND window, UINT_PTR id);

int GetSystemMetrics(int index);
BOOL SystemParametersInfo(UINT action, UINT param, PVOID value, UINT winIni);

HICON LoadIcon(HINSTANCE instance, LPCWSTR name);
HCURSOR LoadCursor(HINSTANCE instance, LPCWSTR name);
HBITMAP LoadBitmap(HINSTANCE instance, LPCWSTR name);
BOOL DestroyIcon(HICON icon);

// --- Display settings ----------------------------------------------------------------------------
#define CCHDEVICENAME 32
#define CCHFORMNAME 32
typedef struct _devicemodeW {
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    short dmOrientation;
    short dmPaperSize;
    short dmPaperLength;
    short dmPaperWidth;
    short dmScale;
    short dmCopies;
    short dmDefaultSource;
    short dmPrintQuality;
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmDisplayOrientation;
} DEVMODE, DEVMODEW, *LPDEVMODE;

#define DM_DISPLAYORIENTATION 0x00800000L
#define DM_DISPLAYQUERYORIENTATION 0x01000000L
#define DMDO_0 0
#define DMDO_90 1
#define DMDO_180 2
#define DMDO_270 4
#define CDS_TEST 0x00000002
#define CDS_RESET 0x40000000
#define DISP_CHANGE_SUCCESSFUL 0
#define DISP_CHANGE_FAILED (-1)
#define DISP_CHANGE_BADMODE (-2)
#define DISP_CHANGE_BADPARAM (-5)

LONG ChangeDisplaySettingsEx(LPCWSTR deviceName, LPDEVMODE devMode, HWND window, DWORD flags,
                             LPVOID param);

// --- Graphics device interface -------------------------------------------------------------------
typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *LPBITMAP;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER;
typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;
typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO;
#define BI_RGB 0L
#define DIB_RGB_COLORS 0

typedef struct _BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
} BLENDFUNCTION;
#define AC_SRC_OVER 0x00
#define AC_SRC_ALPHA 0x01

typedef struct _TRIVERTEX {
    LONG x;
    LONG y;
    COLOR16 Red;
    COLOR16 Green;
    COLOR16 Blue;
    COLOR16 Alpha;
} TRIVERTEX, *PTRIVERTEX;
typedef struct _GRADIENT_RECT {
    ULONG UpperLeft;
    ULONG LowerRight;
} GRADIENT_RECT, *PGRADIENT_RECT;
#define GRADIENT_FILL_RECT_H 0x00000000
#define GRADIENT_FILL_RECT_V 0x00000001

#define LF_FACESIZE 32
typedef struct tagLOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONT, LOGFONTW, *LPLOGFONT;

typedef struct tagTEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
} TEXTMETRIC, *LPTEXTMETRIC;

#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_EXTRALIGHT 200
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_EXTRABOLD 800
#define FW_HEAVY 900
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define EASTEUROPE_CHARSET 238
#define OUT_DEFAULT_PRECIS 0
#define OUT_RASTER_PRECIS 6
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_SWISS 0x20

// Raster operations.
#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define SRCERASE 0x00440328
#define NOTSRCCOPY 0x00330008
#define NOTSRCERASE 0x001100A6
#define MERGECOPY 0x00C000CA
#define MERGEPAINT 0x00BB0226
#define PATCOPY 0x00F00021
#define PATPAINT 0x00FB0A09
#define PATINVERT 0x005A0049
#define DSTINVERT 0x00550009
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062

#define TRANSPARENT 1
#define OPAQUE 2
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4
#define STRETCH_DELETESCANS COLORONCOLOR

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90

#define CLR_INVALID 0xFFFFFFFF

#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_TABSTOP 0x00000080
#define DT_NOCLIP 0x00000100
#define DT_EXTERNALLEADING 0x00000200
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800
#define DT_INTERNAL 0x00001000
#define DT_END_ELLIPSIS 0x00008000
#define DT_WORD_ELLIPSIS 0x00040000

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
int GetObject(HGDIOBJ object, int size, LPVOID buffer);
DWORD GetObjectType(HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
int GetDeviceCaps(HDC dc, int index);

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw,
                int sh, DWORD rop);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
// Copies src onto dst stretched, leaving alone every pixel whose source colour equals `key`.
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw,
                    int sh, UINT key);
#define TransparentImage TransparentBlt
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw,
                int sh, BLENDFUNCTION blend);
BOOL GradientFill(HDC dc, PTRIVERTEX vertices, ULONG vertexCount, PVOID mesh, ULONG meshCount,
                  ULONG mode);

HBRUSH CreateSolidBrush(COLORREF color);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);

HFONT CreateFontIndirect(const LOGFONT* logFont);
int DrawText(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);
BOOL GetTextExtentPoint32(HDC dc, LPCWSTR text, int count, LPSIZE size);
BOOL GetTextMetrics(HDC dc, LPTEXTMETRIC metrics);

// --- Waveform audio output ----------------------------------------------------------------------
typedef UINT MMRESULT;
typedef struct tWAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
} WAVEFORMATEX, *LPWAVEFORMATEX;
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;

typedef struct wavehdr_tag {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    struct wavehdr_tag* lpNext;
    DWORD_PTR reserved;
} WAVEHDR, *LPWAVEHDR;

typedef void(CALLBACK* LPWAVECALLBACK)(HWAVEOUT, UINT message, DWORD_PTR instance,
                                       DWORD_PTR param1, DWORD_PTR param2);

#define WAVE_MAPPER ((UINT)-1)
#define WAVE_FORMAT_PCM 1
#define WAVE_FORMAT_IEEE_FLOAT 3
#define WAVE_FORMAT_QUERY 0x0001
#define CALLBACK_TYPEMASK 0x00070000L
#define CALLBACK_NULL 0x00000000L
#define CALLBACK_WINDOW 0x00010000L
#define CALLBACK_FUNCTION 0x00030000L
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_BADERRNUM 9
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define WAVERR_BADFORMAT 32
#define WAVERR_STILLPLAYING 33
#define WAVERR_UNPREPARED 34
#define WHDR_DONE 0x00000001
#define WHDR_PREPARED 0x00000002
#define WHDR_BEGINLOOP 0x00000004
#define WHDR_ENDLOOP 0x00000008
#define WHDR_INQUEUE 0x00000010
#define WOM_OPEN 0x3BB
#define WOM_CLOSE 0x3BC
#define WOM_DONE 0x3BD
#define MM_WOM_OPEN 0x3BB
#define MM_WOM_CLOSE 0x3BC
#define MM_WOM_DONE 0x3BD

// Threads and callbacks. Every waveOut function may be called from any thread, except from
// inside a waveOut callback (the callback may only post messages). Calls on one stream are
// ordered as they are made; calls on different streams do not wait for each other. A call never
// waits for the audio thread, except waveOutClose and waveOutUnprepareHeader, which return only
// when the mixer has let go of the stream's buffers and every WOM_DONE for the stream has been
// delivered (at most about one output period). Callbacks (CALLBACK_FUNCTION): WOM_OPEN and
// WOM_CLOSE run on the thread calling waveOutOpen/waveOutClose; WOM_DONE runs on the one notifier
// thread, after the header has been marked WHDR_DONE, one per waveOutWrite, in the order the
// buffers were returned. The header's dwFlags change on other threads: read them atomically.
//   waveOutGetNumDevs  1 while an output runs, 0 otherwise (--no-audio).
//   waveOutOpen        PCM 8/16/24/32-bit or IEEE float, 1 or 2 channels, 4..192 kHz, else
//                      WAVERR_BADFORMAT; CALLBACK_NULL or CALLBACK_FUNCTION; WAVE_FORMAT_QUERY.
//   waveOutWrite       queues up to 16 buffers; heard from the next period the mixer renders.
//   waveOutReset       silent from the next rendered period; every queued header is marked done
//                      on return, its WOM_DONE on its way. Does not wait for the audio thread.
//   waveOutClose       WAVERR_STILLPLAYING while buffers are queued.
UINT waveOutGetNumDevs(void);
MMRESULT waveOutOpen(LPHWAVEOUT waveOut, UINT deviceId, LPCWAVEFORMATEX format,
                     DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT waveOutClose(HWAVEOUT waveOut);
MMRESULT waveOutPrepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT waveOut, LPWAVEHDR header, UINT size);
MMRESULT waveOutReset(HWAVEOUT waveOut);
MMRESULT waveOutPause(HWAVEOUT waveOut);
MMRESULT waveOutRestart(HWAVEOUT waveOut);
// Low word: left (or mono) volume, high word: right; 0xFFFF is full.
MMRESULT waveOutSetVolume(HWAVEOUT waveOut, DWORD volume);
MMRESULT waveOutGetVolume(HWAVEOUT waveOut, LPDWORD volume);

// --- Audio input (the microphone) ----------------------------------------------------------------
DECLARE_HANDLE(HWAVEIN);
typedef HWAVEIN* LPHWAVEIN;
#define WIM_OPEN 0x3BE
#define WIM_CLOSE 0x3BF
#define WIM_DATA 0x3C0
#define MM_WIM_OPEN 0x3BE
#define MM_WIM_CLOSE 0x3BF
#define MM_WIM_DATA 0x3C0
#define MAXERRORLENGTH 256

// Device 0 (or WAVE_MAPPER) is the system's default input in the window, the file given with
// --mic (played from its start at every waveInStart, on the device clock, then silence), or
// none. It records 16-bit PCM, mono or stereo, at any rate from 4 to 192 kHz; one handle is open
// at a time (MMSYSERR_ALLOCATED). Messages go to a window (CALLBACK_WINDOW) or nowhere
// (CALLBACK_NULL): MM_WIM_OPEN and MM_WIM_CLOSE from waveInOpen/waveInClose, and MM_WIM_DATA
// (wParam the HWAVEIN, lParam the LPWAVEHDR, marked WHDR_DONE with dwBytesRecorded filled) for
// each buffer, in the order added, as it is full or when waveInStop (the buffer being filled)
// or waveInReset (every buffer) hands it back. Frames that find no buffer are lost. Any thread.
//   waveInGetNumDevs     1 when there is a microphone, else 0.
//   waveInOpen           MMSYSERR_NODRIVER without a microphone or when the sound server refuses
//                        capture; WAVERR_BADFORMAT; WAVE_FORMAT_QUERY only checks the format.
//   waveInClose          WAVERR_STILLPLAYING while buffers are queued (waveInReset first).
//   waveInGetErrorTextW  the words of this thread's last failed waveInOpen when it failed with
//                        `error` ("no microphone is connected", "the sound server refused
//                        capture: ..."), otherwise the words for the code.
UINT waveInGetNumDevs(void);
MMRESULT waveInOpen(LPHWAVEIN waveIn, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags);
MMRESULT waveInClose(HWAVEIN waveIn);
MMRESULT waveInPrepareHeader(HWAVEIN waveIn, LPWAVEHDR header, UINT size);
MMRESULT waveInUnprepareHeader(HWAVEIN waveIn, LPWAVEHDR header, UINT size);
MMRESULT waveInAddBuffer(HWAVEIN waveIn, LPWAVEHDR header, UINT size);
MMRESULT waveInStart(HWAVEIN waveIn);
MMRESULT waveInStop(HWAVEIN waveIn);
MMRESULT waveInReset(HWAVEIN waveIn);
MMRESULT waveInGetErrorTextW(MMRESULT error, LPWSTR text, UINT cchText);

// --- MIDI input --------------------------------------------------------------------------------
DECLARE_HANDLE(HMIDIIN);
typedef HMIDIIN* LPHMIDIIN;
typedef void(CALLBACK* LPMIDICALLBACK)(HMIDIIN, UINT message, DWORD_PTR instance,
                                       DWORD_PTR param1, DWORD_PTR param2);
#define MIM_OPEN 0x3C1
#define MIM_CLOSE 0x3C2
#define MIM_DATA 0x3C3
#define MIM_LONGDATA 0x3C4
#define MIM_ERROR 0x3C5

// Device 0 is the program's own input: a port named "Pulsor" on the ALSA sequencer and on a
// running JACK server (whichever are there), with the system's hardware controllers connected to
// it as they appear, merged with the notes the device injects (a script's `midi`). It exists on
// every machine; without a sequencer or server it only hears the injected notes.
// Callbacks (CALLBACK_FUNCTION or CALLBACK_NULL): MIM_OPEN and MIM_CLOSE on the thread calling
// midiInOpen/midiInClose; MIM_DATA, only between midiInStart and midiInStop, on the MIDI
// back-end's own thread (or the injecting thread): param1 = status | data1 << 8 | data2 << 16,
// param2 = milliseconds since midiInStart. A callback may only post messages. Once midiInStop or
// midiInClose has returned, no MIM_DATA is under way or still to come. Channel messages only:
// system messages and sysex are dropped.
//   midiInGetNumDevs  always 1.
//   midiInOpen        MMSYSERR_BADDEVICEID for any device but 0; several handles may be open.
//   midiInClose       the port goes away with the last handle.
UINT midiInGetNumDevs(void);
MMRESULT midiInOpen(LPHMIDIIN midiIn, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                    DWORD flags);
MMRESULT midiInStart(HMIDIIN midiIn);
MMRESULT midiInStop(HMIDIIN midiIn);
MMRESULT midiInClose(HMIDIIN midiIn);

// --- Joystick buttons ------------------------------------------------------------------------
// Joystick 1 is every game controller and joystick the device has, connected now or later: a
// controller's A is button 1 and B button 2 (X and Y 3 and 4), a joystick's first four buttons
// are buttons 1 to 4. While a window holds the capture (whatever has the focus), each change of a
// button is posted to it as MM_JOY1BUTTONDOWN or MM_JOY1BUTTONUP: wParam the JOY_BUTTONnCHG flag
// of the button that changed with the JOY_BUTTONn flags of the buttons now down (on a down, the
// changed button's own among them), lParam the position of the device whose button changed (x in
// the low word, y in the high word, 0..0xFFFF, centre 0x8000). A button held on two devices at
// once is one button: down with the first press, up with the last release.
//   joyGetNumDevs      always 1.
//   joySetCapture      JOYERR_PARMS for a window that is not one or a joystick but JOYSTICKID1;
//                      JOYERR_NOCANDO while another window holds it. No controller needs to be
//                      connected. Only changes are posted, whatever `period` and `changed` say.
//   joyReleaseCapture  JOYERR_NOERROR also when nothing held it; the capture also ends with the
//                      window.
#define JOYERR_NOERROR 0
#define JOYERR_PARMS 165
#define JOYERR_NOCANDO 166
#define JOYERR_UNPLUGGED 167
#define JOYSTICKID1 0
#define JOYSTICKID2 1
#define MM_JOY1BUTTONDOWN 0x3B5
#define MM_JOY1BUTTONUP 0x3B7
#define JOY_BUTTON1 0x0001
#define JOY_BUTTON2 0x0002
#define JOY_BUTTON3 0x0004
#define JOY_BUTTON4 0x0008
#define JOY_BUTTON1CHG 0x0100
#define JOY_BUTTON2CHG 0x0200
#define JOY_BUTTON3CHG 0x0400
#define JOY_BUTTON4CHG 0x0800
UINT joyGetNumDevs(void);
MMRESULT joySetCapture(HWND window, UINT joyId, UINT period, BOOL changed);
MMRESULT joyReleaseCapture(UINT joyId);

// --- Pocket PC shell -----------------------------------------------------------------------------
#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020
BOOL SHFullScreen(HWND window, DWORD state);

#define CSIDL_APPDATA 0x001a
// CSIDL_APPDATA: the user's data folder, $XDG_DATA_HOME (~/.local/share when unset), without a
// trailing separator; made with its parents when `create` is set. FALSE for other folders or a
// path that does not fit MAX_PATH.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);

typedef WORD FILEOP_FLAGS;
#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004
#define FOF_SILENT 0x0004
#define FOF_NOCONFIRMATION 0x0010
#define FOF_ALLOWUNDO 0x0040
#define FOF_NOERRORUI 0x0400
typedef struct _SHFILEOPSTRUCTW {
    HWND hwnd;
    UINT wFunc;
    LPCWSTR pFrom;  // paths, each ending in a null, the list in a second one
    LPCWSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCWSTR lpszProgressTitle;
} SHFILEOPSTRUCTW, *LPSHFILEOPSTRUCTW;
// FO_DELETE with FOF_ALLOWUNDO: each file or folder of pFrom (no wildcards) is moved to the
// desktop's trash, the freedesktop.org trash that file managers share: the trash of the user's
// data folder when it is on the same device ($XDG_DATA_HOME/Trash/files/NAME, with
// info/NAME.trashinfo holding its absolute path, URI-escaped, and the local deletion time; NAME
// made unique as "NAME.2", "NAME.3"... when the trash holds one already), otherwise the trash
// at the top of its own device ($topdir/.Trash/$uid when an administrator made $topdir/.Trash,
// else $topdir/.Trash-$uid, the path relative to $topdir). Nothing is ever deleted outright or
// copied across devices: where no trash can be used the call fails with ERROR_NOT_SAME_DEVICE
// and says why (FormatMessageW). Other operations, and FO_DELETE without FOF_ALLOWUNDO, fail
// with ERROR_NOT_SUPPORTED. No dialog is shown, whatever the flags. Returns 0, or the Win32
// code of the first failure (also the last error), with fAnyOperationsAborted set and the
// paths after it left alone.
int SHFileOperationW(LPSHFILEOPSTRUCTW fileOp);
#define SHFileOperation SHFileOperationW

// Decodes an image file (PNG) into a 32-bit bitmap the caller owns; null on any failure.
HBITMAP SHLoadImageFile(LPCWSTR fileName);

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003)
HRESULT RegistryGetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD* data);
// Creates the key when it does not exist.
HRESULT RegistrySetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD data);
HRESULT RegistryGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT cchData);
HRESULT RegistrySetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR data);

// --- Sound files and text (kits) ---------------------------------------------------------------
// Told of an entry named like the stem that is not used, and why: a folder, a named pipe, a
// device, a link to nothing or in a loop, a path longer than the buffer.
typedef void(CALLBACK* SNDSKIPPROC)(LPCWSTR path, LPCWSTR reason, LPVOID context);
// The file in `folder` (ending in a path separator) named `stem` with any extension ("L1" finds
// "L1.flac"); several: the first by name whose path fits. Only regular files count; every other
// entry so named goes to `skipped` (optional). FALSE when there is none.
BOOL SndFindFile(LPCWSTR folder, LPCWSTR stem, LPWSTR path, UINT cchPath, SNDSKIPPROC skipped,
                 LPVOID context);
// A kit's text file (labels.txt) whole, when it is a regular file of at most `maxBytes`: `*size`
// bytes, released with SndFreeImage. Null otherwise, with the reason in `reason`, left empty when
// there is no such file at all.
LPBYTE SndReadFile(LPCWSTR path, DWORD maxBytes, LPDWORD size, LPWSTR reason, UINT cchReason);

#define SND_KEEP_LOUDNESS 1000.0f  // targetLufs: leave the level as it is
typedef struct tagSNDDECODE {
    float targetLufs;    // in: integrated loudness to bring the sound to (EBU R128)
    DWORD maxSeconds;    // in: longer files are refused
    DWORD maxChannels;   // in: files with more channels are refused
    float loudnessLufs;  // out: as measured (-HUGE_VALF for silence)
    float gainDb;        // out: as applied, never more than the peak allows
    WCHAR reason[128];   // out: why the file was refused
} SNDDECODE;
// Decodes any file libsndfile reads (WAV, FLAC, Ogg Vorbis, Opus, AIFF...) into a canonical
// 44-byte-header WAV image of 32-bit float samples at the file's own rate, mono or stereo (more
// channels are mixed down to mono), its loudness matched. Null with `reason` on any failure.
// Release the image with SndFreeImage.
LPBYTE SndDecodeFile(LPCWSTR path, SNDDECODE* decode, LPDWORD size);
void SndFreeImage(LPBYTE image);

// A kit's words as the pad speaks them. The images below are canonical 44-byte-header WAV
// images of 16-bit mono samples, released with SndFreeImage. On failure they give null, set the
// last error and put the reason in `reason` (optional), worded to follow the text or the file
// ("takes longer than 30 s to say", "holds only silence").
#define SNDVOICE_LOW 0
#define SNDVOICE_HIGH 1
// `text` spoken in the pad's low or high voice, by the recipe of the built-in words (espeak-ng's
// voice, pitch and speed; sox's pitch shift and tone), cut to just before the voice, faded out,
// peaking at -1 dBFS, at 22050 Hz: the same text makes the same image every time, the built-in
// word itself for the built-in text. ERROR_NOT_SUPPORTED when the synthesiser or its voices are
// missing; ERROR_INVALID_PARAMETER for a text with nothing to say. Any thread; calls take turns.
// A short word takes a few tens of milliseconds.
LPBYTE SndSpeakText(LPCWSTR text, DWORD voice, LPDWORD size, LPWSTR reason, UINT cchReason);
#define SNDSHAPE_TRIM 0x0001  // the silence before and after the sound is cut
// A recorded or decoded sound (a WAV image of any format libsndfile reads, all channels mixed,
// at most 30 s) as a word in one of the pad's voices, at its own rate: the low voice is the
// sound itself, the high one is raised by the voices' own pitch shift (the distance between the
// low and the high voice's) and given the high voice's tone. SNDSHAPE_TRIM first cuts what is
// more than 30 dB under the loudest part and near the noise at both ends, keeping 10 ms before
// and 80 ms after the sound. Peaking at -1 dBFS. ERROR_INVALID_DATA for an image that does not
// decode or holds only silence. Any thread.
LPBYTE SndShapeVoice(const BYTE* image, DWORD imageSize, DWORD voice, DWORD flags, LPDWORD size,
                     LPWSTR reason, UINT cchReason);

// Writes a WAV image (any format libsndfile reads) as the FLAC file `path` (ending ".flac"):
// 16-bit samples for images of up to 16 bits, 24-bit for deeper ones and float (clipped at full
// scale). The file is replaced whole: the new one is written to a hidden temporary beside it,
// flushed to the disk and renamed over it, so a kill or a failure at any moment leaves the old
// file or the new one. FALSE with the reason ("cannot be written: No space left on device") and
// the last error (ERROR_DISK_FULL, ERROR_WRITE_PROTECT, ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND,
// ERROR_INVALID_DATA for an image that does not decode). Words are written as they are made:
// their loudness is matched and their rate converted when a kit is loaded (SndDecodeFile).
// Another file of the same word (L1.wav beside L1.flac) is the caller's to delete.
BOOL SndEncodeFile(LPCWSTR path, const BYTE* image, DWORD imageSize, LPWSTR reason, UINT cchReason);
// Replaces the whole file `path` (labels.txt) with `size` bytes, as SndEncodeFile replaces a
// word: old or new, never part of one.
BOOL SndWriteFile(LPCWSTR path, const BYTE* bytes, DWORD size, LPWSTR reason, UINT cchReason);

// --- Into calls: the mix as a microphone on the sound server ----------------------------------
#define SNDCALL_OFF 0
#define SNDCALL_ON 1
#define SNDCALL_AS_STARTED 2  // on when the device was started with --call, otherwise off
typedef struct tagSNDCALL {
    DWORD mode;            // in: SNDCALL_OFF, SNDCALL_ON or SNDCALL_AS_STARTED
    DWORD volume;          // in: the call's level of the mix, 0..100 (more is 100)
    BOOL withMicrophone;   // in: the user's default microphone mixed in as well
    BOOL on;               // out: the "Pulsor microphone" is there, carrying the mix
    BOOL microphoneMixed;  // out: and the default microphone with it
    WCHAR reason[128];     // out: why not, where asked for and not so (no sound server,
                           // --no-audio, no microphone...); empty otherwise
} SNDCALL;
// Makes the sound server's source "Pulsor microphone" (what call and streaming apps list as a
// microphone) follow `call`: made, fed at the call's level, with or without the microphone, or
// removed. The local output is not touched: nothing playing is cut. Returns TRUE when it is as
// asked, FALSE with `reason` otherwise. Any thread; takes a few milliseconds on a local server.
BOOL SndSetCallOutput(SNDCALL* call);

#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
// As on Win32: the length written (or needed when cchWide is 0), 0 on failure; with
// MB_ERR_INVALID_CHARS invalid UTF-8 fails instead of becoming U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int cbText, LPWSTR wide,
                        int cchWide);
#define WC_ERR_INVALID_CHARS 0x00000080
// As on Win32, for CP_UTF8 (defaultChar and usedDefaultChar null): the bytes written (or needed
// when cbText is 0), 0 on failure; with WC_ERR_INVALID_CHARS a surrogate or a value past
// U+10FFFF fails instead of becoming U+FFFD.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWide, LPSTR text,
                        int cbText, LPCSTR defaultChar, BOOL* usedDefaultChar);
// An open key holds the changes made by the calls above until it is closed or flushed; they are
// then saved together, in one replacement of the file. Errors are ERROR_* codes.
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
#define KEY_ALL_ACCESS 0xF003FL
#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1L
#define REG_OPENED_EXISTING_KEY 2L
LONG RegCreateKeyEx(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                    REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                    LPDWORD disposition);
LONG RegFlushKey(HKEY key);
LONG RegCloseKey(HKEY key);

// --- Notification LED driver (LED 1 is the vibrator) --------------------------------------------
#define NLED_COUNT_INFO_ID 0
#define NLED_SUPPORTS_INFO_ID 1
#define NLED_SETTINGS_INFO_ID 2
typedef struct _NLED_SETTINGS_INFO {
    UINT LedNum;
    INT OffOnBlink;
    LONG TotalCycleTime;
    LONG OnTime;
    LONG OffTime;
    INT MetaCycleOn;
    INT MetaCycleOff;
} NLED_SETTINGS_INFO, *PNLED_SETTINGS_INFO;
BOOL NLedSetDevice(UINT deviceId, void* input);

// --- Keyboard and touch input ------------------------------------------------------------------
// WM_KEYDOWN/WM_KEYUP: wParam the virtual-key code (by the layout), lParam the repeat count in
// bits 0-15, the scancode of the key's position (PC/AT set 1) in bits 16-23, the extended flag
// in bit 24, the previous key state (1: it was already down, a repeat) in bit 30 and the
// transition (1: going up) in bit 31. Only the window with the keyboard focus gets them.
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_F1 0x70
#define VK_F11 0x7A
#define VK_F12 0x7B
#define KF_EXTENDED 0x0100
#define KF_REPEAT 0x4000
#define KF_UP 0x8000

// WM_TOUCH: LOWORD(wParam) records behind the handle in lParam; read them with
// GetTouchInputInfo, then give the handle back with CloseTouchInputHandle (DefWindowProc does
// so for a WM_TOUCH it gets). Only a window registered with RegisterTouchWindow gets them; the
// primary finger (the first one down while nothing else presses) also arrives as mouse messages.
#define WM_TOUCH 0x0240
DECLARE_HANDLE(HTOUCHINPUT);
#define TOUCHEVENTF_MOVE 0x0001
#define TOUCHEVENTF_DOWN 0x0002
#define TOUCHEVENTF_UP 0x0004
#define TOUCHEVENTF_INRANGE 0x0008
#define TOUCHEVENTF_PRIMARY 0x0010
#define TOUCHEVENTF_NOCOALESCE 0x0020
#define TOUCHEVENTF_PALM 0x0080
// Screen coordinates, in hundredths of a pixel.
#define TOUCH_COORD_TO_PIXEL(l) ((l) / 100)
typedef struct tagTOUCHINPUT {
    LONG x;
    LONG y;
    HANDLE hSource;
    DWORD dwID;
    DWORD dwFlags;
    DWORD dwMask;
    DWORD dwTime;
    ULONG_PTR dwExtraInfo;
    DWORD cxContact;
    DWORD cyContact;
} TOUCHINPUT, *PTOUCHINPUT;
BOOL RegisterTouchWindow(HWND window, ULONG flags);
BOOL GetTouchInputInfo(HTOUCHINPUT touch, UINT inputs, PTOUCHINPUT records, int recordSize);
BOOL CloseTouchInputHandle(HTOUCHINPUT touch);

// --- Typed text (the input panel) --------------------------------------------------------------
// WM_CHAR: wParam one UTF-16 code unit of typed text (a character outside the BMP comes as its
// two surrogates, one message each), lParam as the WM_KEYDOWN that made it or 1 for text from an
// input method. Only the window with the keyboard focus gets them, and only while the input
// panel is on: typed text then arrives as the keyboard or input method makes it, and
// TranslateMessage makes WM_CHAR 0x08, 0x0D and 0x1B of Backspace, Return and Escape going
// down. While it is off keys are only keys.
#define WM_CHAR 0x0102
#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
// Text input on (a text field has the focus; a phone's on-screen keyboard shows) or off. Off at
// start.
BOOL SipShowIM(DWORD flags);

// --- Dropped files -------------------------------------------------------------------------------
// WM_DROPFILES: wParam an HDROP with the files dropped together and where, posted to a window
// that asked with DragAcceptFiles. The receiver reads it and gives it back with DragFinish.
#define WM_DROPFILES 0x0233
DECLARE_HANDLE(HDROP);
void DragAcceptFiles(HWND window, BOOL accept);
// With index 0xFFFFFFFF: how many files. Otherwise file `index`'s full path copied into `file`
// (at most cchFile units, cut and terminated), returning its length without the terminator; with
// a null `file`, the length alone. 0 for a bad handle or index.
UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR file, UINT cchFile);
// Where they were dropped, in client coordinates of the window; TRUE when that is inside its
// client area.
BOOL DragQueryPoint(HDROP drop, LPPOINT point);
void DragFinish(HDROP drop);

// --- The program's entry point, called by the platform ------------------------------------------
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                   int showCommand);
