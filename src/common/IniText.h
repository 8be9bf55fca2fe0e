#pragma once
// The text an ini object saves to a file, made to read back as it stands. The
// ini library's reader takes three leading bytes EF BB BF away as a UTF-8
// signature; they are put back when the file had them, and added when the text
// itself begins with them (a key that starts with those bytes), so that such a
// key is not read back as the line after the signature.
#include <string>

template <class Ini>
bool IniFileText(const Ini& ini, std::string& text)
{
    static const char kSignature[] = "\xEF\xBB\xBF";
    text.clear();
    if (ini.Save(text, false) < 0)
        return false;
    if (ini.IsUnicode() || text.compare(0, 3, kSignature) == 0)
        text.insert(0, kSignature, 3);
    return true;
}
