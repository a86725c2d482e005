// Resource and control ids of Romflux (shared by the .rc and the code).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_ABOUTBOX          100
#define IDS_ABOUTBOX          101
#define IDD_ROMFLUX_DIALOG    102
#define IDR_MAINFRAME         128

// Main dialog controls.
#define IDC_FIRMWARE_VERSION  1000
#define IDC_TUNER_LIST        1001
#define IDC_TUNER_GUID        1003
#define IDC_UPDATE_FIRMWARE   1004
#define IDC_PROGRESS          1005
#define IDC_REVISION          1006
#define IDC_VERSION_STRING    1010

// About box controls.
#define IDC_ABOUT_VERSION     1015
#define IDC_ABOUT_COPYRIGHT   1017
#define IDC_ABOUT_PRODUCT     1018
#define IDC_ABOUT_FIRMWARE    1019
#define IDC_ABOUT_DRIVER      1020

// System-menu command of the About box.
#define ID_SYSCMD_ABOUT       0x0010

// Carried firmware images, resource type "UPDATES".
#define IDR_FW_013401         135
#define IDR_FW_013402         136
#define IDR_FW_013501         137
#define IDR_FW_013601         138
#define IDR_FW_013602         139
#define IDR_FW_013404         141
#define IDR_FW_012401         142
#define IDR_FW_012601         144
#define IDR_FW_012402         145
#define IDR_FW_012602         147
#define IDR_FW_012501         148
#define IDR_FW_012502         149
#define IDR_FW_012404         150
