/* Resource and control ids of Dorvane: shared by the resource script and
   the code that loads templates, strings, the bitmap and the icon. */
#ifndef DORVANE_RESOURCE_IDS_H
#define DORVANE_RESOURCE_IDS_H

#define IDI_PROGRAM          101
#define IDD_WELCOME          102
#define IDB_SIDE_PICTURE     103
#define IDD_FINISH           104
#define IDD_DEVICE           105
#define IDD_BACKUP           106
#define IDD_IMAGE            107
#define IDD_IMAGE_READ_ERROR 108

/* Frame shared by every page. */
#define IDC_SIDE_PICTURE 1000
#define IDC_RULE         1300
#define IDC_BACK         3 /* Next is IDOK (1), Cancel IDCANCEL (2) */

/* Welcome page. */
#define IDC_WELCOME_ICON   1002
#define IDC_WELCOME_LINE   710
#define IDC_WELCOME_CLICK  720
#define IDC_WELCOME_LEGAL1 712
#define IDC_WELCOME_LEGAL2 723

/* Finish page. */
#define IDC_FINISH_TEXT   711
#define IDC_RESTART_NOW   502
#define IDC_RESTART_LATER 503
#define IDC_FINISH_NOTE   712

/* Device page. */
#define IDC_DEVICE_LIST 1001
#define IDC_DEVICE_INFO 1013
#define IDC_MORE_INFO   1012

/* Backup page. */
#define IDC_BACKUP_PATH   1002
#define IDC_BROWSE        1003
#define IDC_SKIP_CHECKSUM 1015
#define IDC_SKIP_BACKUP   1014

/* Image pages. */
#define IDC_DEFAULT_IMAGE      1007
#define IDC_SPECIFIC_IMAGE     1008
#define IDC_IMAGE_PATH         1010
#define IDC_DONT_MERGE         1006 /* page 107 */
#define IDC_IGNORE_CHECKSUM    1009 /* page 107 */
#define IDC_MERGE_AFTER_ERROR  1009 /* page 108 */
#define IDC_IGNORE_AFTER_ERROR 1012 /* page 108 */

#endif
