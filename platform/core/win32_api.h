// The Win32 subset that gridshow calls, for hosts other than Windows.
//
// What it emulates: exactly the user32, gdi32, winmm and kernel32 calls that
// app/, grid/, show/ and audio/ make, with the names, types, struct layouts
// (64-bit Windows sizes) and constant values of the Windows headers, and with
// the semantics the program relies on:
//  - windows: classes, a window tree, synchronous WM_CREATE / WM_DESTROY,
//    destruction of children with their parent, positions in screen
//    coordinates (windows may stand off screen), deferred position batches
//    applied at once;
//  - messages: one queue per thread; PostMessageA is safe from any thread;
//    WM_TIMER and WM_PAINT are generated only when no posted message waits, a
//    timer has at most one WM_TIMER pending, and timer periods are raised to
//    10 ms and fall on a 64 Hz system clock (15.625 ms);
//  - painting: update rectangles with an erase flag, BeginPaint / EndPaint,
//    solid brushes, FillRect clipped to the client area (and around children
//    with WS_CLIPCHILDREN); WS_BORDER frames and WS_CAPTION caption bars drawn
//    by the layer. Every top-level window is composed in one back buffer and
//    shown at once, as Windows does for WS_EX_COMPOSITED; pixels nobody paints
//    keep what they showed, and a new window's start black;
//  - the default procedure: hit testing of caption, minimise and close
//    buttons, caption drags, WM_CLOSE, SC_CLOSE / SC_MOVE / SC_MINIMIZE /
//    SC_RESTORE, Alt+F4;
//  - the wave-output device (CALLBACK_WINDOW only, 48 kHz 16-bit stereo PCM);
//  - with base/kernel32.h (the kernel32 services the shared basics stand on):
//    the standard-error handle, process exit, an exclusive lock, waiting on an
//    address, interlocked increments.
//
// What it leaves out: everything else — menus, icons, cursors, fonts and text
// drawing, GDI other than solid fills, WS_CLIPSIBLINGS (siblings draw over
// each other), z-order changes, activation beyond one active top-level window,
// window procedures of other threads, message filters of GetMessageA, timers
// without a window, WM_NCCREATE and the creation record, child moves that keep
// their pixels (every move repaints, as with SWP_NOCOPYBITS), non-client
// metrics other than those of WS_BORDER and WS_CAPTION (whose bar is the whole
// frame: 31 pixels on top, nothing at the sides), Unicode ("W") calls.
//
// How a host plugs in: platform/host.h. The core (platform/core) owns windows,
// queues, timers, painting, composition and the wave devices; a host supplies
// the clock and waiting, the screen size, presentation of composed top-level
// windows, input (through the platform_input_* calls) and an audio sink.
// Exactly one host is linked into an executable.
#pragma once
#include "base/kernel32.h"

// ---- Types ------------------------------------------------------------------

typedef void* HGDIOBJ;
typedef HANDLE HDWP;
struct HWND__;
typedef HWND__* HWND;
struct HBRUSH__;
typedef HBRUSH__* HBRUSH;
struct HDC__;
typedef HDC__* HDC;
struct HMENU__;
typedef HMENU__* HMENU;
struct HICON__;
typedef HICON__* HICON;
typedef HICON HCURSOR;
struct HWAVEOUT__;
typedef HWAVEOUT__* HWAVEOUT;
typedef HWAVEOUT* LPHWAVEOUT;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef VOID(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

#define RGB(r, g, b)                                                                               \
    ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))

// ---- Structs ------------------------------------------------------------------

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagWNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXA;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

#pragma pack(push, 1)
typedef struct tWAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
} WAVEFORMATEX;
#pragma pack(pop)
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

static_assert(sizeof(WNDCLASSEXA) == 80 && sizeof(WAVEHDR) == 48 && sizeof(MSG) == 48 &&
              sizeof(PAINTSTRUCT) == 72 && sizeof(WAVEFORMATEX) == 18);

// ---- Constants ---------------------------------------------------------------

// Window styles.
#define WS_OVERLAPPED 0x00000000
#define WS_POPUP 0x80000000
#define WS_CHILD 0x40000000
#define WS_VISIBLE 0x10000000
#define WS_CLIPCHILDREN 0x02000000
#define WS_CAPTION 0x00C00000
#define WS_BORDER 0x00800000
#define WS_SYSMENU 0x00080000
#define WS_MINIMIZEBOX 0x00020000
#define WS_EX_COMPOSITED 0x02000000

// Messages.
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_NCHITTEST 0x0084
#define WM_NCMOUSEMOVE 0x00A0
#define WM_NCLBUTTONDOWN 0x00A1
#define WM_NCLBUTTONUP 0x00A2
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_USER 0x0400
#define MK_LBUTTON 0x0001
#define MM_WOM_OPEN 0x3BB
#define MM_WOM_CLOSE 0x3BC
#define MM_WOM_DONE 0x3BD

// Hit-test results.
#define HTTRANSPARENT (-1)
#define HTNOWHERE 0
#define HTCLIENT 1
#define HTCAPTION 2
#define HTMINBUTTON 8
#define HTBORDER 18
#define HTCLOSE 20

// System commands.
#define SC_MINIMIZE 0xF020
#define SC_MOVE 0xF010
#define SC_CLOSE 0xF060
#define SC_RESTORE 0xF120

// Virtual keys.
#define VK_RETURN 0x0D
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_F4 0x73

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9

// SetWindowPos / DeferWindowPos flags.
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_NOCOPYBITS 0x0100

// GetSystemMetrics.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CYCAPTION 4
#define SM_CXSIZE 30
#define SM_CXBORDER 5
#define SM_CYBORDER 6

// GetWindowLongPtrA.
#define GWLP_HINSTANCE (-6)

// Wave output.
#define WAVE_MAPPER ((UINT)-1)
#define WAVE_FORMAT_PCM 1
#define CALLBACK_WINDOW 0x00010000
#define WHDR_DONE 0x00000001
#define WHDR_PREPARED 0x00000002
#define WHDR_BEGINLOOP 0x00000004
#define WHDR_ENDLOOP 0x00000008
#define WHDR_INQUEUE 0x00000010
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_NOTENABLED 3
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define WAVERR_BADFORMAT 32
#define WAVERR_STILLPLAYING 33
#define WAVERR_UNPREPARED 34
#define WAVERR_SYNC 35

// ---- user32 -----------------------------------------------------------------

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* window_class);
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam);
BOOL WINAPI DestroyWindow(HWND hWnd);
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL WINAPI TranslateMessage(const MSG* lpMsg);
LRESULT WINAPI DispatchMessageA(const MSG* lpMsg);
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
VOID WINAPI PostQuitMessage(int nExitCode);

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
BOOL WINAPI UpdateWindow(HWND hWnd);
BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags);
BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect);
BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
BOOL WINAPI PtInRect(const RECT* lprc, POINT pt);
BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
int WINAPI GetSystemMetrics(int nIndex);
LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex);

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent);

HDWP WINAPI BeginDeferWindowPos(int nNumWindows);
HDWP WINAPI DeferWindowPos(HDWP hWinPosInfo, HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx,
                           int cy, UINT uFlags);
BOOL WINAPI EndDeferWindowPos(HDWP hWinPosInfo);

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint);
BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);

// ---- gdi32 ------------------------------------------------------------------

HBRUSH WINAPI CreateSolidBrush(COLORREF color);
BOOL WINAPI DeleteObject(HGDIOBJ ho);

// ---- winmm ------------------------------------------------------------------

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx,
                            DWORD_PTR dwCallback, DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh);
MMRESULT WINAPI waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh);
MMRESULT WINAPI waveOutReset(HWAVEOUT hwo);
MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh);
MMRESULT WINAPI waveOutClose(HWAVEOUT hwo);

// ---- kernel32 services that wait on the host's clock -------------------------

VOID WINAPI Sleep(DWORD dwMilliseconds);
