#pragma once
#define IDD_TEST_DIALOG   200
#define IDD_MISSING       299
#define IDC_TEST_STATIC   300
#define IDC_TEST_COMBO    301
#define IDC_TEST_LIST     302
#define IDC_TEST_PROGRESS 303
#define IDS_TEST_COMMAND  400
#define IDS_MISSING       402
