// Resource and control ids of Orlenta: the one place where they are defined.
#pragma once

// Application icon: both dialogs' captions, the taskbar and Explorer
#define IDI_ORLENTA               1

// Dialog templates
#define IDD_CONFIG                101
#define IDD_PLAYER                367
#define IDD_CONVERT_PROGRESS      390
#define IDD_RECORD                700

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
#define IDS_CONVERT_NO_RESAMPLER  440  // a new sampling rate without Media Foundation
#define IDS_CONVERT_RESULT_TOO_LARGE 441  // the converted file would exceed 4 GB
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
#define IDS_FILE_CHANGED_QUESTION 420  // Save onto a file someone else has changed
#define IDS_GREETING_CLIPPED      600  // greeting quality warnings: measured value, limit, target
#define IDS_GREETING_QUIET        601
#define IDS_GREETING_LOUD         602
#define IDS_GREETING_LEAD_SILENCE 603
#define IDS_GREETING_TAIL_SILENCE 604
#define IDS_GREETING_FIGURES      605  // level, peak, lead-in, tail, duration
#define IDS_RECORD_START          700  // the recorder: "Запись" / "Стоп"
#define IDS_RECORD_STOP           701
#define IDS_RECORD_NO_TAKE        702  // status lines: no take, recording, a take
#define IDS_RECORD_RECORDING      703
#define IDS_RECORD_TAKE           704
#define IDS_RECORD_LEVEL          705  // the meter's figures: peak, RMS
#define IDS_RECORD_NO_DEVICE      706  // device messages
#define IDS_RECORD_DEVICE_BUSY    707
#define IDS_RECORD_DEVICE_ERROR   708
#define IDS_RECORD_DEVICE_LOST    709  // gone during a take
#define IDS_RECORD_NO_RESAMPLER   710
#define IDS_RECORD_LIMIT          711  // the take reached one hour
#define IDS_RECORD_SAVE_TITLE     712
#define IDS_RECORD_SAVE_ERROR     713
#define IDS_RECORD_TAKE_ERROR     714
#define IDS_RECORD_CLOSE_QUESTION 715
#define IDS_RECORD_SAVING         716
#define IDS_RECORD_DEFAULT_DEVICE 717
#define IDS_RECORD_DEVICE_GONE    718  // gone while waiting to record

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

// Recorder "Запись приветствия" (template 700)
#define IDC_RECORD_DEVICE         1700 // input device combo box
#define IDC_RECORD_METER          1701 // owner-drawn level meter
#define IDC_RECORD_MARK_TARGET    1702 // the meter's marks
#define IDC_RECORD_MARK_CLIP      1703
#define IDC_RECORD_LEVEL          1704 // peak and RMS in figures
#define IDC_RECORD_STATUS         1705
#define IDC_RECORD_START          1706 // "Запись" / "Стоп"
#define IDC_RECORD_PLAY           1707
#define IDC_RECORD_AGAIN          1708
#define IDC_RECORD_FIX_LEVEL      1709
#define IDC_RECORD_FIX_TRIM       1710
#define IDC_RECORD_SAVE           1711

#ifndef IDC_STATIC
#define IDC_STATIC                (-1)
#endif
