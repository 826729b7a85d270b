// The podcast categories Apple lists, as itunes:category text attributes.
#pragma once

#include <string_view>

enum class CategoryCheck { Known, Obsolete, Unknown };

// A top-level category.
CategoryCheck CheckItunesCategory(std::string_view category);
// A subcategory of the given top-level category.
CategoryCheck CheckItunesSubcategory(std::string_view category, std::string_view subcategory);
