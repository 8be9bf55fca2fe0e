#include "HelpText.h"

#include "Commands.h"

std::string HelpText()
{
    std::string text =
        "Usage: vq7ctl [connection options] [--json] [--trace FILE] COMMAND ARGUMENTS...\n"
        "\n"
        "Talks to the meters of the rig through a serial port or a TCP/IP-to-serial gateway.\n"
        "\n"
        "Connection options:\n"
        "  --config FILE       read port, IP, TCPIPport, speed and AuxTmout from section\n"
        "                      CONNECTION of FILE (default: config.ini of the data folder, when\n"
        "                      there is one); the options below override it\n"
        "  --port NAME|TCP/IP  serial port (COM1 = /dev/ttyS0, /dev/... as it is) or TCP/IP\n"
        "  --speed N           baud rate of the serial port (default 9600)\n"
        "  --ip ADDR           address of the gateway (implies --port TCP/IP unless --port is given)\n"
        "  --tcp-port N        TCP port of the gateway (default 10001; implies TCP/IP as --ip does)\n"
        "  --aux-timeout MS    extra milliseconds for every first answer (at most 10000)\n"
        "Output options:\n"
        "  --json              one JSON document on stdout (VQ7_INFO fields by their names)\n"
        "  --trace FILE        append the exchange trace (sent and received bytes) to FILE\n"
        "  --database URL      the results store: an SQLite file, or postgresql://HOST/DB?user=NAME\n"
        "                      (password from ~/.pgpass or PGPASSWORD); default [RESULTS] database\n"
        "                      of config.ini, else results.sqlite in the data folder\n"
        "  --help, -h          this text\n"
        "\n"
        "NUMBER is a meter number in decimal (1..99999999). Commands:\n";
    for (const CtlCommand& c : kCommands) {
        text += std::string("\n  ") + c.name + " " + c.usage + "\n";
        const std::string help = c.help;
        for (size_t start = 0;;) {
            const size_t end = help.find('\n', start);
            text += "      " + help.substr(start, end - start) + "\n";
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    return text +
           "\n"
           "Exit status: 0 success; 1 a transaction or an operation failed (the result code and its\n"
           "meaning are printed on stderr); 2 a bad command line. Messages of the calibration table\n"
           "go to stderr.\n";
}
