#pragma once
// The command table of vq7ctl: one row per command, the functions in one file
// per command group. A new command adds its function here and its row below;
// CommandLine.cpp makes a CLI11 subcommand of each row.
#include "Context.h"

#include <string>
#include <vector>

using CtlCommandFn = int (*)(CtlContext& ctx, CtlArgs& args);

// A check of an option's value: empty when it is good, else what is wrong.
using CtlOptionCheck = std::string (*)(const std::string& value);

struct CtlOption {
    const char* name;               // without "--"
    const char* value = nullptr;    // the value's name in messages; null: a flag without a value
    CtlOptionCheck check = nullptr;
};

struct CtlCommand {
    const char* name;                 // one or two words: "identify", "param get"
    const char* usage;                // arguments after the name
    std::vector<CtlOption> options;   // in CtlArgs::options by name, "" for a flag
    const char* help;                 // lines of the help text
    CtlCommandFn run;
    bool link = true;                 // false: works on files only, no connection is opened
};

// Option checks that CLI11 runs before the command.
std::string CheckFiniteGe(const std::string& value);

// JournalCommand.cpp
int CmdJournal(CtlContext& ctx, CtlArgs& args);
// IdentifyCommand.cpp
int CmdIdentify(CtlContext& ctx, CtlArgs& args);
// ParamCommands.cpp
int CmdParamGet(CtlContext& ctx, CtlArgs& args);
int CmdParamSet(CtlContext& ctx, CtlArgs& args);
// PairsCommands.cpp
int CmdPairsRead(CtlContext& ctx, CtlArgs& args);
int CmdPairsWrite(CtlContext& ctx, CtlArgs& args);
int CmdBackup(CtlContext& ctx, CtlArgs& args);
int CmdRestore(CtlContext& ctx, CtlArgs& args);
// MeterCommands.cpp
int CmdStatus(CtlContext& ctx, CtlArgs& args);
int CmdCurrent(CtlContext& ctx, CtlArgs& args);
int CmdClock(CtlContext& ctx, CtlArgs& args);
int CmdRestart(CtlContext& ctx, CtlArgs& args);
// MeasureCommand.cpp
int CmdMeasure(CtlContext& ctx, CtlArgs& args);
// RawCommand.cpp
int CmdRaw(CtlContext& ctx, CtlArgs& args);
// HistoryCommand.cpp
int CmdHistory(CtlContext& ctx, CtlArgs& args);
// ProfileCommands.cpp
int CmdProfileList(CtlContext& ctx, CtlArgs& args);
int CmdProfileShow(CtlContext& ctx, CtlArgs& args);
int CmdProfileSet(CtlContext& ctx, CtlArgs& args);
int CmdProfileCheck(CtlContext& ctx, CtlArgs& args);
// SeriesCommands.cpp
int CmdCalibrate(CtlContext& ctx, CtlArgs& args);
int CmdVerify(CtlContext& ctx, CtlArgs& args);
int CmdPlanRun(CtlContext& ctx, CtlArgs& args);
int CmdPlanCheck(CtlContext& ctx, CtlArgs& args);

inline const std::vector<CtlCommand> kCommands = {
    {"identify", "NUMBER...", {},
     "Identifies each meter and prints every field of its VQ7_INFO record and the result code.", CmdIdentify},
    {"param get", "NUMBER PARAM [KIND]", {},
     "Reads a parameter. KIND: 0 byte, 1 hexadecimal word, 2 unsigned word, 3 float;\n"
     "default 3 for parameters from 32 on, else 0.",
     CmdParamGet},
    {"param set", "NUMBER PARAM VALUE [KIND]", {},
     "Writes a parameter (kinds as for param get). Kind 1 takes hexadecimal with or without 0x;\n"
     "kind 3 takes a number with '.' or the operator's decimal separator.",
     CmdParamSet},
    {"pairs read", "NUMBER [--out FILE]", {{"out", "FILE"}},
     "Reads the calibration pairs the meter holds and prints them in the table layout;\n"
     "--out saves them to FILE in that layout (Windows-1251, CR LF). Exit 3 when the table is\n"
     "incomplete (a value of 1e+30 or more, or Gi decreasing).",
     CmdPairsRead},
    {"pairs write", "NUMBER FILE [--dir DIR] [--force]", {{"dir", "DIR"}, {"force"}},
     "Writes the pairs of a calibration file (table, export or editor layout) into the meter;\n"
     "converters DZW3/DZW4 are restarted afterwards. A file with pairs past 50 or lines that are\n"
     "no pairs (\"N Gi Ge\": a whole number and two decimal numbers) is refused, naming them;\n"
     "--force writes the pairs read and says how many were left out. A FILE ending in .dat that\n"
     "does not exist is read as .dar (said on stderr). Pairs no meter can have (fewer than 2, a\n"
     "value 0 or from 1e+29 on, Gi and Ge of different sign, Gi not rising) are never written;\n"
     "the meter keeps its own. Exit 3 when the write was cut after the count: restore the backup.\n"
     "The pairs the meter holds are backed up first as by backup (DIR, default BACKUP in the data\n"
     "folder); a meter whose pairs cannot be read or saved is not written.",
     CmdPairsWrite},
    {"backup", "NUMBER... [--dir DIR]", {{"dir", "DIR"}},
     "Reads each meter's pairs and saves them as DIR/NNNNNNNN.dat (default DIR: BACKUP in the data folder)\n"
     "with a time-stamped copy under DIR/history/. An incomplete table never replaces a backup: it goes\n"
     "to DIR/history/ only and the exit is 3.",
     CmdBackup},
    {"restore", "NUMBER [--dir DIR] [--force]", {{"dir", "DIR"}, {"force"}},
     "Writes DIR/NNNNNNNN.dat back into the meter (default DIR: BACKUP in the data folder) as it\n"
     "is, with a warning when those pairs break a rule of a characteristic; a file as for pairs\n"
     "write (--force likewise). The pairs the meter holds are saved under DIR/history/ first; a\n"
     "meter whose pairs cannot be read or saved is not written.",
     CmdRestore},
    {"journal", "[NUMBER] [--file PATH]", {{"file", "PATH"}},
     "Prints the journal of writes into meters (journal.csv in the data folder, or PATH), the\n"
     "lines of meter NUMBER only when given: time, number, model, operation, values before and\n"
     "after, read-back verdict, result code.",
     CmdJournal, false},
    {"history", "[NUMBER] [--from DATE] [--to DATE] | --series ID [--report FILE.docx [--per-meter] [--pdf]]\n"
     "        [--csv FILE.csv] [--profiles FILE]",
     {{"from", "DATE"}, {"to", "DATE"}, {"series", "ID"}, {"report", "FILE.docx"}, {"csv", "FILE.csv"},
      {"template", "FILE"}, {"tolerance", "P"}, {"per-meter"}, {"pdf"}, {"profiles", "FILE"}},
     "Lists the series kept in the results store (see --database), only those of meter NUMBER\n"
     "when given, started from DATE to DATE (YYYY-MM-DD, both days included): id, date, kind,\n"
     "station, operator, reference, points, verdict, state (\"прервана\": its program ended\n"
     "without ending it). --series ID shows one series with its points and, with --report or\n"
     "--csv, makes its protocol and tables again from the store; a verification's with the\n"
     "certificate (profiles as for verify), and with the verification before the calibration\n"
     "(as found) beside it when the store links one. --per-meter and --pdf as for verify.\n"
     "Records waiting in the spool are sent to the store first.",
     CmdHistory, false},
    {"profile list", "[--profiles FILE]", {{"profiles", "FILE"}},
     "Lists the verification profiles of FILE (default profiles.ini in the data folder): one section\n"
     "per meter number or [default]; a section refused by the check is shown with the reason. Exit 1\n"
     "when any section is refused.",
     CmdProfileList, false},
    {"profile show", "NUMBER|default [--profiles FILE]", {{"profiles", "FILE"}},
     "Shows the profile a meter is judged by (its own section, else [default], else the station's\n"
     "tolerance): its keys, the verification flows of its standard with their limits, the rule.",
     CmdProfileShow, false},
    {"profile set", "NUMBER|default KEY VALUE | KEY=VALUE... [--profiles FILE]", {{"profiles", "FILE"}},
     "Sets KEY of the section (an empty VALUE removes it), or every KEY=VALUE given at once (a\n"
     "standard changed together with its flows); the file is written only when the whole\n"
     "section passes the check. Keys: standard (tolerance, EN1434, R49), class, qp, qi, qs (EN1434),\n"
     "q1, q3 (R49), tolerance, rule (simple, guarded), temperature, ratio, pooled_s, resolution (m3),\n"
     "cycle (s), timing (s).",
     CmdProfileSet, false},
    {"profile check", "[--profiles FILE]", {{"profiles", "FILE"}},
     "Checks every section of FILE and the reference of config.ini [REFERENCE] (name, serial,\n"
     "certificate, u: expanded uncertainty in per cent, k = 2); exit 1 naming each section and key\n"
     "refused.",
     CmdProfileCheck, false},
    {"status", "NUMBER", {}, "Reads the 8 status bytes and shows the measurement and integration bits.", CmdStatus},
    {"current", "NUMBER INDEX", {},
     "Reads current value INDEX (1..9); 8 is the indicated flow Gi, 5 the measured flow Gv.", CmdCurrent},
    {"clock", "NUMBER", {}, "Reads the meter's clock.", CmdClock},
    {"restart", "NUMBER", {}, "Restarts the meter (command 13 with argument 13, one attempt).", CmdRestart},
    {"measure", "NUMBER... [--ge VALUE | --ge-file PATH] [--timeout S]",
     {{"ge", "VALUE", CheckFiniteGe}, {"ge-file", "PATH"}, {"timeout", "S"}},
     "Runs one measurement cycle over the meters (slots filled in the given order, at most 10)\n"
     "and prints Ge and each meter's GiMean and GvMean. Ge comes from --ge, from the last line\n"
     "written to --ge-file during the cycle (the simulator's reference file), or is asked on the\n"
     "terminal. --timeout: seconds before a cycle that does not end is stopped (default 600).",
     CmdMeasure},
    {"raw", "NUMBER CODE [HEXDATA]", {},
     "Sends command CODE (decimal or 0x..) with up to 9 data bytes as one transaction with\n"
     "retries and prints the answer frame in hexadecimal.",
     CmdRaw},
    {"calibrate",
     "--meters N[:DN],... --points G1,G2,... [--cycles K] [--reverse] [--write] [--ge-file PATH]\n"
     "        [--set-flow CMD] [--dir DIR] [--restore-models] [--report FILE.docx] [--csv FILE.csv]\n"
     "        [--template FILE] [--tolerance P] [--pdf]",
     {{"meters", "N[:DN],..."}, {"points", "G1,G2,..."}, {"cycles", "K"}, {"reverse"}, {"write"}, {"ge-file", "PATH"},
      {"set-flow", "CMD"}, {"dir", "DIR"}, {"restore-models"}, {"report", "FILE.docx"}, {"csv", "FILE.csv"},
      {"template", "FILE"}, {"tolerance", "P"}, {"pdf"}},
     "A calibration series: applies the meter list (identification, backups of the pairs under\n"
     "DIR/BACKUP), runs K cycles (default 1) at every flow point, adds the mirrored reverse branch\n"
     "with --reverse, forms the pairs and saves DIR/Log/NNNNNNNN.dat, and with --write writes the\n"
     "pairs and the parameters of the nominal diameter DN into the meters; ends the series (each\n"
     "meter gets its model back) and prints the measurement and pair tables. Ge comes from\n"
     "--ge-file as for measure, or is asked on the terminal. Before each point the rig is set to\n"
     "the flow: by running CMD with the flow appended, or by the operator at the terminal.\n"
     "DIR defaults to the data folder (beside vq7ctl, or ~/.local/share/vq7station when installed).\n"
     "Each meter's own model is kept in DIR/BACKUP/NNNNNNNN.model while the series runs; a meter\n"
     "found on the base model 0 where another model is kept stops the series, unless\n"
     "--restore-models writes the kept model back first. Meters are never written when the Log\n"
     "files failed, fewer than two pairs were formed, or their pairs have no backup.\n"
     "Exit 3: a write was cut and a meter holds an incomplete characteristic (restore its backup).\n"
     "--report writes the protocol (set points and pairs) from the template (default\n"
     "Matrix/шаблон.docx of the program); --csv writes the tables for a spreadsheet, with the\n"
     "verdicts against ±P per cent (--tolerance, default 2); --pdf as for verify.",
     CmdCalibrate},
    {"verify",
     "--meters N[:DN],... --points G1,G2,... [--cycles K] [--ge-file PATH] [--set-flow CMD] [--dir DIR]\n"
     "        [--restore-models] [--report FILE.docx] [--csv FILE.csv] [--template FILE] [--tolerance P]\n"
     "        [--profiles FILE] [--per-meter] [--pdf]",
     {{"meters", "N[:DN],..."}, {"points", "G1,G2,..."}, {"cycles", "K"}, {"ge-file", "PATH"}, {"set-flow", "CMD"},
      {"dir", "DIR"}, {"restore-models"}, {"report", "FILE.docx"}, {"csv", "FILE.csv"}, {"template", "FILE"},
      {"tolerance", "P"}, {"profiles", "FILE"}, {"per-meter"}, {"pdf"}},
     "A verification series over the points (options as for calibrate): prints the table of each\n"
     "meter's error in per cent, (Gv - Ge) / Gv x 100; --report writes the protocol with the\n"
     "set points and the errors. Each meter is judged by its profile (--profiles FILE, default\n"
     "profiles.ini of the data folder; see profile set): with a standard's profile its error is\n"
     "(Gv - Ge) / Ge x 100, and every point (cycles within 5 % of flow) gets U (k = 2) from the\n"
     "reference's u of config.ini [REFERENCE], the cycles' repeatability, the resolution and the\n"
     "timing, the limit at its flow and the verdict by the profile's rule. A refused profile\n"
     "stops the series before it starts. --csv adds the table of points. --per-meter writes one\n"
     "certificate per meter, FILE-NUMBER.docx, instead of one protocol for the rig; --pdf adds\n"
     "FILE.pdf beside each DOCX, made by LibreOffice (soffice --headless, at most 120 s; the DOCX\n"
     "stays and the exit is 1 when it is missing or fails).",
     CmdVerify},
    {"plan run", "PLAN [--write] [--dir DIR] [--restore-models] [--report FILE.docx] [--csv FILE.csv]\n"
     "        [--template FILE] [--tolerance P] [--profiles FILE]",
     {{"write"}, {"dir", "DIR"}, {"restore-models"}, {"report", "FILE.docx"}, {"csv", "FILE.csv"},
      {"template", "FILE"}, {"tolerance", "P"}, {"profiles", "FILE"}},
     "Runs a test plan by itself: PLAN is JSON {\"kind\": \"calibration\" | \"verification\",\n"
     "\"meters\": [\"NUMBER:DN\", ...], \"points\": [{\"flow\": G, \"cycles\": K}, ...],\n"
     "\"verify_after\": [...], \"write\": true | false}. With config.ini [RIG] reference=modbus the\n"
     "drive sets each flow and the series waits until it settles ([RIG] settle_band, settle_time,\n"
     "settle_timeout), and Ge is the reference's ΔV/Δt over each cycle; without it, as calibrate.\n"
     "A calibration forms the pairs, saves them, writes them with \"write\" or --write, and then\n"
     "verifies over verify_after (as left; --report and --csv are that verification's). Progress:\n"
     "\"точка k из n, цикл c из m, осталось ~N мин\" on stderr. Exit non-zero when a point could\n"
     "not be made (the reference silent, an exception, a value out of range, a flow that did not settle).",
     CmdPlanRun},
    {"plan check", "PLAN", {},
     "Reads a test plan and says what it would run, or why it cannot.", CmdPlanCheck, false},
};
