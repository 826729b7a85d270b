// Ordering titles held as UTF-8 in the tree by ordinal UTF-16 comparison,
// without converting each title to UTF-16.
#pragma once

#include <string_view>
#include <vector>

// Appends the title's bytes to out so that plain byte order of two such texts
// is the ordinal UTF-16 order of the titles as the program shows them.
void AppendTitleSortBytes(std::vector<char>& out, std::string_view title);
