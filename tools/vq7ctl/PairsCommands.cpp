// pairs read / pairs write, backup, restore: the calibration pairs of meters.
#include "Commands.h"

#include "calibration/CGiGeArray.h"
#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "workstation/PairsBackup.h"
#include "workstation/WorkFolders.h"

#include <cstdio>
#include <vector>

namespace {
// --dir, or BACKUP in the data folder.
std::string BackupDirOf(const CtlArgs& args) { return args.Get("dir", DataDir() + "/BACKUP"); }

std::string BackupPath(const CtlArgs& args, uint32_t number) { return BackupFileIn(BackupDirOf(args), number); }

// The pairs the meter holds, kept before a write: under DIR as for backup, or
// for a restore (which writes DIR's file back) under DIR/history/ only.
bool KeepBeforeWrite(CtlContext& ctx, uint32_t number, const VQ7_INFO& info, const std::string& backupDir,
                     BackupTarget target, const char* what)
{
    const PairsBackupOutcome kept = KeepMeterPairs(ctx.conn, number, backupDir, target, &info);
    if (!kept.warning.empty())
        Operator().MessageDialog(MsgIcon::Warning, kept.warning);
    if (!kept.Kept()) {
        ctx.Fail(FormatC("%s %u: the pairs it holds could not be kept; nothing written", what, number), kept.result);
        return false;
    }
    if (!kept.file.empty()) {
        ctx.doc["backup"] = kept.file;
        ctx.Print(FormatC("meter %u: %d pairs saved to %s", number, kept.pairs, kept.file.c_str()));
    }
    return true;
}

CtlJson PairsJson(CGiGeArray& table)
{
    CtlJson a = CtlJson::array();
    for (int i = 0; i < table.GetCount(); ++i) {
        float gi = 0, ge = 0;
        table.GetPair(i, gi, ge);
        a.push_back({{"Gi", JsonReal(gi)}, {"Ge", JsonReal(ge)}});
    }
    return a;
}

// The table layout of the calibration files, as text lines.
void PrintTable(const CtlContext& ctx, CGiGeArray& table)
{
    ctx.Print("градуировочные пары прошитые в прибор");
    ctx.Print(" N       Gi            Ge");
    for (int i = 0; i < table.GetCount(); ++i) {
        float gi = 0, ge = 0;
        table.GetPair(i, gi, ge);
        ctx.Print(FormatC(" %2d %14.6e %14.6e", i, gi, ge));
    }
}

// Flags a table a cut write left in the meter; true when it is one.
bool FlagIncomplete(CGiGeArray& table, uint32_t number, CtlJson& json)
{
    std::string why;
    const bool incomplete = table.LooksIncomplete(&why);
    json["incomplete"] = incomplete;
    if (incomplete)
        std::fprintf(stderr, "vq7ctl: meter %u holds an incomplete characteristic: %s\n", number, why.c_str());
    return incomplete;
}

// Identifies the meter (its type decides how pairs are transferred) and
// writes the pairs of a file into it.
int WriteFileToMeter(CtlContext& ctx, uint32_t number, const std::string& path, const char* what,
                     const std::string& backupDir, bool force)
{
    ctx.doc["number"] = number;
    ctx.doc["file"] = path;
    VQ7_INFO info;
    const unsigned identified = GetDeviceInfo(&ctx.conn, number, info);
    if (identified != 0)
        return ctx.Fail(FormatC("%s %u: identify", what, number), identified);
    if (info.m_sType == "VQ7I") {
        std::fprintf(stderr, "vq7ctl: meter %u (type VQ7I) takes no calibration pairs; nothing written\n",
                     number);
        ctx.doc["result"] = 0;
        ctx.doc["written"] = 0;
        return EXIT_OK;
    }
    const bool restore = std::string(what) == "restore";
    if (!KeepBeforeWrite(ctx, number, info, backupDir, restore ? BackupTarget::HistoryOnly : BackupTarget::BackupFile,
                         what))
        return EXIT_FAILED;
    CGiGeArray table(info, number);
    if (restore) {
        table.m_sWriteOperation = "восстановление пар";
        table.m_bPutBack = true;
    }
    table.m_bForce = force;
    const int result = table.LoadFromFileToMeter(&ctx.conn, path);
    if (!table.m_sFileRead.empty() && table.m_sFileRead != path) {
        std::fprintf(stderr, "vq7ctl: %s does not exist; read %s\n", path.c_str(), table.m_sFileRead.c_str());
        ctx.doc["file"] = table.m_sFileRead;
    }
    ctx.doc["result"] = result;
    ctx.doc["dropped"] = table.m_nDroppedPairs;
    ctx.doc["skipped"] = table.m_vSkippedLines.size();
    ctx.doc["readback"] = table.m_sReadBack;
    if (table.m_bIncomplete) {
        ctx.doc["incomplete"] = true;
        ctx.Fail(FormatC("%s %u", what, number), result);
        std::fprintf(stderr,
                     "vq7ctl: meter %u now holds an incomplete characteristic (%d of %d pairs written); "
                     "restore it with: vq7ctl restore %u --dir %s\n",
                     number, table.m_nPairsWritten, table.GetCount(), number, backupDir.c_str());
        return EXIT_INCOMPLETE;
    }
    if (result != 0)
        return ctx.Fail(FormatC("%s %u", what, number), result);
    if (table.GetCount() == 0)
        return ctx.Fail(FormatC("%s %u: no pairs in %s", what, number, path.c_str()));
    ctx.doc["written"] = table.GetCount();
    ctx.doc["pairs"] = PairsJson(table);
    ctx.Print(FormatC("%d pairs written into meter %u", table.GetCount(), number));
    return EXIT_OK;
}
}

int CmdPairsRead(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (args.positional.size() != 1)
        return ctx.Usage("pairs read NUMBER [--out FILE]");
    if (!ArgMeterNumber(ctx, args.positional[0], number))
        return EXIT_USAGE;
    ctx.doc["number"] = number;
    CGiGeArray table(&ctx.conn, number);
    ctx.doc["result"] = table.m_nResult;
    if (table.m_nResult != 0)
        return ctx.Fail(FormatC("pairs read %u", number), table.m_nResult);
    ctx.doc["pairs"] = PairsJson(table);
    const bool incomplete = FlagIncomplete(table, number, ctx.doc);
    if (args.Has("out")) {
        const std::string path = args.Get("out");
        const int saved = table.SaveToFile(path);
        ctx.doc["file"] = path;
        if (saved != 0)
            return ctx.Fail(FormatC("pairs read %u: saving %s", number, path.c_str()), saved);
    }
    PrintTable(ctx, table);
    return incomplete ? EXIT_INCOMPLETE : EXIT_OK;
}

int CmdPairsWrite(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (args.positional.size() != 2)
        return ctx.Usage("pairs write NUMBER FILE [--force]");
    if (!ArgMeterNumber(ctx, args.positional[0], number))
        return EXIT_USAGE;
    return WriteFileToMeter(ctx, number, args.positional[1], "pairs write", BackupDirOf(args), args.Has("force"));
}

int CmdBackup(CtlContext& ctx, CtlArgs& args)
{
    std::vector<uint32_t> numbers;
    if (args.positional.empty())
        return ctx.Usage("backup NUMBER... [--dir DIR]");
    if (!ArgMeterNumbers(ctx, args, numbers))
        return EXIT_USAGE;
    int exitCode = EXIT_OK;
    ctx.doc["meters"] = CtlJson::array();
    for (uint32_t number : numbers) {
        CtlJson m;
        m["number"] = number;
        const PairsBackupOutcome kept = KeepMeterPairs(ctx.conn, number, BackupDirOf(args));
        // Fewer than two pairs are no backup: -1, the table's own failure.
        m["result"] = kept.kept == PairsKept::NothingToKeep ? -1 : kept.result;
        m["pairs"] = kept.pairs;
        m["incomplete"] = kept.incomplete;
        if (!kept.file.empty())
            m["file"] = kept.file;
        ctx.doc["meters"].push_back(std::move(m));   // before Fail adds members to the document
        if (!kept.warning.empty())
            Operator().MessageDialog(MsgIcon::Warning, kept.warning);
        if (kept.kept == PairsKept::Failed) {
            exitCode = ctx.Fail(FormatC("backup %u", number), kept.result);
            continue;
        }
        if (kept.kept == PairsKept::NothingToKeep) {
            exitCode = ctx.Fail(FormatC("backup %u: the meter holds %d pairs; nothing to back up", number, kept.pairs),
                                -1);
            continue;
        }
        ctx.Print(FormatC("meter %u: %d pairs saved to %s", number, kept.pairs, kept.file.c_str()));
        if (kept.incomplete && exitCode == EXIT_OK)
            exitCode = EXIT_INCOMPLETE;
    }
    return exitCode;
}

int CmdRestore(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (args.positional.size() != 1)
        return ctx.Usage("restore NUMBER [--dir DIR] [--force]");
    if (!ArgMeterNumber(ctx, args.positional[0], number))
        return EXIT_USAGE;
    return WriteFileToMeter(ctx, number, BackupPath(args, number), "restore", BackupDirOf(args), args.Has("force"));
}
