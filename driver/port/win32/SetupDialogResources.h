// The port setup dialog's template and its controls (read by windres and by C++).
#pragma once

#define IDD_SETUPDIALOG 200

// The seven fields, numbered in the order of the settings (SetupField).
#define IDC_PORTNUMCBOX 2001
#define IDC_SPEEDCBOX 2002
#define IDC_STOPBITCBOX 2003
#define IDC_PARITETCBOX 2004
#define IDC_PERIODCBOX 2005
#define IDC_DTRCONTROLCBOX 2006
#define IDC_RTSCONTROLCBOX 2007

#define IDC_LABEL1 2101
#define IDC_LABEL2 2102
#define IDC_LABEL3 2103
#define IDC_LABEL4 2104
#define IDC_LABEL5 2105
#define IDC_LABEL6 2106
#define IDC_LABEL7 2107

// Not IDOK: Enter in a field sends IDOK, which must not end the dialog.
#define IDC_BTOK 2010
// IDCANCEL: Esc presses it.
#define IDC_BTCANCEL 2
