#include "common/MenuFolder.h"

#include <stdio.h>

#include <gtest/gtest.h>

#include "bytes/FileBytes.h"
#include "bytes/WavBytes.h"

std::string Ivr(const char* greeting, const std::vector<IvrLine>& lines)
{
    std::string text = greeting[0] ? std::string("10   ") + greeting + "\r\n\r\n" : "10           \r\n\r\n";
    for (const IvrLine& line : lines) {
        char formatted[128];
        snprintf(formatted, sizeof formatted, "%-5c%-16s%s\r\n", line.key, line.keyword, line.param);
        text += formatted;
    }
    return text;
}

std::string GreetedIvr(const std::vector<IvrLine>& lines)
{
    std::vector<IvrLine> all = lines;
    all.push_back({'-', "disconnect", ""});
    return Ivr("hello.wav", all);
}

std::string PlayableWav() { return Wav(PcmFmt(), Chunk("data", PcmTone(8000, 400, 4000))); }

std::string StereoWav()
{
    std::string fmt = PcmFmt();
    PutLe16(&fmt, 2, 2);          // channels
    PutLe32(&fmt, 4, 44100);      // samples per second
    PutLe32(&fmt, 8, 44100 * 4);  // bytes per second
    PutLe16(&fmt, 12, 4);         // block align
    return Wav(fmt, Chunk("data", std::string(16, '\0')));
}

void WriteFolder(const std::string& dir, const std::vector<MenuFile>& files)
{
    for (const MenuFile& file : files)
        ASSERT_TRUE(WriteFileBytes(dir + "\\" + file.name, file.bytes)) << file.name;
}

std::map<std::string, std::string> FolderSnapshot(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const std::string& name : ListFiles(dir))
        files[name] = ReadFileBytes(dir + "\\" + name);
    return files;
}
