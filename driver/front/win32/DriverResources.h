// The driver's window templates, menu and controls (read by windres and by C++).
#pragma once

// The main window: the strip with the status indicator.
#define IDD_MAINFORM 300
#define IDC_PANEL1 3001
#define IDC_TEXTINDICATOR 3002

// Its menu: "&!" with About and Close, and "&Setup", which acts at once.
#define IDR_MAINMENU 301
#define IDM_ABOUT 3101
#define IDM_CLOSE 3102
#define IDM_SETUP 3103

// The About box.
#define IDD_ABOUTBOX 302
#define IDC_ABOUTPANEL 3201
#define IDC_PROGRAMICON 3202
#define IDC_PRODUCTNAME 3203
#define IDC_VERSION 3204
// IDOK: the default button.
#define IDC_OKBUTTON 1
