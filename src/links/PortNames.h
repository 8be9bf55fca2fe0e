#pragma once
// Serial ports as the settings dialog lists them: sorted by port number, and
// the text of a port's node in the tree ("ttyUSB0  FT232R USB UART").
#include <string>
#include <vector>

struct CPortDevice {
    std::string m_sName;          // "COM3", "ttyUSB0", "/dev/pts/4"
    std::string m_sDescription;   // may be empty
    bool m_bUsb = false;          // a USB serial adapter (the system reports its vendor)
};

// COMn: the number from the fourth character, at most three digits (0 when none).
// Other names: their trailing decimal digits (0 when none).
int PortNumber(const std::string& name);
// Sorts by the name without its trailing digits, then by port number, so that
// COM3 < COM4 < COM12 and ttyS2 < ttyS10 < ttyUSB0. Stable for equal keys.
void SortPortNames(std::vector<std::string>& names);
void SortPortDevices(std::vector<CPortDevice>& devices);
// Port name, two blanks, the description without trailing blanks; the name alone
// when there is no description.
std::string PortNodeText(const CPortDevice& device);
// The port to offer when none is configured: the first USB serial adapter
// (flagged, or named ttyUSB*, ttyACM*) of the sorted list, else the first
// port; empty when there is none.
std::string PreferredPortName(const std::vector<CPortDevice>& sorted);
