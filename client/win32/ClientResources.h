#pragma once
// Resource ids of ZELcli.exe, shared by ZELcli.rc and the window's code. A program that drives the
// window (a test) finds the main window by its caption "ZEL test-client" and each control with
// GetDlgItem(window, id); a button is pressed by sending WM_COMMAND MAKEWPARAM(id, BN_CLICKED)
// with the button's handle to the window (or BM_CLICK to the button). An address field set with
// WM_SETTEXT runs the entry check as a keystroke does; the data memo, being multi-line, does not
// report WM_SETTEXT: replace its text with EM_SETSEL 0, -1 and EM_REPLACESEL, or type WM_CHAR, to
// run the check. Plain defines: windres reads this file too.

// The window's dialog template. Its coordinates are pixels, not dialog units: the window places
// every control at the template's numbers as they stand (see DialogPixels.h). The dialog's own
// rectangle is the outer frame's.
#define IDD_CLIENT 200

// Addressee group " Кому ".
#define IDC_GROUPBOX1 1001
#define IDC_LABEL1 1002
#define IDC_HITOEDIT 1003
#define IDC_LABEL2 1004
#define IDC_LOTOEDIT 1005
// Sender group " От кого ".
#define IDC_GROUPBOX2 1006
#define IDC_LABEL3 1007
#define IDC_HIFROMEDIT 1008
#define IDC_LABEL4 1009
#define IDC_LOFROMEDIT 1010
// Data group " Данные (в hex-формате) " and its memo (multi-line, wraps at its width).
#define IDC_GROUPBOX3 1011
#define IDC_MEMO 1012
// The raised frame around the result memo, and the result memo (read-only).
#define IDC_BEVEL1 1013
#define IDC_RETMEMO 1014

// The nineteen buttons: the eighteen command buttons, then Exit (Button4).
#define IDC_POKEBUTTON 1100
#define IDC_SENDBUTTON 1101
#define IDC_SENDDUMPBUTTON 1102
#define IDC_ESENDBTN 1103
#define IDC_ESENDDUMPBTN 1104
#define IDC_CLEARBUTTON 1105
#define IDC_RECEIVEBUTTON 1106
#define IDC_RECEIVEDUMPBUTTON 1107
#define IDC_MINBUTTON 1108
#define IDC_RESTBUTTON 1109
#define IDC_HIDEBUTTON 1110
#define IDC_SHOWBUTTON 1111
#define IDC_VERSIONBTN 1112
#define IDC_STATEBTN 1113
#define IDC_SETDTRBTN 1114
#define IDC_MOVEDTRBTN 1115
#define IDC_SETRTSBTN 1116
#define IDC_MOVERTSBTN 1117
#define IDC_BUTTON4 1118
