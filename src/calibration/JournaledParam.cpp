#include "calibration/JournaledParam.h"

#include "common/OperatorInterface.h"
#include "common/WriteJournal.h"
#include "protocol/vq7prot/vq7cmd.h"

unsigned WriteParamJournaled(connection* conn, uint32_t number, const std::string& model, uint8_t param, int kind,
                             const std::string& value, std::string* readBack)
{
    std::string journalError;
    if (!CWriteJournal::CanAppend(journalError)) {
        const std::string text = "Счетчик № " + std::to_string(number) + ": параметр " + std::to_string(param) +
                                 " не записан, журнал записи в счетчики не дополняется (" + journalError + ").";
        Operator().RunOnGuiThread([text] { Operator().MessageDialog(MsgIcon::Error, text); });
        return RC_JOURNAL_FAILED;   // no write without its journal line
    }
    WriteJournalEntry entry;
    entry.number = number;
    entry.model = model;
    entry.operation = "параметр " + std::to_string(param);
    entry.after = value;
    const bool check = CWriteJournal::ReadBackEnabled();
    if (check) {
        const unsigned rc = ReadParam(conn, number, param, kind, entry.before);
        if (rc != 0)
            entry.before = "не прочитано: " + std::to_string(rc);
    }
    unsigned result = WriteParam(conn, number, param, kind, value);
    if (result != 0 || !check) {
        entry.readback = check ? "" : "отключена";
    } else {
        std::string read, expected;
        const unsigned rc = ReadParam(conn, number, param, kind, read);
        if (rc != 0) {
            entry.readback = "не прочитано: " + std::to_string(rc);
            result = rc;   // a write that could not be checked is not taken as done
        } else if (ParamReadText(kind, value, expected) && read == expected) {
            entry.readback = "совпадает";
        } else {
            entry.readback = "не совпадает: прочитано " + read;
            result = RC_READBACK_MISMATCH;
            if (readBack)
                *readBack = read;
        }
    }
    entry.result = result;
    if (!CWriteJournal::Append(entry) && result == 0)
        result = RC_JOURNAL_FAILED;
    return result;
}

unsigned WriteParamJournaled(connection* conn, uint32_t number, const std::string& model, uint8_t param,
                             const std::string& value, std::string* readBack)
{
    return WriteParamJournaled(conn, number, model, param, DefaultParamKind(param), value, readBack);
}

std::string ParamMismatchText(uint32_t number, uint8_t param, const std::string& written, const std::string& read)
{
    return "Счетчик № " + std::to_string(number) + ": параметр " + std::to_string(param) +
           " после записи прочитан как " + read + ", записано " + written + ".";
}
