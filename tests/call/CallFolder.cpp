#include "call/CallFolder.h"

#include <stdio.h>

std::string IvrWaiting(int seconds, const char* greeting, const std::vector<IvrLine>& lines)
{
    std::string text = Ivr(greeting, lines);
    char wait[4];
    snprintf(wait, sizeof wait, "%02d", seconds);
    return text.replace(0, 2, wait);
}
