#include "links/PortNames.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

size_t TrailingDigitsStart(const std::string& name)
{
    size_t i = name.size();
    while (i > 0 && IsDigit(name[i - 1]))
        --i;
    return i;
}

// Whole text as a decimal number, 0 when it is empty or holds anything else.
int Number(const std::string& text)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit))
        return 0;
    return std::stoi(text);
}

bool Before(const std::string& a, const std::string& b)
{
    const std::string pa = a.substr(0, a.compare(0, 3, "COM") == 0 ? 3 : TrailingDigitsStart(a));
    const std::string pb = b.substr(0, b.compare(0, 3, "COM") == 0 ? 3 : TrailingDigitsStart(b));
    if (pa != pb)
        return pa < pb;
    return PortNumber(a) < PortNumber(b);
}

}

int PortNumber(const std::string& name)
{
    if (name.compare(0, 3, "COM") == 0)
        return Number(name.substr(3, 3));
    const std::string digits = name.substr(TrailingDigitsStart(name));
    return digits.size() > 9 ? 0 : Number(digits);
}

void SortPortNames(std::vector<std::string>& names)
{
    std::stable_sort(names.begin(), names.end(), Before);
}

void SortPortDevices(std::vector<CPortDevice>& devices)
{
    std::stable_sort(devices.begin(), devices.end(),
                     [](const CPortDevice& a, const CPortDevice& b) { return Before(a.m_sName, b.m_sName); });
}

std::string PortNodeText(const CPortDevice& device)
{
    std::string description = device.m_sDescription;
    while (!description.empty() && std::isspace(static_cast<unsigned char>(description.back())))
        description.pop_back();
    if (description.empty())
        return device.m_sName;
    return device.m_sName + "  " + description;
}

std::string PreferredPortName(const std::vector<CPortDevice>& sorted)
{
    for (const CPortDevice& d : sorted)
        if (d.m_bUsb || d.m_sName.rfind("ttyUSB", 0) == 0 || d.m_sName.rfind("ttyACM", 0) == 0)
            return d.m_sName;
    return sorted.empty() ? std::string() : sorted.front().m_sName;
}
