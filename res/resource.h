// Resource and control ids of Orlenta: the one place where they are defined.
#pragma once

// Application icon: both dialogs' captions, the taskbar and Explorer
#define IDI_ORLENTA               1

// Dialog templates
#define IDD_CONFIG                101
#define IDD_PLAYER                367
#define IDD_CONVERT_PROGRESS      390

// String table
#define IDS_APP_TITLE             1    // "Orlenta"
#define IDS_ACTION_NONE           2    // "Нет"
#define IDS_ACTION_MENU           3    // "Переход на другое голосовое меню"
#define IDS_ACTION_DIAL           4    // "Вызов оператора"
#define IDS_ACTION_DISCONNECT     5    // "Завершение соединения"
#define IDS_ACTION_UNKNOWN        6    // "Unknown"
#define IDS_PLAY                  7    // "Играть"
#define IDS_SAVE_CHANGES          8    // "Сохранить изменения в текущей конфигурации IVR?"
#define IDS_PAUSE                 371  // "Пауза"
#define IDS_WAV_BAD_FORMAT        372  // format rejection message
#define IDS_BAD_VALUE             374  // "некорректное значение"
#define IDS_MONO                  375  // "моно"
#define IDS_STEREO                376  // "стерео"
#define IDS_WAV_OPEN_ERROR        377  // open failure message with the system's text
#define IDS_IVR_BAD_FORMAT        379  // malformed configuration file
#define IDS_CONVERT_QUESTION      391  // offer to convert a refused greeting
#define IDS_CONVERT_SAVE_TITLE    392  // title of the save dialog of the converted file
#define IDS_CONVERT_FILTER        393  // its file types, '|' between the parts
#define IDS_CONVERT_PROGRESS      394  // the progress window's text
#define IDS_CONVERT_ERROR         395  // context line of a failed conversion
#define IDS_CONVERT_TOO_LARGE     396  // more than 4 GB of sound data
#define IDS_CONVERT_SAME_FILE     397  // the source chosen as the target
#define IDS_CONVERT_SOUND_LOST    450  // converted, but part of the sound could not be decoded: keep it?
#define IDS_ERROR_LINE            400  // "Ошибка: %d" of a system error report
#define IDS_IVR_OPEN_ERROR        401  // report contexts of the .ivr reader and writer
#define IDS_IVR_CREATE_ERROR      402
#define IDS_IVR_REPLACE_ERROR     403
#define IDS_COLUMN_COMMAND        404  // list view column headers
#define IDS_COLUMN_ACTION         405
#define IDS_COLUMN_PARAMETER      406
#define IDS_ROW_DEFAULT           407  // "По умолчанию"
#define IDS_ROW_BUSY              408  // "Абонент занят"
#define IDS_OVERWRITE_QUESTION    409  // Save as onto an existing file
#define IDS_GREETING_REFUSED      410  // a greeting name the .ivr file cannot hold
#define IDS_IVR_NOT_SAVED         411  // a record the .ivr file cannot hold
#define IDS_FAULT_GREETING_BLANK  412  // reasons for the two messages above
#define IDS_FAULT_GREETING_LONG   413
#define IDS_FAULT_PARAM_BLANK     414
#define IDS_FAULT_PARAM_LONG      415
#define IDS_FAULT_WAIT            416

// Main dialog (template 101)
#define IDC_IVR_FILE              1002 // current file name (read-only)
#define IDC_OPEN                  1003
#define IDC_SAVE                  1004
#define IDC_SAVE_AS               1005
#define IDC_ACTION                1006 // action combo box
#define IDC_COMMANDS              1007 // list view of the fourteen commands
#define IDC_GREETING              1008 // greeting file name (read-only)
#define IDC_CHOOSE_GREETING       1009
#define IDC_PARAMETER             1010
#define IDC_WAIT_TIME             1011 // wait time, buddy of the up-down
#define IDC_WAIT_SPIN             1012 // up-down
#define IDC_LISTEN                1013
#define IDC_CLEAR_GREETING        1014

// Player dialog (template 367)
#define IDC_POSITION_BAR          1012 // position track bar, one unit per 20 ms
#define IDC_PLAY_PAUSE            1013
#define IDC_ELAPSED_TIME          1158
#define IDC_TOTAL_TIME            1159
#define IDC_FORMAT_NAME           1102
#define IDC_STOP                  1164
#define IDC_MESSAGE_FILE          1166
#define IDC_VOLUME_BAR            1167

// Conversion progress window (template 390)
#define IDC_CONVERT_TEXT          1201
#define IDC_CONVERT_PROGRESS      1202

#ifndef IDC_STATIC
#define IDC_STATIC                (-1)
#endif
