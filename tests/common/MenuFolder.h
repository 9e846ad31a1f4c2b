// Small folders of menus made by the menu-set tests: .ivr files laid out in
// the reader's columns, and greetings the IVR system plays or refuses.
#pragma once
#include <map>
#include <string>
#include <vector>

struct MenuFile {
    std::string name;
    std::string bytes;
};

struct IvrLine {
    char key;             // '0'-'9', '*', '#', '-' (default), 'b' (busy)
    const char* keyword;  // "menu", "dial", "disconnect"
    const char* param;
};

// A .ivr file: wait 10 s, the greeting (may be empty), then the key lines.
std::string Ivr(const char* greeting, const std::vector<IvrLine>& lines);
// A menu greeted by hello.wav whose "По умолчанию" ends the connection, with
// the lines given before that.
std::string GreetedIvr(const std::vector<IvrLine>& lines);
// 8000 Hz mono 16-bit PCM: a second of tone at -21 dBov, nothing to warn of.
std::string PlayableWav();
std::string StereoWav();    // 44100 Hz stereo 16-bit PCM

void WriteFolder(const std::string& dir, const std::vector<MenuFile>& files);
// Every file of a folder with its bytes: what a failed change must leave as it was.
std::map<std::string, std::string> FolderSnapshot(const std::string& dir);
