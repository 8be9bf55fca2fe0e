// journal [NUMBER] [--file PATH]: the journal of writes into meters.
#include "Commands.h"

#include "common/WriteJournal.h"

#include <vector>

int CmdJournal(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.size() > 1)
        return ctx.Usage("journal [NUMBER] [--file PATH]");
    uint32_t number = 0;
    if (!args.positional.empty() && !ArgMeterNumber(ctx, args.positional[0], number))
        return EXIT_USAGE;
    const std::string path = args.Get("file", CWriteJournal::Path());
    ctx.doc.Set("file", path);
    std::vector<WriteJournalEntry> entries;
    std::string error;
    if (!CWriteJournal::Read(path, number, entries, error))
        return ctx.Fail("journal: " + error);
    std::string header = CWriteJournal::Header();
    header.pop_back();
    ctx.Print(header);
    CJson list = CJson::MakeArray();
    for (const WriteJournalEntry& e : entries) {
        std::string line = CWriteJournal::FormatLine(e);
        line.pop_back();
        ctx.Print(line);
        CJson item = CJson::MakeObject();
        item.Set("time", e.time);
        item.Set("number", e.number);
        item.Set("model", e.model);
        item.Set("operation", e.operation);
        item.Set("before", e.before);
        item.Set("after", e.after);
        item.Set("readback", e.readback);
        item.Set("result", e.result);
        list.Push(item);
    }
    ctx.doc.Set("entries", list);
    return EXIT_OK;
}
