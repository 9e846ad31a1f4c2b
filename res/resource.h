// Resource and control ids of Orlenta: the one place where they are defined.
#pragma once

// Application icon: both dialogs' captions, the taskbar and Explorer
#define IDI_ORLENTA               1

// Dialog templates
#define IDD_CONFIG                101
#define IDD_PLAYER                367
#define IDD_CONVERT_PROGRESS      390
#define IDD_CALL                  800  // the call "Звонок" of the map
#define IDD_MAP                   550  // OrlentaMap.exe: the map of a folder of menus
#define IDD_MAP_RENAME            551  // its question for a menu's new name
#define IDD_RECORD                700
#define IDD_FIX_CHOICE            630  // the fix's check boxes inside the save dialog of a conversion

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
#define IDS_FIX_SAVE_TITLE        630  // "Улучшить ...": the save dialog of the fixed greeting
#define IDS_FIX_OTHER_FOLDER      631  // a fixed greeting not beside its menu
#define IDS_FIX_LISTEN            632  // written: listen to it?
#define IDS_FIX_REPLACE           633  // make it the menu's greeting?
#define IDS_FIX_MENU_UNREADABLE   634  // the menu's file no longer reads
#define IDS_MAP_GREETING_FIGURES  635  // the map's line of the selected menu's greeting

#define IDS_FINDING_IVR_UNREADABLE   500  // findings of the check of a folder of menus
#define IDS_FINDING_TARGET_EMPTY     501
#define IDS_FINDING_TARGET_MISSING   502
#define IDS_FINDING_DIAL_EMPTY       503
#define IDS_FINDING_GREETING_MISSING 504
#define IDS_FINDING_GREETING_FORMAT  505
#define IDS_FINDING_GREETING_UNUSABLE 506
#define IDS_FINDING_GREETING_NONE    507
#define IDS_FINDING_DEFAULT_NONE     508
#define IDS_FINDING_UNREACHABLE      509
#define IDS_FINDING_NO_EXIT          510
#define IDS_IVR_MALFORMED            511  // reason of an unreadable menu
#define IDS_SEVERITY_ERROR           512  // severities and items for people
#define IDS_SEVERITY_WARNING         513
#define IDS_ITEM_KEY                 514
#define IDS_ITEM_EVENT               515
#define IDS_ITEM_GREETING            516
#define IDS_CHECK_LINE               517  // OrlentaCheck: one finding, the summary, the usage and errors
#define IDS_CHECK_SUMMARY            518
#define IDS_CHECK_USAGE              519
#define IDS_CHECK_BAD_ARGUMENT       520
#define IDS_CHECK_NO_FOLDER          521
#define IDS_CHECK_FOLDER_UNREADABLE  522
#define IDS_CHECK_NO_START           523
#define IDS_CHECK_REPORT_FAILED      524
#define IDS_REPORT_TITLE             525  // the HTML report
#define IDS_REPORT_MAP               526
#define IDS_REPORT_FINDINGS          527
#define IDS_REPORT_NO_FINDINGS       528
#define IDS_REPORT_ENTRY             529
#define IDS_REPORT_UNREACHABLE       530
#define IDS_REPORT_GREETING          531
#define IDS_REPORT_WAIT              532
#define IDS_REPORT_LEADS_HERE        533
#define IDS_REPORT_UNREADABLE        534
#define IDS_REPORT_MENU              535
#define IDS_REPORT_SEVERITY          536
#define IDS_REPORT_ITEM              537
#define IDS_REPORT_TEXT              538
#define IDS_REPORT_NONE              539
#define IDS_RENAME_NO_MENU           540  // reasons of a refused rename
#define IDS_RENAME_EXISTS            541
#define IDS_RENAME_BAD_NAME          542
#define IDS_RENAME_READ_ONLY         543
#define IDS_RENAME_UNREADABLE        544
#define IDS_RENAME_MOVE_FAILED       545

#define IDS_CALL_ENTER               800  // the call's log: a menu entered, with and without a greeting
#define IDS_CALL_ENTER_SILENT        801
#define IDS_CALL_GREETING_MISSING    802
#define IDS_CALL_GREETING_REFUSED    803
#define IDS_CALL_GREETING_FAILED     804
#define IDS_CALL_WAIT                805
#define IDS_CALL_KEY                 806
#define IDS_CALL_TIMEOUT             807
#define IDS_CALL_NONE_TO_DEFAULT     808
#define IDS_CALL_DEFAULT_NONE        809
#define IDS_CALL_GO_MENU             810
#define IDS_CALL_DIAL                811
#define IDS_CALL_DISCONNECT          812
#define IDS_CALL_BUSY                813
#define IDS_CALL_ENDED               814
#define IDS_CALL_END_CONNECTED       815  // why a call ended
#define IDS_CALL_END_DISCONNECTED    816
#define IDS_CALL_END_HUNG_UP         817
#define IDS_CALL_END_TARGET_EMPTY    818
#define IDS_CALL_END_TARGET_MISSING  819
#define IDS_CALL_END_UNREADABLE      820
#define IDS_CALL_END_DIAL_EMPTY      821
#define IDS_CALL_END_SILENT_LOOP     822
#define IDS_CALL_NO_DEVICE           823
#define IDS_CALL_MENU                824  // the call's state lines
#define IDS_CALL_STATE_GREETING      825
#define IDS_CALL_STATE_WAITING       826
#define IDS_CALL_STATE_DIALLING      827
#define IDS_CALL_STATE_ENDED         828
#define IDS_CALL_GREETING_FORMAT     829  // why a greeting did not play
#define IDS_MAP_TITLE                550  // OrlentaMap.exe: caption, with the folder
#define IDS_MAP_TITLE_FOLDER         551
#define IDS_MAP_ENTRY_BY_RULES       552  // the entry combo's first item
#define IDS_MAP_MENU_NODE            553  // tree nodes: a menu, its keys, the links
#define IDS_MAP_MENU_NO_GREETING     554
#define IDS_MAP_MENU_UNREADABLE      555
#define IDS_MAP_KEY_NODE             556
#define IDS_MAP_KEY_TARGET           557
#define IDS_MAP_LINK_ABOVE           558
#define IDS_MAP_LINK_MISSING         559
#define IDS_MAP_UNREACHABLE_GROUP    560
#define IDS_MAP_COLUMN_KEY           561  // "Кто ведёт сюда" column
#define IDS_MAP_LEADS_HERE           562  // its label, without and with the menu
#define IDS_MAP_LEADS_HERE_MENU      563
#define IDS_MAP_FOLDER_TITLE         564  // the folder dialog
#define IDS_MAP_FOLDER_DIALOG_FAILED 565
#define IDS_MAP_FOLDER_FAILED        566
#define IDS_MAP_REPORT_TITLE         567  // the report's save dialog
#define IDS_MAP_REPORT_FILTER        568
#define IDS_MAP_REPORT_NAME          569
#define IDS_MAP_REPORT_FAILED        570
#define IDS_MAP_RENAME_FAILED        571
#define IDS_MAP_RENAME_PROMPT        572

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

// The fix's check boxes in the conversion's save dialog (template 630)
#define IDC_FIX_GROUP             1630
#define IDC_FIX_LEVEL             1631
#define IDC_FIX_TRIM              1632

// Conversion progress window (template 390)
#define IDC_CONVERT_TEXT          1201
#define IDC_CONVERT_PROGRESS      1202

// The call "Звонок" (template 800)
#define IDC_CALL_MENU             1800 // the menu the caller is in
#define IDC_CALL_STATE            1801 // greeting, wait, number dialled, end
#define IDC_CALL_POSITION         1802 // position of the greeting playing
#define IDC_CALL_ANSWERED         1803
#define IDC_CALL_BUSY             1804
#define IDC_CALL_HANG_UP          1805
#define IDC_CALL_COPY             1806
#define IDC_CALL_LOG              1807 // list box, one line per step
#define IDC_CALL_KEY_FIRST        1810 // the keypad: 1810 + the key's slot (0-9, * 10, # 11)
#define IDC_CALL_KEY_LAST         1821
// Map window (template 550) and its rename question (551)
#define IDC_MAP_FOLDER_LABEL      1550
#define IDC_MAP_FOLDER            1551 // the folder (read-only)
#define IDC_MAP_CHOOSE_FOLDER     1552
#define IDC_MAP_ENTRY_LABEL       1553
#define IDC_MAP_ENTRY             1554 // entry menu combo box
#define IDC_MAP_TREE_LABEL        1555
#define IDC_MAP_TREE              1556 // tree view of the menus
#define IDC_MAP_LEADS_LABEL       1557
#define IDC_MAP_LEADS             1558 // list view "Кто ведёт сюда"
#define IDC_MAP_FINDINGS_LABEL    1559
#define IDC_MAP_FINDINGS          1560 // list view of the findings
#define IDC_MAP_EDIT              1561 // the button row
#define IDC_MAP_RENAME            1562
#define IDC_MAP_REPORT            1563
#define IDC_MAP_CALL              1564
#define IDC_MAP_RECORD            1572
#define IDC_MAP_FIGURES           1565 // the figures of the selected menu's greeting
#define IDC_MAP_IMPROVE           1566
#define IDC_MAP_RENAME_PROMPT     1570 // the rename question
#define IDC_MAP_RENAME_NAME       1571
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
