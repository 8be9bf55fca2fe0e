#include "Help.h"

#include "Commands.h"

#include <string>

void PrintHelp(std::FILE* out)
{
    std::fputs(
        "Usage: vq7ctl [connection options] [--json] [--trace FILE] COMMAND ARGUMENTS...\n"
        "\n"
        "Talks to the meters of the rig through a serial port or a TCP/IP-to-serial gateway.\n"
        "\n"
        "Connection options:\n"
        "  --config FILE       read port, IP, TCPIPport, speed and AuxTmout from section\n"
        "                      CONNECTION of FILE; the options below override it\n"
        "  --port NAME|TCP/IP  serial port (COM1 = /dev/ttyS0, /dev/... as it is) or TCP/IP\n"
        "  --speed N           baud rate of the serial port (default 9600)\n"
        "  --ip ADDR           address of the gateway (implies --port TCP/IP unless --port is given)\n"
        "  --tcp-port N        TCP port of the gateway (default 10001; implies TCP/IP as --ip does)\n"
        "  --aux-timeout MS    extra milliseconds for every first answer (at most 10000)\n"
        "Output options:\n"
        "  --json              one JSON document on stdout (VQ7_INFO fields by their names)\n"
        "  --trace FILE        append the exchange trace (sent and received bytes) to FILE\n"
        "  --help, -h          this text\n"
        "\n"
        "NUMBER is a meter number in decimal (1..99999999). Commands:\n",
        out);
    for (const CtlCommand& c : kCommands) {
        std::fprintf(out, "\n  %s %s\n", c.name, c.usage);
        std::string help = c.help;
        size_t start = 0;
        while (start <= help.size()) {
            const size_t end = help.find('\n', start);
            std::fprintf(out, "      %s\n", help.substr(start, end - start).c_str());
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    std::fputs(
        "\n"
        "Exit status: 0 success; 1 a transaction or an operation failed (the result code and its\n"
        "meaning are printed on stderr); 2 a bad command line. Messages of the calibration table\n"
        "go to stderr.\n",
        out);
}
