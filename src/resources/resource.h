// Resource identifiers of the Windows program: menus, accelerators, icon, dialogs, strings and
// commands. Shared by the .rc files of every language and by the code.
#pragma once

// Icon, menus and accelerators.
#define IDI_SK720 107
#define IDR_MAINMENU 109
#define IDR_ACCELERATORS 109
#define IDR_SCANCONTEXT 110

// Dialog templates.
#define IDD_ABOUT 103
#define IDD_SONARSETTINGS 107
#define IDD_VIEWSETTINGS 108
#define IDD_CONNECT 129
#define IDD_NOTICE 130
#define IDD_VIEWSETTINGS_NOCOMPASS 131
#define IDD_SONARSETTINGS_TUNABLE 132
#define IDD_WORKINGFOLDER 133

// Strings.
#define IDS_APP_TITLE 103
#define IDS_WINDOW_CLASS 109
#define IDS_LANGUAGE_NAME 999
#define IDS_HEAD 1000
#define IDS_GPS 1001
#define IDS_DEVICE 1002
#define IDS_CONNECT 1003
#define IDS_QUICK_SONAR 1004
#define IDS_RANGE 1005
#define IDS_SPEED 1006
#define IDS_GAIN 1007
#define IDS_SECTOR_MODE 1008
#define IDS_HEADING 1009
#define IDS_WIDTH 1010
#define IDS_APPLY 1011
#define IDS_STOP_SONAR 1012
#define IDS_QUICK_VIEW 1013
#define IDS_CONTRAST 1014
#define IDS_BRIGHTNESS 1015
#define IDS_SONAR_SETTINGS 1016
#define IDS_VIEW_SETTINGS 1017
#define IDS_OPEN_FILE 1018
#define IDS_SPEED_STOP 1020
#define IDS_SPEED_SLOWEST 1021
#define IDS_SPEED_SLOW 1022
#define IDS_SPEED_NORMAL 1023
#define IDS_SPEED_FAST 1024
#define IDS_SPEED_FASTEST 1025
#define IDS_START 1026
#define IDS_HOLD 1027
#define IDS_STOP 1028
#define IDS_RECORD 1029
#define IDS_RECORDING 1030
#define IDS_RESUME 1031
#define IDS_CW 10000
#define IDS_CCW 10001
#define IDS_CONNECTED 10002
#define IDS_DISCONNECTED 10003
#define IDS_PORT_OPENED 10004
#define IDS_ZERO_POSITIONING 10005
#define IDS_OPENING_PORT 10006
#define IDS_STOP_BEFORE_OPEN 20000
#define IDS_RESTART_FOR_LANGUAGE 20001
#define IDS_NOTICE 20002
#define IDS_SELECT_WORKING_FOLDER 20003
// The program's own notices and error texts.
#define IDS_NO_HEAD_PORT 20010
#define IDS_STILL_ENDING_CONNECTION 20011
#define IDS_HEAD_REFUSED_PARAMETERS 20012
#define IDS_TOO_MANY_FILES 20013
#define IDS_FILE_DIALOG_FAILED 20014
#define IDS_SCREENSHOT_NOT_SAVED 20015
#define IDS_SHOT_NO_ENCODER 20016
#define IDS_SHOT_PATH_TOO_LONG 20017
#define IDS_SHOT_FOLDER_NOT_WRITABLE 20018

// Main menu commands.
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_LANG_ENGLISH 32773
#define IDM_LANG_KOREAN 32774
#define IDM_LANG_RUSSIAN 32801
#define IDM_SONAR_SETTINGS 32785
#define IDM_VIEW_SETTINGS 32786
#define IDM_WORKING_FOLDER 32792
#define IDM_AUTOSHOT_OFF 32813
#define IDM_AUTOSHOT_30 32816
#define IDM_AUTOSHOT_60 32817
#define IDM_AUTOSHOT_90 32827
#define IDM_AUTOSHOT_120 32819
#define IDM_AUTOSHOT_180 32820
#define IDM_AUTOSHOT_TURN 32837
#define IDM_HIDE_TOOLBAR 32843

// Scan view context menu.
#define IDM_SCREENSHOT 32782
#define IDM_RULER 32783

// Sonar settings dialog (107, and 132 with the three tunable fields).
#define IDC_SONAR_HEADING 1000
#define IDC_SONAR_WIDTH 1001
#define IDC_SONAR_CW_LENGTH 1004
#define IDC_SONAR_SPEED 1005
#define IDC_SONAR_ROTATION 1006
#define IDC_SONAR_FREQUENCY 1007
#define IDC_SONAR_HEAD_UP 1008
#define IDC_SONAR_RANGE 1010
#define IDC_SONAR_GAIN 1011
#define IDC_SONAR_SET 1012
#define IDC_SONAR_CANCEL 1013
#define IDC_SONAR_SECTOR_ENABLE 1014
#define IDC_SONAR_BANDWIDTH 1025
#define IDC_SONAR_TVG_SLOPE 1026
#define IDC_SONAR_PULSE_CW 1028
#define IDC_SONAR_PULSE_AFM 1029
#define IDC_SONAR_PULSE_FM 1030
#define IDC_SONAR_PULSE_AUTO 1031

// View settings dialog (108, and 131 without the compass group).
#define IDC_VIEW_GAIN 1000
#define IDC_VIEW_DEAD_ZONE 1001
#define IDC_VIEW_BROWN 1002
#define IDC_VIEW_RAINBOW 1003
#define IDC_VIEW_NORTH_UP 1004
#define IDC_VIEW_ZERO_UP 1005
#define IDC_VIEW_ZERO_OFFSET 1007
#define IDC_VIEW_GRID 1008
#define IDC_VIEW_AUTO_CONTRAST 1009
#define IDC_VIEW_COMPASS_ENABLE 1010
#define IDC_VIEW_SET 1012
#define IDC_VIEW_CANCEL 1013
#define IDC_VIEW_POINTER 1014
#define IDC_VIEW_LINEAR 1015
#define IDC_VIEW_LOG 1016
#define IDC_VIEW_CONTRAST 1020
#define IDC_VIEW_BRIGHTNESS 1021
#define IDC_VIEW_ECHOGRAM 1022
#define IDC_VIEW_FIT_TO_WINDOW 1023
#define IDC_VIEW_SHOW_INFO 1024
#define IDC_VIEW_PLAYBACK_CONTINUOUSLY 1025

// Connect dialog: the progress line (the first control with identifier -1); Cancel is IDCANCEL.
#define IDC_CONNECT_PROGRESS (-1)

// Working folder dialog; OK and Cancel are IDOK and IDCANCEL.
#define IDC_FOLDER_PATH 1007
#define IDC_FOLDER_CHANGE 1012

// About dialog: the icon is its first control with identifier -1.
#define IDC_ABOUT_ICON (-1)

// Notice dialog: its one line, so that a failure can be told in the same box.
#define IDC_NOTICE_TEXT 1000

// The application manifest (RT_MANIFEST): common controls 6 and DPI awareness.
#define IDR_MANIFEST 1

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
