// pairs read / pairs write, backup, restore: the calibration pairs of meters.
#include "Commands.h"

#include "calibration/CGiGeArray.h"
#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <cstdio>
#include <vector>

namespace {
std::string BackupPath(const CtlArgs& args, uint32_t number)
{
    std::string dir = args.Get("dir", DataDir() + "/BACKUP");
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir + MeterFileName(number) + ".dat";
}

CJson PairsJson(CGiGeArray& table)
{
    CJson a = CJson::MakeArray();
    for (int i = 0; i < table.GetCount(); ++i) {
        float gi = 0, ge = 0;
        table.GetPair(i, gi, ge);
        CJson& p = a.Push(CJson::MakeObject());
        p.Set("Gi", gi);
        p.Set("Ge", ge);
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

// Identifies the meter (its type decides how pairs are transferred) and
// writes the pairs of a file into it.
int WriteFileToMeter(CtlContext& ctx, uint32_t number, const std::string& path, const char* what)
{
    ctx.doc.Set("number", number);
    ctx.doc.Set("file", path);
    VQ7_INFO info;
    const unsigned identified = GetDeviceInfo(&ctx.conn, number, info);
    if (identified != 0)
        return ctx.Fail(FormatC("%s %u: identify", what, number), identified);
    if (info.m_sType == "VQ7I") {
        std::fprintf(stderr, "vq7ctl: meter %u (type VQ7I) takes no calibration pairs; nothing written\n",
                     number);
        ctx.doc.Set("result", 0);
        ctx.doc.Set("written", 0);
        return EXIT_OK;
    }
    CGiGeArray table(info, number);
    const int result = table.LoadFromFileToMeter(&ctx.conn, path);
    ctx.doc.Set("result", result);
    if (result != 0)
        return ctx.Fail(FormatC("%s %u", what, number), result);
    if (table.GetCount() == 0)
        return ctx.Fail(FormatC("%s %u: no pairs in %s", what, number, path.c_str()));
    ctx.doc.Set("written", table.GetCount());
    ctx.doc.Set("pairs", PairsJson(table));
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
    ctx.doc.Set("number", number);
    CGiGeArray table(&ctx.conn, number);
    ctx.doc.Set("result", table.m_nResult);
    if (table.m_nResult != 0)
        return ctx.Fail(FormatC("pairs read %u", number), table.m_nResult);
    ctx.doc.Set("pairs", PairsJson(table));
    if (args.Has("out")) {
        const std::string path = args.Get("out");
        const int saved = table.SaveToFile(path);
        ctx.doc.Set("file", path);
        if (saved != 0)
            return ctx.Fail(FormatC("pairs read %u: saving %s", number, path.c_str()), saved);
    }
    PrintTable(ctx, table);
    return EXIT_OK;
}

int CmdPairsWrite(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (args.positional.size() != 2)
        return ctx.Usage("pairs write NUMBER FILE");
    if (!ArgMeterNumber(ctx, args.positional[0], number))
        return EXIT_USAGE;
    return WriteFileToMeter(ctx, number, args.positional[1], "pairs write");
}

int CmdBackup(CtlContext& ctx, CtlArgs& args)
{
    std::vector<uint32_t> numbers;
    if (args.positional.empty())
        return ctx.Usage("backup NUMBER... [--dir DIR]");
    if (!ArgMeterNumbers(ctx, args, numbers))
        return EXIT_USAGE;
    int exitCode = EXIT_OK;
    CJson& meters = ctx.doc.Set("meters", CJson::MakeArray());
    for (uint32_t number : numbers) {
        CJson& m = meters.Push(CJson::MakeObject());
        m.Set("number", number);
        CGiGeArray table(&ctx.conn, number);
        int result = table.m_nResult;
        const std::string path = BackupPath(args, number);
        if (result == 0)
            result = table.SaveToFile(path);
        m.Set("result", result);
        m.Set("pairs", table.GetCount());
        if (result != 0) {
            exitCode = ctx.Fail(FormatC("backup %u", number), result);
            continue;
        }
        m.Set("file", path);
        ctx.Print(FormatC("meter %u: %d pairs saved to %s", number, table.GetCount(), path.c_str()));
    }
    return exitCode;
}

int CmdRestore(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (args.positional.size() != 1)
        return ctx.Usage("restore NUMBER [--dir DIR]");
    if (!ArgMeterNumber(ctx, args.positional[0], number))
        return EXIT_USAGE;
    return WriteFileToMeter(ctx, number, BackupPath(args, number), "restore");
}
