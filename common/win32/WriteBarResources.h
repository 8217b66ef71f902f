// The message bar's dialog template and its controls (read by windres and by C++).
#pragma once

#define IDD_WRITEBAR 100
#define IDC_WRITEBAR_MESSAGETXT 1001
// IDOK: Enter presses it too.
#define IDC_WRITEBAR_OKBTN 1
