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
    ctx.doc["file"] = path;
    std::vector<WriteJournalEntry> entries;
    std::string error;
    if (!CWriteJournal::Read(path, number, entries, error))
        return ctx.Fail("journal: " + error);
    std::string header = CWriteJournal::Header();
    header.pop_back();
    ctx.Print(header);
    CtlJson list = CtlJson::array();
    for (const WriteJournalEntry& e : entries) {
        std::string line = CWriteJournal::FormatLine(e);
        line.pop_back();
        ctx.Print(line);
        list.push_back(CtlJson{{"time", e.time},         {"number", e.number}, {"model", e.model},
                               {"operation", e.operation}, {"before", e.before}, {"after", e.after},
                               {"readback", e.readback},   {"result", e.result}});
    }
    ctx.doc["entries"] = list;
    return EXIT_OK;
}
