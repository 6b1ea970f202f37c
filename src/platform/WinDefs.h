// The Windows constants the program's logic is written in terms of: window styles of the dialog
// templates, message-box flags and results, dialog ids. Kept with their Windows values so that
// templates and behaviour read the same as on the first platform.
#pragma once

#include <cstdint>

using BOOL = int;
// GLib defines the same two names as macros with the same values.
#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

// Window styles.
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_CHILD = 0x40000000u;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_CAPTION = 0x00C00000u;
constexpr uint32_t WS_BORDER = 0x00800000u;
constexpr uint32_t WS_VSCROLL = 0x00200000u;
constexpr uint32_t WS_HSCROLL = 0x00100000u;
constexpr uint32_t WS_SYSMENU = 0x00080000u;
constexpr uint32_t WS_GROUP = 0x00020000u;
constexpr uint32_t WS_TABSTOP = 0x00010000u;
constexpr uint32_t WS_EX_TRANSPARENT = 0x00000020u;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000u;
constexpr uint32_t DS_MODALFRAME = 0x80u;
constexpr uint32_t DS_SETFONT = 0x40u;

// Button styles.
constexpr uint32_t BS_PUSHBUTTON = 0x0u;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x1u;
constexpr uint32_t BS_AUTOCHECKBOX = 0x3u;
constexpr uint32_t BS_TYPEMASK = 0xFu;

// Static styles.
constexpr uint32_t SS_LEFT = 0x0u;
constexpr uint32_t SS_CENTER = 0x1u;
constexpr uint32_t SS_RIGHT = 0x2u;
constexpr uint32_t SS_ICON = 0x3u;
constexpr uint32_t SS_TYPEMASK = 0x1Fu;
constexpr uint32_t SS_NOTIFY = 0x100u;
constexpr uint32_t SS_CENTERIMAGE = 0x200u;

// Edit styles.
constexpr uint32_t ES_LEFT = 0x0u;
constexpr uint32_t ES_RIGHT = 0x2u;
constexpr uint32_t ES_MULTILINE = 0x4u;
constexpr uint32_t ES_AUTOHSCROLL = 0x80u;
constexpr uint32_t ES_READONLY = 0x800u;
constexpr uint32_t ES_NUMBER = 0x2000u;

// List box styles.
constexpr uint32_t LBS_NOTIFY = 0x1u;
constexpr uint32_t LBS_SORT = 0x2u;
constexpr uint32_t LBS_NOINTEGRALHEIGHT = 0x100u;
constexpr uint32_t LBS_EXTENDEDSEL = 0x800u;

// Combo box styles.
constexpr uint32_t CBS_DROPDOWNLIST = 0x3u;
constexpr uint32_t CBS_SORT = 0x100u;

// Message boxes.
constexpr unsigned MB_OK = 0x0u;
constexpr unsigned MB_YESNO = 0x4u;
constexpr unsigned MB_TYPEMASK = 0xFu;
constexpr unsigned MB_ICONSTOP = 0x10u;
constexpr unsigned MB_ICONQUESTION = 0x20u;
constexpr unsigned MB_ICONEXCLAMATION = 0x30u;
constexpr unsigned MB_ICONINFORMATION = 0x40u;
constexpr unsigned MB_ICONMASK = 0xF0u;

// Dialog and message-box results; IDOK is also the Start/Stop button's id.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
