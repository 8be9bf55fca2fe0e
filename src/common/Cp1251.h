#pragma once
// Windows-1251 <-> UTF-8 at file and wire boundaries.
#include <string>
#include <string_view>

std::string Cp1251ToUtf8(std::string_view cp1251);
// Characters without a Windows-1251 form become '?'.
std::string Utf8ToCp1251(std::string_view utf8);
