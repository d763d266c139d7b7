// Resource and control identifiers of Setup, shared by setup.rc, the code
// and the test driver that finds the controls by them.
#pragma once

#define IDI_SETUP        128
#define IDD_SETUP        102
#define IDD_ABOUT        100

#define IDC_INSTALL      1000
#define IDC_UNINSTALL    1001
#define IDC_WELCOME      1002
#define IDC_WEB_ADDRESS  1003
#define IDC_DESCRIPTION1 1004
#define IDC_DESCRIPTION2 1005
#define IDC_NOTICE       1006
#define IDC_ABOUT_NOTICE 1007

// System-menu command of the About dialog; the system reserves the low four
// bits of system commands, so they are masked before comparing.
#define IDM_ABOUT_SETUP  0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
