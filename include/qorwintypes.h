/*
 * Win32 base types as they are on 64-bit Windows, usable from C and C++.
 *
 * The library's dialog procedures and the window layer keep the Win32
 * signatures, so that a dialog procedure reads like Win32 code and a host
 * written for Win32 finds the types it expects.
 */
#ifndef QORWINTYPES_H
#define QORWINTYPES_H

#include <stdint.h>

#ifndef QOR_WIN32_BASE_TYPES
#define QOR_WIN32_BASE_TYPES

typedef int BOOL;
typedef unsigned int UINT;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef DWORD COLORREF;

/* Handles are opaque pointers, as with STRICT on Windows. */
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef struct HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ HFONT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#if defined(_WIN32)
#define CALLBACK __stdcall
#else
#define CALLBACK
#endif

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
#endif

#endif
