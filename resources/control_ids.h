/* Control identifiers of the main window and the About box, shared by the
   dialog script, the core and every shell. Plain defines so the resource
   compiler can read this file too. */
#ifndef HEAPWISE_CONTROL_IDS_H
#define HEAPWISE_CONTROL_IDS_H

#define IDD_MAIN_WINDOW 2000
#define IDD_ABOUT_BOX 2001
#define IDI_HEAPWISE 500

#define IDC_STATIC_LABEL 5
/* The About box's OK: IDOK, so that the dialog manager treats it as OK. */
#define IDC_OK_BUTTON 1

#define IDC_ABOUT_BUTTON 2500
#define IDC_RESET_BUTTON 2501
#define IDC_QUIT_BUTTON 2502
#define IDC_ON_TOP_CHECK 2503
#define IDC_ADDRESS_BUTTON 2504
#define IDC_FILES_FIELD 2505
#define IDC_FOLDERS_FIELD 2506
#define IDC_SIZE_FIELD 2507
#define IDC_PATH_FIELD 2508
#define IDC_STATUS_LINE 2509

#endif
