// Every file name, parameter and message text lives in a fixed buffer of this
// many ANSI characters: at most 255 characters and a terminator.
#pragma once

const int TEXT_SIZE = 256;
