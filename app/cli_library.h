#pragma once

// kestrow-cli's file commands over any number of preset files and folders.

#include <span>

namespace kestrow::cli {

int listSets(std::span<char* const> rest);
int findInSets(std::span<char* const> rest);
int checkSets(std::span<char* const> rest);
int exportSets(std::span<char* const> rest);

} // namespace kestrow::cli
