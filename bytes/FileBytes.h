// Whole files and folder listings, for the tests' fixtures and results and for
// the benchmarks (which link these without GoogleTest).
#pragma once
#include <string>
#include <vector>

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Names of a folder's entries that match pattern, without "." and "..".
std::vector<std::string> ListFiles(const std::string& dir, const char* pattern = "*");
