#pragma once
// Toolkit-free targets that a pair table fills for display: a column of texts
// (one line per grid row) and the items of a list view.
#include <array>
#include <string>
#include <vector>

using CTextColumn = std::vector<std::string>;

struct CListItem {
    std::string Caption;
    std::array<std::string, 2> SubItems;   // Ge text, then Gi text
};

using CListItems = std::vector<CListItem>;
